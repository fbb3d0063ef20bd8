#pragma once

#include <span>
#include <string>

#include <vector>

#include "driver/error_messages.h"
#include "driver/options.h"
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

// What check_then_build found and did.
struct CheckedBuild {
  int status = kBuilt;  // the check's status when it found an error, else the build's
  bool built = false;   // the build ran and wrote its compiled files
  // The check's problems, warnings included; a description that could not
  // be read is one error without a place.
  std::vector<LocatedProblem> problems;
};

// A build that writes nothing when its descriptions hold an error: checks
// the descriptions the options name, as --check does, and only when the
// check finds no error builds them as run_program does (never with
// --keep-going). The check lists its problems only when it found an error;
// the build reports as usual, its warnings included.
CheckedBuild check_then_build(Platform& platform, const Options& options);

}  // namespace sb
