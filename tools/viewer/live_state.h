#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "driver/error_messages.h"
#include "tools/viewer/scenario_picture.h"

namespace sb::inspect {

// What a served page shows at one moment of a watch: the page data of the
// last good build, and what became of the last save.
struct LiveState {
  // Counts every change of the state; `build` only those of the page data.
  uint64_t generation = 0;
  uint64_t build = 0;
  std::string page_data;  // page_data()'s object as text
  bool has_build = false;  // page_data is a build's, not no_build_page_data()
  bool last_save_built = false;
  std::vector<LocatedProblem> problems;  // of the last save, warnings included
};

// page_data()'s object as text, for LiveState::page_data.
std::string page_data_text(const ScenarioFiles& scenario);

// The page data of a scenario not built yet: no line.
std::string no_build_page_data();

// The page the server answers "/" with, the state built in.
std::string live_page(const LiveState& state);

// The answer to "state.json": the generation, the build, the last save and,
// unless the page already shows build `page_build`, the page data.
std::string live_state_json(const LiveState& state, uint64_t page_build);

// Whether a request's Host header names this server as the loopback address
// ("127.0.0.1:PORT" or "localhost:PORT"): a page of another site that
// points a name of its own at 127.0.0.1 (DNS rebinding) sends its own name
// and is refused.
bool loopback_host(std::string_view host, int port);

}  // namespace sb::inspect
