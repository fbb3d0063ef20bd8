// The Windows program: a real waiting window and message box.

#include <windows.h>

#include <string>
#include <vector>

#include "driver/run.h"
#include "platform/win32_platform.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  sb::attach_parent_console();
  std::vector<std::string> args;
  for (int i = 1; i < __argc; ++i) args.emplace_back(__argv[i]);
  int status;
  {
    sb::Win32Platform platform(instance);
    status = sb::run_program(platform, args);
  }
  return status;
}
