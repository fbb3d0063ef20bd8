#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace sb {

// Closes every line list; never written to a file.
inline constexpr std::string_view kEndSentinel = "riferimento fine del file";
// Room of a line list: the lines plus the end sentinel.
inline constexpr size_t kLineListCapacity = 1001;

// The bytes of a text document: each line up to the first one equal to the
// end sentinel, converted from UTF-8 to Windows-1252 and followed by CR LF.
// A list longer than the capacity is a programming error.
std::string render_line_list(std::span<const std::string_view> lines);

}  // namespace sb
