#pragma once

#include <string>
#include <string_view>

#include "tools/language_server/record_meanings.h"

namespace sb::lsp {

// Lays out a description's rows as the built-in texts are laid out: the
// blanks between a comma and the number after it are set by the record's
// layout. Nothing else changes: no value, no row's order, no line end, no
// field after a text field, no row of a key the format does not know. An
// exported description comes out as it went in, and formatting twice
// gives what formatting once gave. Works on Windows-1252 and on UTF-8
// alike (it only looks at ASCII).
std::string format_description(std::string_view text, Description description);

}  // namespace sb::lsp
