#pragma once

#include <span>
#include <string>
#include <string_view>

#include "track/model.h"

namespace sb {

// Replaces the file `file_name` of the build's folder with the rendered
// line list (base/line_list.h).
void write_line_list(Builder& b, const std::string& file_name,
                     std::span<const std::string_view> lines);

}  // namespace sb
