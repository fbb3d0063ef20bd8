// The Windows program's console twin (scenario_builder.com): the same build
// for a command prompt or a script, which waits for it and gets its exit
// status and messages.

#include <cstdio>
#include <string>
#include <vector>

#include "base/last_guard.h"
#include "driver/run.h"
#include "platform/win32_platform.h"

int main(int argc, char** argv) {
  return sb::run_with_last_guard("scenario_builder", sb::kFileOrUsageError, stderr, [&] {
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    sb::Win32ConsolePlatform platform;
    return sb::run_program(platform, args);
  });
}
