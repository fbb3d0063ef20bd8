#include "track/model.h"

#include <gtest/gtest.h>

#include <cmath>

namespace sb {
namespace {

TEST(RoundHalfEven, ExactHalvesGoToTheEvenNeighbour) {
  const struct {
    double value;
    int64_t expected;
  } cases[] = {{21.5, 22}, {22.5, 22}, {23.5, 24}, {-0.5, 0}, {-1.5, -2},
               {2079.6, 2080}, {0.49999, 0}, {1e30, 9000000000000000000}};
  for (const auto& c : cases) EXPECT_EQ(round_half_even(c.value), c.expected) << c.value;
}

TEST(RoundHalfEven, AgreesWithTheLibraryRounding) {
  // Every quotient the builder rounds (whole metres by 50, speeds by 5),
  // and values around the edges of the fraction-free range.
  for (int64_t k = -2'000'000; k <= 2'000'000; ++k) {
    for (double divisor : {50.0, 5.0}) {
      const double value = static_cast<double>(k) / divisor;
      ASSERT_EQ(round_half_even(value), static_cast<int64_t>(std::nearbyint(value))) << value;
    }
  }
  // Steps of a quarter below 2^52, where halves and quarters still exist,
  // and whole steps above it.
  for (double base : {2251799813685248.0, 4503599627370496.0, 9007199254740992.0}) {
    for (int step = -256; step <= 256; ++step) {
      const double value = base + (base < 4503599627370496.0 || step < 0 ? step / 4.0 : step * 2.0);
      ASSERT_EQ(round_half_even(value), static_cast<int64_t>(std::nearbyint(value))) << value;
      ASSERT_EQ(round_half_even(-value), static_cast<int64_t>(std::nearbyint(-value))) << -value;
    }
  }
  for (double value : {0.5, 1.5, 2.5, -2.5, 0.49999999999999994, 1e15 + 0.5, -1e15 - 0.5}) {
    EXPECT_EQ(round_half_even(value), static_cast<int64_t>(std::nearbyint(value))) << value;
  }
}

TEST(CellIndex, PositionsOnAndOffTheGrid) {
  const struct {
    int64_t position;
    int64_t cell;
  } cases[] = {{0, 1}, {50, 2}, {29000, 581}, {1025, 22}, {1075, 22}, {1125, 24}, {18800, 377}};
  for (const auto& c : cases) EXPECT_EQ(cell_index_of(c.position), c.cell) << c.position;
}

TEST(CellIndex, ExtentEndingInAHalfRoundsToTheEvenBound) {
  // 104025 / 50 = 2080.5 and 104075 / 50 = 2081.5: both even bounds.
  EXPECT_EQ(round_half_even(104025 / 50.0), 2080);
  EXPECT_EQ(round_half_even(104075 / 50.0), 2082);
}

TEST(FreeCell, OnlyEmptyAndMontagnaMarkerAreFree) {
  for (int kind = 0; kind < 256; ++kind) {
    Cell cell;
    cell.kind = static_cast<uint8_t>(kind);
    EXPECT_EQ(is_free(cell), kind == empty || kind == montagna_marker) << kind;
  }
}

TEST(TrackPlan, KeepsPointsEncodedAndDecodesThem) {
  TrackPlan plan;
  plan.allocate(5);
  EXPECT_EQ(plan.unset_count(), 6);
  plan.push_integer(0, 0);
  plan.push_integer(0, 1);
  plan.push(-0.0002, 2.5);
  EXPECT_EQ(plan.size(), 3);
  EXPECT_EQ(plan.unset_count(), 3);
  EXPECT_EQ(plan.point(1).state, TrackPlan::State::integer);
  EXPECT_EQ(plan.point(1).y, 1.0);
  EXPECT_EQ(plan.point(2).state, TrackPlan::State::real);
  EXPECT_EQ(plan.point(2).x, -0.0002);
  EXPECT_EQ(plan.point(3).state, TrackPlan::State::unset);
  EXPECT_EQ(plan.y_block().substr(0, 8), std::string("\x02\x00\x00\x00\x02\x00\x01\x00", 8));
  EXPECT_EQ(plan.x_block().size(), 18u);
}

}  // namespace
}  // namespace sb
