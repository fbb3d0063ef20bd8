#include "base/line_list.h"

#include <stdexcept>

#include "base/windows_1252.h"

namespace sb {

std::string render_line_list(std::span<const std::string_view> lines) {
  if (lines.size() > kLineListCapacity) {
    throw std::logic_error("a line list holds at most 1001 entries");
  }
  std::string out;
  for (std::string_view line : lines) {
    if (line == kEndSentinel) break;
    out += utf8_to_windows_1252(line);
    out += "\r\n";
  }
  return out;
}

}  // namespace sb
