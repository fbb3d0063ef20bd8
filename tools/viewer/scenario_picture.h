#pragma once

#include <string>
#include <vector>

#include "output/compiled_layout.h"
#include "tools/viewer/cell_meaning.h"
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

// "Route R, train T", with the names the files carry, or those asked for
// when the station table has none.
std::string scenario_title(const ScenarioFiles& scenario);
// The line length the station table gives, or the cells' extent without one.
int64_t scenario_line_length_m(const ScenarioFiles& scenario);
// Where the three files disagree on the line's length, as files of
// different builds do: the cells or the plan points it gives. The picture,
// the page and the descriptions worked back from the files all ask here.
std::vector<std::string> files_of_other_builds(const ScenarioFiles& scenario);
// What makes a build look broken: files not of one build, no station, or a
// plan that ends before the line does. The picture and the page show them;
// they are still drawn.
std::vector<std::string> scenario_warnings(const ScenarioFiles& scenario);

// The plan as the picture and the page draw it: a line that runs mostly
// along its starting direction (up the page) would fill a wide panel as a
// thin strip, so it is turned a quarter clockwise, the starting direction
// pointing right, and drawn larger at the same equal scale. Returns whether
// it turned the points.
bool turn_plan_if_wider(std::vector<PlanPoint>& plan);

// One SVG picture of the scenario: above, the plan view of the track (equal
// scale on both axes) with stations, signals and boards; below, the profile
// along the line (gradient, line speed, adhesion, montagna spans, stations,
// the slowdown). Any content, however odd, gives a well-formed picture.
std::string scenario_svg(const ScenarioFiles& scenario);

}  // namespace sb::inspect
