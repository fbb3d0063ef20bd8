#include "driver/line_list_writer.h"

#include <stdexcept>

#include "driver/windows_1252.h"
#include "platform/platform.h"
#include "track/model.h"

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

void write_line_list(Builder& b, const std::string& file_name,
                     std::span<const std::string_view> lines) {
  b.files->replace_file(b.path(file_name), render_line_list(lines));
}

}  // namespace sb
