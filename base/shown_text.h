#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace sb {

// How a value taken from a description, a compiled file or the command line
// is shown inside a message or a listing line, so that no byte of it can act
// on the terminal and no value drowns its message:
//
// - bytes 0x00-0x1F (tab included) and 0x7F become `\xHH`, and a backslash
//   becomes `\\`, so the shown text is plain and still says what is there;
// - a value longer than kShownValueLimit bytes is cut to kShownValueKept
//   bytes followed by "...".
//
// The caller adds the quotes or backticks around it.

inline constexpr size_t kShownValueLimit = 80;
inline constexpr size_t kShownValueKept = 77;

// Text of a description or a compiled file (Windows-1252): shown in UTF-8.
std::string shown_text(std::string_view windows_1252);

// Bytes shown as they were given (UTF-8 text, an option's value): escaped
// and cut as above, a cut never splitting a UTF-8 sequence.
std::string shown_bytes(std::string_view bytes);

// A path as the user gave it: its control bytes escaped, its backslashes
// (a Windows path's separators) kept, never cut, so that "PATH:LINE:COL"
// still names the file.
std::string shown_path(std::string_view path);

}  // namespace sb
