#pragma once

#include "track/model.h"

namespace sb {

// Reads the line description and then the train description into the
// track model, deleting them as it goes. Outcome in b.error_number and
// b.error_position_m (and b.stop_file / b.stop_line when a reader stopped on
// a row). Without `with_train` only the line description is read.
// `line_read`, when given, runs once the reading of the line description
// has ended, whether or not it was read, and before the train description
// is read.
void read_descriptions(Builder& b, bool with_train = true, void (*line_read)(Builder&) = nullptr);

}  // namespace sb
