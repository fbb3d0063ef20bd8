#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace sb::dense {

// A random dense scenario: signals, slowdowns (some 25 m off the grid, some
// with lead cells), max-speed boards, indication boards, stations, code
// points and montagna spans packed close together, with the odd unusual
// value a description may hold (signal sides beyond 8, board texts with
// blanks at their ends or a lone CR). The same seed gives the same texts.
struct RandomScenario {
  uint64_t seed = 0;
  std::string line_text;
  std::string train_text;
  // Whether the texts build with error_number 0 and no fatal report.
  bool builds = false;
};

// The seed an input of the round-trip fuzz target stands for: its bytes
// hashed (FNV-1a), so that a saved input replays its scenario.
uint64_t seed_of_input(std::string_view bytes);

// The texts as drawn, before any row is taken out.
RandomScenario draw_dense_scenario(uint64_t seed);

// The drawn texts with the rows a check of them refuses taken out, again
// until they build (a few rounds at most; `builds` says whether they do).
RandomScenario dense_scenario_that_builds(uint64_t seed);

// What a round trip of the built scenario through the decompiler gives: an
// empty text when its descriptions build the three files byte for byte,
// otherwise the decompiler's status and messages.
std::string round_trip_failure(const RandomScenario& scenario);

}  // namespace sb::dense
