// Every seed of the fuzz corpus and every input a fuzzer once crashed on,
// run through the same harness as the fuzzers: none may crash or break the
// model, and the valid seeds must read without a problem.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "testing/fuzz_harness.h"
#include "testing/temp_dir.h"

namespace sb::fuzzing {
namespace {

namespace fs = std::filesystem;

const fs::path kFuzzDir = fs::path(__FILE__).parent_path().parent_path() / "fuzz";

struct Target {
  std::string name;
  std::function<Outcome(std::string_view)> run;
};

const Target kTargets[] = {
    {"line_reader", read_line_only},
    {"train_reader", read_train_after_line},
    {"build", build_from_pair},
};

std::vector<fs::path> inputs_of(const std::string& target) {
  std::vector<fs::path> inputs;
  for (const char* kind : {"corpus", "regressions"}) {
    const fs::path dir = kFuzzDir / kind / target;
    if (!fs::is_directory(dir)) continue;
    for (const auto& entry : fs::directory_iterator(dir)) inputs.push_back(entry.path());
  }
  return inputs;
}

TEST(FuzzInputs, NoneBreaksTheBuilder) {
  for (const Target& target : kTargets) {
    const std::vector<fs::path> inputs = inputs_of(target.name);
    EXPECT_FALSE(inputs.empty()) << target.name;
    for (const fs::path& input : inputs) {
      SCOPED_TRACE(input.string());
      target.run(read_file_bytes(input.string()));
    }
  }
}

TEST(FuzzInputs, ValidSeedsReadWithoutAProblem) {
  for (const Target& target : kTargets) {
    for (const char* seed : {"built_in.txt", "hand_made.txt"}) {
      const fs::path path = kFuzzDir / "corpus" / target.name / seed;
      ASSERT_TRUE(fs::exists(path)) << path;
      const Outcome outcome = target.run(read_file_bytes(path.string()));
      EXPECT_EQ(outcome.error_number, 0) << path << " at " << outcome.error_position_m;
      EXPECT_FALSE(outcome.fatal) << path;
    }
  }
}

// The check target's harness compares each check with a build of the same
// pair and aborts on a disagreement; the seeds of the build and the check
// target all go through it.
TEST(FuzzInputs, ACheckOfEverySeedAgreesWithABuild) {
  for (const char* target : {"build", "check"}) {
    for (const fs::path& input : inputs_of(target)) {
      SCOPED_TRACE(input.string());
      const CheckOutcome outcome = check_pair(read_file_bytes(input.string()));
      EXPECT_EQ(outcome.first_error == 0, outcome.build_error == 0);
    }
  }
  const CheckOutcome built_in = check_pair(read_file_bytes((kFuzzDir / "corpus/check/built_in.txt").string()));
  EXPECT_EQ(built_in.errors, 0);
  EXPECT_EQ(built_in.warnings, 0);
  const CheckOutcome planted =
      check_pair(read_file_bytes((kFuzzDir / "corpus/check/planted_mistakes.txt").string()));
  EXPECT_EQ(planted.errors, 3);
  EXPECT_EQ(planted.first_error, 8);
}

TEST(FuzzInputs, TheBuildInputSplitsAtTheFirstSeparator) {
  using Texts = std::pair<std::string_view, std::string_view>;
  using namespace std::string_view_literals;
  EXPECT_EQ(split_pair("line\0train\0more"sv), (Texts{"line", "train\0more"sv}));
  EXPECT_EQ(split_pair("line only"), (Texts{"line only", ""}));
}

}  // namespace
}  // namespace sb::fuzzing
