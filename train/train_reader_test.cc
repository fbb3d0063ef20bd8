#include "train/train_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "base/file_names.h"
#include "compile/read_descriptions.h"
#include "line/line_writer.h"
#include "scenario/built_in_names.h"
#include "testing/fake_platform.h"
#include "testing/in_memory_build.h"
#include "train/train_writer.h"

namespace sb {
namespace {

// A 97000 m line (cells 0..2080) with nothing on it.
const std::string kPlainLine = "[generale]\r\nlunghezza percorso, 97000\r\n[fine]\r\n";
// A 30000 m line (cells 0..740) with nothing on it.
const std::string kShortLine = "[generale]\r\nlunghezza percorso, 30000\r\n[fine]\r\n";

// A train description whose first row stands on line 2.
std::string train_text(const std::string& rows) { return "[generale]\r\n" + rows + "[fine]\r\n"; }

// A station row with the given position, kind and platform length; the
// other fields are those of the built-in intermediate stops.
std::string station(int32_t position, int kind, int32_t platform, const std::string& name = "S",
                    int end_extension = 0) {
  return "stazione, " + std::to_string(position) + ", " + std::to_string(kind) + ", " +
         std::to_string(platform) + ", 1, 1, " + std::to_string(end_extension) +
         ", 4,1,1, 2,1,1, 30, 22,18, 0, " + name + "\r\n";
}

const std::string kFirstStation =
    "stazione,       0,  8,  500,  0, 0, 0,  1,1,0,  4,1,1,    1,  21,55, 0, SARVENA S.M.N.\r\n";
const std::string kPrato =
    "stazione,   16350,  2,  500,  1, 0, 1,  4,1,1,  2,1,1,   50,  22,18, 0, PRATO\r\n";

class TrainReaderTest : public ::testing::Test, protected InMemoryBuild {
 protected:
  // A fresh model and an empty folder for the next case of a table.
  void reset() {
    platform.files.files.clear();
    InMemoryBuild::reset();
  }
  bool train_text_exists() const { return platform.files.files.count(train_path()) != 0; }
  // Reads both descriptions, as the build does.
  void read(const std::string& train, const std::string& line = kPlainLine) {
    platform.files.files[line_path()] = line;
    platform.files.files[train_path()] = train;
    read_descriptions(b);
  }
  const Cell& cell(int i) const { return b.cells.at(i); }
};

TEST_F(TrainReaderTest, HeaderRecords) {
  read(train_text(
      "numero vetture,    8\r\npercentuale massa frenata,    125\r\nsabbia,    300\r\n"
      "orologio,    21              56            40 \r\n"));
  EXPECT_EQ(b.error_number, 0);
  EXPECT_EQ(b.stations[84].position_m, 8);
  EXPECT_EQ(b.stations[84].from_m, 125);
  EXPECT_EQ(b.stations[84].to_m, 97000);
  EXPECT_EQ(b.stations[86].int1, 300);
  EXPECT_EQ(b.stations[86].int3, 21);
  EXPECT_EQ(b.stations[86].int4, 56);
  EXPECT_EQ(b.stations[86].int5, 40);
  EXPECT_FALSE(train_text_exists());
  EXPECT_TRUE(b.stop_file.empty());
}

TEST_F(TrainReaderTest, SpeedHoldsFromItsOwnCell) {
  read(train_text("velocita,   0,    30\r\nvelocita,     900,   115\r\n"));
  EXPECT_EQ(cell(0).line_speed, 6);
  EXPECT_EQ(cell(17).line_speed, 6);
  EXPECT_EQ(cell(18).line_speed, 23);
  EXPECT_EQ(cell(2077).line_speed, 23);
  EXPECT_EQ(cell(2078).line_speed, 0);
  EXPECT_EQ(cell(2080).line_speed, 0);
}

TEST_F(TrainReaderTest, ProfileRowBehindTheCursorWritesOneCell) {
  // The third rows' cells (t = 10) lie behind the cursor (18): each writes
  // cell 18 with the value before it.
  read(train_text(
      "velocita, 0, 30\r\nvelocita, 900, 115\r\nvelocita, 500, 62\r\n"
      "aderenza, 0, 70\r\naderenza, 900, 95\r\naderenza, 500, 300\r\n"));
  EXPECT_EQ(cell(17).line_speed, 6);
  EXPECT_EQ(cell(18).line_speed, 23);
  EXPECT_EQ(cell(19).line_speed, 12);  // 62 / 5 = 12.4
  EXPECT_EQ(cell(17).adhesion, 70);
  EXPECT_EQ(cell(18).adhesion, 95);
  EXPECT_EQ(cell(19).adhesion, 44);  // the low 8 bits of 300
  EXPECT_EQ(cell(2077).adhesion, 44);
  EXPECT_EQ(cell(2078).adhesion, 0);
}

TEST_F(TrainReaderTest, ProfilesNeverReachTheLastCell) {
  std::string rows;
  for (int i = 0; i < 300; ++i) rows += "velocita, 50, 100\r\naderenza, 50, 90\r\n";
  read(train_text(rows), "[generale]\r\nlunghezza percorso, 0\r\n[fine]\r\n");
  EXPECT_EQ(b.error_number, 0);
  EXPECT_EQ(cell(139).line_speed, 20);
  EXPECT_EQ(cell(139).adhesion, 90);
  EXPECT_EQ(cell(140).line_speed, 0);
  EXPECT_EQ(cell(140).adhesion, 0);
}

TEST_F(TrainReaderTest, RowsCountOnlyAfterTheGeneralSection) {
  read("velocita, 0, 100\r\nsabbia, 300\r\n[fine]\r\n");
  EXPECT_EQ(b.error_number, 0);
  EXPECT_EQ(b.stations[86].int1, 0);
  EXPECT_EQ(cell(0).line_speed, 0);
  EXPECT_FALSE(train_text_exists());

  reset();
  read("sabbia, 100\r\n[Generale]\r\nsabbia, 300\r\n[fine]\r\n");
  EXPECT_EQ(b.stations[86].int1, 300);
}

TEST_F(TrainReaderTest, KeysIgnoreCaseHeadingsAndALastField) {
  // A lone key as the file's last field is not acted upon, so its missing
  // value is no failure.
  read("[generale]\r\n[stazioni]\r\n\r\nnote\r\nSABBIA, 300\r\nsabbia");
  EXPECT_EQ(b.error_number, 0);
  EXPECT_EQ(b.stations[86].int1, 300);
}

TEST_F(TrainReaderTest, UpToTwoCommentFieldsAreSkippedBeforeAKey) {
  read(train_text("- nota -\r\n- nota -\r\n- sabbia -, 300\r\n-x\r\nsabbia-, 7\r\n"));
  // The second row's own comment is skipped, and its key, "sabbia-", too:
  // its value is read as a key.
  EXPECT_EQ(b.error_number, 0);
  EXPECT_EQ(b.stations[86].int1, 300);
}

TEST_F(TrainReaderTest, FirstStation) {
  read(train_text(kFirstStation));
  EXPECT_EQ(b.error_number, 0);
  const Station& e = b.stations[1];
  EXPECT_EQ(e.kind, 8);
  EXPECT_EQ(e.position_m, 0);
  EXPECT_EQ(e.from_m, -500);
  EXPECT_EQ(e.to_m, 500);
  EXPECT_EQ(e.time_s, 78900);
  EXPECT_EQ(e.byte3, 0);
  EXPECT_EQ(e.byte4, 0);
  EXPECT_EQ(e.byte2, 1);
  EXPECT_EQ(e.int3, 4);
  EXPECT_EQ(e.name, "SARVENA S.M.N.");
  EXPECT_EQ(cell(9).kind, stop_marker);
  EXPECT_EQ(cell(9).value1, 1);
  const int approach[] = {0, 84, 83, 82, 81};  // cells 4..8
  for (int c = 4; c <= 8; ++c) EXPECT_EQ(cell(c).approach_code, approach[c - 4]) << c;
}

TEST_F(TrainReaderTest, LaterStationKeepsItsFlagsAndExtendsItsEnd) {
  read(train_text(kFirstStation + kPrato));
  EXPECT_EQ(b.error_number, 0);
  const Station& e = b.stations[2];
  EXPECT_EQ(e.from_m, 16100);
  EXPECT_EQ(e.to_m, 16650);
  EXPECT_EQ(e.byte3, 1);
  EXPECT_EQ(e.byte4, 0);  // platform below 600 m
  EXPECT_EQ(e.flag1, 1);
  EXPECT_EQ(e.time_s, 80280);
  EXPECT_EQ(e.name, "PRATO");
  EXPECT_EQ(cell(332).kind, stop_marker);
  EXPECT_EQ(cell(332).value1, 2);
  EXPECT_EQ(cell(331).approach_code, 81);
}

TEST_F(TrainReaderTest, PlatformExtentAndMarksByStationKind) {
  const struct {
    int kind;
    int end_extension;
    int32_t from, to;
    uint8_t byte3;
    bool marker, approach;
  } cases[] = {
      {2, 1, 9700, 10350, 1, true, true},    // any other kind: +-L/2, 50 m more
      {12, 0, 9700, 10300, 0, true, true},
      {5, 1, 9400, 10150, 0, true, false},   // L before, 150 m after
      {6, 0, 9400, 10150, 0, true, false},
      {7, 1, 9400, 10600, 0, true, true},    // L either side
      {25, 1, 9700, 10350, 1, false, false},  // passed: no marker
      {28, 0, 9700, 10300, 0, false, false},
  };
  for (const auto& c : cases) {
    reset();
    read(train_text(kFirstStation + station(10000, c.kind, 600, "S", c.end_extension)));
    EXPECT_EQ(b.error_number, 0) << c.kind;
    const Station& e = b.stations[2];
    EXPECT_EQ(e.from_m, c.from) << c.kind;
    EXPECT_EQ(e.to_m, c.to) << c.kind;
    EXPECT_EQ(e.byte3, c.byte3) << c.kind;
    EXPECT_EQ(e.byte4, 1) << c.kind;  // kept from 600 m on
    const int marker = c.to / 50 - 1;
    EXPECT_EQ(cell(marker).kind, c.marker ? stop_marker : empty) << c.kind;
    EXPECT_EQ(cell(marker - 1).approach_code, c.approach ? 81 : 0) << c.kind;
    EXPECT_EQ(cell(marker - 4).approach_code, c.approach ? 84 : 0) << c.kind;
  }
}

TEST_F(TrainReaderTest, CodePointRows) {
  read(train_text("abbattimento, 1000, 0\r\nabbattimento, 2000, 120\r\n"));
  EXPECT_EQ(b.error_number, 0);
  EXPECT_EQ(cell(20).kind, code_cut);
  EXPECT_EQ(cell(40).kind, code_point);
  EXPECT_EQ(cell(40).value1, 120);
}

TEST_F(TrainReaderTest, SignalsAndSlowdownsArePlaced) {
  read(train_text(
      "segnale,    1050,   2, 5, 1,  0, 0,    0,  0,0,0, 50\r\n"
      "rallentamento,   29000,    30,  600, 0,  0,  30\r\n"));
  EXPECT_EQ(b.error_number, 0);
  EXPECT_EQ(cell(22).kind, signal);
  EXPECT_EQ(cell(22).signal_time, 101);
  EXPECT_EQ(cell(20).approach_code, 61);
  EXPECT_EQ(cell(557).kind, slowdown_warning);
  EXPECT_EQ(cell(581).kind, slowdown_start);
  EXPECT_EQ(cell(593).kind, slowdown_end);
}

// Every problem the reader records, with the position and the line it names;
// the text is deleted in every case.
TEST_F(TrainReaderTest, RecordedProblems) {
  std::string many_stations;
  for (int i = 0; i < 79; ++i) many_stations += station(1000 * i + 500, 25, 200);
  const std::string signal_1050 = "segnale, 1050, 2, 5, 1, 0, 0, 0, 0,0,0, 0\r\n";
  const std::string off_grid_chainage =
      "[generale]\r\nlunghezza percorso, 97000\r\nprogressiva chilometrica uno, 25, 0, 0\r\n"
      "[fine]\r\n";
  const struct {
    const char* what;
    std::string train;
    std::string line;
    int32_t error;
    int32_t position;  // 777: unchanged
    int32_t stop_line;
  } cases[] = {
      {"station off the grid", train_text(station(1025, 12, 400)), kPlainLine, 8, 1025, 2},
      {"platform length off the grid", train_text(station(1000, 12, 450)), kPlainLine, 9, 1000,
       2},
      {"first stop marker in cell 1", train_text(station(0, 12, 200)), kPlainLine, 24, 777, 2},
      {"platforms 300 m apart", train_text(kFirstStation + station(1000, 12, 400)), kPlainLine,
       22, 1000, 3},
      {"79th station", train_text(many_stations), kPlainLine, 10, 777, 80},
      {"station beyond the cells", train_text(station(103250, 12, 400)), kPlainLine, 15, 103250,
       2},
      {"speed row beyond the cells", train_text("velocita, 103950, 30\r\n"), kPlainLine, 15,
       103950, 2},
      {"negative speed row", train_text("velocita, -50, 30\r\n"), kPlainLine, 26, -50, 2},
      {"negative adhesion row", train_text("aderenza, -1, 30\r\n"), kPlainLine, 26, -1, 2},
      {"negative signal", train_text("segnale, -50, 2, 5, 1, 0, 0, 0, 0,0,0, 0\r\n"), kPlainLine,
       26, -50, 2},
      {"negative slowdown", train_text("rallentamento, -50, 30, 600, 0, 0, 30\r\n"), kPlainLine,
       26, -50, 2},
      {"negative code point", train_text("abbattimento, -50, 0\r\n"), kPlainLine, 26, -50, 2},
      {"negative station", train_text(station(-1000, 12, 400)), kPlainLine, 26, -1000, 2},
      {"stop marker beyond the cells", train_text(station(0, 8, 200000)), kPlainLine, 26, 0, 2},
      {"code point on a stop marker", train_text(kFirstStation + "abbattimento, 450, 0\r\n"),
       kPlainLine, 7, 450, 3},
      {"code point on a signal", train_text(signal_1050 + "abbattimento, 1100, 0\r\n"),
       kPlainLine, 7, 1100, 3},
      {"two signals in one cell", train_text(signal_1050 + signal_1050), kPlainLine, 16, 1050,
       3},
      {"slowdown start on a signal",
       train_text("segnale, 29000, 1, 2, 0, 0, 0, 0, 0,0,0, 0\r\n"
                  "rallentamento, 29000, 30, 600, 0, 0, 30\r\n"),
       kPlainLine, 18, 29000, 3},
      {"slowdown ending where it starts", train_text("rallentamento, 29000, 30, 0, 0, 0, 30\r\n"),
       kPlainLine, 28, 29000, 2},
      {"chainage off the grid", train_text(""), off_grid_chainage, 2, 777, 0},
      {"beyond the cells, then chainage off the grid", train_text("velocita, 103950, 30\r\n"),
       off_grid_chainage, 2, 103950, 0},
  };
  for (const auto& c : cases) {
    reset();
    b.error_position_m = 777;
    read(c.train, c.line);
    EXPECT_EQ(b.error_number, c.error) << c.what;
    EXPECT_EQ(b.error_position_m, c.position) << c.what;
    EXPECT_EQ(b.stop_line, c.stop_line) << c.what;
    EXPECT_EQ(b.stop_file, c.error == 2 ? "Sarvena_Lucredo_linea.txt"
                                        : "Sarvena_Lucredo_20573-2-.txt")
        << c.what;
    EXPECT_FALSE(train_text_exists()) << c.what;
  }
}

TEST_F(TrainReaderTest, StationsMeetingTheBoardEntries) {
  // 78 stations fit below entry 80; the 79th is stored and ends the reading.
  std::string rows;
  for (int i = 0; i < 79; ++i) {
    // Appended rather than "S" + ...: GCC 12 warns wrongly (-Wrestrict) on that.
    std::string name = "S";
    name += std::to_string(i);
    rows += station(1000 * i + 500, 25, 200, name);
  }
  read(train_text(rows));
  EXPECT_EQ(b.error_number, 10);
  EXPECT_EQ(b.stations[79].name, "S78");
  EXPECT_EQ(b.stations[80].name, "");
}

TEST_F(TrainReaderTest, PlatformsAtTheNarrowestAcceptedSpacing) {
  read(train_text(kFirstStation + station(1050, 12, 400)));
  EXPECT_EQ(b.error_number, 0);
  EXPECT_EQ(b.stations[2].from_m, 850);
}

TEST_F(TrainReaderTest, LineBeyondItsCellsStopsTheTrainAtItsFirstSignal) {
  read(train_text("velocita, 0, 100\r\nvelocita, 2000, 50\r\n" + kFirstStation +
                  "segnale, 3050, 2, 5, 1, 0, 0, 0, 0,0,0, 0\r\nsabbia, 300\r\n"),
       "[generale]\r\nlunghezza percorso, 97000\r\n[curve]\r\npendenza, 103950, 1\r\n");
  EXPECT_EQ(b.error_number, 15);
  EXPECT_EQ(b.error_position_m, 3050);
  // The message names the line's row that caused it, and where the train stopped.
  EXPECT_EQ(b.stop_file, "Sarvena_Lucredo_linea.txt");
  EXPECT_EQ(b.stop_line, 4);
  EXPECT_TRUE(b.stop_reason.find("stopped at its line 5") != std::string::npos) << b.stop_reason;
  EXPECT_EQ(cell(39).line_speed, 20);  // rows before the signal are read
  EXPECT_EQ(cell(9).kind, stop_marker);
  EXPECT_EQ(cell(62).kind, signal);  // placed before the test that stops
  EXPECT_EQ(cell(40).line_speed, 0);  // and the end steps do not run
  EXPECT_EQ(b.stations[86].int1, 0);
  EXPECT_FALSE(train_text_exists());
}

TEST_F(TrainReaderTest, UnreadableTrainTextsEndWithTheCommonFailure) {
  const struct {
    const char* what;
    std::string train;
    int32_t stop_line;
  } cases[] = {
      {"row cut short by the end", "[generale]\r\nsegnale, 1050, 2, 5", 2},
      {"value that is not a number", train_text("sabbia, tre\r\n"), 2},
      {"empty value", train_text("segnale, 1050,, 5, 1, 0, 0, 0, 0,0,0, 0\r\n"), 2},
      {"value beyond 32 bits", train_text("numero vetture, 4294967296\r\n"), 2},
      {"sand beyond 16 bits", train_text("sabbia, 32768\r\n"), 2},
      {"clock beyond 16 bits", train_text("orologio, 21 -32769 0\r\n"), 2},
      {"station kind beyond its byte", train_text(station(1000, 256, 400)), 2},
      {"negative station flag", train_text("stazione, 1000, 12, 400, -1, 0, 0, 4,1,1, 2,1,1, "
                                            "30, 22,18, 0, S\r\n"),
       2},
      {"time of day beyond 32 bits",
       train_text("stazione, 1000, 12, 400, 1, 0, 0, 4,1,1, 2,1,1, 30, 2000000000,0,0, S\r\n"),
       2},
      {"platform end beyond 32 bits", train_text(station(1000, 8, 2147483600)), 2},
      {"speed whose fifth passes 255", train_text("velocita, 0, 1278\r\n"), 2},
      {"code value beyond 16 bits", train_text("abbattimento, 1000, 40000\r\n"), 2},
      {"station name missing at the end",
       "[generale]\r\nstazione, 1000, 12, 400, 1, 0, 0, 4,1,1, 2,1,1, 30, 22,18, 0", 2},
  };
  for (const auto& c : cases) {
    reset();
    b.error_position_m = 777;
    read(c.train);
    EXPECT_EQ(b.error_number, 25) << c.what;
    EXPECT_EQ(b.error_position_m, 777) << c.what;
    EXPECT_EQ(b.stop_file, "Sarvena_Lucredo_20573-2-.txt") << c.what;
    EXPECT_EQ(b.stop_line, c.stop_line) << c.what;
    EXPECT_TRUE(platform.files.files.empty()) << c.what;
  }
}

// A speed's fifth and a code value's 16 bits are checked where the steps
// store them, not as the row is read: a speed when it is written into cells
// (at the next speed row or in the end steps), a code value only as a code
// point's value1. A failure still names the row that gave the value.
TEST_F(TrainReaderTest, ValuesAreCheckedWhereTheyAreStored) {
  const std::string two_stations = station(29000, 12, 400, "A") + station(33000, 2, 600, "B");
  const struct {
    const char* what;
    std::string train;
    int32_t error;
    int32_t position;  // 777: unchanged
    int32_t stop_line;
    int stations;      // station entries read
    int stop_markers;
  } cases[] = {
      {"speed too large on a row beyond the cells",
       train_text("velocita, 0, 100\r\nvelocita, 36950, 5000\r\n"), 15, 36950, 3, 0, 0},
      {"speed too large, written in the end steps",
       train_text("velocita, 0, 100\r\n" + kFirstStation + "velocita, 28100, 5000\r\n" +
                  two_stations),
       25, 777, 4, 3, 3},
      {"speed too large, written at the next speed row",
       train_text("velocita, 0, 100\r\n" + kFirstStation + "velocita, 28100, 5000\r\n" +
                  two_stations + "velocita, 34000, 80\r\n"),
       25, 777, 4, 3, 3},
      {"speed too large, next speed row beyond the cells",
       train_text("velocita, 28100, 5000\r\n" + two_stations + "velocita, 36950, 80\r\n"), 25,
       36950, 2, 2, 2},
      {"speed too large, replaced before it is written",
       train_text("velocita, 0, 5000\r\nvelocita, 0, 100\r\n"), 0, 777, 0, 0, 0},
      {"code cut from a value below 16 bits", train_text("abbattimento, 18000, -2147483648\r\n"),
       0, 777, 0, 0, 0},
      {"code value too large on a taken cell",
       train_text("abbattimento, 18000, 0\r\nabbattimento, 18000, 40000\r\n"), 7, 18000, 3, 0,
       0},
  };
  for (const auto& c : cases) {
    reset();
    b.error_position_m = 777;
    read(c.train, kShortLine);
    ASSERT_EQ(b.cell_count, 740);
    EXPECT_EQ(b.error_number, c.error) << c.what;
    EXPECT_EQ(b.error_position_m, c.position) << c.what;
    EXPECT_EQ(b.stop_line, c.stop_line) << c.what;
    EXPECT_EQ(b.stop_file, c.error == 0 ? "" : "Sarvena_Lucredo_20573-2-.txt") << c.what;
    int stations = 0;
    while (!b.stations[stations + 1].name.empty()) ++stations;
    EXPECT_EQ(stations, c.stations) << c.what;
    int markers = 0;
    for (const Cell& cell : b.cells) markers += cell.kind == stop_marker;
    EXPECT_EQ(markers, c.stop_markers) << c.what;
    EXPECT_FALSE(train_text_exists()) << c.what;
  }
}

TEST_F(TrainReaderTest, WhatTheRowsBeforeAStoredValueLeave) {
  // The end steps write the speed before the row beyond the cells, never its own.
  read(train_text("velocita, 0, 100\r\nvelocita, 36950, 5000\r\n"), kShortLine);
  EXPECT_EQ(b.error_number, 15);
  EXPECT_EQ(cell(0).line_speed, 20);
  EXPECT_EQ(cell(737).line_speed, 20);
  EXPECT_EQ(cell(738).line_speed, 0);

  // The stations after the bad speed row are read and placed; its speed is
  // never written, and the failure names its row.
  reset();
  read(train_text("velocita, 0, 100\r\n" + kFirstStation + "velocita, 28100, 5000\r\n" +
                  station(29000, 12, 400, "A") + station(33000, 2, 600, "B")),
       kShortLine);
  EXPECT_EQ(b.error_number, 25);
  EXPECT_EQ(b.stop_line, 4);
  EXPECT_EQ(b.stop_reason, "speed 5000 does not fit a cell");
  EXPECT_EQ(b.stations[2].name, "A");
  EXPECT_EQ(b.stations[2].to_m, 29200);
  EXPECT_EQ(b.stations[3].name, "B");
  EXPECT_EQ(b.stations[3].to_m, 33300);
  EXPECT_EQ(cell(583).kind, stop_marker);
  EXPECT_EQ(cell(583).value1, 2);
  EXPECT_EQ(cell(665).kind, stop_marker);
  EXPECT_EQ(cell(665).value1, 3);
  EXPECT_EQ(cell(561).line_speed, 20);
  EXPECT_EQ(cell(562).line_speed, 0);

  // A code value below 1 makes a code cut, whatever its size.
  reset();
  read(train_text("abbattimento, 18000, -2147483648\r\n"), kShortLine);
  EXPECT_EQ(b.error_number, 0);
  EXPECT_EQ(cell(360).kind, code_cut);
}

TEST_F(TrainReaderTest, WidestValuesThatStillFit) {
  read(train_text(
      "velocita, 0, 1277\r\naderenza, 0, -1\r\nsabbia, -32768\r\n"
      "orologio, 32767 0 -5\r\n" + station(1000, 255, 400)));
  EXPECT_EQ(b.error_number, 0);
  EXPECT_EQ(cell(0).line_speed, 255);
  EXPECT_EQ(cell(0).adhesion, 255);
  EXPECT_EQ(b.stations[86].int1, -32768);
  EXPECT_EQ(b.stations[86].int3, 32767);
  EXPECT_EQ(b.stations[1].kind, 255);
}

// The built-in train read after the built-in line.
TEST_F(TrainReaderTest, BuiltInTrainDescription) {
  write_built_in_descriptions();
  read_descriptions(b);
  EXPECT_EQ(b.error_number, 0);
  EXPECT_TRUE(platform.files.files.empty());
  int stations = 0;
  while (stations + 1 < 81 && !b.stations[stations + 1].name.empty()) ++stations;
  // Entries 78..80 hold the line's board texts.
  EXPECT_EQ(stations, 19);
  EXPECT_EQ(b.stations[19].name, "LUCREDO C.LE");
  EXPECT_EQ(b.stations[20].name, "");
  int markers = 0;
  for (const Cell& c : b.cells) markers += c.kind == stop_marker;
  EXPECT_EQ(markers, 13);

  const Station& first = b.stations[1];
  EXPECT_EQ(first.from_m, -500);
  EXPECT_EQ(first.to_m, 500);
  EXPECT_EQ(first.time_s, 78900);
  EXPECT_EQ(first.byte3, 0);
  EXPECT_EQ(first.byte4, 0);
  EXPECT_EQ(cell(9).kind, stop_marker);
  EXPECT_EQ(cell(9).value1, 1);
  for (int k = 1; k <= 4; ++k) EXPECT_EQ(cell(9 - k).approach_code, 80 + k) << k;

  const Station& prato = b.stations[9];
  EXPECT_EQ(prato.name, "PRATO");
  EXPECT_EQ(prato.from_m, 16100);
  EXPECT_EQ(prato.to_m, 16650);
  EXPECT_EQ(prato.byte4, 0);
  EXPECT_EQ(prato.time_s, 80280);
  EXPECT_EQ(cell(332).kind, stop_marker);
  EXPECT_EQ(cell(332).value1, 9);

  EXPECT_EQ(b.stations[84].position_m, 8);
  EXPECT_EQ(b.stations[84].from_m, 125);
  EXPECT_EQ(b.stations[86].int1, 300);
  EXPECT_EQ(b.stations[86].int4, 56);
  EXPECT_EQ(cell(18).line_speed, 23);
  EXPECT_EQ(cell(2077).line_speed, 6);
  EXPECT_EQ(cell(2078).line_speed, 0);
  EXPECT_EQ(cell(2077).adhesion, 100);
}

}  // namespace
}  // namespace sb
