#pragma once

#include "track/model.h"

namespace sb {

// Reads the line description into the model: the header entries 81 to 86,
// the cells (allocated from the line length) with their gradients, montagna
// spans and boards, and, when b.with_track_plan, the track plan. Deletes the text
// in every outcome but a missing file (101). Problems go to b.error_number,
// b.error_position_m, b.stop_file and b.stop_line; a text that cannot be
// read throws (ReadFailure or FileError) after noting where it stopped, for
// read_descriptions's common failure handling.
void read_line_description(Builder& b);

// Orders the three chainage systems (station entries 81 to 83) by their first
// values, largest in 81; when those are all 0 the second values choose the
// order. A third value of 1 then adds 100 to the entry's second value.
void order_chainages(Builder& b);

}  // namespace sb
