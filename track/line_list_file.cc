#include "track/line_list_file.h"

#include "base/line_list.h"
#include "platform/file_system.h"

namespace sb {

void write_line_list(Builder& b, const std::string& file_name,
                     std::span<const std::string_view> lines) {
  b.files->replace_file(b.path(file_name), render_line_list(lines));
}

}  // namespace sb
