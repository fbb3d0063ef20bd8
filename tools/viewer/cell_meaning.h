#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "output/compiled_layout.h"
#include "track/model.h"

namespace sb::inspect {

// What the packed numbers of the compiled files stand for, decoded once for
// the listing and the picture alike.

// The name of a cell kind ("signal", "stop_marker"); "unused kind N" for
// the numbers no kind has.
std::string cell_kind_name(uint8_t kind);

// The position of a point object in cell i: the inverse of the cell index
// rule, (i - 1) * 50.
inline int64_t object_position_m(int64_t cell) { return (cell - 1) * 50; }
// Where the profile bytes of cell k apply: k * 50.
inline int64_t profile_position_m(int64_t cell) { return cell * 50; }

inline int gradient_per_mille(const Cell& cell) { return cell.gradient - 100; }
inline int line_speed_kmh(const Cell& cell) { return cell.line_speed * 5; }

// value4 = rapp * 10 + sx * 3 + dx; value1..value3 = side-s digit * 10 +
// side-d digit.
struct SignalAspect {
  int side_s_type = 0;
  int side_d_type = 0;
  int rapp = 0;
  std::array<int, 3> side_s_digits{};
  std::array<int, 3> side_d_digits{};
};
SignalAspect decode_signal(const Cell& cell);

// Each value = side-s speed / 5 * 100 + side-d speed / 5; value4 = side-s
// stripes * 10 + side-d stripes. Exact for speeds that are multiples of 5.
struct SpeedBoard {
  std::array<int, 3> side_s_kmh{};
  std::array<int, 3> side_d_kmh{};
  int side_s_stripes = 0;
  int side_d_stripes = 0;
};
SpeedBoard decode_speed_board(const Cell& cell);

// What the approach mark of cell `index` belongs to, in the author's terms:
// "1 of 4, 100 m before the signal at 1050 m"; a stop marker's marks stand
// k cells before it (codes 81..84), a signal's 2k cells before it, its sx
// and dx giving the code. Empty when the cell has no mark.
std::string approach_meaning(std::span<const Cell> cells, size_t index);
// Whether the mark of cell `index` matches neither a signal nor a stop
// marker where it should.
bool approach_is_orphan(std::span<const Cell> cells, size_t index);

// Cells first..last (inclusive) share gradient, line speed, adhesion and
// montagna type.
struct ProfileRun {
  size_t first = 0;
  size_t last = 0;
};
std::vector<ProfileRun> profile_runs(std::span<const Cell> cells);

// A point of the track plan whose two coordinates are both set.
struct PlanPoint {
  int64_t metre = 0;
  double x = 0;
  double y = 0;
};
// The set points in order of metre; points with an unset or non-finite
// coordinate are left out.
std::vector<PlanPoint> plan_points(const PlanFile& plan);

// Entries 1..80 of the station table hold stations, which carry numbers,
// and indication-board texts, which are a name alone; unused entries are
// all zero.
bool is_used(const Station& station);
bool is_board_text(const Station& station);
// Stations of kinds below 25 are stops: they get a stop marker.
inline bool station_stops(const Station& station) { return station.kind < 25; }

// "hh:mm:ss" of a time of day in seconds (hours may pass 23).
std::string clock_text(int64_t seconds);

}  // namespace sb::inspect
