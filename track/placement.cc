#include "track/error_numbers.h"
#include "track/placement.h"

#include <initializer_list>

namespace sb {

namespace {

// A slowdown starting at or before this position has no warning board.
constexpr int64_t kNoWarningUpTo = 1500;
constexpr int64_t kWarningDistance = 1200;
constexpr int kLeadCellCount = 4;
constexpr int kMontagnaMarkerEvery = 4;
constexpr int64_t kJoinedSpanGap = 150;
constexpr int32_t kJoinedSpanType = 3;

// Cell fields keep the low 16 (int16) or 8 (byte) bits of a computed value.
int16_t low16(int64_t value) { return static_cast<int16_t>(static_cast<uint16_t>(value)); }
uint8_t low8(int64_t value) { return static_cast<uint8_t>(value); }

// Whether cell i exists in the allocated model (guarding against a cell
// array shorter than cell_count claims).
bool in_model(const Builder& b, int64_t i) {
  return in_cells(b, i) && i < static_cast<int64_t>(b.cells.size());
}

bool all_in_model(const Builder& b, std::initializer_list<int64_t> indices) {
  for (int64_t i : indices)
    if (!in_model(b, i)) return false;
  return true;
}

Cell& cell(Builder& b, int64_t i) { return b.cells[static_cast<size_t>(i)]; }

bool free_at(Builder& b, int64_t i) { return is_free(cell(b, i)); }

// Cells first..last of a montagna span; empty when last is below first.
struct CellRange {
  int64_t first;
  int64_t last;
  bool empty() const { return last < first; }
};

CellRange montagna_cells(int32_t start_m, int32_t end_m) {
  return {round_half_even(start_m / 50.0), round_half_even(end_m / 50.0 - 1.0)};
}

}  // namespace

void place_montagna(Builder& b, int32_t start_m, int32_t end_m, int32_t& type) {
  const CellRange span = montagna_cells(start_m, end_m);
  if (!span.empty() && !all_in_model(b, {span.first, span.last})) {
    b.error_number = error::outside_cells;
    return;
  }
  if (b.montagna_count < 0 || b.montagna_count >= kMontagnaCapacity) {
    b.error_number = error::too_many_montagna_spans;
    return;
  }

  const bool with_markers = type > 10;
  if (with_markers) type -= 10;

  const int32_t n = ++b.montagna_count;
  b.montagna_start_m[n] = start_m;
  b.montagna_end_m[n] = end_m;
  if (n > 1 && int64_t{start_m} - b.montagna_end_m[n - 1] <= kJoinedSpanGap) type = kJoinedSpanType;

  int64_t count = 0;
  for (int64_t i = span.first; i <= span.last; ++i) {
    Cell& c = cell(b, i);
    c.montagna_type = low8(type);
    ++count;
    if (with_markers && count % kMontagnaMarkerEvery == 0 && c.kind == empty)
      c.kind = montagna_marker;
  }
}

void place_slowdown(Builder& b, int32_t start_m, int32_t speed, int32_t length_m, int32_t f_tt,
                    int32_t f_ta, int32_t d_v) {
  const bool has_warning = start_m > kNoWarningUpTo;
  if (!has_warning) f_ta = 0;
  const int64_t w = cell_index_of(int64_t{start_m} - kWarningDistance);
  const int64_t s = cell_index_of(start_m);
  const int64_t e = cell_index_of(int64_t{start_m} + length_m);
  // The lead cells count down from the cell just before the warning board,
  // found without the 1 of the cell index rule.
  const int64_t h = round_half_even((int64_t{start_m} - kWarningDistance) / 50.0);

  const bool inside = all_in_model(b, {s, e}) && (!has_warning || in_model(b, w)) &&
                      (f_ta == 0 || all_in_model(b, {h, h - (kLeadCellCount - 1)}));
  if (!inside) {
    b.error_number = error::outside_cells;
    return;
  }
  // A start board on the end cell would leave a start without an end.
  if (e <= s) {
    b.error_number = error::slowdown_end_not_after_start;
    return;
  }
  if (has_warning && !free_at(b, w)) {
    b.error_number = error::warning_board_taken;
    return;
  }
  if (!free_at(b, s)) {
    b.error_number = error::start_board_taken;
    return;
  }
  if (!free_at(b, e)) {
    b.error_number = error::end_board_taken;
    return;
  }

  cell(b, e).kind = slowdown_end;
  cell(b, s).kind = slowdown_start;
  if (d_v != 0) cell(b, e).value2 = cell(b, s).value2 = low16(d_v);
  if (has_warning) {
    Cell& warning = cell(b, w);
    warning.kind = slowdown_warning;
    warning.value1 = low16(speed);
    if (d_v != 0) warning.value2 = low16(d_v);
  }
  for (int64_t board : {s, e}) {
    cell(b, board).value1 = low16(speed);
    cell(b, board).value3 = low16(f_tt);
  }

  if (f_ta == 0) return;
  for (int n = 1; n <= kLeadCellCount; ++n) {
    if (!free_at(b, h - (n - 1))) {
      b.error_number = error::lead_boards_taken;
      return;
    }
  }
  for (int n = 1; n <= kLeadCellCount; ++n) {
    Cell& lead = cell(b, h - (n - 1));
    lead.kind = slowdown_lead;
    lead.value1 = static_cast<int16_t>(n);
    if (d_v != 0) lead.value2 = static_cast<int16_t>(n);
  }
}

void place_signal(Builder& b, int32_t position_m, int32_t sx, int32_t s1, int32_t s2,
                  int32_t s3, int32_t rapp, int32_t dx, int32_t d1, int32_t d2, int32_t d3,
                  int32_t& time_s) {
  const int64_t i = cell_index_of(position_m);
  // The approach marks reach 2 * kApproachMarkCount cells before the signal.
  if (!all_in_model(b, {i, i - 2 * kApproachMarkCount})) {
    b.error_number = error::outside_cells;
    return;
  }
  if (!free_at(b, i)) {
    b.error_number = error::signal_taken;
    return;
  }

  const int64_t sides = int64_t{sx} * 3 + dx;
  Cell& signal_cell = cell(b, i);
  signal_cell.kind = signal;
  signal_cell.value4 = low16(int64_t{rapp} * 10 + sides);
  signal_cell.value1 = low16(int64_t{s1} * 10 + d1);
  signal_cell.value2 = low16(int64_t{s2} * 10 + d2);
  signal_cell.value3 = low16(int64_t{s3} * 10 + d3);

  // A time of 1..100 s is raised to the shortest time the signal keeps.
  if (time_s >= 1 && time_s <= 100) time_s = 101;
  signal_cell.signal_time = sx == 2 ? low8(time_s) : 0;

  for (int k = 1; k <= kApproachMarkCount; ++k)
    cell(b, i - 2 * k).approach_code = low8(sides * 10 + k);
}

void place_speed_boards(Builder& b, int32_t position_m, int32_t vas, int32_t vbs,
                        int32_t vcs, int32_t stripes_s, int32_t vad, int32_t vbd, int32_t vcd,
                        int32_t stripes_d) {
  const int64_t i = cell_index_of(position_m);
  if (!in_model(b, i)) {
    b.error_number = error::outside_cells;
    return;
  }
  if (!free_at(b, i)) {
    b.error_number = error::speed_board_taken;
    return;
  }

  // Side s in the hundreds, side d in the units, both in steps of 5 km/h.
  const auto speeds = [](int32_t side_s, int32_t side_d) {
    return low16(round_half_even(side_d / 5.0 + side_s * 20.0));
  };
  Cell& board = cell(b, i);
  board.kind = speed_board;
  board.value1 = speeds(vas, vad);
  board.value2 = speeds(vbs, vbd);
  board.value3 = speeds(vcs, vcd);
  board.value4 = low16(int64_t{stripes_s} * 10 + stripes_d);
}

}  // namespace sb
