#include "line/line_reader.h"

#include <gtest/gtest.h>

#include <bit>
#include <string>
#include <vector>

#include "base/file_names.h"
#include "line/line_writer.h"
#include "reading/field_reader.h"
#include "scenario/built_in_names.h"
#include "testing/fake_platform.h"
#include "testing/in_memory_build.h"

namespace sb {
namespace {

// A line description with the given length and records; the general block
// takes lines 1 to 3, so the first record stands on line 4.
std::string line_text(const std::string& records, int32_t length = 97000) {
  return "[generale]\r\nlunghezza percorso,    " + std::to_string(length) + "\r\n[curve]\r\n" +
         records + "[fine]\r\n";
}

class LineReaderTest : public ::testing::Test, protected InMemoryBuild {
 protected:
  bool text_exists() const { return platform.files.files.count(line_path()) != 0; }
  void read(const std::string& text) {
    platform.files.files[line_path()] = text;
    read_line_description(b);
  }
  uint8_t gradient(int i) const { return b.cells.at(i).gradient; }

  // The three indication boards of the built-in line: cells 745, 1406 and
  // 1452 point to entries 80, 79 and 78, and entry 80 holds the first text.
  void expect_built_in_boards() const {
    const struct {
      int cell;
      int entry;
    } boards[] = {{745, 80}, {1406, 79}, {1452, 78}};
    for (const auto& board : boards) {
      EXPECT_EQ(b.cells[board.cell].kind, indication_board) << board.cell;
      EXPECT_EQ(b.cells[board.cell].value1, board.entry) << board.cell;
    }
    EXPECT_EQ(b.stations[80].name, "(GALLERIA )(APPENNINO)(Km 18+510)");
  }
};

TEST_F(LineReaderTest, GeneralBlockFillsTheHeaderEntries) {
  read(
      "[generale]\r\n"
      "lunghezza percorso,    97000\r\n"
      "progressiva chilometrica uno,    0,    0,    0\r\n"
      "progressiva chilometrica due,    0,    0,    0\r\n"
      "progressiva chilometrica tre,    0,    0,    0\r\n"
      "sfondo uno,    0\r\n"
      "sfondo due,    1\r\n"
      "sfondo tre,    0\r\n"
      "ripetizione segnali 4 codici,    1050,    95500\r\n"
      "[curve]\r\n[fine]\r\n");
  EXPECT_EQ(b.error_number, 0);
  EXPECT_EQ(b.track_extent_m, 104000);
  EXPECT_EQ(b.cell_count, 2080);
  EXPECT_EQ(b.cells.size(), 2081u);
  EXPECT_EQ(b.stations[84].to_m, 97000);
  EXPECT_EQ(b.stations[85].name, "Sarvena_Lucredo");
  EXPECT_EQ(b.stations[85].from_m, 0);
  EXPECT_EQ(b.stations[85].position_m, 1);
  EXPECT_EQ(b.stations[85].to_m, 0);
  EXPECT_EQ(b.stations[86].name, "20573-2");
  EXPECT_EQ(b.stations[86].from_m, 1050);
  EXPECT_EQ(b.stations[86].to_m, 95500);
  EXPECT_EQ(b.stations[86].position_m, 4);
  for (int e = 81; e <= 83; ++e) EXPECT_EQ(b.stations[e].to_m, 0) << e;
  EXPECT_EQ(b.board_slot, 80);
  EXPECT_FALSE(text_exists());
  EXPECT_TRUE(b.stop_file.empty());
}

TEST_F(LineReaderTest, GeneralKeysMatchWithCaseExceptTheLength) {
  read(
      "[generale]\r\n"
      "LUNGHEZZA PERCORSO, 97000\r\n"
      "Progressiva chilometrica uno, 5000, 100, 1\r\n"
      "progressiva chilometrica due, 3000, 50, 0\r\n"
      "Sfondo uno, 7\r\n"
      "sfondo tre, 2\r\n"
      "Ripetizione segnali 4 codici, 1000, 2000\r\n"
      "[curve]\r\n[fine]\r\n");
  EXPECT_EQ(b.error_number, 0);
  EXPECT_EQ(b.cell_count, 2080);
  // Only "due" was read; ordering puts the one non-zero first value in 81.
  EXPECT_EQ(b.stations[81].from_m, 3000);
  EXPECT_EQ(b.stations[81].to_m, 50);
  EXPECT_EQ(b.stations[83].from_m, 0);
  EXPECT_EQ(b.stations[85].from_m, 0);
  EXPECT_EQ(b.stations[85].to_m, 2);
  EXPECT_EQ(b.stations[86].from_m, 0);
}

TEST_F(LineReaderTest, SignalRepetitionRecords) {
  const struct {
    const char* row;
    int32_t error;
    int32_t from, to, codes;
  } cases[] = {
      {"ripetizione segnali 4 codici, 1050, 95500", 0, 1050, 95500, 4},
      {"ripetizione segnali 9 codici, 1000, 0", 0, 1000, 0, 0},
      {"ripetizione segnali 9 codici, 1000, 2000", 0, 1000, 2000, 9},
      {"ripetizione segnali 4 codici, 1025, 95500", 3, 1025, 95500, 0},
      {"ripetizione segnali 4 codici, 1000, 95525", 4, 1000, 95525, 0},
      {"ripetizione segnali codici, 1000, 2000", 5, 1000, 2000, 0},
  };
  for (const auto& c : cases) {
    reset();
    b.error_position_m = 777;
    read(std::string("[generale]\r\nlunghezza percorso, 97000\r\n") + c.row + "\r\n[curve]\r\n");
    EXPECT_EQ(b.error_number, c.error) << c.row;
    EXPECT_EQ(b.error_position_m, 777) << c.row;
    EXPECT_EQ(b.stations[86].from_m, c.from) << c.row;
    EXPECT_EQ(b.stations[86].to_m, c.to) << c.row;
    EXPECT_EQ(b.stations[86].position_m, c.codes) << c.row;
    EXPECT_FALSE(text_exists()) << c.row;
  }
}

// Every problem the reader records, with the position and the line it names;
// the text is deleted in every case.
TEST_F(LineReaderTest, RecordedProblems) {
  std::string boards;
  for (int i = 0; i < 81; ++i) {
    boards += "cartello_indicatore, " + std::to_string(1000 + 50 * i) + ", (B)\r\n";
  }
  std::string spans;
  for (int i = 0; i < 81; ++i) {
    spans += "montagna, " + std::to_string(1000 + 100 * i) + ", " + std::to_string(1050 + 100 * i) +
             ", 2\r\n";
  }
  const struct {
    const char* what;
    std::string text;
    int32_t error;
    int32_t position;  // 777: unchanged
    int32_t line;
  } cases[] = {
      {"[generale] is the last field", "intro\r\n[generale]\r\n", 102, 777, 0},
      {"no [generale]", "pendenza, 0, 2\r\n[fine]\r\n", 102, 777, 0},
      {"line too long", "[generale]\r\nlunghezza percorso, 1000001\r\n", 1, 777, 2},
      {"curve without class", line_text("curvas, 1000, 400\r\n"), 103, 777, 4},
      {"curve with class 7", line_text("curvad7, 1000, 400\r\n"), 103, 777, 4},
      {"two boards in one cell",
       line_text("cartello_indicatore, 1025, (A)\r\ncartello_indicatore, 1075, (B)\r\n"), 6, 1075,
       5},
      {"81st board text", line_text(boards), 10, 1000 + 50 * 80, 4 + 80},
      {"gradient beyond the cells", line_text("pendenza, 2000, 1\r\npendenza, 103950, 1\r\n"),
       15, 103950, 5},
      {"board beyond the cells", line_text("cartello_indicatore, 103901, (A)\r\n"), 15, 103901,
       4},
      {"negative gradient position", line_text("pendenza, -50, 1\r\n"), 26, -50, 4},
      {"negative curve start", line_text("curvad1, -10, 100\r\n"), 26, -10, 4},
      {"negative montagna", line_text("montagna, -100, 200, 2\r\n"), 26, -100, 4},
      {"negative speed board", line_text("indicatori_vmax, -50, 1, 1, 1, 0, , , , 0\r\n"), 26,
       -50, 4},
      {"negative board", line_text("cartello_indicatore, -1, (A)\r\n"), 26, -1, 4},
      {"gradient above its byte", line_text("pendenza, 100, 156\r\n"), 29, 100, 4},
      {"gradient below its byte", line_text("pendenza, 100, -101\r\n"), 29, 100, 4},
      {"81st montagna span", line_text(spans), 27, 9000, 4 + 80},
      {"speed board on a board",
       line_text("cartello_indicatore, 1000, (A)\r\n"
                 "indicatori_vmax, 1000, 105, 115, 120, 0, , , , 0\r\n"),
       21, 1000, 5},
  };
  for (const auto& c : cases) {
    reset();
    b.error_position_m = 777;
    read(c.text);
    EXPECT_EQ(b.error_number, c.error) << c.what;
    EXPECT_EQ(b.error_position_m, c.position) << c.what;
    EXPECT_EQ(b.stop_file, "Sarvena_Lucredo_linea.txt") << c.what;
    EXPECT_EQ(b.stop_line, c.line) << c.what;
    EXPECT_FALSE(text_exists()) << c.what;
  }
}

TEST_F(LineReaderTest, MissingFileIsNeitherOpenedNorDeleted) {
  read_line_description(b);
  EXPECT_EQ(b.error_number, 101);
  EXPECT_EQ(b.stop_file, "Sarvena_Lucredo_linea.txt");
  EXPECT_EQ(b.stop_line, 0);
  EXPECT_TRUE(platform.files.log.empty());
  EXPECT_FALSE(b.cells_allocated());
}

TEST_F(LineReaderTest, UnreadableTextsThrowAndNameTheirRow) {
  const struct {
    const char* what;
    std::string text;
    int32_t line;
  } cases[] = {
      {"empty file", "", 0},
      {"no line length", "[generale]\r\nsfondo uno, 1\r\n[curve]\r\npendenza, 0, 1\r\n", 3},
      {"negative line length", "[generale]\r\nlunghezza percorso, -1\r\n", 2},
      {"record cut short by the end",
       "[generale]\r\nlunghezza percorso, 97000\r\n[curve]\r\npendenza, 100", 4},
      {"value that is not a number", line_text("pendenza, 1x, 2\r\n"), 4},
      {"value beyond 32 bits", line_text("pendenza, 3000000000, 2\r\n"), 4},
      {"comments running past the end", "[generale]\r\n-a\r\n-b", 3},
  };
  for (const auto& c : cases) {
    reset();
    platform.files.files[line_path()] = c.text;
    EXPECT_THROW(read_line_description(b), ReadFailure) << c.what;
    EXPECT_EQ(b.stop_file, "Sarvena_Lucredo_linea.txt") << c.what;
    EXPECT_EQ(b.stop_line, c.line) << c.what;
  }
}

TEST_F(LineReaderTest, MissingLineLengthLeavesTheCellsUnallocated) {
  platform.files.files[line_path()] = "[generale]\r\nsfondo uno, 1\r\n[curve]\r\npendenza, 0, 1\r\n";
  EXPECT_THROW(read_line_description(b), ReadFailure);
  EXPECT_FALSE(b.cells_allocated());
  EXPECT_FALSE(b.track_plan.allocated());
}

TEST_F(LineReaderTest, GradientsFillTheCellsFromEachRecordsPosition) {
  read(line_text("pendenza,  0,   2\r\npendenza,  2000,   0\r\n"));
  EXPECT_EQ(b.error_number, 0);
  for (int i = 0; i <= 39; ++i) EXPECT_EQ(gradient(i), 102) << i;
  for (int i = 40; i <= 2077; ++i) ASSERT_EQ(gradient(i), 100) << i;
  for (int i = 2078; i <= 2080; ++i) EXPECT_EQ(gradient(i), 0) << i;
}

TEST_F(LineReaderTest, GradientRecordWritesAtLeastOneCell) {
  // The second record's cell 2 has been reached already: it still writes
  // one cell with the gradient before it.
  read(line_text("pendenza, 100, 5\r\npendenza, 100, 7\r\n"));
  EXPECT_EQ(gradient(0), 100);
  EXPECT_EQ(gradient(1), 100);
  EXPECT_EQ(gradient(2), 105);
  EXPECT_EQ(gradient(3), 107);
}

TEST_F(LineReaderTest, LastGradientAtTheBoundReachesCellCountLessTwo) {
  read(line_text("pendenza, 103900, 3\r\n"));
  EXPECT_EQ(b.error_number, 0);
  EXPECT_EQ(gradient(2077), 100);
  EXPECT_EQ(gradient(2078), 103);
  EXPECT_EQ(gradient(2079), 0);
  EXPECT_EQ(gradient(2080), 0);
}

TEST_F(LineReaderTest, GradientBeyondTheCellsStillCompletesTheLine) {
  read(line_text("pendenza, 2000, 4\r\npendenza, 103950, 1\r\npendenza, 3000, 9\r\n"));
  EXPECT_EQ(b.error_number, 15);
  EXPECT_EQ(b.error_position_m, 103950);
  EXPECT_EQ(gradient(39), 100);
  EXPECT_EQ(gradient(40), 104);
  EXPECT_EQ(gradient(2077), 104);
  EXPECT_EQ(gradient(2078), 0);
  EXPECT_EQ(b.track_plan.size(), 103999);
  EXPECT_FALSE(text_exists());
}

TEST_F(LineReaderTest, GradientsOutOfOrderNeverWritePastTheCells) {
  std::string records;
  for (int i = 0; i < 300; ++i) records += "pendenza, 50, 1\r\n";
  read(line_text(records, 0));
  EXPECT_EQ(b.cell_count, 140);
  EXPECT_EQ(gradient(139), 101);
  EXPECT_EQ(gradient(140), 0);
}

TEST_F(LineReaderTest, RecordKeysIgnoreCaseAndHeadings) {
  read(line_text("[pendenze]\r\nPENDENZA, 2000, 4\r\nqualcosa\r\n\r\n[montagne]\r\n"));
  EXPECT_EQ(b.error_number, 0);
  EXPECT_EQ(gradient(40), 104);
}

TEST_F(LineReaderTest, UpToTwoCommentFieldsAreSkippedBeforeAKey) {
  // A third comment field is taken as the key: this one names a montagna.
  const struct {
    int comments_before;
    bool placed;
  } cases[] = {{1, false}, {2, true}};
  for (const auto& c : cases) {
    reset();
    std::string records;
    for (int i = 0; i < c.comments_before; ++i) records += "-- nota --\r\n";
    records += "- montagna -, 18800, 18850, 2\r\n";
    read(line_text(records));
    EXPECT_EQ(b.error_number, 0);
    EXPECT_EQ(b.montagna_count, c.placed ? 1 : 0) << c.comments_before;
  }
}

TEST_F(LineReaderTest, GeneralBlockSkipsUpToTenCommentFields) {
  const struct {
    int comments_before;
    bool length_read;
  } cases[] = {{10, true}, {11, false}};
  for (const auto& c : cases) {
    reset();
    std::string text = "[generale]\r\n";
    for (int i = 0; i < c.comments_before; ++i) text += "-- nota --\r\n";
    text += "-lunghezza percorso-, 5000\r\n[curve]\r\n[fine]\r\n";
    platform.files.files[line_path()] = text;
    if (c.length_read) {
      read_line_description(b);
      EXPECT_EQ(b.cell_count, 240);
    } else {
      EXPECT_THROW(read_line_description(b), ReadFailure);
    }
  }
}

TEST_F(LineReaderTest, IndicationBoardsTakeEntriesFromEightyDown) {
  read(line_text(
      "cartello_indicatore,  37200,   (GALLERIA )(APPENNINO)(Km 18+510)\r\n"
      "cartello_indicatore,  70250,   (VIADOTTO)(SETTA   )  \r\n"
      "cartello_indicatore,  72550,   (B)\r\n"));
  EXPECT_EQ(b.error_number, 0);
  expect_built_in_boards();
  EXPECT_EQ(b.stations[79].name, "(VIADOTTO)(SETTA   )  ");
  EXPECT_EQ(b.board_slot, 77);
}

TEST_F(LineReaderTest, BoardReplacesAMontagnaMarker) {
  // A first span of tipo 12 from 21250 marks cell 428, where a point at
  // 21350 lies.
  read(line_text("montagna,   21250,  22250,  12\r\ncartello_indicatore, 21350, (A)\r\n"));
  EXPECT_EQ(b.error_number, 0);
  EXPECT_EQ(b.cells[428].kind, indication_board);
  EXPECT_EQ(b.cells[428].montagna_type, 2);
  EXPECT_EQ(b.cells[432].kind, montagna_marker);
}

TEST_F(LineReaderTest, SpeedBoardIsPlaced) {
  read(line_text("indicatori_vmax,  1000,  105,  115,  120,  0,  ,  ,  ,  0\r\n"));
  EXPECT_EQ(b.error_number, 0);
  EXPECT_EQ(b.cells[21].kind, speed_board);
  EXPECT_EQ(b.cells[21].value1, 2100);
  EXPECT_EQ(b.cells[21].value3, 2400);
}

// The plan's doubles compared bit for bit.
void expect_point(const TrackPlan& plan, int32_t i, double x, double y) {
  const TrackPlan::Point p = plan.point(i);
  EXPECT_EQ(p.state, TrackPlan::State::real) << i;
  EXPECT_EQ(std::bit_cast<uint64_t>(p.x), std::bit_cast<uint64_t>(x)) << i << ": " << p.x;
  EXPECT_EQ(std::bit_cast<uint64_t>(p.y), std::bit_cast<uint64_t>(y)) << i << ": " << p.y;
}

TEST_F(LineReaderTest, StraightLinePlanRunsAlongY) {
  read(line_text(""));
  const TrackPlan& plan = b.track_plan;
  EXPECT_EQ(plan.point(0).state, TrackPlan::State::integer);
  EXPECT_EQ(plan.point(1).state, TrackPlan::State::integer);
  EXPECT_EQ(plan.point(1).y, 1.0);
  expect_point(plan, 2, 0, 2);
  expect_point(plan, 103998, 0, 103998);
  EXPECT_EQ(plan.size(), 103999);
  EXPECT_EQ(plan.unset_count(), 2);
}

TEST_F(LineReaderTest, CurveFollowsTheFirstOrderRecurrence) {
  read(line_text("curvas2,  1000,  2\r\n"));
  const TrackPlan& plan = b.track_plan;
  const double k = -0.0002;
  expect_point(plan, 1000, 0, 1000);
  expect_point(plan, 1001, -0.0002, 1001);
  const double x2 = -0.0002 + (-0.0002 + k * 1.0);
  const double y2 = 1001 + (1.0 - k * -0.0002);
  expect_point(plan, 1002, x2, y2);
  // After the curve the last step carries on unchanged.
  expect_point(plan, 1003, x2 + (x2 - -0.0002), y2 + (y2 - 1001));
}

TEST_F(LineReaderTest, CurveClassIsTheFirstDigitTestedAndSSteersLeft) {
  const struct {
    const char* key;
    double curvature;
  } cases[] = {{"curvad1", 0.0001}, {"curvas2", -0.0002}, {"curvad3", 0.0004},
               {"curvad4", 0.001},  {"CURVAS5", -0.002},  {"curvad6", 0.003},
               {"curvad31", 0.0001}};
  for (const auto& c : cases) {
    reset();
    read(line_text(std::string(c.key) + ", 1000, 10\r\n"));
    EXPECT_EQ(b.error_number, 0) << c.key;
    // The first curve point turns the unit step along y by the curvature.
    expect_point(b.track_plan, 1001, c.curvature, 1001);
  }
}

// The plan as defined: each point from the two before it, curve by curve.
std::vector<std::pair<double, double>> reference_plan(
    int32_t extent, const std::vector<std::tuple<int64_t, int64_t, double>>& curves) {
  std::vector<std::pair<double, double>> p = {{0, 0}, {0, 1}};
  auto step = [&](double k) {
    const auto [x1, y1] = p[p.size() - 1];
    const auto [x0, y0] = p[p.size() - 2];
    const double dx = x1 - x0, dy = y1 - y0;
    if (k == 0) {
      p.emplace_back(x1 + dx, y1 + dy);
    } else {
      p.emplace_back(x1 + (dx + k * dy), y1 + (dy - k * dx));
    }
  };
  const int64_t last = extent - 2;
  for (const auto& [start, length, k] : curves) {
    while (static_cast<int64_t>(p.size()) <= std::min(start, last)) step(0);
    while (static_cast<int64_t>(p.size()) <= std::min(start + length, last)) step(k);
  }
  while (static_cast<int64_t>(p.size()) <= last) step(0);
  return p;
}

TEST_F(LineReaderTest, PlanMatchesTheRecurrenceOverOverlapsAndClipping) {
  // An overlapping curve lays only its remaining metres; the last one runs
  // past the plan and is clipped at point extent - 2 without an error.
  read(line_text(
      "curvad1, 1000, 400\r\ncurvas5, 1200, 600\r\ncurvad4, 3000, 1000\r\n"
      "curvas3, 6500, 5000\r\n",
      0));
  EXPECT_EQ(b.error_number, 0);
  const auto expected =
      reference_plan(7000, {{1000, 400, 0.0001}, {1200, 600, -0.002}, {3000, 1000, 0.001},
                            {6500, 5000, -0.0004}});
  ASSERT_EQ(b.track_plan.size(), static_cast<int32_t>(expected.size()));
  EXPECT_EQ(b.track_plan.size(), 6999);
  EXPECT_EQ(b.track_plan.unset_count(), 2);
  for (int32_t i = 2; i < b.track_plan.size(); ++i) {
    expect_point(b.track_plan, i, expected[i].first, expected[i].second);
    if (HasFailure()) break;
  }
}

TEST_F(LineReaderTest, CurvesMayNotLayAPointAbovePointOneMillion) {
  const struct {
    const char* row;
    int32_t error;
    int32_t plan_size;
  } cases[] = {
      {"curvad1, 999000, 999", 0, 1006999},
      {"curvad1, 999000, 1000", 103, 1000001},
      {"curvad1, 1000000, 10", 103, 1000001},
  };
  for (const auto& c : cases) {
    reset();
    read(line_text(std::string(c.row) + "\r\n", 1000000));
    EXPECT_EQ(b.error_number, c.error) << c.row;
    EXPECT_EQ(b.track_plan.size(), c.plan_size) << c.row;
    EXPECT_FALSE(text_exists());
  }
}

TEST_F(LineReaderTest, WithoutPlanCurvesAreNotRead) {
  b.with_track_plan = false;
  read(line_text("curvas2, 1000, 400\r\npendenza, 2000, 4\r\n"));
  EXPECT_EQ(b.error_number, 0);
  EXPECT_FALSE(b.track_plan.allocated());
  EXPECT_EQ(gradient(40), 104);
}

TEST_F(LineReaderTest, LoneLineFeedsReadLikeCarriageReturnLineFeeds) {
  const std::string crlf = line_text(
      "curvad2, 1000, 400\r\npendenza, 2000, 4\r\nmontagna, 21250, 22250, 12\r\n"
      "cartello_indicatore, 37200, (GALLERIA )\r\n");
  std::string lf;
  for (char ch : crlf) {
    if (ch != '\r') lf += ch;
  }
  read(crlf);
  const std::vector<Cell> cells = b.cells;
  const std::string x_block(b.track_plan.x_block()), y_block(b.track_plan.y_block());
  reset();
  read(lf);
  ASSERT_EQ(b.cells.size(), cells.size());
  for (size_t i = 0; i < cells.size(); ++i) {
    ASSERT_EQ(b.cells[i].kind, cells[i].kind) << i;
    ASSERT_EQ(b.cells[i].gradient, cells[i].gradient) << i;
    ASSERT_EQ(b.cells[i].montagna_type, cells[i].montagna_type) << i;
  }
  EXPECT_EQ(b.stations[80].name, "(GALLERIA )");
  EXPECT_EQ(b.track_plan.x_block(), x_block);
  EXPECT_EQ(b.track_plan.y_block(), y_block);
}

TEST_F(LineReaderTest, BuiltInLineDescription) {
  write_line_description(b);
  read_line_description(b);
  EXPECT_EQ(b.error_number, 0);
  EXPECT_FALSE(text_exists());
  EXPECT_EQ(b.track_extent_m, 104000);
  EXPECT_EQ(b.cell_count, 2080);
  EXPECT_EQ(b.stations[84].to_m, 97000);
  EXPECT_EQ(b.stations[85].position_m, 1);
  EXPECT_EQ(b.stations[86].from_m, 1050);
  EXPECT_EQ(b.stations[86].to_m, 95500);
  EXPECT_EQ(b.stations[86].position_m, 4);
  for (int e = 81; e <= 83; ++e) {
    EXPECT_EQ(b.stations[e].from_m, 0) << e;
    EXPECT_EQ(b.stations[e].to_m, 0) << e;
    EXPECT_EQ(b.stations[e].position_m, 0) << e;
  }

  expect_built_in_boards();
  EXPECT_EQ(b.board_slot, 77);
  EXPECT_EQ(b.montagna_count, 28);

  for (int i = 0; i <= 39; ++i) EXPECT_EQ(gradient(i), 102) << i;
  for (int i = 1932; i <= 2077; ++i) EXPECT_EQ(gradient(i), 100) << i;
  for (int i = 2078; i <= 2080; ++i) EXPECT_EQ(gradient(i), 0) << i;

  for (int i = 2; i <= 1000; i += 499) expect_point(b.track_plan, i, 0, i);
  expect_point(b.track_plan, 1000, 0, 1000);
  expect_point(b.track_plan, 1001, -0.0002, 1001);
  EXPECT_EQ(b.track_plan.size(), 103999);
  EXPECT_EQ(b.track_plan.point(103999).state, TrackPlan::State::unset);
  EXPECT_EQ(b.track_plan.point(104000).state, TrackPlan::State::unset);
}

struct Triple {
  int32_t first, second, third;
  bool operator==(const Triple&) const = default;
};

TEST(ProgressiveOrdina, OrdersTheChainageSystems) {
  const Triple zero{0, 0, 0};
  const struct {
    const char* what;
    Triple tre, due, uno;
    Triple e81, e82, e83;
  } cases[] = {
      {"uno largest", {0, 0, 0}, {0, 0, 0}, {5000, 0, 0}, {5000, 0, 0}, zero, zero},
      {"no largest first value", {0, 10, 0}, {5000, 20, 0}, {5000, 30, 0}, zero, zero, zero},
      {"tre, uno, due", {900, 1, 0}, {100, 2, 0}, {500, 3, 0}, {900, 1, 0}, {500, 3, 0},
       {100, 2, 0}},
      {"due, tre, uno", {500, 1, 0}, {900, 2, 0}, {100, 3, 0}, {900, 2, 0}, {500, 1, 0},
       {100, 3, 0}},
      {"uno, due, tre", {100, 1, 0}, {500, 2, 0}, {900, 3, 0}, {900, 3, 0}, {500, 2, 0},
       {100, 1, 0}},
      {"firsts 0, due second", {0, 0, 7}, {0, 3000, 8}, {0, 0, 9}, {0, 3000, 8}, {0, 0, 7},
       {0, 0, 9}},
      {"firsts 0, uno second wins", {0, 50, 7}, {0, 0, 8}, {0, 40, 9}, {0, 40, 9}, {0, 0, 8},
       {0, 50, 7}},
      {"firsts 0, tre second", {0, 50, 7}, {0, 0, 8}, {0, 0, 9}, {0, 50, 7}, {0, 0, 8},
       {0, 0, 9}},
      {"all zero", zero, zero, zero, zero, zero, zero},
      {"third value 1 adds 100", {900, 1000, 1}, {500, 2000, 0}, {100, 3000, 1},
       {900, 1100, 1}, {500, 2000, 0}, {100, 3100, 1}},
  };
  for (const auto& c : cases) {
    FakePlatform platform;
    Builder b(platform);
    const Triple in[] = {c.tre, c.due, c.uno};
    for (int i = 0; i < 3; ++i) {
      b.stations[81 + i].from_m = in[i].first;
      b.stations[81 + i].to_m = in[i].second;
      b.stations[81 + i].position_m = in[i].third;
    }
    order_chainages(b);
    const Triple out[] = {c.e81, c.e82, c.e83};
    for (int i = 0; i < 3; ++i) {
      const Station& s = b.stations[81 + i];
      EXPECT_EQ((Triple{s.from_m, s.to_m, s.position_m}), out[i]) << c.what << " entry " << 81 + i;
    }
  }
}

}  // namespace
}  // namespace sb

namespace sb {
namespace {

// A length given again: the last one read sets the cells and the plan, as
// if it stood alone, and one above 1000000 is refused where it stands even
// when a good one follows.
TEST_F(LineReaderTest, ALengthGivenAgainLeavesTheLastOne) {
  const std::string repeated =
      "[generale]\r\nlunghezza percorso, 50000\r\nlunghezza percorso, 20000\r\n"
      "lunghezza percorso, 97000\r\n[curve]\r\npendenza, 2000, 3\r\n[fine]\r\n";
  read(repeated);
  EXPECT_EQ(b.error_number, 0);
  EXPECT_EQ(b.stations[84].to_m, 97000);
  EXPECT_EQ(b.cell_count, 2080);
  EXPECT_EQ(b.cells.size(), 2081u);
  EXPECT_EQ(b.track_plan.extent(), 104000);
  EXPECT_EQ(gradient(39), 100);
  EXPECT_EQ(gradient(40), 103);

  reset();
  read("[generale]\r\nlunghezza percorso, 2000\r\nlunghezza percorso, 1000001\r\n"
       "lunghezza percorso, 97000\r\n[curve]\r\n[fine]\r\n");
  EXPECT_EQ(b.error_number, 1);
  EXPECT_EQ(b.stations[84].to_m, 1000001);
  // The cells of the length before it, as a build with --keep-going writes them.
  EXPECT_EQ(b.cell_count, 180);
  EXPECT_EQ(b.cells.size(), 181u);
}

}  // namespace
}  // namespace sb
