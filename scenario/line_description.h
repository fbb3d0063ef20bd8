#pragma once

#include <span>
#include <string_view>

namespace sb {

// The built-in line description of the Sarvena - Lucredo line, in file
// order: 188 lines closed by the end sentinel.
std::span<const std::string_view> built_in_line_lines();

}  // namespace sb
