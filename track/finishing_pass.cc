#include "track/finishing_pass.h"

#include <algorithm>
#include <string>

#include "base/file_names.h"
#include "track/error_numbers.h"
#include "track/placement.h"

namespace sb {

namespace {

constexpr int16_t kCode = 180;
// Rule A looks this many cells back from a warning board, never below cell 3.
constexpr int64_t kWarningLookBack = 20;
constexpr int64_t kLowestSignalLookedAt = 3;
// Slowdowns below this speed get a code point every kCodeSpacing cells.
constexpr int16_t kSlowSpeedBelow = 110;
constexpr int32_t kCodeSpacing = 8;
// How far past the end the first signal is looked for.
constexpr int64_t kSignalSearchAfterEnd = 12;

// The marks before a slowdown start: each group applies when the start cell
// is above its guard and takes the first free of its three candidates.
struct StartGroup {
  int64_t guard;
  int64_t offsets[3];
};
constexpr StartGroup kStartGroups[] = {{7, {5, 6, 7}}, {13, {11, 12, 13}}, {20, {18, 19, 20}}};

// The walk over one model; every index it touches lies in 0..last.
class Walk {
 public:
  explicit Walk(Builder& b)
      : b_(b),
        last_(std::min<int64_t>(b.cell_count, static_cast<int64_t>(b.cells.size()) - 1)) {}

  void run() {
    for (int64_t i = 1; i <= last_ - 2; ++i) {
      if (at(i).kind == slowdown_warning) codes_before_signals_near_warning(i);
      if (at(i).kind == slowdown_start) codes_around_slowdown(i);
    }
  }

 private:
  Cell& at(int64_t i) { return b_.cells[static_cast<size_t>(i)]; }

  // Cells beyond the model count as taken.
  bool free_at(int64_t i) { return i >= 0 && i <= last_ && is_free(at(i)); }

  void mark(int64_t i) {
    at(i).kind = code_point;
    at(i).value1 = kCode;
  }

  bool mark_if_free(int64_t i) {
    if (!free_at(i)) return false;
    mark(i);
    return true;
  }

  // Records the problem at `cell`, naming the train row that placed the
  // signal or slowdown in `object_cell` that needs the code point.
  void record(int32_t number, int64_t cell, int64_t object_cell) {
    b_.error_number = number;
    // Modular like the other int32 fields: cell indices times 50 fit any
    // line the reader accepts.
    b_.error_position_m = static_cast<int32_t>(cell * 50);
    const auto object = static_cast<size_t>(object_cell);
    const TextLocation row = object < b_.object_rows.size() ? b_.object_rows[object]
                                                             : TextLocation{};
    b_.stop_file = train_description_name(b_.route_name, b_.train_number);
    b_.stop_line = row.line;
    b_.stop_column = row.column;
    b_.stop_reason = "no free cell for a code point at cell " + std::to_string(cell);
    if (b_.collect_problems) list_recorded_error(b_);
  }

  // Rule A: every signal up to 20 cells before a warning board gets a code
  // point on one of the two cells before it, or lowers the code already there.
  void codes_before_signals_near_warning(int64_t i) {
    for (int64_t k = 1; k <= kWarningLookBack && i - k >= kLowestSignalLookedAt; ++k) {
      const int64_t d = i - k;
      if (at(d).kind != signal) continue;
      if (mark_if_free(d - 1) || mark_if_free(d - 2)) continue;
      if (at(d - 1).kind == code_point) {
        at(d - 1).value1 = std::min(kCode, at(d - 1).value1);
      } else if (at(d - 2).kind == code_point) {
        at(d - 2).value1 = std::min(kCode, at(d - 2).value1);
      } else {
        record(error::signal_before_warning_taken, d, d);
      }
    }
  }

  // Rule B: code points before the start, through a slow slowdown, and
  // before the first signal after its end.
  void codes_around_slowdown(int64_t i) {
    codes_before_start(i);
    if (at(i).value1 >= kSlowSpeedBelow) return;
    const int64_t end = codes_through_slowdown(i);
    code_before_signal_after_end(i, end);
  }

  void codes_before_start(int64_t i) {
    for (const StartGroup& group : kStartGroups) {
      if (i <= group.guard) continue;
      const bool marked = mark_if_free(i - group.offsets[0]) ||
                          mark_if_free(i - group.offsets[1]) ||
                          mark_if_free(i - group.offsets[2]);
      if (!marked) record(error::before_slowdown_start_taken, i, i);
    }
  }

  // Marks every eighth cell after the start, shifted one cell back or ahead
  // when taken, the next counted from where the last went. Returns the end
  // cell, or the last cell of the model when no end follows.
  int64_t codes_through_slowdown(int64_t i) {
    int32_t counter = 0;
    int64_t k = i;
    while (k < last_) {
      ++k;
      ++counter;
      if (counter == kCodeSpacing) {
        if (mark_if_free(k)) {
          counter = 0;
        } else if (mark_if_free(k - 1)) {
          counter = 1;
        } else if (mark_if_free(k + 1)) {
          counter = -1;
        } else {
          record(error::through_slowdown_taken, k, i);
        }
      }
      if (at(k).kind == slowdown_end) break;
    }
    return k;
  }

  void code_before_signal_after_end(int64_t start, int64_t end) {
    const int64_t search_to = std::min(end + kSignalSearchAfterEnd, last_);
    for (int64_t g = end; g <= search_to; ++g) {
      if (at(g).kind != signal) continue;
      if (!mark_if_free(g - 1) && !mark_if_free(g - 2)) record(error::through_slowdown_taken, end, start);
      return;
    }
  }

  Builder& b_;
  const int64_t last_;
};

}  // namespace

void finishing_pass(Builder& b) {
  if (!b.cells_allocated()) return;
  Walk(b).run();
}

}  // namespace sb
