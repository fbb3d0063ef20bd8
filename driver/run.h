#pragma once

#include <span>
#include <string>

#include "platform/platform.h"

namespace sb {

// Process exit statuses.
enum ExitStatus : int {
  kBuilt = 0,            // built, error_number 0
  kBuiltWithProblem = 1, // built, but a problem was recorded
  kFatalReport = 2,      // the fatal error report ended the run
  kFileOrUsageError = 3, // bad command line, or a file could not be read or written
};

// The whole program: parses the arguments after the program name, runs the
// build and returns the exit status.
int run_program(Platform& platform, std::span<const std::string> args);

}  // namespace sb
