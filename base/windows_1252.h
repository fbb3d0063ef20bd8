#pragma once

#include <string>
#include <string_view>

namespace sb {

// Converts UTF-8 text (the encoding of the built-in content in the source
// code) to single-byte Windows-1252, the encoding of every file the builder
// writes. A character Windows-1252 cannot show becomes "?".
std::string utf8_to_windows_1252(std::string_view utf8);

// The other way, for showing stored names: Windows-1252 bytes as UTF-8. The
// five bytes Windows-1252 leaves undefined become U+FFFD.
std::string windows_1252_to_utf8(std::string_view bytes);

// A message for a console that shows UTF-16 (the Windows console): a
// message holds description text already made UTF-8 beside paths and option
// values as the system gave them (Windows-1252 bytes there). Each
// well-formed UTF-8 sequence is read as UTF-8, every other byte as
// Windows-1252, so both show as the letters they are.
std::u16string message_to_utf16(std::string_view message);

// The lower-case form of a Windows-1252 character (A-Z, the accented
// capitals, and the four capitals of 0x80-0x9F that have one).
unsigned char windows_1252_lower(unsigned char c);

}  // namespace sb
