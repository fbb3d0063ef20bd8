#include <algorithm>
#include <map>
#include <set>

#include "tools/viewer/cell_meaning.h"
#include "tools/viewer/recovery_rows.h"
#include "track/placement.h"

namespace sb::inspect::recovery {

// A stop marker is written over whatever its cell holds and changes only
// kind and value1; what stood there before shows in the other values, in
// the approach marks a signal writes, and in the slowdown boards around a
// slowdown's start. This file works out the slowdowns, those under stop
// markers included, and what each stop marker covers.

namespace {

constexpr int64_t kWarningCells = 24;
constexpr int64_t kFirstLeadCellBack = 25;
// The last cell of a slowdown on the grid that has no warning board:
// x = 1500 m.
constexpr int64_t kLastStartWithoutWarning = 31;

const Cell& cell_at(const std::vector<Cell>& cells, int64_t i) {
  return cells[static_cast<size_t>(i)];
}

bool inside(const std::vector<Cell>& cells, int64_t i) {
  return i >= 0 && i <= cell_count_of(cells);
}

bool is_kind(const std::vector<Cell>& cells, int64_t i, uint8_t kind) {
  return inside(cells, i) && cell_at(cells, i).kind == kind;
}

// Whether the values a stop marker leaves could be those of a slowdown's
// start or end board: value2 = d_v, value3 = f_tt, nothing else.
bool could_be_board_of(const Cell& marker, const Cell& board) {
  return marker.value4 == 0 && marker.signal_time == 0 && marker.value2 == board.value2 &&
         marker.value3 == board.value3;
}

class SlowdownFinder {
 public:
  SlowdownFinder(const std::vector<Cell>& cells, DescriptionText* text)
      : cells_(cells), text_(text) {}

  std::vector<RecoveredSlowdown> find() {
    lead_groups();
    starts();
    // The last start first, each taking the nearest end left after it: an
    // earlier start may not take an end board a later one needs, when its
    // own end is under a stop marker.
    std::vector<RecoveredSlowdown> found;
    for (auto it = starts_.rbegin(); it != starts_.rend(); ++it) {
      if (end_of(it->first, it->second)) found.push_back(it->second);
    }
    std::reverse(found.begin(), found.end());
    orphan_ends(found);
    assign_leads(found);
    for (RecoveredSlowdown& slowdown : found) finish(slowdown);
    return found;
  }

 private:
  // Each group of lead cells by its first cell h (numbered 1; 2, 3, 4 stand
  // below it), from any of its cells still in view; whether it numbers
  // itself in value2 (a slowdown with d_v).
  void lead_groups() {
    for (int64_t i = 0; i <= cell_count_of(cells_); ++i) {
      const Cell& c = cell_at(cells_, i);
      if (c.kind != slowdown_lead || c.value1 < 1 || c.value1 > kApproachMarkCount) continue;
      const int64_t h = i + c.value1 - 1;
      leads_[h] = leads_[h] || c.value2 != 0;
    }
  }

  void starts() {
    for (int64_t s = 0; s <= cell_count_of(cells_); ++s) {
      const Cell& c = cell_at(cells_, s);
      if (c.kind == slowdown_start) add_start(s, c.value1, c.value2, c.value3, false);
    }
    // A warning board whose start is under a stop marker.
    for (int64_t w = 0; w <= cell_count_of(cells_); ++w) {
      const Cell& c = cell_at(cells_, w);
      const int64_t s = w + kWarningCells;
      if (c.kind == slowdown_warning && starts_.count(s) == 0 && is_kind(cells_, s, stop_marker) &&
          cell_at(cells_, s).value2 == c.value2) {
        add_start(s, c.value1, c.value2, cell_at(cells_, s).value3, true);
      }
    }
    // Lead cells whose start is under a stop marker.
    for (const auto& [h, numbered] : leads_) {
      const int64_t s = h + kFirstLeadCellBack;
      if (starts_.count(s) != 0 || starts_.count(s + 1) != 0) continue;
      if (is_kind(cells_, s, stop_marker) && (cell_at(cells_, s).value2 != 0) == numbered) {
        add_start(s, 0, cell_at(cells_, s).value2, cell_at(cells_, s).value3, true);
      }
    }
  }

  void add_start(int64_t s, int64_t speed, int64_t d_v, int64_t f_tt, bool hidden) {
    RecoveredSlowdown r;
    r.start_cell = s;
    r.position_m = position_of_cell(s);
    r.speed = speed;
    r.d_v = d_v;
    r.f_tt = f_tt;
    if (hidden) r.cells_under_markers.push_back(s);
    starts_[s] = r;
  }

  // The nearest end board after the start with the same values, or failing
  // one, the nearest stop marker that may hide it.
  bool end_of(int64_t s, RecoveredSlowdown& r) {
    const bool speed_known = cell_at(cells_, s).kind == slowdown_start || r.speed != 0;
    int64_t hidden_end = -1;
    for (int64_t e = s + 1; e <= cell_count_of(cells_); ++e) {
      const Cell& c = cell_at(cells_, e);
      if (c.kind == slowdown_end && ends_taken_.count(e) == 0 && c.value2 == r.d_v &&
          c.value3 == r.f_tt && (!speed_known || c.value1 == r.speed)) {
        if (!speed_known) r.speed = c.value1;
        ends_taken_.insert(e);
        r.end_cell = e;
        return true;
      }
      if (hidden_end < 0 && c.kind == stop_marker && ends_taken_.count(e) == 0 &&
          starts_.count(e) == 0) {
        Cell board;
        board.value2 = static_cast<int16_t>(r.d_v);
        board.value3 = static_cast<int16_t>(r.f_tt);
        if (could_be_board_of(c, board)) hidden_end = e;
      }
    }
    if (hidden_end >= 0) {
      ends_taken_.insert(hidden_end);
      r.end_cell = hidden_end;
      r.cells_under_markers.push_back(hidden_end);
      return true;
    }
    if (text_ != nullptr) {
      text_->problem("slowdown start in cell " + std::to_string(s) + " has no end after it");
    }
    return false;
  }

  // An end board no start claims, with no warning or lead cells to find its
  // start by (a slowdown at 1500 m or less): its start is under the nearest
  // stop marker before it that may hide it.
  void orphan_ends(std::vector<RecoveredSlowdown>& found) {
    std::set<int64_t> used_markers;
    for (const RecoveredSlowdown& r : found) {
      used_markers.insert(r.cells_under_markers.begin(), r.cells_under_markers.end());
    }
    for (int64_t e = 0; e <= cell_count_of(cells_); ++e) {
      const Cell& end = cell_at(cells_, e);
      if (end.kind != slowdown_end || ends_taken_.count(e) != 0) continue;
      for (int64_t s = e - 1; s >= 0; --s) {
        if (!is_kind(cells_, s, stop_marker) || used_markers.count(s) != 0 ||
            !could_be_board_of(cell_at(cells_, s), end)) {
          continue;
        }
        add_start(s, end.value1, end.value2, end.value3, true);
        RecoveredSlowdown r = starts_[s];
        r.end_cell = e;
        ends_taken_.insert(e);
        used_markers.insert(s);
        found.push_back(r);
        break;
      }
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
      return a.start_cell < b.start_cell;
    });
  }

  // Each group of lead cells belongs to the start 25 cells after its first
  // cell, or to the start 26 cells after it placed 25 m past the grid.
  void assign_leads(std::vector<RecoveredSlowdown>& found) {
    std::map<int64_t, RecoveredSlowdown*> by_start;
    for (RecoveredSlowdown& r : found) by_start[r.start_cell] = &r;
    // A slowdown with lead cells has its warning board 24 cells before its
    // start, or a stop marker over it: a start without one (at 1500 m, in
    // the cell of one at 1501 m to 1524 m) takes none.
    const auto takes = [&](bool numbered, int64_t s) -> RecoveredSlowdown* {
      const auto it = by_start.find(s);
      if (s <= kWarningCells + 1 || it == by_start.end() || it->second->with_lead) return nullptr;
      const int64_t w = s - kWarningCells;
      if (!is_kind(cells_, w, slowdown_warning) && !is_kind(cells_, w, stop_marker)) {
        return nullptr;
      }
      return ((it->second->d_v != 0) == numbered) ? it->second : nullptr;
    };
    for (const auto& [h, numbered] : leads_) {
      if (RecoveredSlowdown* r = takes(numbered, h + kFirstLeadCellBack)) {
        r->with_lead = true;
      } else if (const int64_t s = h + kFirstLeadCellBack + 1; s % 2 == 0) {
        if (RecoveredSlowdown* off = takes(numbered, s)) {
          off->with_lead = true;
          // x = 50 * (s - 2) + 25: the same start and warning cells as on
          // the grid, the lead cells one further back.
          off->position_m = position_of_cell(s - 1) + 25;
        }
      }
    }
  }

  // The length that ends the slowdown in its end cell, and which of its
  // warning and lead cells a stop marker covers now.
  void finish(RecoveredSlowdown& r) {
    // Cell 31 holds starts from 1476 m to 1524 m: only those past 1500 m
    // have a warning board and lead cells.
    if (r.start_cell == kLastStartWithoutWarning) {
      const Cell& w = cell_at(cells_, r.start_cell - kWarningCells);
      if (r.with_lead || (w.kind == slowdown_warning && w.value1 == r.speed &&
                          w.value2 == r.d_v)) {
        r.position_m = position_of_cell(r.start_cell) + 1;
      }
    }
    r.length_m = position_of_cell(r.end_cell) - r.position_m;
    if (r.start_cell > kLastStartWithoutWarning || r.position_m % 50 != 0) {
      const int64_t w = r.start_cell - kWarningCells;
      if (is_kind(cells_, w, stop_marker)) r.cells_under_markers.push_back(w);
      if (r.speed == 0 && is_kind(cells_, w, slowdown_warning)) r.speed = cell_at(cells_, w).value1;
    }
    if (r.with_lead) {
      const int64_t h = r.start_cell - kFirstLeadCellBack - (r.position_m % 50 == 25 ? 1 : 0);
      for (int64_t i = h; i > h - kApproachMarkCount; --i) {
        if (is_kind(cells_, i, stop_marker)) r.cells_under_markers.push_back(i);
      }
    }
  }

  const std::vector<Cell>& cells_;
  DescriptionText* text_;
  std::map<int64_t, bool> leads_;
  std::map<int64_t, RecoveredSlowdown> starts_;
  std::set<int64_t> ends_taken_;
};

}  // namespace

std::vector<RecoveredSlowdown> recover_slowdowns(const std::vector<Cell>& cells,
                                                 DescriptionText* text) {
  return SlowdownFinder(cells, text).find();
}

int64_t floor_div(int64_t value, int64_t d) {
  return value >= 0 ? value / d : -((-value + d - 1) / d);
}

int64_t usual_sides(const Cell& c) { return c.value4 - floor_div(c.value4, 10) * 10; }

// Cells whose approach code a signal in view (with its usual sides) or a
// station's stop marker explains.
std::vector<bool> explained_marks(const std::vector<Cell>& cells) {
  std::vector<bool> explained(cells.size(), false);
  for (int64_t i = 0; i <= cell_count_of(cells); ++i) {
    const Cell& c = cell_at(cells, i);
    if (c.kind != signal && c.kind != stop_marker) continue;
    for (int k = 1; k <= kApproachMarkCount; ++k) {
      const int64_t from_signal = i - 2 * k;
      if (c.kind == signal && inside(cells, from_signal) &&
          cell_at(cells, from_signal).approach_code ==
              static_cast<uint8_t>(usual_sides(c) * 10 + k)) {
        explained[static_cast<size_t>(from_signal)] = true;
      }
      const int64_t from_station = i - k;
      if (c.kind == stop_marker && inside(cells, from_station) &&
          cell_at(cells, from_station).approach_code == kFirstStationApproachCode + k) {
        explained[static_cast<size_t>(from_station)] = true;
      }
    }
  }
  return explained;
}

// Whether a signal in view none of whose marks shows with its usual sides
// could have written the approach code of cell `mark` with sides beyond 9
// that end in the same digit.
bool signal_in_view_may_give(const std::vector<Cell>& cells, const std::vector<bool>& explained,
                             int64_t mark) {
  const uint8_t code = cell_at(cells, mark).approach_code;
  for (int k = 1; k <= kApproachMarkCount; ++k) {
    const int64_t i = mark + 2 * k;
    if (!is_kind(cells, i, signal)) continue;
    const int64_t sides = usual_sides(cell_at(cells, i));
    bool shown = false;
    for (int m = 1; m <= kApproachMarkCount && !shown; ++m) {
      const int64_t own = i - 2 * m;
      shown = inside(cells, own) && explained[static_cast<size_t>(own)] &&
              cell_at(cells, own).approach_code == static_cast<uint8_t>(sides * 10 + m);
    }
    if (shown) continue;
    for (int64_t t = -32; t < 32; ++t) {
      if (static_cast<uint8_t>((sides + 10 * t) * 10 + k) == code) return true;
    }
  }
  return false;
}

// Whether a signal in view marks cell `mark`: a cell that holds no code
// then was wiped by a later mark of code 0, which only sides beyond 9 give.
bool signal_in_view_marks(const std::vector<Cell>& cells, int64_t mark) {
  for (int k = 1; k <= kApproachMarkCount; ++k) {
    if (is_kind(cells, mark + 2 * k, signal)) return true;
  }
  return false;
}

std::vector<UnderMarker> under_stop_markers(const std::vector<Cell>& cells) {
  std::vector<UnderMarker> under(cells.size(), UnderMarker::nothing);
  for (const RecoveredSlowdown& r : recover_slowdowns(cells, nullptr)) {
    for (int64_t i : r.cells_under_markers) under[static_cast<size_t>(i)] = UnderMarker::slowdown;
  }
  std::vector<bool> explained;
  for (int64_t i = 0; i <= cell_count_of(cells); ++i) {
    const Cell& c = cell_at(cells, i);
    if (c.kind != stop_marker || under[static_cast<size_t>(i)] != UnderMarker::nothing) continue;
    if (!(c.value2 || c.value3 || c.value4 || c.signal_time)) continue;
    if (explained.empty()) explained = explained_marks(cells);
    // A signal leaves its time, or approach marks in view: one of its usual
    // sides, or one of sides beyond 9 that nothing else explains (a code,
    // not 0, or a 0 over a signal's mark, that something must have written,
    // and that no signal in view could have written with such sides of its
    // own). Anything else that leaves values is taken for a max-speed board,
    // which gives any value2 to value4 and writes no marks.
    const auto marks_in_view = [&](int64_t sides, bool unexplained_only) {
      int n = 0;
      for (int k = 1; k <= kApproachMarkCount; ++k) {
        const int64_t mark = i - 2 * k;
        n += inside(cells, mark) &&
             cell_at(cells, mark).approach_code == static_cast<uint8_t>(sides * 10 + k) &&
             !(unexplained_only && (explained[static_cast<size_t>(mark)] ||
                                    (cell_at(cells, mark).approach_code == 0 &&
                                     !signal_in_view_marks(cells, mark)) ||
                                    signal_in_view_may_give(cells, explained, mark)));
      }
      return n;
    };
    bool signal_marks = c.signal_time != 0 || marks_in_view(usual_sides(c), false) > 0;
    for (int64_t t = -32; t < 32 && !signal_marks; ++t) {
      signal_marks = marks_in_view(usual_sides(c) + 10 * t, true) >= 1;
    }
    under[static_cast<size_t>(i)] = signal_marks ? UnderMarker::signal : UnderMarker::speed_board;
  }
  return under;
}

std::vector<BoardRow> indication_boards(const ScenarioFiles& s, DescriptionText* text) {
  // Stations fill the entries from 1 up without a gap; every entry used
  // above them, and every entry between 80 and the lowest a board cell
  // names, holds a board's text.
  int first_above_stations = 1;
  while (first_above_stations <= kFirstBoardSlot &&
         is_used(s.stations[static_cast<size_t>(first_above_stations)])) {
    ++first_above_stations;
  }
  std::map<int, int64_t> cell_of_entry;
  std::vector<BoardRow> boards;
  for (int64_t i = 0; i <= cell_count_of(s.cells); ++i) {
    const Cell& c = cell_at(s.cells, i);
    if (c.kind != indication_board) continue;
    if (c.value1 < first_above_stations || c.value1 > kFirstBoardSlot ||
        !cell_of_entry.emplace(c.value1, i).second) {
      if (text != nullptr) {
        text->problem("indication board in cell " + std::to_string(i) + " has text entry " +
                      std::to_string(c.value1) + ", which no board reading in order takes");
      }
      continue;
    }
  }
  int lowest = kFirstBoardSlot + 1;
  for (int e = first_above_stations; e <= kFirstBoardSlot; ++e) {
    if (is_used(s.stations[static_cast<size_t>(e)]) || cell_of_entry.count(e) != 0) {
      lowest = e;
      break;
    }
  }
  // Boards under stop markers: their cells show nothing but the marker.
  const std::vector<UnderMarker> under = under_stop_markers(s.cells);
  int64_t next_marker = 0;
  for (int e = kFirstBoardSlot; e >= lowest; --e) {
    const auto found = cell_of_entry.find(e);
    if (found != cell_of_entry.end()) {
      boards.push_back({e, found->second, false});
      continue;
    }
    while (next_marker <= cell_count_of(s.cells) &&
           (cell_at(s.cells, next_marker).kind != stop_marker ||
            under[static_cast<size_t>(next_marker)] != UnderMarker::nothing)) {
      ++next_marker;
    }
    if (next_marker > cell_count_of(s.cells)) {
      if (text != nullptr) {
        text->problem("board text entry " + std::to_string(e) +
                      " has no board cell and no stop marker that may cover one");
      }
      continue;
    }
    boards.push_back({e, next_marker++, true});
  }
  return boards;
}

}  // namespace sb::inspect::recovery
