#include "line/line_writer.h"

#include "base/file_names.h"
#include "scenario/line_description.h"
#include "track/line_list_file.h"

namespace sb {

void write_line_description(Builder& b) {
  write_line_list(b, line_description_name(b.route_name), built_in_line_lines());
}

}  // namespace sb
