#pragma once

#include <cstdint>

#include "track/model.h"

namespace sb {

// Clears all 87 station records (numbers 0, names empty).
void clear_stations(Builder& b);

// The build procedure: reads both descriptions into the model, runs the
// finishing pass and writes the compiled files. When reading left no cells
// to work on it ends through the fatal report with the error number.
void memorizza_percorso(Builder& b, int32_t j);

}  // namespace sb
