#include "track/model.h"

#include "platform/platform.h"

namespace sb {

Builder::Builder(Platform& platform_in)
    : platform(&platform_in), files(&platform_in.file_system()) {}

std::string Builder::path(const std::string& name) const {
  return platform->join_path(directory, name);
}

void list_recorded_error(Builder& b) {
  Diagnostic d;
  d.error = true;
  d.file = b.stop_file;
  d.line = b.stop_line;
  d.column = b.stop_column;
  d.error_number = b.error_number;
  d.position_m = b.error_position_m;
  d.text = b.stop_reason;
  b.diagnostics.add(std::move(d));
}

}  // namespace sb
