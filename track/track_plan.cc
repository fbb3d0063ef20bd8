#include "track/track_plan.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace sb {

namespace {

#if defined(__linux__)
// Blocks from this size on are mapped on their own, with huge pages.
constexpr size_t kMappedBlockSize = size_t{2} << 20;
#endif

}  // namespace

PlanBlock::PlanBlock(size_t size) : size_(size) {
#if defined(__linux__)
  if (size >= kMappedBlockSize) {
    void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p != MAP_FAILED) {
      // Only advice: the block works the same when it is not taken.
      ::madvise(p, size, MADV_HUGEPAGE);
      data_ = static_cast<char*>(p);
      mapped_ = true;
      return;
    }
  }
#endif
  data_ = new char[size];
}

PlanBlock& PlanBlock::operator=(PlanBlock&& other) noexcept {
  if (this != &other) {
    release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    mapped_ = std::exchange(other.mapped_, false);
  }
  return *this;
}

void PlanBlock::release() {
  if (!data_) return;
#if defined(__linux__)
  if (mapped_) {
    ::munmap(data_, size_);
    data_ = nullptr;
    return;
  }
#endif
  delete[] data_;
  data_ = nullptr;
}

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

// The hot loops of a build. The write positions and the last two points live
// in locals: stores through the char blocks could otherwise alias the
// members and force them back to memory on every point.
void TrackPlan::lay_straight(int64_t last) {
  const int64_t count = points_up_to(last);
  char* px = x_.get() + x_used_;
  char* py = y_.get() + y_used_;
  double x0 = x0_, y0 = y0_, x1 = x1_, y1 = y1_;
  for (int64_t n = 0; n < count; ++n) {
    const double x = x1 + (x1 - x0);
    const double y = y1 + (y1 - y0);
    put_real(px, x);
    put_real(py, y);
    px += 10;
    py += 10;
    x0 = x1;
    y0 = y1;
    x1 = x;
    y1 = y;
  }
  x0_ = x0;
  y0_ = y0;
  x1_ = x1;
  y1_ = y1;
  x_used_ += 10 * static_cast<size_t>(count);
  y_used_ += 10 * static_cast<size_t>(count);
  size_ += static_cast<int32_t>(count);
}

void TrackPlan::lay_curve(int64_t last, double curvature) {
  const int64_t count = points_up_to(last);
  char* px = x_.get() + x_used_;
  char* py = y_.get() + y_used_;
  double x0 = x0_, y0 = y0_, x1 = x1_, y1 = y1_;
  for (int64_t n = 0; n < count; ++n) {
    const double dx = x1 - x0;
    const double dy = y1 - y0;
    const double x = x1 + (dx + curvature * dy);
    const double y = y1 + (dy - curvature * dx);
    put_real(px, x);
    put_real(py, y);
    px += 10;
    py += 10;
    x0 = x1;
    y0 = y1;
    x1 = x;
    y1 = y;
  }
  x0_ = x0;
  y0_ = y0;
  x1_ = x1;
  y1_ = y1;
  x_used_ += 10 * static_cast<size_t>(count);
  y_used_ += 10 * static_cast<size_t>(count);
  size_ += static_cast<int32_t>(count);
}

}  // namespace sb
