#pragma once

#include <span>
#include <string_view>

namespace sb {

// The 36 timetable rows of the built-in train card, each 83 characters, in
// rising chainage from the first station to the last.
std::span<const std::string_view> built_in_timetable_rows();

}  // namespace sb
