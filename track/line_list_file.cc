#include "track/line_list_file.h"

#include "base/line_list.h"
#include "track/build_files.h"

namespace sb {

void write_line_list(Builder& b, const std::string& file_name,
                     std::span<const std::string_view> lines) {
  const std::string text = render_line_list(lines);
  const std::string_view chunk = text;
  replace_build_file(b, file_name, std::span<const std::string_view>(&chunk, 1));
}

}  // namespace sb
