#pragma once

#include <cmath>
#include <cstdint>

namespace sb {

// Converts a real number to the nearest integer, exact halves to the even
// neighbour (21.5 gives 22, 22.5 gives 22). This is the one rounding of the
// builder: cell indices, speed encodings, line speeds all go through it.
// nearbyint follows the current rounding mode, which the program never
// changes from round-to-nearest-even.
inline int64_t round_half_even(double value) {
  constexpr double kLimit = 9.0e18;  // keeps the conversion defined
  if (!(value > -kLimit)) return static_cast<int64_t>(-kLimit);
  if (!(value < kLimit)) return static_cast<int64_t>(kLimit);
  return static_cast<int64_t>(std::nearbyint(value));
}

}  // namespace sb
