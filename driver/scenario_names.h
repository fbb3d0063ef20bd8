#pragma once

#include <string>
#include <vector>

#include "driver/options.h"

namespace sb {

// The route name and train number a run builds, and where each came from.
// --route and --number name them; without them, descriptions saved under
// their working names do: a line description `ROUTE_linea.txt` names the
// route, a train description `ROUTE_NUMBER-.txt` of that route the number.
// Otherwise the built-in scenario's names hold.
struct ScenarioNames {
  std::string route_name;
  std::string train_number;
  // Whether the value was read from the description's file name.
  bool route_from_file = false;
  bool number_from_file = false;
  // A description's name that disagrees with the names built, one message
  // each: the files are named otherwise than the author may expect.
  std::vector<std::string> disagreements;
};

ScenarioNames scenario_names(const Options& options);

}  // namespace sb
