#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/viewer/scenario_picture.h"
#include "track/model.h"

namespace sb::inspect::recovery {

// What the line and the train recovery share: the text of a description as
// it grows, and the profile bytes turned back into rows.

// A description's text, one CR LF line after another, and the problems met
// while working it out.
class DescriptionText {
 public:
  DescriptionText(std::vector<std::string>& unbuildable, std::vector<std::string>& unsettled)
      : unbuildable_(unbuildable), unsettled_(unsettled) {}

  void line(std::string_view text) {
    text_.append(text);
    text_.append("\r\n");
  }
  // A line the readers pass over: it holds a "-" and no comma.
  void comment(std::string_view why) { line("- " + std::string(why)); }
  // What no build of this program writes: a rule every build keeps is
  // broken.
  void problem(std::string what) { unbuildable_.push_back(std::move(what)); }
  // Where the bounded search for rows that give the files found none; the
  // rows written are the search's first attempt.
  void unsettled(std::string what) { unsettled_.push_back(std::move(what)); }
  std::string take() { return std::move(text_); }

 private:
  std::string text_;
  std::vector<std::string>& unbuildable_;
  std::vector<std::string>& unsettled_;
};

// What all of the recovery's searches together may spend, so that no file
// keeps them running long: each try is charged for what it visits (a
// reading order the marks of its rows, a finishing pass its cells, a step
// of the sides search its choices). Once it is spent every search stops
// with what it has found by then.
class SearchBudget {
 public:
  explicit SearchBudget(int64_t units) : left_(units) {}

  // Takes `units`: false, and from then on always, once they are not left.
  bool take(int64_t units) {
    if (spent_ || units > left_) {
      spent_ = true;
      return false;
    }
    left_ -= units;
    return true;
  }
  bool spent() const { return spent_; }

 private:
  int64_t left_;
  bool spent_ = false;
};

// ",    8" and the like: a comma, `pad` blanks, the number.
std::string after_comma(int64_t value, int pad);
// The number right-aligned in `width` characters after a comma.
std::string aligned(int64_t value, int width);

// A profile byte as the readers fill it: each row's value from its own cell
// (position / 50) up to the cell before the next row, the last row's to
// cell cell_count - 3, or to cell_count - 2 when a row stands there.
struct ProfileRow {
  int64_t position_m = 0;
  int value = 0;
};
// The rows that fill `field` of every cell as it is: one at 0, one wherever
// the value changes. Values in the cells no row reaches are problems.
std::vector<ProfileRow> profile_rows(const std::vector<Cell>& cells, uint8_t Cell::*field,
                                     std::string_view what, DescriptionText& text);

// Whether a text read from a row's last field gives exactly `text`: a text
// field runs to a comma or a line end (LF, or CR LF) and skips the blanks
// before it, so it holds no comma and no LF and starts with no blank. A
// lone CR, blanks at its end, quotes are kept as written.
bool text_field_keeps(std::string_view text);

// The cell a point object at a position on the grid lands in, and back.
inline int64_t position_of_cell(int64_t cell) { return (cell - 1) * 50; }
inline int64_t cell_count_of(const std::vector<Cell>& cells) {
  return static_cast<int64_t>(cells.size()) - 1;
}

// Division rounding down: value = quotient * d + remainder with the
// remainder in 0..d-1, negative values included.
int64_t floor_div(int64_t value, int64_t d);

// A slowdown row worked out from its boards: where it starts (on the grid,
// or 25 m past it when its lead cells say so), its values, and the cells of
// its boards a stop marker has covered since (its row must be read before
// that station's).
struct RecoveredSlowdown {
  int64_t start_cell = 0;
  int64_t end_cell = 0;
  int64_t position_m = 0;
  int64_t speed = 0;
  int64_t length_m = 0;
  int64_t f_tt = 0;
  int64_t d_v = 0;
  bool with_lead = false;
  std::vector<int64_t> cells_under_markers;
};
// The slowdowns in order of their start cells; a start without an end is a
// problem of `text` (when given) and left out.
std::vector<RecoveredSlowdown> recover_slowdowns(const std::vector<Cell>& cells,
                                                 DescriptionText* text);

// The last digit of a signal's sides (sx * 3 + dx): value4 = rapp * 10 +
// sides. Sides of 0 to 9 are all a description normally holds.
int64_t usual_sides(const Cell& c);

// What a stop marker was written over, as far as its cell and those around
// it tell: nothing that left a value, a signal, a board of a slowdown, or a
// max-speed board (which gives any leftover values and writes no marks).
enum class UnderMarker : uint8_t { nothing, signal, slowdown, speed_board };
std::vector<UnderMarker> under_stop_markers(const std::vector<Cell>& cells);

// The indication boards in reading order, entry 80 down: each with its
// text entry and cell. A board a stop marker covers shows nothing; its text
// entry is still there, and it is given a stop marker's cell that shows
// nothing else (`hidden`).
struct BoardRow {
  int entry = 0;
  int64_t cell = 0;
  bool hidden = false;
};
std::vector<BoardRow> indication_boards(const ScenarioFiles& s, DescriptionText* text);

void recover_line(const ScenarioFiles& scenario, DescriptionText& text);
void recover_train(const ScenarioFiles& scenario, DescriptionText& text, SearchBudget& budget);

}  // namespace sb::inspect::recovery
