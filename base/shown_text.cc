#include "base/shown_text.h"

#include "base/windows_1252.h"

namespace sb {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

bool is_control(unsigned char c) { return c < 0x20 || c == 0x7F; }

// Appends text with its control bytes escaped, and its backslashes when
// `backslashes`; every other byte is kept.
void append_escaped(std::string& out, std::string_view text, bool backslashes) {
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (is_control(c)) {
      out += "\\x";
      out += kHexDigits[c >> 4];
      out += kHexDigits[c & 0xF];
    } else if (ch == '\\' && backslashes) {
      out += "\\\\";
    } else {
      out += ch;
    }
  }
}

bool is_continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The first `kept` bytes of text (which is longer), less a UTF-8 sequence the
// cut would split.
std::string_view utf8_prefix(std::string_view text, size_t kept) {
  size_t end = kept;
  for (int back = 0; back < 3 && end > 0 && is_continuation(text[end]); ++back) --end;
  return text.substr(0, end);
}

std::string escaped(std::string_view text, bool backslashes = true) {
  std::string out;
  out.reserve(text.size() + 8);
  append_escaped(out, text, backslashes);
  return out;
}

}  // namespace

std::string shown_text(std::string_view windows_1252) {
  if (windows_1252.size() <= kShownValueLimit) return escaped(windows_1252_to_utf8(windows_1252));
  std::string out = escaped(windows_1252_to_utf8(windows_1252.substr(0, kShownValueKept)));
  out += "...";
  return out;
}

std::string shown_bytes(std::string_view bytes) {
  if (bytes.size() <= kShownValueLimit) return escaped(bytes);
  std::string out = escaped(utf8_prefix(bytes, kShownValueKept));
  out += "...";
  return out;
}

std::string shown_path(std::string_view path) { return escaped(path, false); }

}  // namespace sb
