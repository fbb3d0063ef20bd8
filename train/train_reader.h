#pragma once

#include "track/model.h"

namespace sb {

// Reads the train description into the model read from the line description
// (it needs the cells and b.board_slot): line speeds, adhesion, the stations
// with their stop markers and approach codes, code points, signals and
// slowdowns, and the train's header values. Deletes the text in every
// outcome. Problems go to b.error_number, b.error_position_m, b.stop_file and
// b.stop_line; a text that cannot be read throws (ReadFailure or FileError)
// after noting where it stopped, for read_descriptions's common failure handling.
void read_train_description(Builder& b);

}  // namespace sb
