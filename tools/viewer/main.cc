// scenario_inspect: shows the compiled files of a built scenario, and
// watches descriptions being edited (--watch).

#include <cstdio>
#include <string>
#include <vector>

#include "base/last_guard.h"
#include "tools/viewer/viewer_program.h"

#ifdef _WIN32
#include "platform/win32_platform.h"
#else
#include <csignal>

#include "platform/posix_platform.h"
#endif

int main(int argc, char** argv) {
  return sb::run_with_last_guard("scenario_inspect", 1, stderr, [&] {
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
#ifdef _WIN32
    sb::Win32ConsolePlatform platform;
#else
    // A page closed while it is being sent must not end the watch.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    sb::PosixPlatform platform(argc > 0 ? argv[0] : nullptr);
#endif
    return sb::inspect::run_inspect_program(platform, args);
  });
}
