#pragma once

#include "track/model.h"

namespace sb {

// Fills the reserved header slots (fatal report 1250 or 1251 when taken),
// stores the competition codes and writes the plan file (when the build lays
// it), the station file and the cell file: when no problem was recorded, or
// in any case with b.keep_going.
void output_step(Builder& b);

// Starts writing the plan file into its temporary, alongside the rest of
// the build, when the build publishes through a transaction and its line
// has been read without a problem that holds the files back (the plan is
// then what output_step writes); output_step publishes it with the set.
void start_plan_file(Builder& b);

}  // namespace sb
