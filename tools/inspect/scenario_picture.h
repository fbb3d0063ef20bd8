#pragma once

#include <string>
#include <vector>

#include "output/compiled_layout.h"
#include "track/model.h"

namespace sb::inspect {

// The three compiled files of one build, decoded.
struct ScenarioFiles {
  std::string route_name;
  std::string train_number;
  std::vector<Cell> cells;
  std::vector<Station> stations;
  PlanFile plan;
};

// One SVG picture of the scenario: above, the plan view of the track (equal
// scale on both axes) with stations, signals and boards; below, the profile
// along the line (gradient, line speed, adhesion, montagna spans, stations,
// the slowdown). Any content, however odd, gives a well-formed picture.
std::string scenario_svg(const ScenarioFiles& scenario);

}  // namespace sb::inspect
