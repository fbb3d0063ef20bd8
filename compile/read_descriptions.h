#pragma once

#include "track/model.h"

namespace sb {

// Reads the line description and then the train description into the
// track model, deleting them as it goes. Outcome in b.error_number and
// b.error_position_m (and b.stop_file / b.stop_line when a reader stopped on
// a row).
void read_descriptions(Builder& b);

}  // namespace sb
