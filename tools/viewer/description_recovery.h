#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/viewer/scenario_picture.h"

namespace sb::inspect {

// The two descriptions that build a scenario's compiled files again, worked
// out from the files alone. Positions come back on the 50 m grid: the cells
// are all the files keep of where an object stood.
struct RecoveredDescriptions {
  std::string line_text;
  std::string train_text;
  // What in the files no description could give: a build of this program
  // does not write such files. Empty for a scenario it could have built.
  std::vector<std::string> unbuildable;
  // Where the search for rows, bounded, found none that give the files:
  // the texts are its best attempt, and building them shows what differs.
  std::vector<std::string> unsettled;
};

// What the searches may spend, in cells of a finishing pass: about a
// second of work on the development machine, where the largest scenario a
// build writes needs one pass of 20,141 cells.
inline constexpr int64_t kSearchBudget = 250'000'000;

RecoveredDescriptions recover_descriptions(const ScenarioFiles& scenario,
                                           int64_t search_budget = kSearchBudget);

}  // namespace sb::inspect
