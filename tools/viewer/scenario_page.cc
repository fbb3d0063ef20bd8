#include "tools/viewer/scenario_page.h"

#include <cmath>
#include <string_view>

#include "base/file_names.h"
#include "tools/viewer/cell_meaning.h"
#include "tools/viewer/authored_rows.h"
#include "tools/viewer/listing.h"
#include "tools/viewer/page_sources.h"

namespace sb::inspect {

namespace {

// One point per cell length: fine enough to show single cells on the plan,
// about 20,000 points for the longest line.
constexpr int64_t kTrackSampleM = 50;

double decimetres(double metres) { return std::round(metres * 10) / 10; }

// The plan as drawn: far coordinates left out, turned by the picture's rule
// so that the page and the picture show one line alike.
struct DrawnPlan {
  std::vector<PlanPoint> points;
  bool turned = false;
};

DrawnPlan drawn_plan(const PlanFile& plan) {
  DrawnPlan drawn{plan_points(plan), false};
  // Coordinates no line reaches would only squash the drawing to a dot.
  std::erase_if(drawn.points,
                [](const PlanPoint& p) { return std::fabs(p.x) > 1e8 || std::fabs(p.y) > 1e8; });
  drawn.turned = turn_plan_if_wider(drawn.points);
  return drawn;
}

Json sampled_track(const std::vector<PlanPoint>& points) {
  Json track = Json::array();
  for (size_t i = 0; i < points.size(); ++i) {
    const PlanPoint& p = points[i];
    if (p.metre % kTrackSampleM != 0 && i + 1 != points.size()) continue;
    track.push_back(Json::array({p.metre, decimetres(p.x), decimetres(p.y)}));
  }
  return track;
}

// The rows of the kinds the page lists in tables; the page reads the values
// and the position from each row itself.
Json description_rows(const ScenarioFiles& scenario) {
  Json rows = Json::object();
  for (const auto& [key, texts] : authored_rows(scenario)) rows[key] = texts;
  return rows;
}

// The JSON text made safe inside a <script> element: "<" only occurs in
// strings, where its escape means the same.
std::string script_safe(const std::string& json) {
  std::string safe;
  safe.reserve(json.size());
  for (char c : json) {
    if (c == '<') {
      safe += "\\u003c";
    } else {
      safe += c;
    }
  }
  return safe;
}

// The listing as --json gives it, with each entry's heading ("entry 84:
// train and line") added for the page to show.
Json listing_with_headings(const Listing& listing) {
  Json json = listing_json(listing);
  // Sections of one title would share a key; their headings are left out.
  if (json["sections"].size() != listing.sections.size()) return json;
  auto section = json["sections"].begin();
  for (const Section& listed : listing.sections) {
    for (size_t i = 0; i < listed.entries.size(); ++i) {
      (*section)[i]["heading"] = listed.entries[i].heading;
    }
    ++section;
  }
  return json;
}

// The cell listing as --json gives it, less each entry's raw field values:
// the page shows what they mean, and on the longest line they would add
// megabytes for the browser to read.
Json cell_listing_for_page(const Listing& listing) {
  Json json = listing_json(listing);
  for (Json& section : json["sections"]) {
    for (Json& entry : section) {
      if (entry.is_object()) entry.erase("raw");
    }
  }
  return json;
}

void replace_once(std::string& text, std::string_view mark, std::string_view by) {
  const size_t at = text.find(mark);
  if (at != std::string::npos) text.replace(at, mark.size(), by);
}

}  // namespace

Json page_data(const ScenarioFiles& scenario) {
  const std::string& route = scenario.route_name;
  const std::string& train = scenario.train_number;
  Json data = Json::object();
  data["title"] = scenario_title(scenario);
  data["line_length_m"] = scenario_line_length_m(scenario);
  data["warnings"] = scenario_warnings(scenario);
  data["cells"] = cell_listing_for_page(
      list_cell_file(cell_file_name(route, train), scenario.cells, &scenario.stations));
  data["stations"] = listing_with_headings(list_station_file(
      station_file_name(route, train), scenario.stations,
      encode_station_file(scenario.stations).size()));
  const DrawnPlan plan = drawn_plan(scenario.plan);
  data["track"] = sampled_track(plan.points);
  data["plan_turned"] = plan.turned;
  data["rows"] = description_rows(scenario);
  return data;
}

namespace {

// The page with its style, script and data; `extra` goes before the end of
// the body.
std::string page_with(const std::string& data_json, const std::string& extra) {
  std::string page(kPageTemplate);
  replace_once(page, "/*PAGE_STYLE*/", kPageStyle);
  replace_once(page, "/*PAGE_SCRIPT*/", kPageScript);
  replace_once(page, "</body>", extra + "</body>");
  // The data goes last: its text may hold anything, marks included.
  replace_once(page, "/*PAGE_DATA*/", script_safe(data_json));
  return page;
}

}  // namespace

std::string scenario_page(const ScenarioFiles& scenario) {
  // A path from the command line need not be UTF-8: its bad bytes become
  // U+FFFD, as in --json.
  return page_with(page_data(scenario).dump(-1, ' ', false, Json::error_handler_t::replace), "");
}

std::string live_scenario_page(const std::string& data_json, const std::string& live_state_json) {
  const std::string live = "<style>\n" + std::string(kLiveStyle) + "</style>\n" +
                           "<script type=\"application/json\" id=\"live-state\">" +
                           script_safe(live_state_json) + "</script>\n<script>\n" +
                           std::string(kLiveScript) + "</script>\n";
  return page_with(data_json, live);
}

}  // namespace sb::inspect
