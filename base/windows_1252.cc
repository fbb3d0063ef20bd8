#include "base/windows_1252.h"

#include <cstdint>

namespace sb {

namespace {

// Code points of Windows-1252 bytes 0x80..0x9F; 0 marks the five unused
// bytes. The rest of Windows-1252 is Latin-1.
constexpr char32_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

char to_byte(char32_t code_point) {
  if (code_point < 0x80 || (code_point >= 0xA0 && code_point <= 0xFF)) {
    return static_cast<char>(code_point);
  }
  for (int i = 0; i < 32; ++i) {
    if (kHighControls[i] != 0 && kHighControls[i] == code_point) {
      return static_cast<char>(0x80 + i);
    }
  }
  return '?';
}

constexpr char32_t kReplacement = 0xFFFD;

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

char32_t windows_1252_code_point(unsigned char c) {
  if (c < 0x80 || c >= 0xA0) return c;
  return kHighControls[c - 0x80] != 0 ? kHighControls[c - 0x80] : kReplacement;
}

// The length of the well-formed UTF-8 sequence of two to four bytes at the
// start of `bytes` (no overlong form, no surrogate, nothing past U+10FFFF),
// with its code point; 0 when none stands there.
size_t utf8_sequence_at(std::string_view bytes, char32_t& code_point) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(0);
  size_t length = 0;
  unsigned char second_low = 0x80, second_high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) second_low = 0xA0;
    if (lead == 0xED) second_high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) second_low = 0x90;
    if (lead == 0xF4) second_high = 0x8F;
  } else {
    return 0;
  }
  if (bytes.size() < length || byte(1) < second_low || byte(1) > second_high) return 0;
  code_point = lead & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    if ((byte(k) & 0xC0) != 0x80) return 0;
    code_point = (code_point << 6) | (byte(k) & 0x3F);
  }
  return length;
}

void append_utf16(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out += static_cast<char16_t>(c);
    return;
  }
  c -= 0x10000;
  out += static_cast<char16_t>(0xD800 + (c >> 10));
  out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
}

}  // namespace

std::u16string message_to_utf16(std::string_view message) {
  std::u16string out;
  out.reserve(message.size());
  for (size_t i = 0; i < message.size();) {
    char32_t code_point = 0;
    size_t length = 0;
    if (static_cast<unsigned char>(message[i]) >= 0x80) {
      length = utf8_sequence_at(message.substr(i), code_point);
    }
    if (length == 0) {
      code_point = windows_1252_code_point(static_cast<unsigned char>(message[i]));
      length = 1;
    }
    append_utf16(out, code_point);
    i += length;
  }
  return out;
}

std::string windows_1252_to_utf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char byte : bytes) {
    append_utf8(out, windows_1252_code_point(static_cast<unsigned char>(byte)));
  }
  return out;
}

std::string utf8_to_windows_1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3
                                 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > utf8.size()) {
      out += '?';
      ++i;
      continue;
    }
    char32_t code_point = length == 1 ? lead : lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
      code_point = (code_point << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    }
    out += to_byte(code_point);
    i += length;
  }
  return out;
}

unsigned char windows_1252_lower(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c + 0x20;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
  switch (c) {
    case 0x8A: return 0x9A;  // S caron
    case 0x8C: return 0x9C;  // OE
    case 0x8E: return 0x9E;  // Z caron
    case 0x9F: return 0xFF;  // Y diaeresis
    default: return c;
  }
}

}  // namespace sb
