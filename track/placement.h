#pragma once

#include <cstdint>

#include "track/model.h"

namespace sb {

// Placement of the point objects and spans of the two descriptions into the
// cells. Each operation reports only through b.error_number: untouched on
// success, set to the refusal's number (nothing written) on a conflict.
// Objects that would reach outside cells 0..cell_count are refused with 26
// before any free-cell test, whatever the inputs.

// Rules of placement that the readers of compiled files rely on too.
// Station kinds from this one up are passed without a stop marker.
constexpr uint8_t kFirstKindWithoutStop = 25;
// A station entry keeps its byte4 only with a platform this long.
constexpr int32_t kLongPlatform = 600;
// Cells marked before a signal (every other cell) or a stop marker.
constexpr int kApproachMarkCount = 4;
// The k-th mark before a stop marker holds this code plus k.
constexpr uint8_t kFirstStationApproachCode = 80;

// A montagna span from `start_m` to `end_m`; type above 10 adds markers.
// Changes the caller's type. An 81st span is refused with 27.
void place_montagna(Builder& b, int32_t start_m, int32_t end_m, int32_t& type);

// A slowdown from start_m, length_m metres long, at `speed`, with the
// values f_tt, f_ta, d_v. One whose end cell is not above its start cell is
// refused with 28.
void place_slowdown(Builder& b, int32_t start_m, int32_t speed, int32_t length_m, int32_t f_tt,
                    int32_t f_ta, int32_t d_v);

// A signal at position_m. Changes the caller's time_s.
void place_signal(Builder& b, int32_t position_m, int32_t sx, int32_t s1, int32_t s2,
                  int32_t s3, int32_t rapp, int32_t dx, int32_t d1, int32_t d2, int32_t d3,
                  int32_t& time_s);

// A max-speed board at position_m.
void place_speed_boards(Builder& b, int32_t position_m, int32_t vas, int32_t vbs,
                        int32_t vcs, int32_t stripes_s, int32_t vad, int32_t vbd, int32_t vcd,
                        int32_t stripes_d);

}  // namespace sb
