#include "tools/viewer/text_encoding.h"

namespace sb::inspect {

namespace {

// U+FFFD in UTF-8: what a control character XML cannot carry becomes.
constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";

}  // namespace

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
          out += kReplacementUtf8;
        } else {
          out += ch;
        }
    }
  }
  return out;
}

}  // namespace sb::inspect
