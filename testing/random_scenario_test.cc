#include "testing/random_scenario.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace sb::dense {
namespace {

// A failing scenario's texts go to DENSE_KEEP/seed-N_linea.txt and
// seed-N_treno.txt when that folder is set, to build and decompile by hand.
void keep(const RandomScenario& s) {
  const char* dir = std::getenv("DENSE_KEEP");
  if (dir == nullptr) return;
  const std::string base = std::string(dir) + "/seed-" + std::to_string(s.seed);
  std::ofstream(base + "_linea.txt", std::ios::binary) << s.line_text;
  std::ofstream(base + "_treno.txt", std::ios::binary) << s.train_text;
}

// The seeds a run tries: DENSE_SCENARIOS of them (300 unless set) from
// DENSE_FIRST (1 unless set).
int from_environment(const char* name, int otherwise) {
  const char* set = std::getenv(name);
  return set != nullptr ? std::atoi(set) : otherwise;
}

TEST(DenseScenarios, SameSeedSameTexts) {
  const RandomScenario a = draw_dense_scenario(7), b = draw_dense_scenario(7);
  EXPECT_EQ(a.line_text, b.line_text);
  EXPECT_EQ(a.train_text, b.train_text);
  EXPECT_NE(draw_dense_scenario(8).train_text, a.train_text);
}

// Every scenario that builds comes back byte for byte from its compiled
// files, and most of them build.
TEST(DenseScenarios, EveryBuildComesBack) {
  const int count = from_environment("DENSE_SCENARIOS", 300);
  const int first = from_environment("DENSE_FIRST", 1);
  int built = 0;
  int failed = 0;
  for (int seed = first; seed < first + count; ++seed) {
    const RandomScenario s = dense_scenario_that_builds(static_cast<uint64_t>(seed));
    if (!s.builds) continue;
    ++built;
    const std::string failure = round_trip_failure(s);
    if (failure.empty()) continue;
    keep(s);
    if (++failed <= (std::getenv("DENSE_ALL") ? 1000 : 5)) {
      ADD_FAILURE() << "seed " << seed << ": " << failure << "--- line\n"
                    << s.line_text << "--- train\n"
                    << s.train_text;
    }
  }
  EXPECT_EQ(failed, 0) << "of " << built << " built";
  EXPECT_GE(built, count * 9 / 10);
}

// The inputs of the round-trip fuzz target kept in the repository, its
// seeds and the ones that once found a gap, replayed: each stands for the
// scenario of its hashed bytes.
TEST(DenseScenarios, SavedFuzzInputsComeBack) {
  namespace fs = std::filesystem;
  const fs::path fuzz = fs::path(SCENARIO_SOURCE_DIR) / "fuzz";
  int replayed = 0;
  for (const char* kind : {"corpus", "regressions"}) {
    const fs::path dir = fuzz / kind / "round_trip";
    if (!fs::is_directory(dir)) continue;
    for (const auto& entry : fs::directory_iterator(dir)) {
      std::ifstream in(entry.path(), std::ios::binary);
      const std::string input((std::istreambuf_iterator<char>(in)), {});
      const RandomScenario s = dense_scenario_that_builds(seed_of_input(input));
      ++replayed;
      if (!s.builds) continue;
      EXPECT_EQ(round_trip_failure(s), "") << entry.path() << " (seed " << s.seed << ")";
    }
  }
  EXPECT_GT(replayed, 2);
}

}  // namespace
}  // namespace sb::dense
