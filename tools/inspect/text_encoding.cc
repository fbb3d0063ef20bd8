#include "tools/inspect/text_encoding.h"

#include <array>
#include <cstdint>
#include <cstdio>

namespace sb::inspect {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Code points of 0x80..0x9F; the rest of Windows-1252 is Latin-1.
constexpr char32_t kUndefined = kReplacement;
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, kUndefined, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030,     0x0160, 0x2039, 0x0152, kUndefined, 0x017D, kUndefined,
    kUndefined, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122,     0x0161, 0x203A, 0x0153, kUndefined, 0x017E, 0x0178};

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

}  // namespace

std::string windows_1252_to_utf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char byte : bytes) {
    const auto c = static_cast<unsigned char>(byte);
    append_utf8(out, c >= 0x80 && c < 0xA0 ? kHighControls[c - 0x80] : c);
  }
  return out;
}

std::string json_quoted(std::string_view utf8) {
  std::string out = "\"";
  for (char ch : utf8) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", c);
          out += escape;
        } else {
          out += ch;
        }
    }
  }
  return out + "\"";
}

std::string xml_escaped(std::string_view utf8) {
  std::string out;
  for (char ch : utf8) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default:
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
          append_utf8(out, kReplacement);
        } else {
          out += ch;
        }
    }
  }
  return out;
}

}  // namespace sb::inspect
