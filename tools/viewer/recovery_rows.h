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
  explicit DescriptionText(std::vector<std::string>& unbuildable) : unbuildable_(unbuildable) {}

  void line(std::string_view text) {
    text_.append(text);
    text_.append("\r\n");
  }
  // A line the readers pass over: it holds a "-" and no comma.
  void comment(std::string_view why) { line("- " + std::string(why)); }
  void problem(std::string what) { unbuildable_.push_back(std::move(what)); }
  std::string take() { return std::move(text_); }

 private:
  std::string text_;
  std::vector<std::string>& unbuildable_;
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

void recover_line(const ScenarioFiles& scenario, DescriptionText& text);
void recover_train(const ScenarioFiles& scenario, DescriptionText& text);

}  // namespace sb::inspect::recovery
