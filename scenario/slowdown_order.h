#pragma once

#include <span>
#include <string_view>

namespace sb {

// The lines of the built-in slowdown order (form M. 3), in file order: the
// title, the line and the train, the table of 26 rows with the run's one
// slowdown in the first, and the key of the prescription letters. The form
// keeps the wording of its paper original, misspelling included.
std::span<const std::string_view> built_in_slowdown_order();

}  // namespace sb
