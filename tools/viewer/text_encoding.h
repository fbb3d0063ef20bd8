#pragma once

#include <string>
#include <string_view>

// Names in the compiled files are Windows-1252 bytes; listings, JSON and SVG
// are UTF-8 (windows_1252_to_utf8).
#include "base/windows_1252.h"

namespace sb::inspect {

// Text for XML character data or an attribute value. Expects UTF-8; control
// characters that XML cannot carry become U+FFFD.
std::string xml_escaped(std::string_view utf8);

}  // namespace sb::inspect
