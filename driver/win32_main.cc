// The Windows program: a real waiting window and message box.

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/last_guard.h"
#include "driver/run.h"
#include "platform/win32_platform.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  sb::attach_parent_console();
  return sb::run_with_last_guard("scenario_builder", sb::kFileOrUsageError, stderr, [&] {
    std::vector<std::string> args;
    for (int i = 1; i < __argc; ++i) args.emplace_back(__argv[i]);
    sb::Win32Platform platform(instance);
    return sb::run_program(platform, args);
  });
}
