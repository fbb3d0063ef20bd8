#pragma once

#include <cmath>
#include <cstdint>

namespace sb {

// Converts a real number to the nearest integer, exact halves to the even
// neighbour (21.5 gives 22, 22.5 gives 22). This is the one rounding of the
// builder: cell indices, speed encodings, line speeds all go through it.
//
// It is called for every row of a description, so it does without a library
// call: from 2^52 up every double is a whole number; below, adding 2^52 to
// the magnitude leaves no bits for a fraction, so that addition itself
// rounds to the nearest integer, halves to even (the default rounding mode,
// which the program never changes), and taking 2^52 away again is exact.
// Halves round the same way on both signs, so rounding the magnitude is
// enough. The build rules out value-changing optimisations, which keeps the
// two operations as written.
inline int64_t round_half_even(double value) {
  constexpr double kLimit = 9.0e18;  // keeps the conversion defined
  if (!(value > -kLimit)) return static_cast<int64_t>(-kLimit);
  if (!(value < kLimit)) return static_cast<int64_t>(kLimit);
  constexpr double kTwoTo52 = 4503599627370496.0;
  const double magnitude = value < 0 ? -value : value;
  if (!(magnitude < kTwoTo52)) return static_cast<int64_t>(value);
  const double rounded = (magnitude + kTwoTo52) - kTwoTo52;
  return static_cast<int64_t>(value < 0 ? -rounded : rounded);
}

}  // namespace sb
