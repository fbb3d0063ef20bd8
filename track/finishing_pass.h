#pragma once

#include "track/model.h"

namespace sb {

// Walks cells 1..cell_count-2 once and adds the code points (code 180) of
// the signal repetition around slowdowns; records errors 11, 12 and 13 and
// carries on.
void finishing_pass(Builder& b);

}  // namespace sb
