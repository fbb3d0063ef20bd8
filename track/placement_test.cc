#include "track/placement.h"

#include <gtest/gtest.h>

#include <limits>
#include <tuple>
#include <vector>

#include "testing/fake_platform.h"

namespace sb {
namespace {

// A 97000 m line: cells 0..2080, all empty.
struct Model {
  Model() {
    b.cell_count = 2080;
    b.cells.assign(2081, Cell{});
  }
  Cell& at(int i) { return b.cells[static_cast<size_t>(i)]; }
  void put(int i, CellKind kind) { at(i).kind = kind; }

  FakePlatform platform;
  Builder b{platform};
};

auto fields(const Cell& c) {
  return std::tie(c.kind, c.value1, c.value2, c.value3, c.value4, c.signal_time,
                  c.approach_code, c.montagna_type, c.line_speed, c.gradient, c.adhesion);
}

bool same_cells(const std::vector<Cell>& a, const std::vector<Cell>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (fields(a[i]) != fields(b[i])) return false;
  return true;
}

// ---- place_montagna ----

TEST(PlaceMontagna, FlaggedSpanSetsTypeAndMarkersEvery200m) {
  Model m;
  m.put(432, signal);
  int32_t type = 12;
  place_montagna(m.b, 21250, 22250, type);

  EXPECT_EQ(type, 2);
  EXPECT_EQ(m.b.error_number, 0);
  EXPECT_EQ(m.b.montagna_count, 1);
  EXPECT_EQ(m.b.montagna_start_m[1], 21250);
  EXPECT_EQ(m.b.montagna_end_m[1], 22250);
  EXPECT_EQ(m.at(424).montagna_type, 0);
  EXPECT_EQ(m.at(445).montagna_type, 0);
  for (int i = 425; i <= 444; ++i) {
    EXPECT_EQ(m.at(i).montagna_type, 2) << i;
    const bool marker = i == 428 || i == 436 || i == 440 || i == 444;
    EXPECT_EQ(m.at(i).kind, marker ? montagna_marker : (i == 432 ? signal : empty)) << i;
  }
}

TEST(PlaceMontagna, UnflaggedSpanGetsNoMarkers) {
  Model m;
  int32_t type = 1;
  place_montagna(m.b, 21250, 22250, type);
  EXPECT_EQ(type, 1);
  for (int i = 425; i <= 444; ++i) {
    EXPECT_EQ(m.at(i).montagna_type, 1) << i;
    EXPECT_EQ(m.at(i).kind, empty) << i;
  }
}

TEST(PlaceMontagna, SpanStartingWithin150mOfThePreviousEndIsJoined) {
  const struct {
    int32_t gap;
    int32_t type;
    int32_t expected_tipo;
  } cases[] = {{150, 1, 3}, {100, 2, 3}, {-50, 1, 3}, {151, 1, 1}, {200, 2, 2}, {150, 11, 3}};
  for (const auto& c : cases) {
    Model m;
    int32_t first = 1;
    place_montagna(m.b, 10000, 12000, first);
    int32_t type = c.type;
    const int32_t start_m = 12000 + c.gap;
    place_montagna(m.b, start_m, 15000, type);
    EXPECT_EQ(type, c.expected_tipo) << c.gap << " " << c.type;
    EXPECT_EQ(m.at(round_half_even(start_m / 50.0)).montagna_type, c.expected_tipo) << c.gap;
    EXPECT_EQ(m.b.montagna_count, 2);
  }
}

TEST(PlaceMontagna, FlagSurvivesTheJoinAndMarkersSkipTakenCells) {
  Model m;
  int32_t first = 1;
  place_montagna(m.b, 10000, 12000, first);
  m.put(246, speed_board);  // the 4th cell of the next span
  int32_t type = 11;
  place_montagna(m.b, 12150, 12800, type);  // cells 243..255
  EXPECT_EQ(type, 3);
  EXPECT_EQ(m.at(246).kind, speed_board);
  EXPECT_EQ(m.at(250).kind, montagna_marker);
  EXPECT_EQ(m.at(254).kind, montagna_marker);
  EXPECT_EQ(m.at(255).kind, empty);
  EXPECT_EQ(m.at(255).montagna_type, 3);
}

TEST(PlaceMontagna, CellRangeHasNoOneAdded) {
  const struct {
    int32_t start_m, end_m;
    int first, last;  // last < first: no cell changes
  } cases[] = {{18800, 18850, 376, 376}, {18800, 18820, 376, 375}, {0, 100, 0, 1},
               {1025, 1175, 20, 22}};
  for (const auto& c : cases) {
    Model m;
    int32_t type = 2;
    place_montagna(m.b, c.start_m, c.end_m, type);
    EXPECT_EQ(m.b.error_number, 0);
    EXPECT_EQ(m.b.montagna_count, 1) << "a span too short for a cell is still counted";
    for (int i = 0; i <= 400; ++i) {
      const bool covered = i >= c.first && i <= c.last;
      EXPECT_EQ(m.at(i).montagna_type, covered ? 2 : 0) << c.start_m << " cell " << i;
    }
  }
}

TEST(PlaceMontagna, TypeKeepsItsLowByte) {
  Model m;
  int32_t type = 258;
  place_montagna(m.b, 1000, 1100, type);
  EXPECT_EQ(type, 248);
  EXPECT_EQ(m.at(20).montagna_type, 248);
}

TEST(PlaceMontagna, EightyFirstSpanIsRefusedUncounted) {
  Model m;
  for (int n = 0; n < 80; ++n) {
    int32_t type = 1;
    place_montagna(m.b, 1000 + n * 1000, 1500 + n * 1000, type);
  }
  ASSERT_EQ(m.b.error_number, 0);
  ASSERT_EQ(m.b.montagna_count, 80);
  const std::vector<Cell> before = m.b.cells;
  int32_t type = 12;
  place_montagna(m.b, 90000, 91000, type);
  EXPECT_EQ(m.b.error_number, 27);
  EXPECT_EQ(m.b.montagna_count, 80);
  EXPECT_EQ(m.b.montagna_end_m[80], 80500);
  EXPECT_EQ(type, 12);
  EXPECT_TRUE(same_cells(m.b.cells, before));
}

TEST(PlaceMontagna, SpanReachingOutsideTheCellsIsRefused) {
  const struct {
    int32_t start_m, end_m;
  } cases[] = {{103000, 104100},  // last cell 2081
               {-100, 500},       // first cell -2
               {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()}};
  for (const auto& c : cases) {
    Model m;
    int32_t type = 12;
    place_montagna(m.b, c.start_m, c.end_m, type);
    EXPECT_EQ(m.b.error_number, 26) << c.start_m;
    EXPECT_EQ(m.b.montagna_count, 0);
    EXPECT_EQ(type, 12);
    EXPECT_TRUE(same_cells(m.b.cells, Model().b.cells));
  }
  Model last_cell_inside;
  int32_t type = 1;
  place_montagna(last_cell_inside.b, 103000, 104050, type);
  EXPECT_EQ(last_cell_inside.b.error_number, 0);
  EXPECT_EQ(last_cell_inside.at(2080).montagna_type, 1);
}

TEST(PlaceMontagna, RefusedWithoutCellsUnlessTheSpanCoversNone) {
  FakePlatform platform;
  Builder b(platform);
  int32_t type = 1;
  place_montagna(b, 1000, 2000, type);
  EXPECT_EQ(b.error_number, 26);
  EXPECT_EQ(b.montagna_count, 0);
  b.error_number = 0;
  place_montagna(b, 1000, 1020, type);
  EXPECT_EQ(b.error_number, 0);
  EXPECT_EQ(b.montagna_count, 1);
}

// ---- place_slowdown ----

TEST(PlaceSlowdown, BoardsOfASlowdownAt29000) {
  Model m;
  place_slowdown(m.b, 29000, 30, 600, 7, 0, 30);
  EXPECT_EQ(m.b.error_number, 0);
  const struct {
    int cell;
    CellKind kind;
    int16_t value3;
  } boards[] = {{557, slowdown_warning, 0}, {581, slowdown_start, 7}, {593, slowdown_end, 7}};
  for (const auto& board : boards) {
    const Cell& c = m.at(board.cell);
    EXPECT_EQ(c.kind, board.kind) << board.cell;
    EXPECT_EQ(c.value1, 30) << board.cell;
    EXPECT_EQ(c.value2, 30) << board.cell;
    EXPECT_EQ(c.value3, board.value3) << board.cell;
  }
  for (int i = 553; i <= 556; ++i) EXPECT_EQ(m.at(i).kind, empty) << "no lead cells without f_ta";
}

TEST(PlaceSlowdown, ZeroDvLeavesValue2Alone) {
  Model m;
  m.at(581).value2 = 99;  // a free cell's leftover value is not cleared
  place_slowdown(m.b, 29000, 60, 600, 0, 1, 0);
  EXPECT_EQ(m.at(557).value2, 0);
  EXPECT_EQ(m.at(581).value2, 99);
  EXPECT_EQ(m.at(593).value2, 0);
  for (int i = 553; i <= 556; ++i) EXPECT_EQ(m.at(i).value2, 0) << i;
}

TEST(PlaceSlowdown, LeadCellsCountDownFromBeforeTheWarning) {
  const struct {
    int32_t x;
    int32_t d_v;
    int warning;  // 0: no warning board
    int first_lead;  // 0: no lead cells
  } cases[] = {{29000, 30, 557, 556}, {29000, 0, 557, 556}, {29025, 30, 558, 556},
               {1550, 30, 8, 7},      {1500, 30, 0, 0},     {1000, 30, 0, 0}};
  for (const auto& c : cases) {
    Model m;
    place_slowdown(m.b, c.x, 30, 600, 0, 5, c.d_v);
    EXPECT_EQ(m.b.error_number, 0) << c.x;
    std::vector<int> warnings, leads;
    for (int i = 0; i <= 2080; ++i) {
      if (m.at(i).kind == slowdown_warning) warnings.push_back(i);
      if (m.at(i).kind == slowdown_lead) leads.push_back(i);
    }
    EXPECT_EQ(warnings, c.warning ? std::vector<int>{c.warning} : std::vector<int>{}) << c.x;
    if (c.first_lead == 0) {
      EXPECT_TRUE(leads.empty()) << c.x;
      continue;
    }
    ASSERT_EQ(leads.size(), 4u) << c.x;
    for (int n = 1; n <= 4; ++n) {
      const Cell& lead = m.at(c.first_lead - (n - 1));
      EXPECT_EQ(lead.kind, slowdown_lead) << c.x << " lead " << n;
      EXPECT_EQ(lead.value1, n) << c.x;
      EXPECT_EQ(lead.value2, c.d_v ? n : 0) << c.x;
    }
  }
}

TEST(PlaceSlowdown, StoredValuesKeepTheirLow16Bits) {
  Model m;
  place_slowdown(m.b, 29000, 70000, 600, -70000, 0, 65536 + 12);
  EXPECT_EQ(m.at(581).value1, static_cast<int16_t>(70000 - 65536));
  EXPECT_EQ(m.at(593).value3, static_cast<int16_t>(-70000 + 65536));
  EXPECT_EQ(m.at(557).value2, 12);
}

// Cells made taken before the slowdown at 29000 (w 557, s 581, e 593, h 556).
TEST(PlaceSlowdown, RefusalsWriteNothingButLeadCellConflicts) {
  const struct {
    const char* what;
    std::vector<int> taken;
    int32_t x, l, f_ta;
    int32_t error;
    bool boards_placed;
  } cases[] = {
      {"warning taken", {557}, 29000, 600, 1, 17, false},
      {"warning and start taken", {557, 581}, 29000, 600, 1, 17, false},
      {"start taken", {581}, 29000, 600, 1, 18, false},
      {"start and end taken", {581, 593}, 29000, 600, 1, 18, false},
      {"end taken", {593}, 29000, 600, 1, 19, false},
      {"lead cell h taken", {556}, 29000, 600, 1, 20, true},
      {"lead cell h-3 taken", {553}, 29000, 600, 1, 20, true},
      {"cell below h-3 is no lead", {552}, 29000, 600, 1, 0, true},
      {"warning cell taken below 1501 m does not count", {7}, 1500, 600, 1, 0, true},
      {"end beyond the cells", {}, 103000, 1100, 0, 26, false},
      {"start before cell 0", {}, -100, 600, 0, 26, false},
      {"end on the start cell", {}, 29000, 0, 0, 28, false},
      {"end rounds onto the start cell", {}, 29000, 24, 0, 28, false},
      {"end before the start", {}, 29000, -600, 0, 28, false},
      {"end on the start cell comes before the free tests", {557, 581}, 29000, 0, 1, 28, false},
      {"outside the cells comes before the free tests", {2037}, 103000, 1100, 1, 26, false},
  };
  for (const auto& c : cases) {
    Model m;
    for (int i : c.taken) m.put(i, speed_board);
    const std::vector<Cell> before = m.b.cells;
    place_slowdown(m.b, c.x, 30, c.l, 0, c.f_ta, 30);
    EXPECT_EQ(m.b.error_number, c.error) << c.what;
    EXPECT_EQ(m.b.error_position_m, 0) << "the reader sets the position: " << c.what;
    if (!c.boards_placed) {
      EXPECT_TRUE(same_cells(m.b.cells, before)) << c.what;
      continue;
    }
    EXPECT_EQ(m.at(cell_index_of(c.x)).kind, slowdown_start) << c.what;
    for (int i = 553; i <= 556; ++i)
      EXPECT_EQ(m.at(i).kind == slowdown_lead, c.error == 0 && c.x == 29000) << c.what << " " << i;
  }
}

TEST(PlaceSlowdown, MontagnaMarkersCountAsFree) {
  Model m;
  for (int i : {553, 554, 555, 556, 557, 581, 593}) m.put(i, montagna_marker);
  place_slowdown(m.b, 29000, 30, 600, 0, 1, 30);
  EXPECT_EQ(m.b.error_number, 0);
  EXPECT_EQ(m.at(557).kind, slowdown_warning);
  EXPECT_EQ(m.at(556).kind, slowdown_lead);
}

TEST(PlaceSlowdown, EndOnTheLastCellIsAccepted) {
  Model m;
  place_slowdown(m.b, 103000, 30, 950, 0, 0, 0);
  EXPECT_EQ(m.b.error_number, 0);
  EXPECT_EQ(m.at(2080).kind, slowdown_end);
}

// ---- place_signal ----

TEST(PlaceSignal, SignalValuesAndApproachMarks) {
  Model m;
  m.put(18, speed_board);  // marks go on whatever the cell holds
  m.at(16).approach_code = 33;
  int32_t time_s = 0;
  place_signal(m.b, 1050, 2, 1, 2, 3, 4, 0, 5, 6, 7, time_s);
  EXPECT_EQ(m.b.error_number, 0);
  const Cell& s = m.at(22);
  EXPECT_EQ(s.kind, signal);
  EXPECT_EQ(s.value4, 46);
  EXPECT_EQ(s.value1, 15);
  EXPECT_EQ(s.value2, 26);
  EXPECT_EQ(s.value3, 37);
  const struct {
    int cell;
    uint8_t code;
  } marks[] = {{20, 61}, {18, 62}, {16, 63}, {14, 64}, {21, 0}, {19, 0}, {12, 0}};
  for (const auto& mark : marks) EXPECT_EQ(m.at(mark.cell).approach_code, mark.code) << mark.cell;
  EXPECT_EQ(m.at(18).kind, speed_board);
}

TEST(PlaceSignal, TimeIsRaisedTo101AndKeptOnlyForSideType2) {
  const struct {
    int32_t sx, time_s;
    int32_t tempo_after;
    uint8_t signal_time;
  } cases[] = {{2, 50, 101, 101}, {2, 1, 101, 101},  {2, 100, 101, 101}, {2, 0, 0, 0},
               {2, 101, 101, 101}, {2, 255, 255, 255}, {2, 300, 300, 44},  {2, -5, -5, 251},
               {1, 50, 101, 0},   {1, 200, 200, 0},   {0, 0, 0, 0}};
  for (const auto& c : cases) {
    Model m;
    int32_t time_s = c.time_s;
    place_signal(m.b, 5000, c.sx, 0, 0, 0, 0, 0, 0, 0, 0, time_s);
    EXPECT_EQ(time_s, c.tempo_after) << c.sx << " " << c.time_s;
    EXPECT_EQ(m.at(101).signal_time, c.signal_time) << c.sx << " " << c.time_s;
  }
}

TEST(PlaceSignal, LaterSignalOverwritesCloseApproachMarks) {
  Model m;
  int32_t time_s = 0;
  place_signal(m.b, 1050, 2, 0, 0, 0, 0, 0, 0, 0, 0, time_s);  // cell 22: marks 20..14
  place_signal(m.b, 950, 1, 0, 0, 0, 0, 1, 0, 0, 0, time_s);   // cell 20: marks 18..12
  EXPECT_EQ(m.at(20).approach_code, 61) << "the signal cell keeps the earlier mark";
  EXPECT_EQ(m.at(20).kind, signal);
  EXPECT_EQ(m.at(18).approach_code, 41);
  EXPECT_EQ(m.at(12).approach_code, 44);
}

TEST(PlaceSignal, StoredValuesKeepTheirLowBits) {
  Model m;
  int32_t time_s = 0;
  place_signal(m.b, 5000, 90, 3277, 0, 0, 3277, 0, 0, 0, 0, time_s);
  const Cell& s = m.at(101);
  EXPECT_EQ(s.value4, static_cast<int16_t>(32770 + 270));
  EXPECT_EQ(s.value1, static_cast<int16_t>(32770));
  EXPECT_EQ(m.at(99).approach_code, static_cast<uint8_t>(2701));
}

// A point object at position_m, on a cell holding on_cell beforehand, and
// the error its placement records (0: placed).
struct PointRefusal {
  const char* what;
  int32_t position_m;
  CellKind on_cell;
  int32_t error;
};

TEST(PlaceSignal, Refusals) {
  const PointRefusal cases[] = {
      {"cell taken", 5000, slowdown_start, 16},
      {"cell holds a montagna marker", 5000, montagna_marker, 0},
      {"lowest cell whose marks stay in the cells", 325, empty, 0},
      {"approach marks below cell 0", 300, empty, 26},
      {"below cell 0 comes before the free test", 300, slowdown_start, 26},
      {"beyond the last cell", 104000, empty, 26},
      {"last cell", 103950, empty, 0},
  };
  for (const auto& c : cases) {
    Model m;
    const int64_t i = cell_index_of(c.position_m);
    if (i <= 2080) m.put(static_cast<int>(i), c.on_cell);
    const std::vector<Cell> before = m.b.cells;
    int32_t time_s = 50;
    place_signal(m.b, c.position_m, 2, 1, 1, 1, 1, 1, 1, 1, 1, time_s);
    EXPECT_EQ(m.b.error_number, c.error) << c.what;
    EXPECT_EQ(m.b.error_position_m, 0) << c.what;
    if (c.error != 0) {
      EXPECT_TRUE(same_cells(m.b.cells, before)) << c.what;
      EXPECT_EQ(time_s, 50) << c.what;
    } else {
      EXPECT_EQ(m.at(static_cast<int>(i)).kind, signal) << c.what;
    }
  }
}

// ---- place_speed_boards ----

TEST(PlaceSpeedBoards, SpeedsPackSideSInHundredsAndSideDInUnits) {
  const struct {
    int32_t vas, vbs, vcs, strisces, vad, vbd, vcd, strisced;
    int16_t v1, v2, v3, v4;
  } cases[] = {
      {105, 115, 120, 0, 0, 0, 0, 0, 2100, 2300, 2400, 0},
      {110, 105, 0, 2, 115, 0, 60, 3, 2223, 2100, 12, 23},
      {0, 0, 0, 0, 7, 8, 12, 0, 1, 2, 2, 0},          // real division, then rounding
      {2000, 0, 0, 0, 0, 0, 0, 0, static_cast<int16_t>(40000), 0, 0, 0},
  };
  for (const auto& c : cases) {
    Model m;
    place_speed_boards(m.b, 1000, c.vas, c.vbs, c.vcs, c.strisces, c.vad, c.vbd, c.vcd,
                          c.strisced);
    const Cell& board = m.at(21);
    EXPECT_EQ(m.b.error_number, 0);
    EXPECT_EQ(board.kind, speed_board);
    EXPECT_EQ(board.value1, c.v1) << c.vas;
    EXPECT_EQ(board.value2, c.v2) << c.vas;
    EXPECT_EQ(board.value3, c.v3) << c.vas;
    EXPECT_EQ(board.value4, c.v4) << c.vas;
  }
}

TEST(PlaceSpeedBoards, Refusals) {
  const PointRefusal cases[] = {
      {"cell taken", 1000, signal, 21},
      {"cell holds a montagna marker", 1000, montagna_marker, 0},
      {"below cell 0", -100, empty, 26},
      {"beyond the last cell", 104050, empty, 26},
  };
  for (const auto& c : cases) {
    Model m;
    const int64_t i = cell_index_of(c.position_m);
    if (i >= 0 && i <= 2080) m.put(static_cast<int>(i), c.on_cell);
    const std::vector<Cell> before = m.b.cells;
    place_speed_boards(m.b, c.position_m, 100, 100, 100, 1, 100, 100, 100, 1);
    EXPECT_EQ(m.b.error_number, c.error) << c.what;
    if (c.error != 0) {
      EXPECT_TRUE(same_cells(m.b.cells, before)) << c.what;
    }
  }
}

// ---- any input ----

TEST(PlacementExtremes, AnyInt32InputIsPlacedOrRefusedInsideTheModel) {
  constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  const int32_t values[] = {kMin, kMin + 1, -1201, -1, 0, 1, 1500, 1501, 103999, 104100, kMax - 1,
                            kMax};
  for (int32_t p : values) {
    for (int32_t q : values) {
      Model m;
      int32_t type = q;
      place_montagna(m.b, p, q, type);
      place_slowdown(m.b, p, q, q, q, q, q);
      int32_t time_s = q;
      place_signal(m.b, p, q, q, q, q, q, q, q, q, q, time_s);
      place_speed_boards(m.b, p, q, q, q, q, q, q, q, q);
      EXPECT_EQ(m.b.cells.size(), 2081u);
      EXPECT_LE(m.b.montagna_count, 1);
    }
  }
  FakePlatform platform;
  Builder unallocated(platform);
  unallocated.cell_count = 2080;
  int32_t time_s = 0;
  place_slowdown(unallocated, 29000, 30, 600, 0, 1, 0);
  EXPECT_EQ(unallocated.error_number, 26);
  unallocated.error_number = 0;
  place_signal(unallocated, 29000, 2, 0, 0, 0, 0, 0, 0, 0, 0, time_s);
  EXPECT_EQ(unallocated.error_number, 26);
  unallocated.error_number = 0;
  place_speed_boards(unallocated, 29000, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(unallocated.error_number, 26);
}

}  // namespace
}  // namespace sb
