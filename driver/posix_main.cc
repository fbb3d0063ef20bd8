// The console program for POSIX systems.

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "base/last_guard.h"
#include "driver/run.h"
#include "platform/posix_platform.h"

int main(int argc, char** argv) {
  // Under a file-size limit a write must fail with an error the program can
  // report, not kill the process halfway through a file.
  std::signal(SIGXFSZ, SIG_IGN);
  return sb::run_with_last_guard("scenario_builder", sb::kFileOrUsageError, stderr, [&] {
    sb::PosixPlatform platform(argc > 0 ? argv[0] : nullptr);
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return sb::run_program(platform, args);
  });
}
