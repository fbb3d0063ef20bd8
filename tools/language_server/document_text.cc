#include "tools/language_server/document_text.h"

#include <algorithm>
#include <array>

#include "base/windows_1252.h"

namespace sb::lsp {

namespace {

// Each Windows-1252 byte's character; the five bytes it leaves undefined
// stand for the control characters of the same number, as editors that
// decode them at all decode them.
std::array<char32_t, 256> byte_characters() {
  std::array<char32_t, 256> table{};
  for (int byte = 0; byte < 256; ++byte) {
    const std::string utf8 = windows_1252_to_utf8(std::string(1, static_cast<char>(byte)));
    size_t i = 0;
    const char32_t c = next_code_point(utf8, i);
    table[byte] = c == 0xFFFD ? static_cast<char32_t>(byte) : c;
  }
  return table;
}

}  // namespace

char32_t next_code_point(std::string_view utf8, size_t& i) {
  const auto lead = static_cast<unsigned char>(utf8[i]);
  const int length = lead < 0x80           ? 1
                     : (lead >> 5) == 0x6  ? 2
                     : (lead >> 4) == 0xE  ? 3
                     : (lead >> 3) == 0x1E ? 4
                                           : 0;
  if (length == 0 || i + length > utf8.size()) {
    ++i;
    return 0xFFFD;
  }
  char32_t c = length == 1 ? lead : lead & (0x7F >> length);
  for (int k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(utf8[i + k]);
    if ((next & 0xC0) != 0x80) {
      ++i;
      return 0xFFFD;
    }
    c = (c << 6) | (next & 0x3F);
  }
  i += length;
  return c;
}

int byte_of(char32_t code_point) {
  static const std::array<char32_t, 256> characters = byte_characters();
  if (code_point < 0x80) return static_cast<int>(code_point);
  for (int byte = 0x80; byte < 256; ++byte) {
    if (characters[byte] == code_point) return byte;
  }
  return -1;
}

int32_t units_of(char32_t c, PositionEncoding encoding) {
  if (encoding == PositionEncoding::utf16) return c >= 0x10000 ? 2 : 1;
  return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

DocumentText::DocumentText(std::string utf8) : utf8_(std::move(utf8)) {
  bytes_.reserve(utf8_.size());
  line_starts_.push_back(0);
  utf8_line_starts_.push_back(0);
  int32_t line = 0;
  int32_t character = 0;
  for (size_t i = 0; i < utf8_.size();) {
    const auto ascii = static_cast<unsigned char>(utf8_[i]);
    if (ascii < 0x80) {
      // The common case, a byte that stands for itself.
      bytes_ += static_cast<char>(ascii);
      ++i;
      ++character;
      if (ascii == '\n') {
        line_starts_.push_back(bytes_.size());
        utf8_line_starts_.push_back(i);
        ++line;
        character = 0;
      }
      continue;
    }
    const char32_t c = next_code_point(utf8_, i);
    const int byte = byte_of(c);
    if (byte < 0) unmappable_.push_back({line, character, c});
    bytes_ += byte < 0 ? '?' : static_cast<char>(byte);
    ++character;
  }
}

std::string_view DocumentText::line(int32_t index) const {
  if (index < 0 || index >= line_count()) return {};
  const size_t start = line_starts_[index];
  size_t end = index + 1 < line_count() ? line_starts_[index + 1] - 1 : bytes_.size();
  if (end > start && bytes_[end - 1] == '\r') --end;
  return std::string_view(bytes_).substr(start, end - start);
}

std::string_view DocumentText::utf8_line(int32_t index) const {
  if (index < 0 || index >= line_count()) return {};
  const size_t start = utf8_line_starts_[index];
  const size_t end = index + 1 < line_count() ? utf8_line_starts_[index + 1] : utf8_.size();
  return std::string_view(utf8_).substr(start, end - start);
}

int32_t DocumentText::character_index(int32_t line, int32_t character,
                                      PositionEncoding encoding) const {
  const std::string_view text = utf8_line(line);
  int32_t index = 0;
  int32_t units = 0;
  for (size_t i = 0; i < text.size() && units < character;) {
    const char32_t c = next_code_point(text, i);
    if (c == '\n' || c == '\r') break;
    units += units_of(c, encoding);
    ++index;
  }
  return index;
}

int32_t DocumentText::client_character(int32_t line, int32_t index,
                                       PositionEncoding encoding) const {
  const std::string_view text = utf8_line(line);
  int32_t units = 0;
  int32_t count = 0;
  for (size_t i = 0; i < text.size() && count < index; ++count) {
    const char32_t c = next_code_point(text, i);
    if (c == '\n') break;
    units += units_of(c, encoding);
  }
  return units;
}

std::string replace_range(const DocumentText& text, int32_t start_line, int32_t start_character,
                          int32_t end_line, int32_t end_character, std::string_view replacement,
                          PositionEncoding encoding) {
  // The byte offset in the UTF-8 text of a client position.
  const std::string& utf8 = text.utf8();
  auto offset_of = [&](int32_t line, int32_t character) -> size_t {
    if (line < 0) return 0;
    size_t i = 0;
    for (int32_t l = 0; l < line; ++l) {
      const size_t newline = utf8.find('\n', i);
      if (newline == std::string::npos) return utf8.size();
      i = newline + 1;
    }
    int32_t units = 0;
    while (i < utf8.size() && units < character && utf8[i] != '\n' && utf8[i] != '\r') {
      size_t next = i;
      units += units_of(next_code_point(utf8, next), encoding);
      i = next;
    }
    return i;
  };
  const size_t start = offset_of(start_line, start_character);
  const size_t end = std::max(start, offset_of(end_line, end_character));
  std::string result = utf8.substr(0, start);
  result.append(replacement);
  result.append(utf8, end);
  return result;
}

}  // namespace sb::lsp
