#pragma once

#include <cstdint>

#include "track/model.h"

namespace sb {

// The two competition codes: checksums of the scenario's identity over the
// first 25 characters of the train number (station entry 86's name) joined
// to the route name (entry 85's name), lower-cased and padded.

// The sum of the 25 character codes.
int16_t codice_gara_og(const Builder& b);
// The sum of each character code times its 1-based position.
int32_t codice_gara_st(const Builder& b);

}  // namespace sb
