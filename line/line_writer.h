#pragma once

#include "track/model.h"

namespace sb {

// Writes the built-in line description text.
void write_line_description(Builder& b);

}  // namespace sb
