#pragma once

#include <algorithm>
#include <atomic>
#include <bit>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/file_system.h"

namespace sb {

static_assert(std::endian::native == std::endian::little,
              "the plan is kept in its little-endian file encoding");

// The bytes of one encoded block of the plan. A long line's plan is tens of
// megabytes written once from front to back; where the system allows, the
// block asks for large pages, because faulting it in page by page would
// cost more than computing it.
class PlanBlock {
 public:
  PlanBlock() = default;
  explicit PlanBlock(size_t size);
  ~PlanBlock() { release(); }
  PlanBlock(const PlanBlock&) = delete;
  PlanBlock& operator=(const PlanBlock&) = delete;
  PlanBlock(PlanBlock&& other) noexcept { *this = std::move(other); }
  PlanBlock& operator=(PlanBlock&& other) noexcept;

  char* get() const { return data_; }
  // Whether the block is mapped on its own (and prepare() can act).
  bool mapped() const { return mapped_; }
  // Asks the system to back bytes from..to with memory now, where it can,
  // without changing them: another thread writing there later then finds
  // its pages ready.
  void prepare(size_t from, size_t to) const;

 private:
  void release();

  char* data_ = nullptr;
  size_t size_ = 0;
  bool mapped_ = false;
  size_t mapped_length_ = 0;
};

// Plan-view coordinates (x across, y along the initial heading) of every
// metre 0..extent of the track. Each element is unset, a 16-bit integer or a
// double. Points are only ever set from metre 0 upwards without gaps: first
// the two integer start points, then computed doubles; everything above
// size() is unset.
//
// The points are kept already encoded the way the plan file stores them (a
// 2-byte type tag and its payload, x and y in separate blocks), so writing
// the file needs no second copy of the plan.
//
// Laying the track only claims its points; their values are computed on a
// second thread, segment by segment, while the caller reads on (the
// recurrence is a long chain of dependent operations, as slow as the rest of
// a build together). Everything that looks at the values waits for them, so
// the plan behaves as if each point were computed when it was laid.
//
// The plan's file can be written while the track is still laid: a stream
// (file_stream()) gives the x block's bytes as they are computed and the
// rest once seal() says that no more points come.
class TrackPlan {
 public:
  enum class State : uint8_t { unset, integer, real };
  struct Point {
    State state = State::unset;
    double x = 0;
    double y = 0;
  };

  // Type tags of the encoded elements.
  static constexpr uint16_t kUnsetTag = 0;
  static constexpr uint16_t kIntegerTag = 2;
  static constexpr uint16_t kRealTag = 5;

  TrackPlan();
  ~TrackPlan();
  TrackPlan(TrackPlan&& other) noexcept;
  TrackPlan& operator=(TrackPlan&& other) noexcept;

  // Points 0..extent, all unset. An earlier plan is discarded.
  void allocate(int32_t extent);
  bool allocated() const { return allocated_; }
  int32_t extent() const { return extent_; }
  // Number of points set; they are points 0..size()-1.
  int32_t size() const { return size_; }

  // Sets point size() to a 16-bit integer pair (the start of the track).
  void push_integer(int16_t x, int16_t y) {
    finish();
    put_integer(x_data() + x_used_, x);
    put_integer(y_data() + y_used_, y);
    x_used_ += 4;
    y_used_ += 4;
    computed_ = x_used_;
    ++size_;
    remember(x, y);
  }
  // Sets point size() to a computed pair. The caller keeps size() <= extent().
  void push(double x, double y) {
    finish();
    put_real(x_data() + x_used_, x);
    put_real(y_data() + y_used_, y);
    x_used_ += 10;
    y_used_ += 10;
    computed_ = x_used_;
    ++size_;
    remember(x, y);
  }

  // The track from point size() on, up to point `last` (clipped at extent()),
  // each point computed from the two before it: straight on, the point is
  // the last one plus the last step; along a curve, that step turned by the
  // first-order rotation with `curvature` (radians per metre, positive to
  // +x), without renormalising. Each point is encoded as it is computed.
  // Both need the two start points set first.
  void lay_straight(int64_t last) { claim(last, false, 0); }
  void lay_curve(int64_t last, double curvature) { claim(last, true, curvature); }
  // Whether laid points are computed on a second thread (the default) or
  // when they are first looked at.
  void set_background(bool background) { background_ = background; }
  // Hands every point laid so far to the second thread, without waiting for
  // a full batch: for when no more are laid for a while. A plan too short to
  // have filled a batch is left to be computed when looked at: a thread
  // would cost more than it saves.
  void compute_laid_points() {
    if (worker_ && !pending_.empty()) hand_over();
  }

  // Decodes point i (0..extent); linear offsets, as the integers come first.
  Point point(int32_t i) const;

  // The encoded set points of each block; the unset rest is size() - extent()
  // - 1 tags of value 0.
  std::string_view x_block() const {
    finish();
    return {x_data(), x_used_};
  }
  std::string_view y_block() const {
    finish();
    return {y_data(), y_used_};
  }
  int32_t unset_count() const { return allocated_ ? extent_ + 1 - size_ : 0; }

  // The bytes of the plan's file (the x block and its unset elements, then
  // the y block and its unset elements) as they become known, for writing
  // the file on another thread while the track is laid. With
  // `whole_plan_expected` (the plan is wanted only when it reaches the
  // line's end), the y block's bytes too are given as they are computed.
  // The stream refers to this plan, which must not be moved, allocated
  // again or destroyed before the stream is done with; it ends once seal()
  // is called.
  std::unique_ptr<ByteStream> file_stream(bool whole_plan_expected) const;
  // No more points are laid: the file stream goes on to its end. Once
  // sealed, the plan stays so.
  void seal();

 private:
  // A run of laid points: straight on, or along one curve.
  struct Segment {
    int64_t count = 0;
    bool curve = false;
    double curvature = 0;
  };
  class Worker;
  class Preparer;
  class FileStream;

  // How far the computed bytes of each block reach, and whether the plan is
  // sealed or its file stream abandoned, once one of these holds or they
  // reach `least`.
  struct Progress {
    size_t computed = 0;
    bool sealed = false;
    bool abandoned = false;
  };
  Progress wait_for_progress(size_t least) const;
  void abandon_stream() const;
  // Wakes a file stream waiting for computed bytes.
  void announce_progress() const;

  void claim(int64_t last, bool curve, double curvature);
  // Hands the segments laid so far to the worker, starting it if need be.
  void hand_over();
  // Waits for the worker and computes whatever is still pending: after it,
  // every laid point has its value. Computing values changes nothing a
  // caller can see but the values, hence const. A complete plan may be
  // looked at from two threads at once (its file written while the build
  // goes on): the first to get here finishes it.
  void finish() const;
  // The recurrence over the segments, continuing from the last two points
  // computed. Runs on the worker while one is busy, else on the caller.
  void compute(const std::vector<Segment>& segments) const;

  // The x block, then the y block, in one allocation: one large page holds
  // both of a short line's blocks.
  char* x_data() const { return blocks_.get(); }
  char* y_data() const { return blocks_.get() + capacity_; }

  static void put_integer(char* out, int16_t v) {
    const uint16_t tag = kIntegerTag;
    std::memcpy(out, &tag, 2);
    std::memcpy(out + 2, &v, 2);
  }
  // The last two points as numbers, bit-identical to the stored ones, so
  // the recurrence never reads the encoded blocks back.
  void remember(double x, double y) const {
    x0_ = x1_;
    y0_ = y1_;
    x1_ = x;
    y1_ = y;
  }
  // The bytes of the x block and its unset elements of a plan laid up to
  // point extent() - 2, as a line read to its end lays it; 0 for a plan too
  // short to tell.
  size_t whole_plan_x_part() const {
    return extent_ >= 3 ? 10 * static_cast<size_t>(extent_) - 18 : 0;
  }
  // How many points a lay_* call up to `last` adds.
  int64_t points_up_to(int64_t last) const {
    return std::max<int64_t>(std::min<int64_t>(last, extent_) - size_ + 1, 0);
  }

  static void put_real(char* out, double v) {
    const uint16_t tag = kRealTag;
    std::memcpy(out, &tag, 2);
    std::memcpy(out + 2, &v, 8);
  }

  bool allocated_ = false;
  int32_t extent_ = 0;
  int32_t size_ = 0;
  size_t capacity_ = 0;
  size_t x_used_ = 0;
  size_t y_used_ = 0;
  PlanBlock blocks_;
  bool background_ = true;
  // Laid but not yet handed over or computed.
  mutable std::vector<Segment> pending_;
  mutable std::unique_ptr<Worker> worker_;
  mutable std::mutex finishing_;
  // Backs the blocks with memory from their far end while the values are
  // computed from the front: new memory costs as much as the recurrence.
  std::unique_ptr<Preparer> preparer_;
  // How far the computed bytes of each block reach, for the preparer and a
  // file stream.
  mutable std::atomic<size_t> front_ = 0;
  // How far a file stream waits for the computed bytes to reach.
  mutable std::atomic<size_t> awaited_ = SIZE_MAX;
  // A file stream waits on these for computed bytes or the end.
  mutable std::mutex progress_mutex_;
  mutable std::condition_variable progress_;
  bool sealed_ = false;
  mutable bool abandoned_ = false;
  // Owned by the worker while one runs: the bytes of each block computed so
  // far, and the last two points.
  mutable size_t computed_ = 0;
  mutable double x0_ = 0, y0_ = 0, x1_ = 0, y1_ = 0;
};

}  // namespace sb
