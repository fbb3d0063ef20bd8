#pragma once

#include "track/model.h"

namespace sb {

// Fills the reserved header slots (fatal report 1250 or 1251 when taken),
// stores the competition codes and writes the plan file (when the build lays
// it), the station file and the cell file: when no problem was recorded, or
// in any case with b.keep_going.
void output_step(Builder& b);

// Starts writing the plan file into its temporary while the line is read,
// each part as it is computed, when the build publishes through a
// transaction on a file system that writes alongside. Nothing is published
// before the line is read (plan_file_laid).
void stream_plan_file(Builder& b);

// Once the line is read, however its reading ended: when the build
// publishes through a transaction and the line left no problem that holds
// the files back, the plan (then what output_step writes) is written into
// its temporary alongside the rest of the build, or its stream goes on to
// the end; otherwise a stream is stopped and its temporary deleted.
// output_step publishes the plan with the set.
void plan_file_laid(Builder& b);

}  // namespace sb
