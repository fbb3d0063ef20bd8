#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <queue>
#include <set>

#include "platform/memory_platform.h"
#include "tools/viewer/cell_meaning.h"
#include "tools/viewer/recovery_rows.h"
#include "track/finishing_pass.h"
#include "track/placement.h"

namespace sb::inspect::recovery {

namespace {

constexpr int32_t kEndExtension = 50;
// The code the finishing pass gives its marks.
constexpr int16_t kPassCode = 180;

const Cell& cell_at(const std::vector<Cell>& cells, int64_t i) {
  return cells[static_cast<size_t>(i)];
}

std::string position_field(int64_t position_m) {
  return position_m == 0 ? after_comma(0, 3) : aligned(position_m, 8);
}

// ---- Header and profiles ------------------------------------------------------

void header_rows(const std::vector<Station>& stations, DescriptionText& text) {
  const Station& train = stations[kTrainDataEntry];
  const Station& clock = stations[kTrainEntry];
  text.line("[generale]");
  text.line("numero vetture" + after_comma(train.position_m, 4));
  text.line("percentuale massa frenata" + after_comma(train.from_m, 4));
  text.line("sabbia" + after_comma(clock.int1, 4));
  text.line("orologio,    " + std::to_string(clock.int3) + "              " +
            std::to_string(clock.int4) + "            " + std::to_string(clock.int5) + " ");
}

void profile_section(const std::vector<Cell>& cells, uint8_t Cell::*field, int scale,
                     const char* key, DescriptionText& text) {
  for (const ProfileRow& row : profile_rows(cells, field, key, text)) {
    text.line(key + position_field(row.position_m) + aligned(int64_t{row.value} * scale, 6));
  }
}

// ---- Rows that write into the cells in reading order --------------------------

// A station or signal row, with the approach marks it writes.
struct OrderedRow {
  std::string text;
  bool station = false;
  // The default place: stations in entry order, then signals by position.
  int rank = 0;
  std::vector<std::pair<int64_t, uint8_t>> marks;  // cell, approach code
};

struct StationRows {
  std::vector<OrderedRow> rows;
  // The stop marker cell of each station row (-1 without one).
  std::vector<int64_t> markers;
};

// The platform length and end-extension flag a station row needs for the
// extent its entry holds.
struct PlatformExtent {
  int64_t length = 0;
  int64_t end_extension = 0;
};

std::optional<PlatformExtent> platform_of(const Station& e, int n, DescriptionText& text) {
  const int64_t position = e.position_m;
  PlatformExtent p;
  int64_t to_expected = 0;
  if (e.kind == 5 || e.kind == 6) {
    p.length = position - e.from_m;
    to_expected = position + 150;
  } else if (e.kind == 7 || e.kind == 8) {
    p.length = position - e.from_m;
    to_expected = position + p.length;
  } else {
    p.length = 2 * (position - e.from_m);
    p.end_extension = e.byte3;
    // The first station's flag is cleared after it has moved the end.
    if (n == 1 && e.to_m - (position + p.length / 2) == kEndExtension) p.end_extension = 1;
    to_expected = position + p.length / 2 + (p.end_extension != 0 ? kEndExtension : 0);
  }
  if (p.length % 100 != 0 || e.to_m != to_expected || position % 50 != 0) {
    text.problem("station entry " + std::to_string(n) + " has a platform (" +
                 std::to_string(e.from_m) + " to " + std::to_string(e.to_m) + " m at " +
                 std::to_string(position) + " m) that no station row gives");
    return std::nullopt;
  }
  return p;
}

std::string station_row_text(const Station& e, const PlatformExtent& p) {
  const int64_t t = e.time_s;
  return "stazione" + aligned(e.position_m, 8) + aligned(e.kind, 3) + aligned(p.length, 5) +
         aligned(e.flag1, 3) + aligned(e.byte4, 2) + aligned(p.end_extension, 2) +
         aligned(e.int1, 3) + aligned(e.int2, 0) + aligned(e.byte1, 0) + aligned(e.int3, 3) +
         aligned(e.int4, 0) + aligned(e.int5, 0) + aligned(e.byte2, 5) + aligned(t / 3600, 4) +
         aligned(t % 3600 / 60, 2) + aligned(t % 60, 2) + ", " + e.name;
}

// The stations are entries 1 up to the first unused one below the board
// texts.
StationRows station_rows(const ScenarioFiles& s, DescriptionText& text) {
  int lowest_board = kFirstBoardSlot + 1;
  for (const BoardRow& board : indication_boards(s, nullptr)) {
    lowest_board = std::min(lowest_board, board.entry);
  }
  StationRows out;
  int n = 1;
  for (; n < lowest_board && n < kStationCount; ++n) {
    const Station& e = s.stations[static_cast<size_t>(n)];
    if (!is_used(e)) break;
    const std::optional<PlatformExtent> p = platform_of(e, n, text);
    if (!p) continue;
    if (!text_field_keeps(e.name)) {
      text.problem("the name of station entry " + std::to_string(n) +
                   " holds a comma, a line feed or a leading blank");
    }
    if (e.byte4 != 0 && (n == 1 || p->length < kLongPlatform)) {
      text.problem("station entry " + std::to_string(n) + " keeps byte4 that a row clears");
    }
    OrderedRow row{station_row_text(e, *p), true, static_cast<int>(out.rows.size()), {}};
    int64_t marker = -1;
    if (e.kind < kFirstKindWithoutStop) {
      marker = e.to_m / 50 - 1;
      for (int k = 1; k <= kApproachMarkCount && e.kind != 5 && e.kind != 6; ++k) {
        if (marker - k > 1) {
          row.marks.push_back({marker - k, static_cast<uint8_t>(kFirstStationApproachCode + k)});
        }
      }
    }
    out.rows.push_back(std::move(row));
    out.markers.push_back(marker);
  }
  for (; n < lowest_board && n < kStationCount; ++n) {
    if (is_used(s.stations[static_cast<size_t>(n)])) {
      text.problem("station entry " + std::to_string(n) + " follows an unused entry");
    }
  }
  return out;
}

// A signal cell back to the row's eleven values, for the given sides.
// A signal keeps its time only with sx 2.
std::string signal_row_text(const Cell& c, int64_t cell, int64_t sides) {
  const int64_t rapp = (c.value4 - sides) / 10;
  const bool timed = c.signal_time != 0 || (sides >= 6 && sides <= 8);
  const int64_t sx = timed ? 2 : floor_div(sides, 3);
  const int64_t dx = sides - 3 * sx;
  // Times 1 to 100 are raised to 101: such a byte comes from a larger time.
  const int64_t tempo = c.signal_time >= 1 && c.signal_time <= 100 ? c.signal_time + 256
                                                                    : c.signal_time;
  int64_t s[3], d[3];
  const int16_t values[3] = {c.value1, c.value2, c.value3};
  for (int k = 0; k < 3; ++k) {
    s[k] = floor_div(values[k], 10);
    d[k] = values[k] - s[k] * 10;
  }
  return "segnale" + aligned(position_of_cell(cell), 8) + aligned(sx, 4) + aligned(s[0], 2) +
         aligned(s[1], 2) + aligned(s[2], 3) + aligned(rapp, 2) + aligned(dx, 5) +
         aligned(d[0], 3) + aligned(d[1], 0) + aligned(d[2], 0) + ", " + std::to_string(tempo);
}

OrderedRow signal_row(const Cell& c, int64_t cell, int64_t sides, int rank) {
  Cell values = c;
  // The stop marker took value1: its digits are lost and any will do.
  if (c.kind == stop_marker) values.value1 = 0;
  OrderedRow row{signal_row_text(values, cell, sides), false, rank, {}};
  for (int k = 1; k <= kApproachMarkCount; ++k) {
    row.marks.push_back({cell - 2 * k, static_cast<uint8_t>(sides * 10 + k)});
  }
  return row;
}

void add_signal_rows(const std::vector<Cell>& cells, const std::vector<UnderMarker>& under,
                     std::vector<OrderedRow>& rows, std::vector<int64_t>& signal_cells) {
  const int first_rank = static_cast<int>(rows.size());
  for (int64_t i = 0; i <= cell_count_of(cells); ++i) {
    const Cell& c = cell_at(cells, i);
    if (c.kind != signal && under[static_cast<size_t>(i)] != UnderMarker::signal) continue;
    rows.push_back(signal_row(c, i, usual_sides(c),
                              first_rank + static_cast<int>(signal_cells.size())));
    signal_cells.push_back(i);
  }
}

// Sides beyond 0 to 9: value4 keeps only their last digit, the approach
// marks keep (sides * 10 + k) in a byte; of the sides with one last digit,
// 64 give distinct marks. Codes no row gives with its usual sides must come
// from such signals, and only from those whose own marks no cell shows
// (any other keeps its usual sides). Signals near each other overwrite each
// other's marks, so which signal takes which sides is searched for: each
// code in turn, lowest cell first, is given to one of the signals whose
// sides can give it, or left; the choice giving most codes wins, within a
// budget for each group of codes that signals share.
class UnusualSides {
 public:
  using OrderCheck = std::function<bool(const std::vector<OrderedRow>&)>;
  UnusualSides(const std::vector<Cell>& cells, std::vector<OrderedRow>& rows,
               const std::vector<int64_t>& signal_cells, size_t first_signal,
               OrderCheck order_exists, SearchBudget& budget)
      : cells_(cells),
        rows_(rows),
        signal_cells_(signal_cells),
        first_signal_(first_signal),
        order_exists(std::move(order_exists)),
        budget_(budget) {}

  void settle() {
    count_explained();
    search_and_apply(false);
    if (order_exists(rows_)) return;
    // Sides beyond 9 can write what another signal's marks write (sides -75
    // give 19 to 22, as the marks 1 and 2 of sides 2 do), and such a code,
    // taken for the other signal's, can leave no reading order. Then the
    // codes other rows explain are open to the search as well.
    const std::vector<OrderedRow> narrow = rows_;
    search_and_apply(true);
    if (order_exists(rows_)) return;
    // A signal whose usual marks seem to show may only seem to: sides
    // beyond 9 of a neighbour can write the very codes its usual sides give
    // (sides -48 write 33 and 34, as the marks 3 and 4 of sides 3), while
    // its own marks, of sides beyond 9 too, are what no row explains. Then
    // the sides of such a signal are open to the search as well.
    rows_ = narrow;
    open_doubtful_signals();
    search_and_apply(true);
    if (!order_exists(rows_)) rows_ = narrow;
  }

 private:
  void count_explained() {
    explained_.assign(cells_.size(), 0);
    // A cell without a code that some row marks was wiped by a later mark
    // of code 0, which only sides beyond 9 give.
    marked_.assign(cells_.size(), false);
    for (const OrderedRow& row : rows_) {
      for (const auto& [cell, code] : row.marks) {
        if (gives(cell, code)) ++explained_[static_cast<size_t>(cell)];
        if (cell >= 0 && cell <= cell_count_of(cells_)) marked_[static_cast<size_t>(cell)] = true;
      }
    }
    // A signal whose usual sides alone give some cell's code keeps them.
    shown_.assign(signal_cells_.size(), false);
    for (size_t k = 0; k < signal_cells_.size(); ++k) {
      for (const auto& [cell, code] : rows_[first_signal_ + k].marks) {
        if (gives(cell, code) && explained_[static_cast<size_t>(cell)] == 1) shown_[k] = true;
      }
    }
  }

  // Takes a signal as shown no longer where each cell that shows it holds
  // a code that another signal's sides beyond 9 can write there.
  void open_doubtful_signals() {
    collect_options(true);
    std::map<int64_t, std::set<size_t>> others;  // cell: the signals that may write its code
    for (const Option& o : options_) {
      for (int64_t cell : o.cells) others[cell].insert(o.signal);
    }
    for (size_t k = 0; k < signal_cells_.size(); ++k) {
      if (!shown_[k]) continue;
      bool doubtful = true;
      for (const auto& [cell, code] : rows_[first_signal_ + k].marks) {
        if (gives(cell, code) && explained_[static_cast<size_t>(cell)] == 1 &&
            others[cell].empty()) {
          doubtful = false;
        }
      }
      if (doubtful) shown_[k] = false;
    }
  }

  // The other sides each signal whose own marks no cell shows may take, and
  // the codes each gives: those no row explains, or with `explained_too`
  // any.
  void collect_options(bool explained_too) {
    options_.clear();
    for (size_t k = 0; k < signal_cells_.size(); ++k) {
      if (shown_[k]) continue;
      const int64_t i = signal_cells_[k];
      const Cell& c = cell_at(cells_, i);
      for (int64_t t = 1; t < 64; ++t) {
        // 1, -1, 2, -2, ...: smaller sides first.
        const int64_t step = t % 2 == 1 ? (t + 1) / 2 : -t / 2;
        const int64_t sides = usual_sides(c) + 10 * step;
        Option option{k, sides, {}};
        for (int m = 1; m <= kApproachMarkCount; ++m) {
          const int64_t cell = i - 2 * m;
          if (gives(cell, static_cast<uint8_t>(sides * 10 + m)) &&
              (explained_too || explained_[static_cast<size_t>(cell)] == 0) &&
              (cell_at(cells_, cell).approach_code != 0 || marked_[static_cast<size_t>(cell)])) {
            option.cells.push_back(cell);
          }
        }
        if (!option.cells.empty()) options_.push_back(std::move(option));
      }
    }
  }

  void search_and_apply(bool explained_too) {
    collect_options(explained_too);
    choices_.clear();
    // Groups of options that share a signal or a code, each searched alone.
    std::vector<size_t> group(options_.size());
    for (size_t o = 0; o < options_.size(); ++o) group[o] = o;
    const auto root = [&](size_t o) {
      while (group[o] != o) o = group[o] = group[group[o]];
      return o;
    };
    std::map<size_t, size_t> by_signal;
    std::map<int64_t, size_t> by_cell;
    for (size_t o = 0; o < options_.size(); ++o) {
      const auto join = [&](size_t other) { group[root(o)] = root(other); };
      if (const auto [it, fresh] = by_signal.emplace(options_[o].signal, o); !fresh) join(it->second);
      for (int64_t cell : options_[o].cells) {
        if (const auto [it, fresh] = by_cell.emplace(cell, o); !fresh) join(it->second);
      }
    }
    std::map<size_t, std::vector<size_t>> groups;
    for (size_t o = 0; o < options_.size(); ++o) groups[root(o)].push_back(o);
    for (const auto& [id, members] : groups) settle_group(members);
    // Each group's first choice; where no reading order then gives the
    // codes, the group's other choices in turn.
    for (const GroupChoices& group : choices_) apply(group, 0);
    for (const GroupChoices& group : choices_) {
      bool found = order_exists(rows_);
      for (size_t n = 1; !found && n < group.choices.size(); ++n) {
        apply(group, n);
        found = order_exists(rows_);
      }
      if (!found) apply(group, 0);
    }
  }

  struct Option {
    size_t signal;
    int64_t sides;
    std::vector<int64_t> cells;
  };
  // The sides of the signals that give most codes, by signal.
  using Choice = std::map<size_t, int64_t>;
  struct GroupChoices {
    std::vector<size_t> signals;
    std::vector<Choice> choices;
  };

  void settle_group(const std::vector<size_t>& members) {
    group_options_.clear();
    for (size_t o : members) group_options_.push_back(&options_[o]);
    std::set<int64_t> codes;
    for (const Option* o : group_options_) codes.insert(o->cells.begin(), o->cells.end());
    codes_.assign(codes.begin(), codes.end());
    chosen_.clear();
    best_.clear();
    best_given_ = -1;
    steps_ = 0;
    search(0);
    std::set<size_t> signals;
    for (const Option* o : group_options_) signals.insert(o->signal);
    if (!best_.empty()) choices_.push_back({{signals.begin(), signals.end()}, best_});
  }

  // Gives the group's signals the sides of its choice `n`, the others of
  // the group their usual ones.
  void apply(const GroupChoices& group, size_t n) {
    for (size_t signal : group.signals) {
      OrderedRow& row = rows_[first_signal_ + signal];
      const int64_t i = signal_cells_[signal];
      const auto chosen = group.choices[n].find(signal);
      const int64_t sides =
          chosen != group.choices[n].end() ? chosen->second : usual_sides(cell_at(cells_, i));
      row = signal_row(cell_at(cells_, i), i, sides, row.rank);
    }
  }

  bool gives(int64_t cell, uint8_t code) const {
    return cell >= 0 && cell <= cell_count_of(cells_) && cell_at(cells_, cell).approach_code == code;
  }

  // Gives codes_[from] and on to the signals.
  void search(size_t from) {
    if (++steps_ > kStepsPerGroup ||
        !budget_.take(static_cast<int64_t>(group_options_.size() + codes_.size()))) {
      return;
    }
    while (from < codes_.size() && covered(codes_[from])) ++from;
    if (from == codes_.size()) {
      int given = 0;
      for (int64_t cell : codes_) given += covered(cell) ? 1 : 0;
      if (given > best_given_) {
        best_given_ = given;
        best_.clear();
      }
      if (given == best_given_ && best_.size() < kChoicesKept) best_.push_back(chosen_);
      return;
    }
    const int64_t code_cell = codes_[from];
    for (const Option* o : group_options_) {
      if (chosen_.count(o->signal) != 0 ||
          std::find(o->cells.begin(), o->cells.end(), code_cell) == o->cells.end()) {
        continue;
      }
      chosen_[o->signal] = o->sides;
      search(from + 1);
      chosen_.erase(o->signal);
    }
    // Or no signal gives it.
    search(from + 1);
  }

  bool covered(int64_t cell) const {
    for (const auto& [signal, sides] : chosen_) {
      for (int m = 1; m <= kApproachMarkCount; ++m) {
        if (signal_cells_[signal] - 2 * m == cell &&
            gives(cell, static_cast<uint8_t>(sides * 10 + m))) {
          return true;
        }
      }
    }
    return false;
  }

  static constexpr int kStepsPerGroup = 300;
  static constexpr size_t kChoicesKept = 16;

  const std::vector<Cell>& cells_;
  std::vector<OrderedRow>& rows_;
  const std::vector<int64_t>& signal_cells_;
  size_t first_signal_;
  OrderCheck order_exists;
  SearchBudget& budget_;
  std::vector<int> explained_;
  std::vector<bool> marked_;
  std::vector<bool> shown_;
  std::vector<Option> options_;
  std::vector<const Option*> group_options_;
  std::vector<int64_t> codes_;
  Choice chosen_;
  std::vector<Choice> best_;
  std::vector<GroupChoices> choices_;
  int best_given_ = -1;
  int steps_ = 0;
};


// The reading order of the station and signal rows, found from the end:
// the row read last must give the code of every cell it marks, and must
// not be one that another row has to follow (stations keep their order, a
// signal under a stop marker comes before that station). Once it is placed,
// the cells it marks are settled: whatever wrote them before is
// overwritten. Each step only frees rows, so when any order gives the
// files' codes this one does; among the rows free to go last, the one
// latest by default goes, which keeps the default order where nothing
// demands another.
class ReadingOrder {
 public:
  ReadingOrder(const std::vector<Cell>& cells, const std::vector<OrderedRow>& rows)
      : cells_(cells), rows_(rows), followers_(rows.size(), 0), before_(rows.size()),
        wrong_marks_(rows.size(), 0), first_writer_(cells.size() + 1, 0),
        settled_(cells.size(), false) {
    // The rows that mark each cell, one list after another: those of cell c
    // from first_writer_[c] up to first_writer_[c + 1].
    const auto each_mark = [&](auto&& visit) {
      for (size_t r = 0; r < rows.size(); ++r) {
        for (const auto& [cell, code] : rows[r].marks) {
          if (cell >= 0 && cell <= cell_count_of(cells)) visit(r, static_cast<size_t>(cell), code);
        }
      }
    };
    each_mark([&](size_t, size_t cell, uint8_t) { ++first_writer_[cell + 1]; });
    for (size_t c = 1; c < first_writer_.size(); ++c) first_writer_[c] += first_writer_[c - 1];
    writers_.resize(static_cast<size_t>(first_writer_.back()));
    std::vector<int> next(first_writer_.begin(), first_writer_.end() - 1);
    each_mark([&](size_t r, size_t cell, uint8_t code) {
      writers_[static_cast<size_t>(next[cell]++)] = static_cast<int>(r);
      if (cells[cell].approach_code != code) ++wrong_marks_[r];
    });
  }

  void before(int first, int second) {
    ++followers_[static_cast<size_t>(first)];
    before_[static_cast<size_t>(second)].push_back(first);
  }

  // Row indices in reading order; nullopt when no order gives every code.
  std::optional<std::vector<int>> order() {
    const auto earlier = [&](int a, int b) { return rows_[a].rank < rows_[b].rank; };
    std::priority_queue<int, std::vector<int>, decltype(earlier)> free_to_go_last(earlier);
    for (size_t r = 0; r < rows_.size(); ++r) {
      if (may_go_last(static_cast<int>(r))) free_to_go_last.push(static_cast<int>(r));
    }
    std::vector<int> from_the_end;
    std::vector<bool> placed(rows_.size(), false);
    while (!free_to_go_last.empty()) {
      const int r = free_to_go_last.top();
      free_to_go_last.pop();
      if (placed[static_cast<size_t>(r)]) continue;
      placed[static_cast<size_t>(r)] = true;
      from_the_end.push_back(r);
      const auto release = [&](int other) {
        if (!placed[static_cast<size_t>(other)] && may_go_last(other)) free_to_go_last.push(other);
      };
      for (int first : before_[static_cast<size_t>(r)]) {
        --followers_[static_cast<size_t>(first)];
        release(first);
      }
      for (const auto& [cell, code] : rows_[static_cast<size_t>(r)].marks) {
        if (cell < 0 || cell > cell_count_of(cells_) || settled_[static_cast<size_t>(cell)]) {
          continue;
        }
        settled_[static_cast<size_t>(cell)] = true;
        const uint8_t want = cell_at(cells_, cell).approach_code;
        for (int w = first_writer_[static_cast<size_t>(cell)];
             w < first_writer_[static_cast<size_t>(cell) + 1]; ++w) {
          const int other = writers_[static_cast<size_t>(w)];
          if (other == r || placed[static_cast<size_t>(other)]) continue;
          for (const auto& [other_cell, other_code] : rows_[static_cast<size_t>(other)].marks) {
            if (other_cell == cell && other_code != want) --wrong_marks_[static_cast<size_t>(other)];
          }
          release(other);
        }
      }
    }
    if (from_the_end.size() != rows_.size()) return std::nullopt;
    return std::vector<int>(from_the_end.rbegin(), from_the_end.rend());
  }

 private:
  bool may_go_last(int r) const {
    return followers_[static_cast<size_t>(r)] == 0 && wrong_marks_[static_cast<size_t>(r)] == 0;
  }

  const std::vector<Cell>& cells_;
  const std::vector<OrderedRow>& rows_;
  std::vector<int> followers_;
  std::vector<std::vector<int>> before_;
  std::vector<int> wrong_marks_;
  std::vector<int> first_writer_;
  std::vector<int> writers_;
  std::vector<bool> settled_;
};

std::optional<std::vector<int>> find_reading_order(const std::vector<Cell>& cells,
                                                   const std::vector<OrderedRow>& rows,
                                                   const StationRows& stations,
                                                   const std::vector<int64_t>& signal_cells) {
  ReadingOrder order(cells, rows);
  const size_t station_count = stations.rows.size();
  for (size_t j = 1; j < station_count; ++j) order.before(static_cast<int>(j - 1), static_cast<int>(j));
  for (size_t k = 0; k < signal_cells.size(); ++k) {
    if (cell_at(cells, signal_cells[k]).kind != stop_marker) continue;
    const auto station = std::find(stations.markers.begin(), stations.markers.end(), signal_cells[k]);
    if (station != stations.markers.end()) {
      order.before(static_cast<int>(station_count + k),
                   static_cast<int>(station - stations.markers.begin()));
    }
  }
  return order.order();
}

std::vector<int> reading_order(const std::vector<Cell>& cells, const std::vector<OrderedRow>& rows,
                               const StationRows& stations,
                               const std::vector<int64_t>& signal_cells, DescriptionText& text) {
  std::optional<std::vector<int>> result = find_reading_order(cells, rows, stations, signal_cells);
  if (!result) {
    text.unsettled("no reading order of the station and signal rows gives every approach code");
    result.emplace(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) (*result)[i] = static_cast<int>(i);
  }
  return *result;
}

// Whether some row could have written the approach code of cell i: a
// signal (or a stop marker, which may cover one) 2, 4, 6 or 8 cells on, or
// a stop marker k cells on for the code 80 + k.
bool some_row_marks(const std::vector<Cell>& cells, int64_t i) {
  const uint8_t code = cell_at(cells, i).approach_code;
  for (int k = 1; k <= kApproachMarkCount; ++k) {
    const int64_t signal_cell = i + 2 * k;
    if (signal_cell <= cell_count_of(cells)) {
      const uint8_t kind = cell_at(cells, signal_cell).kind;
      if (kind == signal || kind == stop_marker) return true;
    }
    const int64_t marker_cell = i + k;
    if (marker_cell <= cell_count_of(cells) && cell_at(cells, marker_cell).kind == stop_marker &&
        code == kFirstStationApproachCode + k) {
      return true;
    }
  }
  return false;
}

// The approach codes the rows write in this order, against the cells'. A
// code no signal or station could have written breaks a rule of every
// build; any other difference is one the rows worked out do not settle.
void check_marks(const std::vector<Cell>& cells, const std::vector<OrderedRow>& rows,
                 const std::vector<int>& order, DescriptionText& text) {
  std::vector<uint8_t> marks(cells.size(), 0);
  for (int r : order) {
    for (const auto& [cell, code] : rows[static_cast<size_t>(r)].marks) {
      if (cell >= 0 && cell <= cell_count_of(cells)) marks[static_cast<size_t>(cell)] = code;
    }
  }
  int unsettled = 0;
  for (size_t i = 0; i < cells.size(); ++i) {
    if (marks[i] == cells[i].approach_code) continue;
    const std::string what = "approach code " + std::to_string(cells[i].approach_code) +
                             " in cell " + std::to_string(i);
    if (cells[i].approach_code != 0 && !some_row_marks(cells, static_cast<int64_t>(i))) {
      text.problem(what + " is not what the signals and stations write there");
    } else if (unsettled++ == 0) {
      text.unsettled(what + " is not what the signal and station rows worked out write there");
    }
  }
}

// ---- Slowdowns --------------------------------------------------------------

std::string slowdown_row(const RecoveredSlowdown& r) {
  return "rallentamento" + aligned(r.position_m, 8) + aligned(r.speed, 6) + aligned(r.length_m, 5) +
         aligned(r.f_tt, 2) + aligned(r.with_lead ? 1 : 0, 3) + aligned(r.d_v, 4);
}

void write_slowdowns(const std::vector<RecoveredSlowdown>& slowdowns, bool under_markers,
                     DescriptionText& text) {
  for (const RecoveredSlowdown& r : slowdowns) {
    if (r.cells_under_markers.empty() == under_markers) continue;
    if (under_markers) {
      text.comment("read ahead of the stations: a stop marker is written over one of its boards");
    }
    if (r.position_m % 50 == 1) {
      text.comment("starts just past 1500 m: a slowdown at 1500 m or less has no warning board");
    } else if (r.position_m % 50 != 0) {
      text.comment("starts 25 m past the grid: its lead cells stand one cell further back");
    }
    text.line(slowdown_row(r));
  }
}

// ---- Code points --------------------------------------------------------------

// The code points no finishing pass explains, by cell. Codes other than
// the pass's own are rows for certain. A code point of the pass's value may
// be a row too, which moves the pass's own marks around it: the search runs
// the pass with a set of such rows and, at the first cell where its result
// and the files differ, looks for the fewest code points of the pass's
// value near that cell (up to three, nearest first) that, taken as rows,
// move the first difference further on; then on from there. The pass walks
// the cells once, upwards, so what settles one stretch rarely unsettles an
// earlier one; when it does (rows beside a signal that give the same marks
// up to a point and other ones after it), the search goes back to the
// other groups that moved an earlier difference on, a bounded number of
// times. Each stretch has a budget of passes.
class CodePointSearch {
 public:
  CodePointSearch(const std::vector<Cell>& cells, SearchBudget& budget)
      : cells_(cells), budget_(budget), b_(platform_) {
    base_ = cells;
    // The output step's header values.
    base_[1].value1 = 0;
    base_[1].value2 = 0;
    for (Cell& c : base_) {
      if (c.kind == code_point) {
        c.kind = empty;
        c.value1 = 0;
      }
    }
    b_.cell_count = static_cast<int32_t>(cell_count_of(cells));
    for (size_t i = 0; i < cells.size(); ++i) {
      if (cells[i].kind == code_point && cells[i].value1 != kPassCode) {
        forced_[static_cast<int64_t>(i)] = cells[i].value1;
      }
    }
  }

  // The rows, or nullopt when no set within the bound gives the files.
  std::optional<std::map<int64_t, int16_t>> find() {
    rows_ = forced_;
    furthest_rows_ = rows_;
    backtracks_left_ = kMostBacktracks;
    if (settle_from(first_difference(rows_))) return rows_;
    return std::nullopt;
  }

  // The rows with which the search came furthest, to write when it fails.
  const std::map<int64_t, int16_t>& rows_so_far() const { return furthest_rows_; }

 private:
  // A group of rows added at one difference, and where the pass then first
  // differs.
  struct Group {
    std::vector<int64_t> cells;
    int64_t next = 0;
  };

  // Whether the first difference `a` lies further on than `b` (-1: none).
  static bool further(int64_t a, int64_t b) { return b != -1 && (a == -1 || a > b); }

  // Settles the files from the first difference `first` on, adding to
  // rows_: at each difference, the groups of the fewest rows that move it
  // on are tried, the one that moves it furthest first; when none settles
  // what follows, the search goes back. The stretches settled so far are
  // kept on a list, not on the call stack: a file may hold thousands.
  bool settle_from(int64_t first) {
    struct Stretch {
      std::vector<Group> groups;
      size_t tried = 0;
    };
    std::vector<Stretch> stretches;
    for (;;) {
      if (first == -1) return true;
      if (further(first, furthest_first_)) {
        furthest_first_ = first;
        furthest_rows_ = rows_;
      }
      stretches.push_back({groups_at(first)});
      // The next group to try: at the last stretch, or back at an earlier one.
      for (;;) {
        if (stretches.empty()) return false;
        Stretch& stretch = stretches.back();
        if (stretch.tried > 0) {
          for (int64_t cell : stretch.groups[stretch.tried - 1].cells) rows_.erase(cell);
        }
        const bool may_try = stretch.tried == 0 || (backtracks_left_ > 0 && !budget_.spent());
        if (stretch.tried < stretch.groups.size() && may_try) {
          if (stretch.tried > 0) --backtracks_left_;
          const Group& group = stretch.groups[stretch.tried++];
          for (int64_t cell : group.cells) rows_[cell] = kPassCode;
          first = group.next;
          break;
        }
        stretches.pop_back();
      }
    }
  }

  // The groups of the fewest rows that move the first difference `first`
  // on, the one that moves it furthest first.
  std::vector<Group> groups_at(int64_t first) {
    group_passes_ = 0;
    std::vector<Group> groups;
    for (int depth = 1; depth <= kMostRowsPerGroup && groups.empty(); ++depth) {
      std::vector<int64_t> added;
      collect_groups(first, first, depth, added, groups);
    }
    std::stable_sort(groups.begin(), groups.end(),
                     [](const Group& a, const Group& b) { return further(a.next, b.next); });
    return groups;
  }

  // The groups of `depth` rows, `added` first, each further row near where
  // the pass then first differs (`at`), that move the first difference
  // beyond `first`.
  void collect_groups(int64_t first, int64_t at, int depth, std::vector<int64_t>& added,
                      std::vector<Group>& groups) {
    for (int64_t cell : candidates(at)) {
      if (group_passes_ >= kPassesPerGroup || budget_.spent()) return;
      rows_[cell] = kPassCode;
      added.push_back(cell);
      const int64_t next = first_difference(rows_);
      if (further(next, first)) {
        groups.push_back(Group{added, next});
      } else if (depth > 1) {
        collect_groups(first, next, depth - 1, added, groups);
      }
      added.pop_back();
      rows_.erase(cell);
      // Nothing moves it further than settling every cell.
      if (!groups.empty() && groups.back().next == -1) return;
    }
  }

  // Where the pass run with `rows` first differs from the files: -1 when
  // nowhere.
  int64_t first_difference(const std::map<int64_t, int16_t>& rows) {
    // Spent, the pass is still run: the search then stops at the first
    // place it has not settled.
    budget_.take(static_cast<int64_t>(cells_.size()));
    b_.cells = base_;
    for (const auto& [cell, code] : rows) {
      b_.cells[static_cast<size_t>(cell)].kind = code_point;
      b_.cells[static_cast<size_t>(cell)].value1 = code;
    }
    b_.error_number = 0;
    finishing_pass(b_);
    ++group_passes_;
    // A mark the pass finds no cell for counts as a difference where it
    // looked: the files came from a build without one.
    const int64_t stuck = b_.error_number != 0 ? b_.error_position_m / 50 : -1;
    for (size_t i = 0; i < cells_.size(); ++i) {
      const bool want = cells_[i].kind == code_point;
      const bool got = b_.cells[i].kind == code_point;
      if (want != got || (want && cells_[i].value1 != b_.cells[i].value1) ||
          static_cast<int64_t>(i) == stuck) {
        return static_cast<int64_t>(i);
      }
    }
    return -1;
  }

  // Code points of the pass's value near `first`, not yet rows: the one at
  // `first` itself, then by distance, lower cells first. The pass looks
  // back at most 22 cells from where it places a mark.
  std::vector<int64_t> candidates(int64_t first) const {
    std::vector<int64_t> found;
    for (int64_t d = 0; d <= kReach; ++d) {
      for (int64_t cell : {first - d, first + d}) {
        if (cell < 0 || cell > cell_count_of(cells_)) continue;
        if (cell_at(cells_, cell).kind == code_point && rows_.count(cell) == 0 &&
            std::find(found.begin(), found.end(), cell) == found.end()) {
          found.push_back(cell);
        }
      }
    }
    return found;
  }

  static constexpr int kPassesPerGroup = 300;
  static constexpr int kMostRowsPerGroup = 3;
  static constexpr int64_t kReach = 22;
  // How many times in all the search goes back to another group.
  static constexpr int kMostBacktracks = 32;

  const std::vector<Cell>& cells_;
  SearchBudget& budget_;
  std::vector<Cell> base_;
  MemoryPlatform platform_;
  Builder b_;
  std::map<int64_t, int16_t> forced_;
  std::map<int64_t, int16_t> rows_;
  std::map<int64_t, int16_t> furthest_rows_;
  int64_t furthest_first_ = 0;
  int group_passes_ = 0;
  int backtracks_left_ = 0;
};

std::map<int64_t, int16_t> explicit_code_points(const std::vector<Cell>& cells,
                                                DescriptionText& text, SearchBudget& budget) {
  CodePointSearch search(cells, budget);
  if (std::optional<std::map<int64_t, int16_t>> rows = search.find()) return *rows;
  text.unsettled("no set of code point rows the search tried lets the finishing pass give "
                 "every code point");
  return search.rows_so_far();
}

std::vector<std::string> code_rows(const std::vector<Cell>& cells, DescriptionText& text,
                                   SearchBudget& budget) {
  std::map<int64_t, int16_t> points = explicit_code_points(cells, text, budget);
  for (size_t i = 0; i < cells.size(); ++i) {
    if (cells[i].kind == code_cut) points[static_cast<int64_t>(i)] = 0;
  }
  std::vector<std::string> rows;
  for (const auto& [cell, code] : points) {
    if (code < 0 || (code == 0 && cell_at(cells, cell).kind != code_cut)) {
      text.problem("code point in cell " + std::to_string(cell) + " with code " +
                   std::to_string(code));
    }
    // A code point row lands in cell position / 50.
    rows.push_back("abbattimento" + after_comma(cell * 50, 2) + after_comma(code, 1));
  }
  return rows;
}

// Whether row i is read ahead of a row with an earlier default place.
std::vector<bool> moved_ahead(const std::vector<OrderedRow>& rows, const std::vector<int>& order) {
  std::vector<bool> moved(order.size(), false);
  int lowest_after = INT32_MAX;
  for (size_t p = order.size(); p-- > 0;) {
    const int rank = rows[static_cast<size_t>(order[p])].rank;
    moved[p] = lowest_after < rank;
    lowest_after = std::min(lowest_after, rank);
  }
  return moved;
}

}  // namespace

void recover_train(const ScenarioFiles& s, DescriptionText& text, SearchBudget& budget) {
  header_rows(s.stations, text);
  if (cell_count_of(s.cells) < 3) {
    text.line("[fine]");
    return;
  }
  text.line("[aderenze]");
  text.line("");
  profile_section(s.cells, &Cell::adhesion, 1, "aderenza", text);
  text.line("[vel_limite]");
  profile_section(s.cells, &Cell::line_speed, 5, "velocita", text);

  StationRows stations = station_rows(s, text);
  std::vector<OrderedRow> rows = stations.rows;
  std::vector<int64_t> signal_cells;
  add_signal_rows(s.cells, under_stop_markers(s.cells), rows, signal_cells);
  // Each try of an order visits every row and its marks and takes some 20
  // times as long for each as the finishing pass takes for a cell.
  const int64_t order_cost =
      static_cast<int64_t>(rows.size()) * (kApproachMarkCount + 1) * 20 +
      static_cast<int64_t>(s.cells.size());
  UnusualSides(s.cells, rows, signal_cells, stations.rows.size(),
               [&](const std::vector<OrderedRow>& settled) {
                 return budget.take(order_cost) &&
                        find_reading_order(s.cells, settled, stations, signal_cells).has_value();
               },
               budget)
      .settle();
  const std::vector<int> order = reading_order(s.cells, rows, stations, signal_cells, text);
  check_marks(s.cells, rows, order, text);

  // Stations and the signals read among them, then the rest.
  size_t last_station = 0;
  for (size_t p = 0; p < order.size(); ++p) {
    if (rows[static_cast<size_t>(order[p])].station) last_station = p + 1;
  }
  const std::vector<bool> moved = moved_ahead(rows, order);
  const auto write_row = [&](size_t p) {
    const OrderedRow& row = rows[static_cast<size_t>(order[p])];
    if (moved[p]) {
      text.comment(row.station
                       ? "read ahead of its place: later rows overwrite approach marks it needs"
                       : "read ahead of its place: what comes after overwrites its cell or its "
                         "approach marks as the files show");
    }
    text.line(row.text);
  };
  const std::vector<RecoveredSlowdown> slowdowns = recover_slowdowns(s.cells, &text);
  write_slowdowns(slowdowns, true, text);
  text.line("[stazioni]");
  for (size_t p = 0; p < last_station; ++p) write_row(p);
  text.line("[rallentamenti]");
  write_slowdowns(slowdowns, false, text);
  text.line("[segnali]");
  for (size_t p = last_station; p < order.size(); ++p) write_row(p);
  text.line("[codici]");
  for (const std::string& row : code_rows(s.cells, text, budget)) text.line(row);
  text.line("[fine]");
}

}  // namespace sb::inspect::recovery
