#pragma once

#include <cstdint>
#include <string_view>

#include "track/model.h"

namespace sb {

// The two competition codes: checksums of the scenario's identity over the
// first 25 characters of the train number (station entry 86's name) joined
// to the route name (entry 85's name), lower-cased and padded.

// The sum of the 25 character codes.
int16_t competition_code_og(const Builder& b);
// The sum of each character code times its 1-based position.
int32_t competition_code_st(const Builder& b);

// The same codes from the two names themselves (Windows-1252 bytes), for
// tools that read them back from a station file.
int16_t competition_code_og(std::string_view train_number, std::string_view route_name);
int32_t competition_code_st(std::string_view train_number, std::string_view route_name);

}  // namespace sb
