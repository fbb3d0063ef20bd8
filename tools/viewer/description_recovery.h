#pragma once

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

RecoveredDescriptions recover_descriptions(const ScenarioFiles& scenario);

}  // namespace sb::inspect
