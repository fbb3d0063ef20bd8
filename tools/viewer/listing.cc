#include "tools/viewer/listing.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/shown_text.h"
#include "output/competition_codes.h"
#include "tools/viewer/cell_meaning.h"
#include "tools/viewer/text_encoding.h"

namespace sb::inspect {

namespace {

// The values the output step stores in its reserved slots.
constexpr int64_t kCellMarker = 5121;
constexpr int64_t kStationMarker = 610;

Fact json_only(std::string name, Value value, std::string unit = "") {
  return Fact{std::move(name), std::move(value), std::move(unit), false};
}

std::vector<int64_t> ints(std::initializer_list<int64_t> values) { return values; }

template <size_t N>
std::vector<int64_t> ints(const std::array<int, N>& values) {
  return std::vector<int64_t>(values.begin(), values.end());
}

std::string check_word(bool matches) { return matches ? "matches" : "DIFFERS"; }

std::string utf8_name(const Station& station) { return windows_1252_to_utf8(station.name); }
// A name inside a heading or a note: escaped and cut as every message shows
// a value (a fact keeps the whole name; the text listing escapes it).
std::string shown_name(const Station& station) { return shown_text(station.name); }

// ---- Cell file ------------------------------------------------------------

std::vector<Fact> raw_cell_fields(const Cell& cell) {
  return {{"kind", int64_t{cell.kind}},          {"value1", int64_t{cell.value1}},
          {"value2", int64_t{cell.value2}},      {"value3", int64_t{cell.value3}},
          {"value4", int64_t{cell.value4}},      {"signal time", int64_t{cell.signal_time}},
          {"approach code", int64_t{cell.approach_code}}};
}

const Station* station_entry(const std::vector<Station>* stations, int64_t index) {
  if (!stations || index < 0 || index >= static_cast<int64_t>(stations->size())) return nullptr;
  return &(*stations)[static_cast<size_t>(index)];
}

void add_signal_facts(const Cell& cell, std::vector<Fact>& facts) {
  const SignalAspect aspect = decode_signal(cell);
  facts.push_back({"side s type", int64_t{aspect.side_s_type}});
  facts.push_back({"side s digits", ints(aspect.side_s_digits)});
  facts.push_back({"side d type", int64_t{aspect.side_d_type}});
  facts.push_back({"side d digits", ints(aspect.side_d_digits)});
  facts.push_back({"rapp", int64_t{aspect.rapp}});
  facts.push_back({"time", int64_t{cell.signal_time}});
}

void add_speed_board_facts(const Cell& cell, std::vector<Fact>& facts) {
  const SpeedBoard board = decode_speed_board(cell);
  facts.push_back({"side s speeds", ints(board.side_s_kmh), "km/h"});
  facts.push_back({"side s stripes", int64_t{board.side_s_stripes}});
  facts.push_back({"side d speeds", ints(board.side_d_kmh), "km/h"});
  facts.push_back({"side d stripes", int64_t{board.side_d_stripes}});
}

void add_slowdown_facts(const Cell& cell, std::vector<Fact>& facts) {
  if (cell.kind == slowdown_lead) {
    facts.push_back({"lead number", int64_t{cell.value1}});
  } else {
    facts.push_back({"speed", int64_t{cell.value1}, "km/h"});
  }
  if (cell.value2 != 0) facts.push_back({"d_v", int64_t{cell.value2}});
  if (cell.kind == slowdown_start || cell.kind == slowdown_end) {
    facts.push_back({"f_tt", int64_t{cell.value3}});
  }
}

void add_values_as_text(const Cell& cell, std::vector<Fact>& facts) {
  facts.push_back({"values", ints({cell.value1, cell.value2, cell.value3, cell.value4})});
}

// The meaning of the kind's values, for the text and JSON alike.
void add_kind_facts(const Cell& cell, const std::vector<Station>* stations,
                    std::vector<Fact>& facts, std::vector<std::string>& notes,
                    const std::string& where) {
  switch (cell.kind) {
    case empty:
      if (cell.value1 || cell.value2 || cell.value3 || cell.value4) {
        add_values_as_text(cell, facts);
        notes.push_back(where + ": an empty cell with values");
      }
      return;
    case signal:
      add_signal_facts(cell, facts);
      return;
    case slowdown_end:
    case slowdown_start:
    case slowdown_warning:
    case slowdown_lead:
      add_slowdown_facts(cell, facts);
      return;
    case speed_board:
      add_speed_board_facts(cell, facts);
      return;
    case stop_marker:
    case indication_board: {
      const bool is_stop = cell.kind == stop_marker;
      facts.push_back({is_stop ? "station" : "text entry", int64_t{cell.value1}});
      if (const Station* entry = station_entry(stations, cell.value1)) {
        facts.push_back({is_stop ? "station name" : "text", utf8_name(*entry)});
      } else if (stations) {
        notes.push_back(where + ": refers to station entry " + std::to_string(cell.value1) +
                        ", which does not exist");
      }
      return;
    }
    case code_point:
      facts.push_back({"code", int64_t{cell.value1}});
      return;
    case montagna_marker:
    case code_cut:
      return;
    default:
      add_values_as_text(cell, facts);
      notes.push_back(where + ": " + cell_kind_name(cell.kind));
  }
}

bool holds_something(const Cell& cell, size_t index) {
  // Cell 1's first two values are the file's header, listed on their own.
  const bool values = cell.value3 || cell.value4 || (index != 1 && (cell.value1 || cell.value2));
  return cell.kind != empty || values || cell.signal_time || cell.approach_code;
}

Entry cell_entry(std::span<const Cell> cells, size_t index, const std::vector<Station>* stations,
                 std::vector<std::string>& notes) {
  const Cell& cell = cells[index];
  const int64_t position = object_position_m(static_cast<int64_t>(index));
  const std::string where = "cell " + std::to_string(index) + " at " + std::to_string(position) + " m";
  Entry entry{where + (cell.kind != empty ? ": " + cell_kind_name(cell.kind) : ""), {}};
  entry.facts.push_back(json_only("index", static_cast<int64_t>(index)));
  entry.facts.push_back(json_only("position", position, "m"));
  entry.facts.push_back(json_only("kind", cell_kind_name(cell.kind)));
  add_kind_facts(cell, stations, entry.facts, notes, where);
  if (cell.signal_time != 0 && cell.kind != signal) {
    entry.facts.push_back({"signal time", int64_t{cell.signal_time}});
  }
  if (cell.approach_code != 0) {
    entry.facts.push_back(json_only("approach code", int64_t{cell.approach_code}));
    entry.facts.push_back({"approach mark", approach_meaning(cells, index)});
    if (approach_is_orphan(cells, index)) {
      notes.push_back(where + ": approach code " + std::to_string(cell.approach_code) +
                      " belongs to no signal or stop marker");
    }
  }
  entry.raw = raw_cell_fields(cell);
  return entry;
}

Section header_section(const std::vector<Cell>& cells, const std::vector<Station>* stations,
                       std::vector<std::string>& notes) {
  Section section{"header", {}};
  if (cells.size() < 2) {
    notes.push_back("no cell 1: the file carries no header values");
    return section;
  }
  const Cell& cell = cells[1];
  Entry entry{"cell 1", {}};
  entry.facts.push_back({"marker", int64_t{cell.value1}});
  entry.facts.push_back({"marker check", check_word(cell.value1 == kCellMarker)});
  entry.facts.push_back({"og code", int64_t{cell.value2}});
  if (cell.value1 != kCellMarker) {
    notes.push_back("cell 1: marker " + std::to_string(cell.value1) + ", expected " +
                    std::to_string(kCellMarker));
  }
  const Station* route = station_entry(stations, kRouteEntry);
  const Station* train = station_entry(stations, kTrainEntry);
  if (route && train) {
    const int64_t recomputed = competition_code_og(train->name, route->name);
    entry.facts.push_back({"recomputed og code", recomputed});
    entry.facts.push_back({"og code check", check_word(recomputed == cell.value2)});
    if (recomputed != cell.value2) {
      notes.push_back("og code " + std::to_string(cell.value2) + " differs from " +
                      std::to_string(recomputed) + ", recomputed from the names \"" +
                      shown_name(*train) + "\" and \"" + shown_name(*route) + "\"");
    }
  } else {
    entry.facts.push_back({"og code check", std::string("not checked: no station file beside")});
  }
  section.entries.push_back(std::move(entry));
  return section;
}

Section object_section(const std::vector<Cell>& cells, const std::vector<Station>* stations,
                       std::vector<std::string>& notes) {
  Section section{"objects", {}};
  bool open_slowdown = false;
  for (size_t i = 0; i < cells.size(); ++i) {
    if (!holds_something(cells[i], i)) continue;
    section.entries.push_back(cell_entry(cells, i, stations, notes));
    if (cells[i].kind == slowdown_start) open_slowdown = true;
    if (cells[i].kind == slowdown_end) open_slowdown = false;
  }
  if (open_slowdown) notes.push_back("a slowdown start has no slowdown end after it");
  return section;
}

Entry profile_run(const std::vector<Cell>& cells, size_t first, size_t last) {
  const Cell& cell = cells[first];
  const int64_t from = profile_position_m(static_cast<int64_t>(first));
  const int64_t to = profile_position_m(static_cast<int64_t>(last) + 1);
  Entry entry{"cells " + std::to_string(first) + "-" + std::to_string(last) + " (" +
                  std::to_string(from) + "-" + std::to_string(to) + " m)",
              {}};
  entry.facts.push_back(json_only("first cell", static_cast<int64_t>(first)));
  entry.facts.push_back(json_only("last cell", static_cast<int64_t>(last)));
  entry.facts.push_back(json_only("from", from, "m"));
  entry.facts.push_back(json_only("to", to, "m"));
  entry.facts.push_back({"gradient", int64_t{gradient_per_mille(cell)}, "\u2030"});
  entry.facts.push_back({"line speed", int64_t{line_speed_kmh(cell)}, "km/h"});
  entry.facts.push_back({"adhesion", int64_t{cell.adhesion}});
  entry.facts.push_back({"montagna type", int64_t{cell.montagna_type}});
  return entry;
}

Section profile_section(const std::vector<Cell>& cells) {
  Section section{"profile runs", {}};
  for (const ProfileRun& run : profile_runs(cells)) {
    section.entries.push_back(profile_run(cells, run.first, run.last));
  }
  return section;
}

// ---- Station file ---------------------------------------------------------

std::vector<Fact> raw_station_fields(const Station& s) {
  return {{"kind", int64_t{s.kind}},       {"from", int64_t{s.from_m}, "m"},
          {"to", int64_t{s.to_m}, "m"},    {"position", int64_t{s.position_m}, "m"},
          {"flag1", int64_t{s.flag1}},     {"name", utf8_name(s)},
          {"int1", int64_t{s.int1}},       {"int2", int64_t{s.int2}},
          {"int3", int64_t{s.int3}},       {"int4", int64_t{s.int4}},
          {"int5", int64_t{s.int5}},       {"byte1", int64_t{s.byte1}},
          {"byte2", int64_t{s.byte2}},     {"byte3", int64_t{s.byte3}},
          {"byte4", int64_t{s.byte4}},     {"time", int64_t{s.time_s}, "s"}};
}

Entry station_entry_line(const Station& station, size_t index) {
  Entry entry{"entry " + std::to_string(index) + " at " + std::to_string(station.position_m) +
                  " m: " + shown_name(station),
              {}};
  entry.facts.push_back(json_only("index", static_cast<int64_t>(index)));
  entry.facts.push_back(json_only("name", utf8_name(station)));
  entry.facts.push_back(json_only("position", int64_t{station.position_m}, "m"));
  entry.facts.push_back({"kind", int64_t{station.kind}});
  entry.facts.push_back(
      {"stop", std::string(station_stops(station) ? "yes" : "no, passed")});
  entry.facts.push_back({"platform", ints({station.from_m, station.to_m}), "m"});
  // A time of 0, 0, 0 in the description means none: a station passed.
  entry.facts.push_back({"time", station.time_s == 0 ? "none" : clock_text(station.time_s)});
  entry.facts.push_back({"flag1", int64_t{station.flag1}});
  entry.facts.push_back({"byte4", int64_t{station.byte4}});
  entry.facts.push_back({"end extension", int64_t{station.byte3}});
  entry.facts.push_back({"ints", ints({station.int1, station.int2, station.int3, station.int4,
                                       station.int5})});
  entry.facts.push_back({"byte1", int64_t{station.byte1}});
  entry.facts.push_back({"byte2", int64_t{station.byte2}});
  entry.raw = raw_station_fields(station);
  return entry;
}

Entry board_text_line(const Station& station, size_t index) {
  Entry entry{"entry " + std::to_string(index) + ": " + shown_name(station), {}};
  entry.facts.push_back(json_only("index", static_cast<int64_t>(index)));
  entry.facts.push_back(json_only("text", utf8_name(station)));
  return entry;
}

std::string clock_of(const Station& s) {
  char text[64];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", s.int3, s.int4, s.int5);
  return text;
}

Entry header_entry(const Station& s, size_t index) {
  Entry entry{"entry " + std::to_string(index), {}};
  entry.facts.push_back(json_only("index", static_cast<int64_t>(index)));
  switch (index) {
    case kChainageThreeEntry:
    case kChainageTwoEntry:
    case kChainageOneEntry:
      entry.heading += ": chainage system " + std::to_string(index - kChainageThreeEntry + 1) +
                       " of 3 (largest first value first)";
      entry.facts.push_back({"values", ints({s.from_m, s.to_m, s.position_m})});
      break;
    case kTrainDataEntry:
      entry.heading += ": train and line";
      entry.facts.push_back({"braked mass", int64_t{s.from_m}, "%"});
      entry.facts.push_back({"line length", int64_t{s.to_m}, "m"});
      entry.facts.push_back({"cars", int64_t{s.position_m}});
      break;
    case kRouteEntry:
      entry.heading += ": route " + shown_name(s);
      entry.facts.push_back({"backgrounds one two three", ints({s.from_m, s.position_m, s.to_m})});
      entry.facts.push_back({"marker", int64_t{s.int1}});
      entry.facts.push_back({"marker check", check_word(s.int1 == kStationMarker)});
      entry.facts.push_back({"st code", int64_t{s.time_s}});
      break;
    case kTrainEntry:
      entry.heading += ": train " + shown_name(s);
      entry.facts.push_back({"signal repetition", ints({s.from_m, s.to_m}), "m"});
      entry.facts.push_back({"repetition codes", int64_t{s.position_m}});
      entry.facts.push_back({"sand", int64_t{s.int1}});
      entry.facts.push_back({"clock", clock_of(s)});
      break;
  }
  entry.raw = raw_station_fields(s);
  return entry;
}

Section codes_section(const std::vector<Station>& stations, std::vector<std::string>& notes) {
  const Station& route = stations[kRouteEntry];
  const Station& train = stations[kTrainEntry];
  const int64_t st = competition_code_st(train.name, route.name);
  Entry entry{"names \"" + shown_name(train) + "\" + \"" + shown_name(route) + "\"", {}};
  entry.facts.push_back(json_only("train number", utf8_name(train)));
  entry.facts.push_back(json_only("route name", utf8_name(route)));
  entry.facts.push_back({"st code", int64_t{route.time_s}});
  entry.facts.push_back({"recomputed st code", st});
  entry.facts.push_back({"st code check", check_word(st == route.time_s)});
  entry.facts.push_back(
      {"recomputed og code", int64_t{competition_code_og(train.name, route.name)}});
  if (st != route.time_s) {
    notes.push_back("st code " + std::to_string(route.time_s) + " differs from " +
                    std::to_string(st) + ", recomputed from the names");
  }
  if (route.int1 != kStationMarker) {
    notes.push_back("entry 85: marker " + std::to_string(route.int1) + ", expected " +
                    std::to_string(kStationMarker));
  }
  return Section{"competition codes", {std::move(entry)}};
}

// ---- Plan file ------------------------------------------------------------

Entry block_states(const char* name, const std::vector<PlanElement>& block) {
  int64_t counts[3] = {0, 0, 0};
  for (const PlanElement& e : block) {
    counts[e.tag == TrackPlan::kRealTag ? 2 : e.tag == TrackPlan::kIntegerTag ? 1 : 0]++;
  }
  return Entry{name, {{"unset", counts[0]}, {"int16", counts[1]}, {"float64", counts[2]}}};
}

double heading_degrees(const PlanPoint& from, const PlanPoint& to) {
  // 0 along the starting direction (+y), positive turning towards +x.
  return std::atan2(to.x - from.x, to.y - from.y) * 180.0 / 3.14159265358979323846;
}

Section geometry_section(const std::vector<PlanPoint>& points) {
  Entry entry{"set points", {{"count", static_cast<int64_t>(points.size())}}};
  if (!points.empty()) {
    double length = 0;
    double min_x = points[0].x, max_x = points[0].x, min_y = points[0].y, max_y = points[0].y;
    for (size_t i = 1; i < points.size(); ++i) {
      length += std::hypot(points[i].x - points[i - 1].x, points[i].y - points[i - 1].y);
      min_x = std::min(min_x, points[i].x);
      max_x = std::max(max_x, points[i].x);
      min_y = std::min(min_y, points[i].y);
      max_y = std::max(max_y, points[i].y);
    }
    entry.facts.push_back({"last set metre", points.back().metre});
    entry.facts.push_back({"x from", min_x, "m"});
    entry.facts.push_back({"x to", max_x, "m"});
    entry.facts.push_back({"y from", min_y, "m"});
    entry.facts.push_back({"y to", max_y, "m"});
    entry.facts.push_back({"total length", length, "m"});
    if (points.size() >= 2) {
      entry.facts.push_back(
          {"final heading", heading_degrees(points[points.size() - 2], points.back()), "\u00b0"});
    }
  }
  return Section{"geometry", {std::move(entry)}};
}

Section kilometre_section(const std::vector<PlanPoint>& points) {
  Section section{"kilometre points", {}};
  for (const PlanPoint& p : points) {
    if (p.metre % 1000 != 0) continue;
    section.entries.push_back(Entry{"km " + std::to_string(p.metre / 1000),
                                    {json_only("metre", p.metre), {"x", p.x, "m"}, {"y", p.y, "m"}}});
  }
  return section;
}

void add_plan_notes(const PlanFile& plan, const std::vector<PlanPoint>& points,
                    std::vector<std::string>& notes) {
  if (!points.empty() && points.back().metre + 1 != static_cast<int64_t>(points.size())) {
    notes.push_back("unset or non-finite elements lie between set points");
  }
  for (size_t i = 0; i < plan.x.size() && i < plan.y.size(); ++i) {
    if ((plan.x[i].tag == TrackPlan::kUnsetTag) != (plan.y[i].tag == TrackPlan::kUnsetTag)) {
      notes.push_back("metre " + std::to_string(i) + " has only one coordinate set");
      return;
    }
  }
}

}  // namespace

std::optional<FileType> file_type_of(std::string_view path) {
  auto ends_with = [&](std::string_view tail) {
    return path.size() >= tail.size() && path.substr(path.size() - tail.size()) == tail;
  };
  if (ends_with("_linea.dat")) return FileType::plan;
  if (ends_with(".sim")) return FileType::station;
  if (ends_with(".dat")) return FileType::cell;
  return std::nullopt;
}

std::string file_type_name(FileType type) {
  switch (type) {
    case FileType::cell: return "cell file";
    case FileType::station: return "station file";
    case FileType::plan: return "plan file";
  }
  return "";
}

Listing list_cell_file(std::string file, const std::vector<Cell>& cells,
                       const std::vector<Station>* stations) {
  Listing listing{std::move(file), FileType::cell, {}, {}, {}};
  const auto count = static_cast<int64_t>(cells.size());
  listing.summary = {{"cells", count}, {"bytes", count * static_cast<int64_t>(kCellRecordSize)}};
  if (count > 0) listing.summary.push_back({"cell count", count - 1});
  listing.sections.push_back(header_section(cells, stations, listing.notes));
  listing.sections.push_back(object_section(cells, stations, listing.notes));
  listing.sections.push_back(profile_section(cells));
  return listing;
}

Listing list_station_file(std::string file, const std::vector<Station>& stations,
                          size_t file_size) {
  Listing listing{std::move(file), FileType::station, {}, {}, {}};
  Section station_lines{"stations", {}};
  Section board_lines{"board texts", {}};
  Section header_lines{"header entries", {}};
  for (size_t i = 0; i < stations.size(); ++i) {
    const Station& s = stations[i];
    if (i >= static_cast<size_t>(kChainageThreeEntry)) {
      header_lines.entries.push_back(header_entry(s, i));
    } else if (!is_used(s)) {
      continue;
    } else if (i == 0) {
      listing.notes.push_back("entry 0 is used; it is never filled by a build");
    } else if (is_board_text(s)) {
      board_lines.entries.push_back(board_text_line(s, i));
    } else {
      station_lines.entries.push_back(station_entry_line(s, i));
    }
  }
  listing.summary = {{"bytes", static_cast<int64_t>(file_size)},
                     {"stations", static_cast<int64_t>(station_lines.entries.size())},
                     {"board texts", static_cast<int64_t>(board_lines.entries.size())}};
  listing.sections = {std::move(station_lines), std::move(board_lines), std::move(header_lines)};
  if (stations.size() == static_cast<size_t>(kStationCount)) {
    listing.sections.push_back(codes_section(stations, listing.notes));
  }
  return listing;
}

Listing list_plan_file(std::string file, const PlanFile& plan, size_t file_size) {
  Listing listing{std::move(file), FileType::plan, {}, {}, {}};
  const std::vector<PlanPoint> points = plan_points(plan);
  const auto metres = static_cast<int64_t>(plan.x.size());
  listing.summary = {{"bytes", static_cast<int64_t>(file_size)},
                     {"points per block", metres},
                     {"y block offset", static_cast<int64_t>(plan.y_offset)}};
  if (metres > 0) listing.summary.push_back({"extent", metres - 1, "m"});
  listing.sections.push_back(
      Section{"element states", {block_states("x block", plan.x), block_states("y block", plan.y)}});
  listing.sections.push_back(geometry_section(points));
  listing.sections.push_back(kilometre_section(points));
  add_plan_notes(plan, points, listing.notes);
  return listing;
}

}  // namespace sb::inspect
