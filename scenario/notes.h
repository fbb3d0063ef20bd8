#pragma once

#include <span>
#include <string_view>

namespace sb {

// The lines of the built-in scenario notes, in file order: the credit line,
// three paragraphs on the weather, the route and the train, and the
// greeting. The text is Italian, in UTF-8 here; each paragraph line is kept
// whole, never wrapped.
std::span<const std::string_view> built_in_notes();

}  // namespace sb
