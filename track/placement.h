#pragma once

#include <cstdint>

#include "track/model.h"

namespace sb {

// Placement of the point objects and spans of the two descriptions into the
// cells. Each operation reports only through b.error_number: untouched on
// success, set to the refusal's number (nothing written) on a conflict.
// Objects that would reach outside cells 0..cell_count are refused with 26
// before any free-cell test, whatever the inputs.

// A montagna span from `inizio` to `fine`; tipo above 10 adds markers.
// Changes the caller's tipo. An 81st span is refused with 27.
void memo_montagna(Builder& b, int32_t inizio, int32_t fine, int32_t& tipo);

// A slowdown at x, l metres long, speed v, with the values f_tt, f_ta, d_v.
// One whose end cell is not above its start cell is refused with 28.
void memo_rallentamento(Builder& b, int32_t x, int32_t v, int32_t l, int32_t f_tt,
                        int32_t f_ta, int32_t d_v);

// A signal at posizione. Changes the caller's tempo.
void memo_segnale(Builder& b, int32_t posizione, int32_t sx, int32_t s1, int32_t s2,
                  int32_t s3, int32_t rapp, int32_t dx, int32_t d1, int32_t d2, int32_t d3,
                  int32_t& tempo);

// A max-speed board at posizione.
void memo_indicatori_v_max(Builder& b, int32_t posizione, int32_t vas, int32_t vbs,
                           int32_t vcs, int32_t strisces, int32_t vad, int32_t vbd,
                           int32_t vcd, int32_t strisced);

// The smaller of x and y.
inline int32_t minimo(int32_t x, int32_t y) { return x > y ? y : x; }

}  // namespace sb
