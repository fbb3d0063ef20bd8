#include "track/track_plan.h"

namespace sb {

TrackPlan::Point TrackPlan::point(int32_t i) const {
  Point p;
  if (i < 0 || i >= size_) return p;
  // Only the leading points can be integers, so the offset of point i is the
  // integer points' bytes plus 10 bytes per real before it.
  size_t offset = 0;
  int32_t index = 0;
  while (index < i) {
    uint16_t tag;
    std::memcpy(&tag, x_.get() + offset, 2);
    if (tag != kIntegerTag) {
      offset += 10 * static_cast<size_t>(i - index);
      break;
    }
    offset += 4;
    ++index;
  }
  uint16_t tag;
  std::memcpy(&tag, x_.get() + offset, 2);
  if (tag == kIntegerTag) {
    int16_t x, y;
    std::memcpy(&x, x_.get() + offset + 2, 2);
    std::memcpy(&y, y_.get() + offset + 2, 2);
    return {State::integer, static_cast<double>(x), static_cast<double>(y)};
  }
  double x, y;
  std::memcpy(&x, x_.get() + offset + 2, 8);
  std::memcpy(&y, y_.get() + offset + 2, 8);
  return {State::real, x, y};
}

}  // namespace sb
