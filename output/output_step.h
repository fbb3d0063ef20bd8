#pragma once

#include "track/model.h"

namespace sb {

// Fills the reserved header slots (fatal report 1250 or 1251 when taken),
// stores the competition codes and writes the plan file (when the build lays
// it), the station file and the cell file: when no problem was recorded, or
// in any case with b.keep_going.
void output_step(Builder& b);

}  // namespace sb
