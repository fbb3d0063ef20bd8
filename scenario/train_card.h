#pragma once

#include <string_view>
#include <vector>

namespace sb {

// The lines of the built-in train card, in file order: the header boxes and
// the table heading, the timetable rows of built_in_timetable_rows(), then
// the table's closing rule and the note on the "+" sign.
std::vector<std::string_view> built_in_train_card();

}  // namespace sb
