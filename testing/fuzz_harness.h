#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace sb::fuzzing {

// One input of each fuzz target, run in memory exactly as the fuzzers run
// it. After the run the model and the files are checked for what must hold
// whatever the input; a broken rule prints what broke and aborts, so that the
// fuzzer keeps the input as a crash and a regression test fails loudly.

struct Outcome {
  int32_t error_number = 0;
  int32_t error_position_m = 0;
  // The description could not be read (what read_descriptions turns into 25).
  bool read_failure = false;
  // The fatal report ended the build, with this number.
  bool fatal = false;
  int32_t fatal_number = 0;
};

// The line description alone, through the line reader (track plan included).
Outcome read_line_only(std::string_view line_text);

// The train description, read after the fixed line description.
Outcome read_train_after_line(std::string_view train_text);

// The whole build, compile_scenario(b, true), from a line description and a
// train description: the input up to the first separator byte is the line,
// the rest the train (empty when there is no separator).
Outcome build_from_pair(std::string_view input);

// A check (check_scenario) of the same pair as build_from_pair: it must
// write nothing, list a bounded number of lines, and agree with a build of
// the pair: the first error it lists is where the build's reading stopped,
// and when the reading is clean its last error is the build's.
struct CheckOutcome {
  int errors = 0;
  int warnings = 0;
  // The first error listed (0 when none) and the build's error_number.
  int32_t first_error = 0;
  int32_t build_error = 0;
};
CheckOutcome check_pair(std::string_view input);

inline constexpr char kPairSeparator = '\0';
std::pair<std::string_view, std::string_view> split_pair(std::string_view input);

// The line description the train target reads first: the built-in one.
const std::string& fixed_line_description();

}  // namespace sb::fuzzing
