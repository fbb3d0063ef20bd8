#pragma once

#include "track/model.h"

namespace sb {

// Clears all 87 station records (numbers 0, names empty).
void clear_stations(Builder& b);

// The build procedure: reads both descriptions into the model, runs the
// finishing pass and writes the compiled files (the plan file only
// with_track_plan). When reading left no cells to work on it ends through
// the fatal report with the error number.
void compile_scenario(Builder& b, bool with_track_plan);

// The reading and the finishing pass of a build, collecting every problem
// into b.diagnostics rather than stopping at the first; writes nothing but
// deletes the descriptions as a build does (give it files it may delete).
// Without `with_train` the line description is read alone.
void check_scenario(Builder& b, bool with_train = true);

}  // namespace sb
