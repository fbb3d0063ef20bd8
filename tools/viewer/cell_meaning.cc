#include "tools/viewer/cell_meaning.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace sb::inspect {

std::string cell_kind_name(uint8_t kind) {
  switch (kind) {
    case empty: return "empty";
    case signal: return "signal";
    case slowdown_end: return "slowdown_end";
    case slowdown_start: return "slowdown_start";
    case slowdown_warning: return "slowdown_warning";
    case slowdown_lead: return "slowdown_lead";
    case speed_board: return "speed_board";
    case stop_marker: return "stop_marker";
    case montagna_marker: return "montagna_marker";
    case code_point: return "code_point";
    case code_cut: return "code_cut";
    case indication_board: return "indication_board";
    default: return "unused kind " + std::to_string(kind);
  }
}

SignalAspect decode_signal(const Cell& cell) {
  SignalAspect aspect;
  aspect.rapp = cell.value4 / 10;
  aspect.side_s_type = (cell.value4 % 10) / 3;
  aspect.side_d_type = (cell.value4 % 10) % 3;
  const int16_t values[3] = {cell.value1, cell.value2, cell.value3};
  for (int i = 0; i < 3; ++i) {
    aspect.side_s_digits[i] = values[i] / 10;
    aspect.side_d_digits[i] = values[i] % 10;
  }
  return aspect;
}

SpeedBoard decode_speed_board(const Cell& cell) {
  SpeedBoard board;
  const int16_t values[3] = {cell.value1, cell.value2, cell.value3};
  for (int i = 0; i < 3; ++i) {
    board.side_s_kmh[i] = values[i] / 100 * 5;
    board.side_d_kmh[i] = values[i] % 100 * 5;
  }
  board.side_s_stripes = cell.value4 / 10;
  board.side_d_stripes = cell.value4 % 10;
  return board;
}

namespace {

constexpr int kStationApproachTens = 8;

struct ApproachMark {
  int tens = 0;  // sx * 3 + dx of the signal, or 8 near a stop marker
  int k = 0;     // 1..4 counted away from the object
};

std::optional<ApproachMark> approach_mark(const Cell& cell) {
  const int k = cell.approach_code % 10;
  if (cell.approach_code == 0 || k < 1 || k > 4) return std::nullopt;
  return ApproachMark{cell.approach_code / 10, k};
}

const Cell* cell_at(std::span<const Cell> cells, size_t index) {
  return index < cells.size() ? &cells[index] : nullptr;
}

bool is_stop_marker_mark(std::span<const Cell> cells, size_t index, const ApproachMark& mark) {
  const Cell* target = cell_at(cells, index + mark.k);
  return mark.tens == kStationApproachTens && target && target->kind == stop_marker;
}

bool is_signal_mark(std::span<const Cell> cells, size_t index, const ApproachMark& mark) {
  const Cell* target = cell_at(cells, index + 2 * mark.k);
  return target && target->kind == signal && target->value4 % 10 == mark.tens;
}

}  // namespace

std::string approach_meaning(std::span<const Cell> cells, size_t index) {
  if (index >= cells.size() || cells[index].approach_code == 0) return "";
  const auto mark = approach_mark(cells[index]);
  if (!mark) return "code " + std::to_string(cells[index].approach_code) + ", not a mark 1 to 4";
  const std::string k = std::to_string(mark->k) + " of 4, ";
  auto at = [](size_t cell) { return std::to_string(object_position_m(static_cast<int64_t>(cell))); };
  if (is_stop_marker_mark(cells, index, *mark)) {
    return k + std::to_string(50 * mark->k) + " m before the stop marker at " +
           at(index + mark->k) + " m";
  }
  const std::string metres = std::to_string(100 * mark->k) + " m";
  if (is_signal_mark(cells, index, *mark)) {
    return k + metres + " before the signal at " + at(index + 2 * mark->k) + " m";
  }
  return k + "of a signal with sx " + std::to_string(mark->tens / 3) + " and dx " +
         std::to_string(mark->tens % 3) + ", but none stands " + metres + " on";
}

bool approach_is_orphan(std::span<const Cell> cells, size_t index) {
  if (index >= cells.size() || cells[index].approach_code == 0) return false;
  const auto mark = approach_mark(cells[index]);
  return !mark || !(is_stop_marker_mark(cells, index, *mark) || is_signal_mark(cells, index, *mark));
}

std::vector<ProfileRun> profile_runs(std::span<const Cell> cells) {
  auto same_profile = [](const Cell& a, const Cell& b) {
    return a.gradient == b.gradient && a.line_speed == b.line_speed &&
           a.adhesion == b.adhesion && a.montagna_type == b.montagna_type;
  };
  std::vector<ProfileRun> runs;
  size_t first = 0;
  for (size_t i = 1; i <= cells.size(); ++i) {
    if (i < cells.size() && same_profile(cells[i], cells[first])) continue;
    runs.push_back({first, i - 1});
    first = i;
  }
  return runs;
}

std::vector<PlanPoint> plan_points(const PlanFile& plan) {
  std::vector<PlanPoint> points;
  const size_t count = std::min(plan.x.size(), plan.y.size());
  points.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    const PlanElement& x = plan.x[i];
    const PlanElement& y = plan.y[i];
    if (x.tag == TrackPlan::kUnsetTag || y.tag == TrackPlan::kUnsetTag) continue;
    if (!std::isfinite(x.value) || !std::isfinite(y.value)) continue;
    points.push_back({static_cast<int64_t>(i), x.value, y.value});
  }
  return points;
}

namespace {

bool has_numbers(const Station& s) {
  return s.kind || s.from_m || s.to_m || s.position_m || s.flag1 || s.int1 || s.int2 || s.int3 ||
         s.int4 || s.int5 || s.byte1 || s.byte2 || s.byte3 || s.byte4 || s.time_s;
}

}  // namespace

bool is_used(const Station& station) { return has_numbers(station) || !station.name.empty(); }

bool is_board_text(const Station& station) {
  return !has_numbers(station) && !station.name.empty();
}

std::string clock_text(int64_t seconds) {
  const char* sign = seconds < 0 ? "-" : "";
  const int64_t magnitude = seconds < 0 ? -seconds : seconds;
  char text[32];
  std::snprintf(text, sizeof text, "%s%02lld:%02lld:%02lld", sign,
                static_cast<long long>(magnitude / 3600),
                static_cast<long long>(magnitude / 60 % 60), static_cast<long long>(magnitude % 60));
  return text;
}

}  // namespace sb::inspect
