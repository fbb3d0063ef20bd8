#include "tools/viewer/description_recovery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/file_names.h"
#include "base/line_list.h"
#include "bench/maximal_scenario.h"
#include "compile/compile_scenario.h"
#include "output/compiled_layout.h"
#include "scenario/line_description.h"
#include "scenario/train_description.h"
#include "testing/fuzz_harness.h"
#include "testing/in_memory_build.h"
#include "tools/language_server/formatting.h"
#include "tools/viewer/round_trip.h"
#include "tools/viewer/viewer_program.h"
#include "track/fatal_report.h"

namespace sb::inspect {
namespace {

const std::string kOut = "/descriptions";

// A scenario built in memory from two descriptions, ready to be decompiled
// from its folder.
struct Built {
  InMemoryBuild build;
  bool clean = false;

  // `keep_going`: the files are written even when the build records a
  // problem, as scenario_builder --keep-going writes them.
  Built(const std::string& line_text, const std::string& train_text, bool keep_going = false) {
    build.b.keep_going = keep_going;
    build.file(line_description_name(build.b.route_name)) = line_text;
    build.file(train_description_name(build.b.route_name, build.b.train_number)) = train_text;
    try {
      compile_scenario(build.b, true);
      clean = build.b.error_number == 0;
    } catch (const FatalReport&) {
    }
  }

  std::string cells_name() const {
    return cell_file_name(build.b.route_name, build.b.train_number);
  }
  MemoryFileSystem& files() { return build.platform.files; }
  std::string written(const std::string& name) {
    const auto found = files().files.find(kOut + "/" + name);
    return found == files().files.end() ? "" : found->second;
  }
  std::string line_text() { return written(line_description_name(build.b.route_name)); }
  std::string train_text() {
    return written(train_description_name(build.b.route_name, build.b.train_number));
  }
};

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

Outcome decompile(Built& built) {
  Outcome run;
  const std::vector<std::string> args = {"--descriptions", kOut, "--dir",
                                         built.build.platform.directory};
  run.status = run_inspect(built.files(), args, run.out, run.err, [&](const std::string&) {
    return std::vector<std::string>{built.cells_name(),
                                    station_file_name(built.build.b.route_name,
                                                      built.build.b.train_number),
                                    plan_file_name(built.build.b.route_name)};
  });
  return run;
}

std::string text_of(std::span<const std::string_view> lines) { return render_line_list(lines); }

// The lines of a text, without their CR LF.
std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

TEST(DescriptionRecovery, BuiltInScenarioComesBackInItsOwnWords) {
  Built built(text_of(built_in_line_lines()), text_of(built_in_train_lines()));
  ASSERT_TRUE(built.clean);
  const Outcome run = decompile(built);
  EXPECT_EQ(run.status, kInspected) << run.err;
  EXPECT_NE(run.out.find("round trip exact"), std::string::npos);
  EXPECT_EQ(built.train_text(), text_of(built_in_train_lines()));
  // The line comes back whole but for the gradient rows that repeat the
  // gradient before them: they leave no trace in the cells.
  std::vector<std::string> expected;
  std::string gradient;
  for (std::string_view line : built_in_line_lines()) {
    if (line == kEndSentinel) break;
    if (line.starts_with("pendenza")) {
      const std::string value(line.substr(line.rfind(',')));
      if (value == gradient) continue;
      gradient = value;
    }
    expected.emplace_back(line);
  }
  EXPECT_EQ(lines_of(built.line_text()), expected);
}

TEST(DescriptionRecovery, MaximalScenarioRoundTrips) {
  const bench::MaximalScenario maximal = bench::make_maximal_scenario();
  Built built(maximal.line_description, maximal.train_description);
  ASSERT_TRUE(built.clean);
  const Outcome run = decompile(built);
  EXPECT_EQ(run.status, kInspected) << run.err;
  // The texts are in the built-in layout: an editor's formatting keeps them.
  EXPECT_EQ(lsp::format_description(built.line_text(), lsp::Description::line), built.line_text());
  EXPECT_EQ(lsp::format_description(built.train_text(), lsp::Description::train),
            built.train_text());
}

// Small scenarios, each exercising a kind of row the recovery works out.
struct SmallCase {
  const char* name;
  std::vector<std::string> line_rows;
  std::vector<std::string> train_rows;
};

void PrintTo(const SmallCase& c, std::ostream* os) { *os << c.name; }

std::string with_crlf(const std::vector<std::string>& rows) {
  std::string text;
  for (const std::string& row : rows) text += row + "\r\n";
  return text;
}

std::string small_line(const std::vector<std::string>& rows) {
  std::vector<std::string> all = {"[generale]", "lunghezza percorso, 12000",
                                  "ripetizione segnali 9 codici, 1000, 11000", "[curve]"};
  all.insert(all.end(), rows.begin(), rows.end());
  all.push_back("[fine]");
  return with_crlf(all);
}

std::string small_train(const std::vector<std::string>& rows) {
  std::vector<std::string> all = {"[generale]", "numero vetture, 4", "orologio, 7 5 0",
                                  "velocita, 0, 100", "aderenza, 0, 80"};
  all.insert(all.end(), rows.begin(), rows.end());
  all.push_back("[fine]");
  return with_crlf(all);
}

class SmallScenarios : public ::testing::TestWithParam<SmallCase> {};

TEST_P(SmallScenarios, RoundTripIsExact) {
  const SmallCase& c = GetParam();
  Built built(small_line(c.line_rows), small_train(c.train_rows));
  ASSERT_TRUE(built.clean) << "error " << built.build.b.error_number;
  const Outcome run = decompile(built);
  EXPECT_EQ(run.status, kInspected) << run.err << built.line_text() << built.train_text();
}

INSTANTIATE_TEST_SUITE_P(
    RowKinds, SmallScenarios,
    ::testing::Values(
        SmallCase{"OverlappingCurves",
                  {"curvas2, 1000, 400", "curvad3, 1200, 300", "curvad3, 1500, 100",
                   "curvas6, 1600, 50"},
                  {}},
        SmallCase{"CurveClippedAtThePlanEnd", {"curvad5, 18000, 4000"}, {}},
        SmallCase{"GradientsAndProfileToTheLastCell",
                  {"pendenza, 0, -3", "pendenza, 2000, 155", "pendenza, 18900, 7"},
                  {"velocita, 5000, 35", "velocita, 18900, 60", "aderenza, 18900, 300"}},
        SmallCase{"JoinedMontagnaSpans",
                  {"montagna, 1000, 2000, 12", "montagna, 2100, 3000, 2",
                   "montagna, 3050, 4000, 11", "montagna, 6000, 6400, 1",
                   "montagna, 6400, 7000, 12", "indicatori_vmax, 1100, 60, 70, 80, 0, , , , 0"},
                  {"segnale, 6550, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0"}},
        SmallCase{"SlowdownsWithLeadCells",
                  {},
                  {"rallentamento, 4000, 30, 600, 1, 1, 30", "rallentamento, 1000, 60, 300, 0, 1, 0",
                   "rallentamento, 8000, 120, 900, 2, 0, 0",
                   "segnale, 2500, 2, 3, 4, 0, 0, 1, 1, 0, 0, 50",
                   "segnale, 5000, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0"}},
        SmallCase{"CodePointsAndCodeCuts",
                  {},
                  {"rallentamento, 4000, 30, 600, 0, 0, 30", "abbattimento, 3800, 270",
                   "abbattimento, 2050, 270", "abbattimento, 2000, 0", "abbattimento, 9000, 120",
                   "abbattimento, 9500, 0", "segnale, 2050, 2, 3, 4, 0, 0, 1, 1, 0, 0, 0"}},
        SmallCase{"StationsOfEveryKind",
                  {},
                  {"stazione, 0, 8, 500, 0, 1, 1, 1,1,0, 4,1,1, 1, 7,5,0, FIRST",
                   "stazione, 1500, 2, 400, 1, 0, 1, 4,1,1, 2,1,1, 30, 7,9,30, WITH END",
                   "stazione, 2600, 5, 300, 0, 0, 1, 0,0,0, 0,0,0, 0, 7,12,0, FIVE",
                   "stazione, 3500, 6, 200, 0, 0, 0, 0,0,0, 0,0,0, 0, 0,0,0, SIX",
                   "stazione, 4700, 7, 300, 1, 1, 1, 0,0,0, 0,0,0, 0, 0,0,0, SEVEN",
                   "stazione, 6000, 12, 600, 1, 1, 0, 4,1,1, 2,1,1, 90, 7,20,0, LONG PLATFORM",
                   "stazione, 7500, 25, 300, 0, 0, 0, 0,0,0, 0,0,0, 0, 0,0,0, P.M. PASSED",
                   "stazione, 9000, 27, 300, 0, 0, 0, 0,0,0, 0,0,0, 0, 0,0,0, ",
                   "stazione, 10500, 28, 200, 0, 0, 0, 0,0,0, 0,0,0, 0, 7,40,0, LAST-ONE "}},
        SmallCase{"BoardsWithEmptySides",
                  {"indicatori_vmax, 1000, , , , 0, 60, 70, 80, 1",
                   "indicatori_vmax, 1200, 100, 110, 115, 2, , , , 0",
                   "indicatori_vmax, 1400, , , , 0, , , , 0",
                   "cartello_indicatore, 2000, ", "cartello_indicatore, 3000, (GALLERIA)(X - Y)"},
                  {}},
        // Where a slowdown starts inside its cell: 4025 m and 8025 m put the
        // lead cells one cell further back than 4000 m and 8000 m; 1520 m
        // has a warning board and lead cells, 1500 m none.
        SmallCase{"SlowdownsOffTheGridWithLeadCells",
                  {},
                  {"rallentamento, 4025, 30, 600, 1, 1, 30", "rallentamento, 8025, 40, 500, 0, 1, 0",
                   "rallentamento, 1520, 60, 400, 0, 1, 0"}},
        // A stop marker keeps value2 to value4 of what it covers: a max-speed
        // board with 2 stripes once came back as a signal writing code 24, a
        // slowdown's start, lead or end board as nothing.
        SmallCase{"StopMarkersOverBoards",
                  {"indicatori_vmax, 2950, 60, 70, 80, 0, , , , 2"},
                  {"rallentamento, 1000, 60, 400, 2, 0, 60",
                   "rallentamento, 6000, 50, 700, 1, 1, 50",
                   "stazione, 950, 5, 300, 1, 0, 0, 4,1,1, 2,1,1, 30, 7,9,0, OVER A START",
                   "stazione, 2900, 5, 300, 1, 0, 0, 4,1,1, 2,1,1, 30, 7,12,0, OVER A BOARD",
                   "stazione, 4600, 6, 200, 1, 0, 0, 4,1,1, 2,1,1, 30, 7,20,0, OVER A LEAD",
                   "stazione, 6650, 5, 400, 1, 0, 0, 4,1,1, 2,1,1, 30, 7,30,0, OVER AN END"}},
        // The board under the stop marker still holds text entry 80: without
        // it the next board took 80, and its own entry 79 came back as 80.
        SmallCase{"StopMarkerOverAnIndicationBoard",
                  {"cartello_indicatore, 3150, HIDDEN", "cartello_indicatore, 5000, SHOWN"},
                  {"stazione, 3100, 5, 300, 1, 0, 0, 4,1,1, 2,1,1, 30, 7,9,0, OVER THE BOARD"}},
        // A text field keeps blanks at its end and a CR not followed by LF.
        SmallCase{"TextsWithBlanksAtTheEndAndALoneCr",
                  {"cartello_indicatore, 3000, PASSO  ", "cartello_indicatore, 4000, BIVIO\rNORD"},
                  {"stazione, 6000, 2, 400, 1, 0, 0, 4,1,1, 2,1,1, 30, 7,9,0, FINE\r",
                   "stazione, 8000, 2, 400, 1, 0, 0, 4,1,1, 2,1,1, 30, 7,19,0, LAST  "}},
        // sx * 3 + dx beyond 9: value4 keeps its last digit, the approach
        // codes the rest (-72 writes 49 to 52; once read back as 8: 81 to 84).
        SmallCase{"SignalSidesBeyondNine",
                  {},
                  {"segnale, 2000, -26, 4, 7, 5, 1, 6, 5, 1, 5, 0",
                   "segnale, 5000, 27, 3, 8, 8, 2, 37, 2, 7, 3, 0",
                   "segnale, 7050, 16, 9, 0, 7, 0, 14, 5, 3, 2, 0",
                   "stazione, 7000, 5, 300, 1, 0, 0, 4,1,1, 2,1,1, 30, 7,9,0, OVER IT"}},
        // Sides -26 write codes 253, 254, 255 and 0: the last mark wipes
        // the cell, the others a later signal overwrites. Read back as 4, the
        // signal wrote 44 where the files hold nothing.
        SmallCase{"SignalSidesBeyondNineWipingAMark",
                  {},
                  {"segnale, 5000, -10, 6, 9, 4, 3, 4, 2, 4, 0, 0",
                   "segnale, 5100, 1, 5, 5, 4, 1, 1, 4, 5, 1, 0"}},
        // Code 4, 200 m before a stop marker over a max-speed board with one
        // stripe on side d, could come from a signal of sides -179 under the
        // marker; it came from the signal at 5225 m (sides 256, codes 1 to
        // 4), whose other marks the next signal overwrote. Taken for a
        // hidden signal, its row landed on the marker's cell.
        SmallCase{"SpeedBoardUnderAStopMarkerBesideSidesBeyondNine",
                  {"indicatori_vmax, 5050, 60, 70, 80, 0, 60, 70, 80, 1"},
                  {"segnale, 5225, 76, 8, 0, 1, 3, 28, 8, 0, 7, 0",
                   "segnale, 5350, 2, 6, 1, 4, 2, 1, 8, 0, 7, 150",
                   "stazione, 5000, 6, 700, 1, 0, 0, 1,0,1, 0,0,0, 24, 10,46,8, FINE"}},
        // A code point row of the finishing pass's own value next to a
        // signal inside a slowdown: the pass then marks the other side of
        // the signal, and counts on from there.
        SmallCase{"CodePointRowThatMovesThePassesMarks",
                  {"indicatori_vmax, 9250, 60, 70, 80, 0, , , , 0"},
                  {"rallentamento, 7750, 40, 1200, 0, 0, 40", "abbattimento, 8550, 180",
                   "segnale, 8550, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0",
                   "segnale, 9300, 2, 1, 8, 7, 3, 2, 0, 8, 0, 0"}},
        // Sides -75 write codes 19 to 22, the same as the marks 1 and 2 of
        // the signal at 5300 m, which the files seem to show: taken for
        // those, no reading order gave the code 64 at 5000 m.
        SmallCase{"SidesBeyondNineWritingAnotherSignalsCodes",
                  {},
                  {"segnale, 5300, 0, 6, 2, 2, 3, 2, 8, 3, 6, 0",
                   "segnale, 5400, 2, 9, 6, 3, 1, 0, 9, 9, 1, 0",
                   "segnale, 5500, -37, 3, 4, 1, 1, 36, 1, 6, 7, 0",
                   "segnale, 5700, 0, 7, 0, 5, 2, 0, 1, 2, 5, 0"}},
        // Two slowdowns with the same values, the first one's end under a
        // stop marker: the first start took the second one's end board,
        // being the nearest with its values, and left the second start
        // without one.
        SmallCase{"SlowdownEndUnderAStopMarkerBeforeALikeSlowdown",
                  {},
                  {"rallentamento, 6000, 60, 700, 1, 0, 0", "rallentamento, 8000, 60, 500, 1, 0, 0",
                   "stazione, 6650, 5, 400, 1, 0, 0, 4,1,1, 2,1,1, 30, 7,30,0, OVER AN END"}},
        // Code point rows in cells 97 and 100, beside a signal in cell 96,
        // where the slowdown's walk puts a mark: the walk moves that mark to
        // 98 and counts on from there. Rows in 98 and 100 give the same
        // files up to cell 105 but not after; the search took those and
        // could not take them back.
        SmallCase{"CodePointRowsWhoseFirstChoiceFailsLater",
                  {},
                  {"rallentamento, 4000, 40, 1500, 0, 0, 40", "segnale, 4750, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0",
                   "abbattimento, 4850, 180", "abbattimento, 5000, 180"}},
        // Sides 3 (the last digit of -17) give 33 and 34 at 10500 m and
        // 10400 m, where the signal at 10600 m of sides -48 wrote them: taken
        // for its own, the signal at 10800 m kept sides 3, and its codes 87
        // and 88 (sides -17) had no row.
        SmallCase{"SignalsMarksShownOnlyByANeighboursSidesBeyondNine",
                  {},
                  {"segnale, 10800, -10, 1, 9, 9, 0, 13, 3, 7, 8, 0",
                   "segnale, 10600, -25, 4, 1, 4, 2, 27, 0, 1, 5, 0"}},
        // Under the stop marker at 1100 m, a signal of sides -26 (codes 253
        // to 255 and 0): the station and the signal at 1200 m overwrite its
        // first three marks, its last wipes the mark 11 of the signal at
        // 800 m. The marker was taken for a max-speed board, and 700 m got 11.
        SmallCase{"SignalUnderAStopMarkerShownOnlyByAWipedMark",
                  {},
                  {"segnale, 800, 0, 1, 5, 2, 1, 0, 1, 8, 6, 0",
                   "segnale, 1100, -9, 4, 7, 0, 0, 1, 5, 9, 0, 0",
                   "segnale, 1200, 1, 0, 2, 1, 0, 0, 5, 2, 6, 0",
                   "stazione, 950, 2, 400, 1, 0, 1, 3,1,1, 0,0,0, 37, 14,14,0, OVER A SIGNAL"}},
        // Lead cells 3 to 6 belong to the start in cell 32 (1525 m) or to one
        // in cell 31 at 1501 m to 1524 m: they went to the slowdown at 1500 m
        // in cell 31, which has no warning board, and gave it one.
        SmallCase{"LeadCellsBesideASlowdownWithoutWarningBoard",
                  {},
                  {"rallentamento, 1500, 135, 250, 0, 0, 135",
                   "rallentamento, 1525, 10, 500, 1, 1, 10"}},
        SmallCase{"MarksOverwrittenInReadingOrder",
                  {},
                  {"segnale, 2400, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0",
                   "segnale, 2350, 2, 3, 4, 0, 1, 2, 1, 0, 0, 240",
                   "segnale, 2600, 1, 3, 1, 1, 0, 1, 0, 0, 1, 0",
                   "stazione, 2500, 12, 400, 1, 0, 0, 4,1,1, 2,1,1, 30, 7,9,0, OVER A SIGNAL",
                   "stazione, 5800, 12, 400, 1, 0, 0, 4,1,1, 2,1,1, 30, 7,15,0, MARKS KEPT",
                   "segnale, 5850, 2, 3, 4, 0, 0, 1, 1, 0, 0, 0"}}),
    [](const ::testing::TestParamInfo<SmallCase>& info) { return std::string(info.param.name); });

// Every scenario of the fuzz corpus that builds without a problem.
TEST(DescriptionRecovery, FuzzCorpusScenariosRoundTrip) {
  namespace fs = std::filesystem;
  const fs::path corpus = fs::path(SCENARIO_SOURCE_DIR) / "fuzz" / "corpus";
  const std::string built_in_train = text_of(built_in_train_lines());
  int clean = 0;
  for (const char* target : {"build", "line_reader", "train_reader"}) {
    for (const auto& entry : fs::directory_iterator(corpus / target)) {
      std::ifstream in(entry.path(), std::ios::binary);
      const std::string input((std::istreambuf_iterator<char>(in)), {});
      auto [line, train] = fuzzing::split_pair(input);
      std::string line_text(line), train_text(train);
      if (std::string(target) == "line_reader") train_text = built_in_train;
      if (std::string(target) == "train_reader") {
        line_text = fuzzing::fixed_line_description();
        train_text = input;
      }
      Built built(line_text, train_text);
      if (!built.clean) continue;
      ++clean;
      const Outcome run = decompile(built);
      EXPECT_EQ(run.status, kInspected) << entry.path() << "\n" << run.err;
    }
  }
  EXPECT_GE(clean, 5);
}

// The searches share one budget: once it is spent they stop, say so, and
// the texts are what they found by then.
TEST(DescriptionRecovery, SearchesStopAtTheirBudget) {
  Built built(small_line({}), small_train({"segnale, 5000, -10, 6, 9, 4, 3, 4, 2, 4, 0, 0",
                                           "segnale, 5100, 1, 5, 5, 4, 1, 1, 4, 5, 1, 0"}));
  ASSERT_TRUE(built.clean);
  const std::string route = built.build.b.route_name, train = built.build.b.train_number;
  ScenarioFiles files{route, train,
                      decode_cell_file(built.build.file(cell_file_name(route, train))).value(),
                      decode_station_file(built.build.file(station_file_name(route, train))).value(),
                      decode_plan_file(built.build.file(plan_file_name(route))).value()};
  const std::string limit = "the searches stopped at their limit of 20 steps of work";
  for (const int64_t budget : {kSearchBudget, int64_t{20}}) {
    const RecoveredDescriptions recovered = recover_descriptions(files, budget);
    const bool stopped = std::find(recovered.unsettled.begin(), recovered.unsettled.end(),
                                   limit + "; the rows written are those found by then") !=
                         recovered.unsettled.end();
    EXPECT_EQ(stopped, budget == 20) << ::testing::PrintToString(recovered.unsettled);
    EXPECT_TRUE(recovered.unbuildable.empty());
    EXPECT_NE(recovered.train_text.find("segnale,    5000,"), std::string::npos);
  }
}

// ---- What is not a round trip --------------------------------------------------

class NotARoundTrip : public ::testing::Test {
 protected:
  NotARoundTrip() : built_(text_of(built_in_line_lines()), text_of(built_in_train_lines())) {}

  std::string& cells() { return built_.build.file(built_.cells_name()); }
  Built built_;
};

TEST_F(NotARoundTrip, DamagedFileIsRefusedWithStatus1) {
  cells().pop_back();
  const Outcome run = decompile(built_);
  EXPECT_EQ(run.status, kBadFile);
  EXPECT_NE(run.err.find(built_.cells_name() + ": offset "), std::string::npos) << run.err;
  EXPECT_TRUE(built_.line_text().empty());
}

TEST_F(NotARoundTrip, WhatNoBuildWritesGivesStatus4) {
  // An approach code in cell 100, far from every signal and station.
  cells()[100 * kCellRecordSize + 10] = 42;
  const Outcome run = decompile(built_);
  EXPECT_EQ(run.status, kNotBuildable);
  EXPECT_NE(run.err.find("approach code 42 in cell 100"), std::string::npos) << run.err;
  // The descriptions are written all the same.
  EXPECT_FALSE(built_.train_text().empty());
}

TEST_F(NotARoundTrip, PlanOffEveryCurveClassGivesStatus4) {
  std::string& plan = built_.build.file(plan_file_name(built_.build.b.route_name));
  // The last byte of metre 5000's x: its value moves by far more than any
  // rounding.
  plan[8 + 10 * (5000 - 2) + 9] ^= 0x01;
  const Outcome run = decompile(built_);
  EXPECT_EQ(run.status, kNotBuildable);
  EXPECT_NE(run.err.find("plan point 5000"), std::string::npos) << run.err;
}

// Files of a build kept going past a problem: what the recovery can tell of
// them, and the status that says the texts do not give them cleanly.
TEST(HalfBuilt, LineReadingStoppedEarlyGivesStatus3) {
  std::string line = text_of(built_in_line_lines());
  line.insert(line.find("curvas"), "curvas1, 30000, x\r\n");
  Built built(line, text_of(built_in_train_lines()), true);
  ASSERT_EQ(built.build.b.error_number, 25);
  const Outcome run = decompile(built);
  EXPECT_EQ(run.status, kRoundTripDiffers) << run.err;
  EXPECT_NE(run.err.find("half-built: the plan's points end at metre"), std::string::npos)
      << run.err;
}

TEST(HalfBuilt, FinishingPassProblemGivesStatus3) {
  // A signal right before a warning board whose two cells before it are
  // taken: the finishing pass finds no cell for its mark (error 11).
  Built built(small_line({"indicatori_vmax, 2850, 60, 70, 80, 0, , , , 0",
                          "indicatori_vmax, 2800, 60, 70, 80, 0, , , , 0"}),
              small_train({"rallentamento, 4300, 30, 600, 0, 0, 0",
                           "segnale, 2900, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0"}),
              true);
  ASSERT_EQ(built.build.b.error_number, 11);
  const Outcome run = decompile(built);
  EXPECT_EQ(run.status, kRoundTripDiffers) << run.err;
  EXPECT_NE(run.err.find("records error 11"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("half-built: the descriptions give the files byte for byte"),
            std::string::npos)
      << run.err;
}

// --descriptions replaces a description only with the same text: an edited
// one in OUTDIR stops the run before anything is written.
TEST(DescriptionsFolder, KeepsAnEditedDescription) {
  Built built(text_of(built_in_line_lines()), text_of(built_in_train_lines()));
  ASSERT_EQ(decompile(built).status, kInspected);
  // The same texts again: replaced.
  EXPECT_EQ(decompile(built).status, kInspected);

  const std::string train_path =
      kOut + "/" + train_description_name(built.build.b.route_name, built.build.b.train_number);
  const std::string line_before = built.line_text();
  std::string& train = built.files().files[train_path];
  train += "- my own note\r\n";
  const std::string edited = train;
  const Outcome run = decompile(built);
  EXPECT_EQ(run.status, kBadFile);
  EXPECT_NE(run.err.find(train_path + " differs from the description recovered here and would be "
                                      "lost: move it away or choose another OUTDIR"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(built.train_text(), edited);
  EXPECT_EQ(built.line_text(), line_before);
  EXPECT_TRUE(run.out.empty()) << run.out;
}

// OUTDIR is written under its lock, so that a build or another inspector
// writing there meanwhile waits; the scenario folder's lock is let go
// first, as two inspectors crossing folders would otherwise wait for each
// other.
TEST(DescriptionsFolder, WritesUnderTheOutputFoldersLockAlone) {
  Built built(text_of(built_in_line_lines()), text_of(built_in_train_lines()));
  built.files().log.clear();
  ASSERT_EQ(decompile(built).status, kInspected);
  const std::string dir = built.build.platform.directory;
  std::vector<std::string> locks_and_writes;
  for (const std::string& entry : built.files().log) {
    if (entry.find("lock ") != std::string::npos || entry.rfind("rename ", 0) == 0) {
      locks_and_writes.push_back(entry.substr(0, entry.find(' ')) + " " +
                                 entry.substr(entry.rfind(' ') + 1));
    }
  }
  const std::string line = kOut + "/" + line_description_name(built.build.b.route_name);
  const std::string train = kOut + "/" + train_description_name(built.build.b.route_name,
                                                                built.build.b.train_number);
  EXPECT_EQ(locks_and_writes,
            (std::vector<std::string>{"lock " + dir, "unlock " + dir, "lock " + kOut,
                                      "rename " + line, "rename " + train, "unlock " + kOut}));
}

// What --descriptions says: a search stopped at its limit is no failure
// when the rows it found give the files, and is told of when they do not.
TEST(RoundTripReport, StatusAndLinesFollowTheRoundTrip) {
  const std::string stopped = "the searches stopped at their limit of 20 steps of work";
  struct Case {
    const char* name;
    std::vector<std::string> unbuildable, unsettled, differences;
    int status;
    bool tells_of_the_search;
  };
  const Case cases[] = {
      {"exact", {}, {}, {}, kInspected, false},
      {"search stopped, texts exact", {}, {stopped}, {}, kInspected, false},
      {"search stopped, texts differ", {}, {stopped}, {"cells differ"}, kRoundTripDiffers, true},
      {"not a build", {"cell 9 holds kind 99"}, {}, {"cells differ"}, kNotBuildable, false},
  };
  for (const Case& c : cases) {
    RecoveredDescriptions recovered;
    recovered.unbuildable = c.unbuildable;
    recovered.unsettled = c.unsettled;
    RoundTrip trip;
    trip.differences = c.differences;
    std::string out, err;
    EXPECT_EQ(report_round_trip(recovered, trip, out, err), c.status) << c.name;
    EXPECT_EQ(err.find("no description found that gives the files: " + stopped) !=
                  std::string::npos,
              c.tells_of_the_search)
        << c.name << ": " << err;
    EXPECT_EQ(out.find("round trip exact") != std::string::npos, c.status == kInspected)
        << c.name;
  }
}

TEST(RoundTripComparison, NamesTheFirstDifferingField) {
  Built built(text_of(built_in_line_lines()), text_of(built_in_train_lines()));
  RecoveredDescriptions descriptions{text_of(built_in_line_lines()),
                                     text_of(built_in_train_lines()), {}, {}};
  const std::string route = built.build.b.route_name;
  const std::string train = built.build.b.train_number;
  const CompiledBytes original{built.build.file(plan_file_name(route)),
                               built.build.file(station_file_name(route, train)),
                               built.build.file(cell_file_name(route, train))};
  EXPECT_TRUE(rebuild_and_compare(route, train, descriptions, original).exact());

  // The first signal's side-s digits 5, 1, 0 become 4, 1, 0; its cell is 22.
  const std::string first_signal = "segnale,    1050,   2, 5,";
  const size_t at = descriptions.train_text.find(first_signal);
  ASSERT_NE(at, std::string::npos);
  descriptions.train_text[at + first_signal.size() - 2] = '4';
  const RoundTrip trip = rebuild_and_compare(route, train, descriptions, original);
  ASSERT_EQ(trip.differences.size(), 1u);
  EXPECT_NE(trip.differences[0].find("cell 22 (object at 1050 m), field value1"),
            std::string::npos)
      << trip.differences[0];

  // Another name in the station table: entry 3's name and all after it.
  descriptions.train_text = text_of(built_in_train_lines());
  const size_t name = descriptions.train_text.find("P.M. SARVENA NORD");
  descriptions.train_text.replace(name, 4, "P.M.X");
  const RoundTrip renamed = rebuild_and_compare(route, train, descriptions, original);
  ASSERT_FALSE(renamed.differences.empty());
  EXPECT_NE(renamed.differences[0].find("entry 3, field name"), std::string::npos)
      << renamed.differences[0];
}

}  // namespace
}  // namespace sb::inspect
