#include "track/track_plan.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace sb {

namespace {

#if defined(__linux__)
// Blocks from this size on are mapped on their own, in large pages: on a
// virtual machine a first touch of a small page costs about as much as
// writing it to a file, a large page about thirty times less per byte.
constexpr size_t kMappedBlockSize = size_t{1} << 20;
constexpr size_t kLargePage = size_t{2} << 20;

// The length of a mapping for `size` bytes that starts on a large page:
// whole large pages, so that the last one too can be a large page (a short
// line's two blocks fit in one). Small pages for the rest would cost more
// time than the memory it leaves unused is worth.
size_t mapped_length(size_t size) { return (size + kLargePage - 1) & ~(kLargePage - 1); }

char* map_in_large_pages(size_t length) {
  // Room to move the start onto a large page, the slack given back after.
  const size_t room = length + kLargePage;
  void* p = ::mmap(nullptr, room, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<uintptr_t>(p);
  const uintptr_t aligned = (start + kLargePage - 1) & ~(kLargePage - 1);
  if (aligned > start) ::munmap(p, aligned - start);
  const uintptr_t end = start + room;
  const uintptr_t used_end = (aligned + length + 4095) & ~uintptr_t{4095};
  if (end > used_end) ::munmap(reinterpret_cast<void*>(used_end), end - used_end);
  // Only advice: the block works the same when it is not taken.
  ::madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE);
  return reinterpret_cast<char*>(aligned);
}
#endif

}  // namespace

PlanBlock::PlanBlock(size_t size) : size_(size) {
#if defined(__linux__)
  if (size >= kMappedBlockSize) {
    mapped_length_ = mapped_length(size);
    data_ = map_in_large_pages(mapped_length_);
    if (data_) {
      mapped_ = true;
      return;
    }
  }
#endif
  data_ = new char[size];
}

void PlanBlock::prepare(size_t from, size_t to) const {
#if defined(__linux__)
#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif
  if (!mapped_ || from >= to || to > size_) return;
  constexpr uintptr_t kPage = 4096;
  const auto first = reinterpret_cast<uintptr_t>(data_ + from) & ~(kPage - 1);
  const auto last = reinterpret_cast<uintptr_t>(data_ + to);
  // Only advice: a kernel without it leaves the pages to the first write.
  ::madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
#else
  (void)from;
  (void)to;
#endif
}

PlanBlock& PlanBlock::operator=(PlanBlock&& other) noexcept {
  if (this != &other) {
    release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    mapped_ = std::exchange(other.mapped_, false);
    mapped_length_ = std::exchange(other.mapped_length_, 0);
  }
  return *this;
}

void PlanBlock::release() {
  if (!data_) return;
#if defined(__linux__)
  if (mapped_) {
    ::munmap(data_, mapped_length_);
    data_ = nullptr;
    return;
  }
#endif
  delete[] data_;
  data_ = nullptr;
}

TrackPlan::Point TrackPlan::point(int32_t i) const {
  finish();
  Point p;
  if (i < 0 || i >= size_) return p;
  // Only the leading points can be integers, so the offset of point i is the
  // integer points' bytes plus 10 bytes per real before it.
  size_t offset = 0;
  int32_t index = 0;
  while (index < i) {
    uint16_t tag;
    std::memcpy(&tag, x_data() + offset, 2);
    if (tag != kIntegerTag) {
      offset += 10 * static_cast<size_t>(i - index);
      break;
    }
    offset += 4;
    ++index;
  }
  uint16_t tag;
  std::memcpy(&tag, x_data() + offset, 2);
  if (tag == kIntegerTag) {
    int16_t x, y;
    std::memcpy(&x, x_data() + offset + 2, 2);
    std::memcpy(&y, y_data() + offset + 2, 2);
    return {State::integer, static_cast<double>(x), static_cast<double>(y)};
  }
  double x, y;
  std::memcpy(&x, x_data() + offset + 2, 8);
  std::memcpy(&y, y_data() + offset + 2, 8);
  return {State::real, x, y};
}

// A second thread that computes handed-over segments in order.
class TrackPlan::Worker {
 public:
  explicit Worker(const TrackPlan& plan) : plan_(plan), thread_([this] { run(); }) {}

  void hand_over(std::vector<Segment> segments) {
    {
      std::lock_guard lock(mutex_);
      queue_.push_back(std::move(segments));
    }
    ready_.notify_one();
  }

  // No more hand-overs: the worker stops once it has computed everything.
  void close() {
    {
      std::lock_guard lock(mutex_);
      closed_ = true;
    }
    ready_.notify_one();
  }
  void join() { thread_.join(); }

 private:
  void run() {
    for (;;) {
      std::vector<Segment> segments;
      {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [this] { return closed_ || !queue_.empty(); });
        if (queue_.empty()) return;
        segments = std::move(queue_.front());
        queue_.pop_front();
      }
      plan_.compute(segments);
    }
  }

  const TrackPlan& plan_;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::vector<Segment>> queue_;
  bool closed_ = false;
  // Last, so that it starts once everything it uses exists.
  std::thread thread_;
};

// Backs the plan's two blocks (each `size` bytes, one after the other in
// `blocks`) with memory from their far end towards the point the
// computation has reached, while it runs.
class TrackPlan::Preparer {
 public:
  Preparer(const PlanBlock& blocks, size_t size, const std::atomic<size_t>& front)
      : blocks_(blocks), size_(size), front_(front), thread_([this] { run(); }) {}
  ~Preparer() {
    stop_.store(true, std::memory_order_relaxed);
    thread_.join();
  }

 private:
  void run() {
    constexpr size_t kStep = size_t{2} << 20;
    for (size_t end = size_; end > 0 && !stop_.load(std::memory_order_relaxed);) {
      if (end <= front_.load(std::memory_order_acquire)) return;
      const size_t begin = end > kStep ? end - kStep : 0;
      blocks_.prepare(begin, end);
      blocks_.prepare(size_ + begin, size_ + end);
      end = begin;
    }
  }

  const PlanBlock& blocks_;
  const size_t size_;
  const std::atomic<size_t>& front_;
  std::atomic<bool> stop_ = false;
  // Last, so that it starts once everything it uses exists.
  std::thread thread_;
};

TrackPlan::TrackPlan() = default;

TrackPlan::~TrackPlan() {
  // Points laid but never looked at cannot be looked at any more: a check,
  // which only lays the track, leaves them uncomputed.
  pending_.clear();
  finish();
  preparer_.reset();
}

void TrackPlan::allocate(int32_t extent) {
  finish();
  preparer_.reset();
  extent_ = extent;
  size_ = 0;
  x_used_ = y_used_ = 0;
  const size_t capacity = 10 * (static_cast<size_t>(extent) + 1);
  if (capacity > capacity_) {
    blocks_ = PlanBlock(2 * capacity);
    capacity_ = capacity;
  }
  allocated_ = true;
  computed_ = 0;
  front_.store(0, std::memory_order_relaxed);
  x0_ = y0_ = x1_ = y1_ = 0;
  if (background_ && blocks_.mapped()) {
    try {
      preparer_ = std::make_unique<Preparer>(blocks_, capacity_, front_);
    } catch (const std::system_error&) {
      // Without a thread the memory is backed as it is first written.
    }
  }
}

TrackPlan::TrackPlan(TrackPlan&& other) noexcept { *this = std::move(other); }

TrackPlan& TrackPlan::operator=(TrackPlan&& other) noexcept {
  if (this != &other) {
    finish();
    other.finish();
    preparer_.reset();
    other.preparer_.reset();
    allocated_ = other.allocated_;
    extent_ = other.extent_;
    size_ = other.size_;
    capacity_ = std::exchange(other.capacity_, 0);
    x_used_ = other.x_used_;
    y_used_ = other.y_used_;
    blocks_ = std::move(other.blocks_);
    background_ = other.background_;
    computed_ = other.computed_;
    x0_ = other.x0_;
    y0_ = other.y0_;
    x1_ = other.x1_;
    y1_ = other.y1_;
    front_.store(other.front_.load());
    other.allocated_ = false;
    other.extent_ = other.size_ = 0;
    other.x_used_ = other.y_used_ = other.computed_ = 0;
  }
  return *this;
}

// Batches of a few hundred segments keep the worker busy without a hand-over
// per record.
constexpr size_t kBatch = 256;

// Claims the points up to `last` and leaves their values to compute().
void TrackPlan::claim(int64_t last, bool curve, double curvature) {
  const int64_t count = points_up_to(last);
  if (count == 0) return;
  pending_.push_back({count, curve, curvature});
  x_used_ += 10 * static_cast<size_t>(count);
  y_used_ += 10 * static_cast<size_t>(count);
  size_ += static_cast<int32_t>(count);
  if (background_ && pending_.size() >= kBatch) hand_over();
}

void TrackPlan::hand_over() {
  if (!worker_) {
    try {
      worker_ = std::make_unique<Worker>(*this);
    } catch (const std::system_error&) {
      // No thread to be had: the points are computed when looked at.
      background_ = false;
      return;
    }
  }
  worker_->hand_over(std::move(pending_));
  pending_ = {};
  pending_.reserve(kBatch);
}

void TrackPlan::finish() const {
  const std::lock_guard lock(finishing_);
  if (worker_) {
    worker_->close();
    worker_->join();
    worker_.reset();
  }
  if (!pending_.empty()) {
    compute(pending_);
    pending_.clear();
  }
}

namespace {

// The two recurrences, each in its own loop. The write positions and the
// last two points live in locals: stores through the char blocks could
// otherwise alias them and force them back to memory on every point.
struct Walk {
  char* px;
  char* py;
  double x0, y0, x1, y1;

  void put(double x, double y) {
    constexpr uint16_t tag = TrackPlan::kRealTag;
    std::memcpy(px, &tag, 2);
    std::memcpy(px + 2, &x, 8);
    std::memcpy(py, &tag, 2);
    std::memcpy(py + 2, &y, 8);
    px += 10;
    py += 10;
    x0 = x1;
    y0 = y1;
    x1 = x;
    y1 = y;
  }

  void straight(int64_t count) {
    for (int64_t n = 0; n < count; ++n) put(x1 + (x1 - x0), y1 + (y1 - y0));
  }

  void curve(int64_t count, double curvature) {
    for (int64_t n = 0; n < count; ++n) {
      const double dx = x1 - x0;
      const double dy = y1 - y0;
      put(x1 + (dx + curvature * dy), y1 + (dy - curvature * dx));
    }
  }
};

}  // namespace

// The hot loop of a build.
void TrackPlan::compute(const std::vector<Segment>& segments) const {
  Walk walk{x_data() + computed_, y_data() + computed_, x0_, y0_, x1_, y1_};
  for (const Segment& segment : segments) {
    if (segment.curve) {
      walk.curve(segment.count, segment.curvature);
    } else {
      walk.straight(segment.count);
    }
  }
  x0_ = walk.x0;
  y0_ = walk.y0;
  x1_ = walk.x1;
  y1_ = walk.y1;
  computed_ = static_cast<size_t>(walk.px - x_data());
  front_.store(computed_);
  announce_progress();
}

void TrackPlan::announce_progress() const {
  // A stream is woken only for as much as it waits for: a batch is far
  // smaller than a piece. (Both sides store, then load the other's
  // figure, in one total order: one of them sees the other's.)
  if (front_.load() < awaited_.load()) return;
  // Taken and let go so that a stream between its test and its wait
  // cannot miss the news.
  { const std::lock_guard lock(progress_mutex_); }
  progress_.notify_all();
}

TrackPlan::Progress TrackPlan::wait_for_progress(size_t least) const {
  std::unique_lock lock(progress_mutex_);
  awaited_.store(least);
  progress_.wait(lock, [&] {
    return sealed_ || abandoned_ || front_.load() >= least;
  });
  return {front_.load(std::memory_order_acquire), sealed_, abandoned_};
}

void TrackPlan::abandon_stream() const {
  {
    const std::lock_guard lock(progress_mutex_);
    abandoned_ = true;
  }
  progress_.notify_all();
}

void TrackPlan::seal() {
  if (sealed_) return;
  {
    // A file written ahead from the plan may be finishing it on its own
    // thread already.
    const std::lock_guard lock(finishing_);
    if (worker_ && !pending_.empty()) hand_over();
  }
  {
    const std::lock_guard lock(progress_mutex_);
    sealed_ = true;
  }
  progress_.notify_all();
}

namespace {

// The x block goes out in pieces of at least this size while it is computed:
// a write per batch of the recurrence would be many small ones.
constexpr size_t kStreamPiece = size_t{1} << 20;

}  // namespace

// The plan's file, piece by piece: the x block's computed bytes while the
// track is laid, then (once sealed, every point computed) the rest of it,
// its unset elements, the y block and its unset elements.
//
// When the plan is expected to reach the line's end, the y block's computed
// bytes go out while the track is laid too, at the place the x part of a
// whole plan leaves them: after point extent - 2 every later point is unset.
// A plan that ends elsewhere makes the file be written again whole
// (GuessedWrong).
class TrackPlan::FileStream : public ByteStream {
 public:
  FileStream(const TrackPlan& plan, bool whole_plan_expected)
      : plan_(plan), whole_plan_expected_(whole_plan_expected) {}

  std::optional<Piece> next() override {
    if (y_piece_) return std::exchange(y_piece_, std::nullopt);
    // While the track is laid, a piece is worth writing once it is large.
    const Progress progress =
        plan_.wait_for_progress(part_ == Part::laying ? sent_ + kStreamPiece : 0);
    if (progress.abandoned) throw PlanStreamAbandoned();
    switch (part_) {
      case Part::laying:
        if (!progress.sealed) return computed_pieces(progress.computed);
        return rest_of_x();
      case Part::x_unset:
        part_ = Part::y;
        return Piece(zeros_, x_part_ - zeros_.size());
      case Part::y:
        part_ = Part::y_unset;
        return Piece(plan_.y_block().substr(y_sent_), x_part_ + y_sent_);
      case Part::y_unset:
        part_ = Part::done;
        return Piece(zeros_, 2 * x_part_ - zeros_.size());
      case Part::done:
        break;
    }
    return std::nullopt;
  }

  void abandon() override { plan_.abandon_stream(); }

 private:
  enum class Part { laying, x_unset, y, y_unset, done };
  struct PlanStreamAbandoned : std::exception {
    const char* what() const noexcept override { return "the plan's file is no longer wanted"; }
  };

  // The x bytes computed since the last piece, and the y bytes beside them
  // where their place is known.
  Piece computed_pieces(size_t reach) {
    if (whole_plan_expected_ && !y_place_) y_place_ = plan_.whole_plan_x_part();
    const Piece x(std::string_view(plan_.x_data() + sent_, reach - sent_), sent_);
    if (y_place_ && *y_place_ > 0) {
      y_piece_ = Piece(std::string_view(plan_.y_data() + sent_, reach - sent_), *y_place_ + sent_);
      y_sent_ = reach;
    }
    sent_ = reach;
    return x;
  }

  // Once sealed: the x bytes not yet given, with the place of what follows.
  Piece rest_of_x() {
    const std::string_view x = plan_.x_block();
    zeros_.assign(2 * static_cast<size_t>(std::max(plan_.unset_count(), 0)), '\0');
    x_part_ = x.size() + zeros_.size();
    if (y_sent_ > 0 && x_part_ != *y_place_) throw GuessedWrong();
    part_ = Part::x_unset;
    const Piece rest(x.substr(sent_), sent_);
    sent_ = x.size();
    return rest;
  }

  const TrackPlan& plan_;
  const bool whole_plan_expected_;
  Part part_ = Part::laying;
  // Bytes of each block given so far.
  size_t sent_ = 0;
  size_t y_sent_ = 0;
  // Where the y block starts when the plan reaches the line's end (0 when
  // that cannot be told), once the plan is allocated.
  std::optional<size_t> y_place_;
  std::optional<Piece> y_piece_;
  size_t x_part_ = 0;
  std::string zeros_;
};

std::unique_ptr<ByteStream> TrackPlan::file_stream(bool whole_plan_expected) const {
  return std::make_unique<FileStream>(*this, whole_plan_expected);
}

}  // namespace sb
