#include "track/finishing_pass.h"

#include <gtest/gtest.h>

#include <vector>

#include "testing/fake_platform.h"

namespace sb {
namespace {

// A model of empty cells 0..cell_count to place objects on by hand.
struct Model {
  explicit Model(int32_t cell_count = 2080) {
    b.cell_count = cell_count;
    b.cells.assign(static_cast<size_t>(cell_count) + 1, Cell{});
  }
  Cell& at(int i) { return b.cells[static_cast<size_t>(i)]; }
  void put(int i, CellKind kind, int16_t value1 = 0) {
    at(i).kind = kind;
    at(i).value1 = value1;
  }
  void slowdown(int start, int end, int16_t speed) {
    put(start, slowdown_start, speed);
    put(end, slowdown_end, speed);
  }
  void taken(std::initializer_list<int> cells) {
    for (int i : cells) put(i, speed_board);
  }
  std::vector<int> code_points() {
    std::vector<int> found;
    for (int i = 0; i <= b.cell_count; ++i)
      if (at(i).kind == code_point) found.push_back(i);
    return found;
  }

  FakePlatform platform;
  Builder b{platform};
};

using Cells = std::vector<int>;

TEST(FinishingPass, MarksAroundASlowdownOnEmptyCells) {
  Model m;
  m.slowdown(581, 593, 30);
  m.put(604, signal);
  m.at(570).kind = montagna_marker;
  m.at(570).montagna_type = 2;
  m.at(570).approach_code = 63;
  finishing_pass(m.b);

  EXPECT_EQ(m.code_points(), (Cells{563, 570, 576, 589, 603}));
  for (int i : m.code_points()) EXPECT_EQ(m.at(i).value1, 180) << i;
  EXPECT_EQ(m.at(570).montagna_type, 2) << "marking changes only kind and value1";
  EXPECT_EQ(m.at(570).approach_code, 63);
  EXPECT_EQ(m.b.error_number, 0);
}

TEST(FinishingPass, NothingHappensWithoutSlowdowns) {
  Model m;
  m.put(100, signal);
  m.put(200, speed_board);
  finishing_pass(m.b);
  EXPECT_TRUE(m.code_points().empty());
}

TEST(FinishingPassStartMarks, GroupsApplyAboveTheirGuards) {
  const struct {
    int start;
    Cells marks;
  } cases[] = {{7, {}}, {8, {3}}, {13, {8}}, {14, {3, 9}}, {20, {9, 15}}, {21, {3, 10, 16}}};
  for (const auto& c : cases) {
    Model m;
    m.slowdown(c.start, c.start + 12, 120);  // fast: no marks through the slowdown
    finishing_pass(m.b);
    EXPECT_EQ(m.code_points(), c.marks) << c.start;
  }
}

TEST(FinishingPassStartMarks, FirstFreeCandidateOfEachGroup) {
  const struct {
    const char* what;
    Cells taken;
    Cells marks;
    int32_t error;
  } cases[] = {
      {"ideal cells free", {}, {82, 89, 95}, 0},
      {"nearest candidate taken", {95, 89, 82}, {81, 88, 94}, 0},
      {"two candidates taken", {95, 94, 89, 88, 82, 81}, {80, 87, 93}, 0},
      {"group 2 all taken", {89, 88, 87}, {82, 95}, 12},
      {"every group taken", {95, 94, 93, 89, 88, 87, 82, 81, 80}, {}, 12},
  };
  for (const auto& c : cases) {
    Model m;
    m.slowdown(100, 112, 120);
    for (int i : c.taken) m.put(i, speed_board);
    finishing_pass(m.b);
    EXPECT_EQ(m.code_points(), c.marks) << c.what;
    EXPECT_EQ(m.b.error_number, c.error) << c.what;
    EXPECT_EQ(m.b.error_position_m, c.error ? 5000 : 0) << c.what;
  }
}

TEST(FinishingPassStartMarks, ExistingCodePointCountsAsTaken) {
  Model m;
  m.slowdown(100, 112, 120);
  m.put(95, code_point, 270);
  m.put(94, montagna_marker);
  finishing_pass(m.b);
  EXPECT_EQ(m.at(95).value1, 270);
  EXPECT_EQ(m.code_points(), (Cells{82, 89, 94, 95}));
}

TEST(FinishingPassWarning, MarkBeforeEachSignalInTheThousandMetresBefore) {
  Model m;
  m.put(100, slowdown_warning, 30);
  for (int signal_cell : {99, 90, 80, 79}) m.put(signal_cell, signal);
  finishing_pass(m.b);
  // 80's mark skips the signal in 79, which is 21 cells back and gets none.
  EXPECT_EQ(m.code_points(), (Cells{78, 89, 98}));
  EXPECT_EQ(m.b.error_number, 0);
}

TEST(FinishingPassWarning, FreeCellsFirstThenLowerAnExistingCode) {
  const struct {
    const char* what;
    CellKind cell_97;
    int16_t code_97;
    CellKind cell_96;
    int16_t code_96;
    int marked;  // cell that gets a new code point, 0 if none
    int16_t after_97, after_96;
    int32_t error;
  } cases[] = {
      {"cell before free", empty, 0, empty, 0, 97, 180, 0, 0},
      {"cell before taken", speed_board, 0, empty, 0, 96, 0, 180, 0},
      {"code point before, free cell after it", code_point, 120, empty, 0, 96, 120, 180, 0},
      {"code 270 lowered", code_point, 270, speed_board, 0, 0, 180, 0, 0},
      {"code 120 kept", code_point, 120, speed_board, 0, 0, 120, 0, 0},
      {"second cell's code lowered", speed_board, 0, code_point, 270, 0, 0, 180, 0},
      {"both taken", speed_board, 0, stop_marker, 0, 0, 0, 0, 11},
  };
  for (const auto& c : cases) {
    Model m;
    m.put(100, slowdown_warning, 30);
    m.put(98, signal);
    m.put(97, c.cell_97, c.code_97);
    m.put(96, c.cell_96, c.code_96);
    finishing_pass(m.b);
    if (c.marked) {
      EXPECT_EQ(m.at(c.marked).kind, code_point) << c.what;
    }
    EXPECT_EQ(m.at(97).value1, c.after_97) << c.what;
    EXPECT_EQ(m.at(96).value1, c.after_96) << c.what;
    EXPECT_EQ(m.b.error_number, c.error) << c.what;
    EXPECT_EQ(m.b.error_position_m, c.error ? 98 * 50 : 0) << c.what;
  }
}

TEST(FinishingPassWarning, LowestWarningLooksBackToCell3Only) {
  Model m;
  m.put(7, slowdown_warning, 30);
  m.put(3, signal);
  m.put(2, signal);
  finishing_pass(m.b);
  // The signal in 3 takes cell 1; the one in 2 is not looked at, or it
  // would have marked cell 0.
  EXPECT_EQ(m.code_points(), (Cells{1}));
}

TEST(FinishingPassThroughSlowdown, MarkEveryEighthCellShiftedWhenTaken) {
  const struct {
    const char* what;
    Cells taken;
    Cells marks;  // marks after the start (the start marks are not listed)
    int32_t error;
    int32_t error_position_m;
  } cases[] = {
      {"all free", {}, {108, 116, 124}, 0, 0},
      {"eighth cell taken", {108}, {107, 115, 123}, 0, 0},
      {"eighth and the one before taken", {108, 107}, {109, 117, 125}, 0, 0},
      {"three taken: no further marks", {107, 108, 109}, {}, 13, 5400},
      {"a later shift", {116}, {108, 115, 123}, 0, 0},
  };
  for (const auto& c : cases) {
    Model m;
    m.slowdown(100, 130, 30);
    for (int i : c.taken) m.put(i, speed_board);
    finishing_pass(m.b);
    Cells after_start;
    for (int i : m.code_points())
      if (i > 100) after_start.push_back(i);
    EXPECT_EQ(after_start, c.marks) << c.what;
    EXPECT_EQ(m.b.error_number, c.error) << c.what;
    EXPECT_EQ(m.b.error_position_m, c.error_position_m) << c.what;
  }
}

TEST(FinishingPassThroughSlowdown, EndCellCanBeTheEighth) {
  Model m;
  m.slowdown(100, 108, 30);
  finishing_pass(m.b);
  EXPECT_EQ(m.code_points(), (Cells{82, 89, 95, 107}));
}

TEST(FinishingPassThroughSlowdown, OnlyBelow110) {
  const struct {
    int16_t speed;
    Cells marks;
  } cases[] = {{109, {82, 89, 95, 108, 119}}, {110, {82, 89, 95}}, {250, {82, 89, 95}}};
  for (const auto& c : cases) {
    Model m;
    m.slowdown(100, 115, c.speed);
    m.put(120, signal);
    finishing_pass(m.b);
    EXPECT_EQ(m.code_points(), c.marks) << c.speed;
  }
}

TEST(FinishingPassThroughSlowdown, StopsAtTheLastCellWithoutAnEnd) {
  Model m(30);
  m.put(22, slowdown_start, 30);
  m.taken({29, 30});  // the eighth cell is 30; 31 lies beyond the model
  finishing_pass(m.b);
  EXPECT_EQ(m.code_points(), (Cells{4, 11, 17}));
  EXPECT_EQ(m.b.error_number, 13);
  EXPECT_EQ(m.b.error_position_m, 1500);

  Model no_end(30);
  no_end.put(25, slowdown_start, 30);
  finishing_pass(no_end.b);
  EXPECT_EQ(no_end.b.error_number, 0);
}

TEST(FinishingPassAfterEnd, MarkBeforeTheFirstSignalWithin12Cells) {
  const struct {
    const char* what;
    Cells signals;
    Cells taken;
    Cells marks;  // marks after the end
    int32_t error;
  } cases[] = {
      {"signal 12 cells after", {142}, {}, {141}, 0},
      {"signal 13 cells after", {143}, {}, {}, 0},
      {"first signal only", {133, 138}, {}, {132}, 0},
      {"cell before taken", {135}, {134}, {133}, 0},
      {"both cells before taken", {135}, {134, 133}, {}, 13},
      {"signal right after the end", {131}, {}, {129}, 0},
  };
  for (const auto& c : cases) {
    Model m;
    m.slowdown(100, 130, 30);
    for (int i : c.signals) m.put(i, signal);
    for (int i : c.taken) m.put(i, speed_board);
    finishing_pass(m.b);
    Cells near_end;
    for (int i : m.code_points())
      if (i > 124) near_end.push_back(i);
    EXPECT_EQ(near_end, c.marks) << c.what;
    EXPECT_EQ(m.b.error_number, c.error) << c.what;
    EXPECT_EQ(m.b.error_position_m, c.error ? 130 * 50 : 0) << c.what;
  }
}

TEST(FinishingPassErrors, LastProblemFoundIsHeld) {
  Model m;
  m.b.error_number = 19;  // left by a reader
  m.b.error_position_m = 12345;
  // Error 11 at cell 30, then error 12 at the start in cell 100.
  m.put(40, slowdown_warning, 30);
  m.put(30, signal);
  m.taken({29, 28});
  m.slowdown(100, 110, 120);
  m.taken({95, 94, 93});
  finishing_pass(m.b);
  EXPECT_EQ(m.b.error_number, 12);
  EXPECT_EQ(m.b.error_position_m, 5000);
}

TEST(FinishingPassErrors, WithinOneStartTheSignalAfterTheEndComesLast) {
  Model m;
  m.slowdown(100, 110, 30);
  m.taken({95, 94, 93});  // error 12 at 5000
  m.taken({108, 107, 109});  // error 13 at 5400
  m.put(115, signal);
  m.taken({114, 113});  // error 13 at the end cell: 5500
  finishing_pass(m.b);
  EXPECT_EQ(m.b.error_number, 13);
  EXPECT_EQ(m.b.error_position_m, 5500);
}

TEST(FinishingPassErrors, ReaderErrorStaysWhenTheWalkFindsNone) {
  Model m;
  m.b.error_number = 19;
  m.b.error_position_m = 12345;
  m.slowdown(581, 593, 30);
  finishing_pass(m.b);
  EXPECT_EQ(m.b.error_number, 19);
  EXPECT_EQ(m.b.error_position_m, 12345);
}

TEST(FinishingPassBounds, VisitsCellsOneToCellCountMinusTwo) {
  Model m(100);
  m.put(99, slowdown_start, 120);
  m.put(98, slowdown_start, 120);
  m.put(0, slowdown_start, 120);
  finishing_pass(m.b);
  EXPECT_EQ(m.code_points(), (Cells{80, 87, 93}));
}

TEST(FinishingPassBounds, StaysInsideAnyModel) {
  FakePlatform platform;
  Builder unallocated(platform);
  unallocated.cell_count = 2080;
  finishing_pass(unallocated);
  EXPECT_TRUE(unallocated.cells.empty());

  Model short_array(100);
  short_array.b.cell_count = 5000;  // claims more cells than it holds
  short_array.put(90, slowdown_start, 30);
  short_array.put(99, slowdown_warning, 30);
  finishing_pass(short_array.b);
  EXPECT_EQ(short_array.b.cells.size(), 101u);

  for (int32_t cell_count : {0, 1, 2, 3}) {
    Model tiny(cell_count);
    for (int i = 0; i <= cell_count; ++i) tiny.put(i, slowdown_start, 30);
    finishing_pass(tiny.b);
    EXPECT_TRUE(tiny.code_points().empty()) << cell_count;
  }
}

}  // namespace
}  // namespace sb
