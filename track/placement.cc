#include "track/placement.h"

namespace sb {

// Placeholder until the placement operations land.
void memo_montagna(Builder&, int32_t, int32_t, int32_t&) {}
void memo_rallentamento(Builder&, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) {}
void memo_segnale(Builder&, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                  int32_t, int32_t, int32_t, int32_t&) {}
void memo_indicatori_v_max(Builder&, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                           int32_t, int32_t, int32_t) {}

}  // namespace sb
