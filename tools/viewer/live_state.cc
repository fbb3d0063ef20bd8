#include "tools/viewer/live_state.h"

#include <algorithm>
#include <cctype>

#include "base/concat.h"
#include "tools/viewer/listing_output.h"
#include "tools/viewer/scenario_page.h"

namespace sb::inspect {

namespace {

Json problems_json(const std::vector<LocatedProblem>& problems) {
  Json list = Json::array();
  for (const LocatedProblem& p : problems) {
    list.push_back({{"error", p.error},
                    {"file", p.file},
                    {"line", p.line},
                    {"column", p.column},
                    {"message", p.message}});
  }
  return list;
}

// The state without the page data.
Json state_head(const LiveState& state) {
  return {{"generation", state.generation},
          {"build", state.build},
          {"save",
           {{"built", state.last_save_built},
            {"shows_build", state.has_build},
            {"problems", problems_json(state.problems)}}}};
}

// Compact JSON; bytes of the author's text that are not UTF-8 become U+FFFD
// rather than stopping the watch.
std::string compact(const Json& json) {
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

std::string page_data_text(const ScenarioFiles& scenario) { return compact(page_data(scenario)); }

std::string no_build_page_data() {
  Json data = Json::object();
  data["title"] = "No build yet";
  data["line_length_m"] = 0;
  data["warnings"] = Json::array();
  data["cells"] = {{"sections", Json::object()}};
  data["stations"] = {{"sections", Json::object()}};
  data["track"] = Json::array();
  return compact(data);
}

std::string live_page(const LiveState& state) {
  return live_scenario_page(state.page_data, compact(state_head(state)));
}

std::string live_state_json(const LiveState& state, uint64_t page_build) {
  std::string text = compact(state_head(state));
  if (page_build == state.build) return text;
  // The page data is text already: spliced in rather than parsed again.
  text.pop_back();
  return text + ",\"page\":" + state.page_data + "}";
}

bool loopback_host(std::string_view host, int port) {
  const std::string suffix = concat({":", std::to_string(port)});
  if (host.size() <= suffix.size() || !host.ends_with(suffix)) return false;
  const std::string_view name = host.substr(0, host.size() - suffix.size());
  return name == "127.0.0.1" || equal_ignoring_case(name, "localhost");
}

}  // namespace sb::inspect
