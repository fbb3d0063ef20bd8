#include "track/track_plan.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace sb {
namespace {

// Lays a long plan of alternating curves and straights: more segments than
// one batch of the background computation holds, so the worker takes
// several batches and the tail is left to the caller.
void lay_winding_track(TrackPlan& plan) {
  plan.allocate(40000);
  plan.push_integer(0, 0);
  plan.push_integer(0, 1);
  for (int64_t start = 10; start < 39000; start += 30) {
    plan.lay_straight(start);
    plan.lay_curve(start + 20, (start / 30) % 2 ? 0.003 : -0.0004);
  }
  plan.lay_straight(39998);
}

// The recurrence written out point by point, as the plan defines it: the
// curvature of each point (0 straight on), then each point from the two
// before it.
std::vector<double> reference_x(int count) {
  std::vector<double> curvature(count, 0);
  for (int64_t start = 10; start < 39000; start += 30) {
    for (int64_t c = start + 1; c <= start + 20; ++c) curvature[c] = (start / 30) % 2 ? 0.003 : -0.0004;
  }
  std::vector<double> x = {0, 0}, y = {0, 1};
  for (int c = 2; c < count; ++c) {
    const double k = curvature[c];
    const double dx = x[c - 1] - x[c - 2];
    const double dy = y[c - 1] - y[c - 2];
    x.push_back(k != 0 ? x[c - 1] + (dx + k * dy) : x[c - 1] + dx);
    y.push_back(k != 0 ? y[c - 1] + (dy - k * dx) : y[c - 1] + dy);
  }
  return x;
}

TEST(TrackPlan, ComputedInTheBackgroundOrNotTheBytesAreTheSame) {
  TrackPlan background;
  lay_winding_track(background);
  TrackPlan foreground;
  foreground.set_background(false);
  lay_winding_track(foreground);

  EXPECT_EQ(background.size(), 39999);
  EXPECT_EQ(background.unset_count(), 2);
  EXPECT_EQ(background.x_block(), foreground.x_block());
  EXPECT_EQ(background.y_block(), foreground.y_block());

  const std::vector<double> x = reference_x(39999);
  for (int32_t i : {2, 11, 12, 31, 20000, 39000, 39001, 39998}) {
    const TrackPlan::Point p = background.point(i);
    EXPECT_EQ(p.state, TrackPlan::State::real) << i;
    EXPECT_EQ(std::memcmp(&p.x, &x[i], sizeof(double)), 0) << i << ": " << p.x << " vs " << x[i];
  }
}

TEST(TrackPlan, LookingAtTheValuesWaitsForThem) {
  // Each look comes straight after laying, while the worker may still run.
  TrackPlan plan;
  lay_winding_track(plan);
  const TrackPlan::Point last = plan.point(39998);
  EXPECT_EQ(last.state, TrackPlan::State::real);

  TrackPlan moved;
  lay_winding_track(moved);
  TrackPlan target(std::move(moved));
  EXPECT_EQ(target.x_block(), plan.x_block());

  // A new allocation discards a plan whose values are still being computed.
  TrackPlan reused;
  lay_winding_track(reused);
  reused.allocate(10);
  EXPECT_EQ(reused.size(), 0);
  EXPECT_TRUE(reused.x_block().empty());
}

// Everything a stream gives, each piece put in its place, read on another
// thread as a file is written.
class StreamReader {
 public:
  explicit StreamReader(ByteStream& stream)
      : thread_([this, &stream] {
          try {
            size_t end = 0;
            while (const std::optional<ByteStream::Piece> piece = stream.next()) {
              const size_t at = piece->offset.value_or(end);
              end = at + piece->bytes.size();
              if (bytes_.size() < end) bytes_.resize(end, '?');
              bytes_.replace(at, piece->bytes.size(), piece->bytes);
              ++pieces_;
            }
          } catch (const ByteStream::GuessedWrong&) {
            outcome_ = "guessed wrong";
          } catch (const std::exception&) {
            outcome_ = "abandoned";
          }
        }) {}
  // Waits until the stream has given `count` pieces.
  void wait_for_pieces(int count) const {
    while (pieces_ < count) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  // The bytes, and how the stream ended when it threw.
  std::pair<std::string, std::string> wait() {
    thread_.join();
    return {bytes_, outcome_};
  }

 private:
  std::string bytes_;
  std::string outcome_;
  std::atomic<int> pieces_ = 0;
  std::thread thread_;
};

// The plan's file as output_step writes it: each block followed by its
// unset elements (2 zero bytes each).
std::string file_of(const TrackPlan& plan) {
  const std::string zeros(2 * static_cast<size_t>(plan.unset_count()), '\0');
  return std::string(plan.x_block()) + zeros + std::string(plan.y_block()) + zeros;
}

// A plan long enough for a stream to give pieces while it is laid (several
// megabytes a block), laid with curves up to `last`.
void lay_long_track(TrackPlan& plan, int32_t extent, int64_t last) {
  plan.allocate(extent);
  plan.push_integer(0, 0);
  plan.push_integer(0, 1);
  for (int64_t start = 10; start + 20 < last; start += 30) {
    plan.lay_straight(start);
    plan.lay_curve(start + 20, (start / 30) % 2 ? 0.003 : -0.0004);
  }
  plan.lay_straight(last);
  plan.compute_laid_points();
}

TEST(TrackPlan, AStreamGivesTheFileWhileTheTrackIsLaid) {
  // Read from before the plan is allocated until it is sealed: y bytes
  // placed while the track is laid, as a whole line's plan puts them, or
  // only after the x block.
  constexpr int32_t kExtent = 400000;
  for (const bool whole_plan_expected : {true, false}) {
    SCOPED_TRACE(whole_plan_expected ? "whole plan expected" : "plan in order");
    TrackPlan plan;
    const std::unique_ptr<ByteStream> stream = plan.file_stream(whole_plan_expected);
    StreamReader reader(*stream);
    lay_long_track(plan, kExtent, kExtent - 2);
    reader.wait_for_pieces(1);
    plan.seal();
    const auto [bytes, outcome] = reader.wait();
    EXPECT_EQ(outcome, "");
    EXPECT_EQ(plan.unset_count(), 2);
    EXPECT_EQ(bytes.size(), file_of(plan).size());
    EXPECT_TRUE(bytes == file_of(plan));
  }

  // A plan that stops short of the line's end after y bytes went out where a
  // whole plan puts them: the file is to be written again.
  TrackPlan short_plan;
  const std::unique_ptr<ByteStream> guessing = short_plan.file_stream(true);
  StreamReader guessed(*guessing);
  lay_long_track(short_plan, kExtent, kExtent / 2);
  guessed.wait_for_pieces(1);
  short_plan.seal();
  EXPECT_EQ(guessed.wait().second, "guessed wrong");

  // A stream whose plan will not be finished (never allocated, or laid only
  // in part) ends when abandoned, not waiting for the rest.
  for (const bool laid : {false, true}) {
    TrackPlan unfinished;
    const std::unique_ptr<ByteStream> waiting = unfinished.file_stream(true);
    StreamReader stopped(*waiting);
    if (laid) lay_winding_track(unfinished);
    waiting->abandon();
    EXPECT_EQ(stopped.wait().second, "abandoned") << laid;
  }
}

}  // namespace
}  // namespace sb
