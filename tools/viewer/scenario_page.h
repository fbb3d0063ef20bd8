#pragma once

#include <string>

#include "tools/viewer/listing_output.h"
#include "tools/viewer/scenario_picture.h"

namespace sb::inspect {

// One self-contained HTML page to explore the scenario in a browser: the
// plan and the profile sharing the position axis, details of every cell,
// the station table and a search. The page needs no network and no other
// file; its script reads the data object below from the page itself.
std::string scenario_page(const ScenarioFiles& scenario);

// The data the page shows: the listings of the cell and station files (the
// same objects as --json) with the title, the line length, the warnings,
// the plan sampled every 50 m as [metre, x, y] triples (turned as the
// picture turns it, "plan_turned"), and the signal, slowdown, speed-board,
// curve, montagna and code-point rows of descriptions that build the files.
Json page_data(const ScenarioFiles& scenario);

// The page for the data object `data_json` (page_data's, as text), with the
// live part a served page adds: its script follows the server's builds and
// lists the problems of the last save, starting from `live_state_json`.
std::string live_scenario_page(const std::string& data_json, const std::string& live_state_json);

}  // namespace sb::inspect
