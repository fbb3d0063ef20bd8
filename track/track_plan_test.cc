#include "track/track_plan.h"

#include <gtest/gtest.h>

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

// Everything a stream gives, read on another thread, as a file is written.
class StreamReader {
 public:
  explicit StreamReader(ByteStream& stream)
      : thread_([this, &stream] {
          try {
            while (const std::optional<std::string_view> piece = stream.next()) {
              bytes_.append(*piece);
            }
          } catch (const std::exception&) {
            abandoned_ = true;
          }
        }) {}
  // The bytes, and whether the stream ended by throwing.
  std::pair<std::string, bool> wait() {
    thread_.join();
    return {bytes_, abandoned_};
  }

 private:
  std::string bytes_;
  bool abandoned_ = false;
  std::thread thread_;
};

TEST(TrackPlan, AStreamGivesTheFileWhileTheTrackIsLaid) {
  // Read from before the plan is allocated until it is sealed: the file is
  // the blocks and their unset elements (2 zero bytes each), in order.
  TrackPlan plan;
  const std::unique_ptr<ByteStream> stream = plan.file_stream();
  StreamReader reader(*stream);
  lay_winding_track(plan);
  plan.seal();
  const auto [bytes, abandoned] = reader.wait();
  EXPECT_FALSE(abandoned);
  const std::string zeros(4, '\0');
  EXPECT_EQ(bytes.size(), 2 * (plan.x_block().size() + zeros.size()));
  EXPECT_TRUE(bytes == std::string(plan.x_block()) + zeros + std::string(plan.y_block()) + zeros);

  // A stream whose plan will not be finished (never allocated, or laid only
  // in part) ends when abandoned, not waiting for the rest.
  for (const bool laid : {false, true}) {
    TrackPlan unfinished;
    const std::unique_ptr<ByteStream> waiting = unfinished.file_stream();
    StreamReader stopped(*waiting);
    if (laid) lay_winding_track(unfinished);
    waiting->abandon();
    EXPECT_TRUE(stopped.wait().second) << laid;
  }
}

}  // namespace
}  // namespace sb
