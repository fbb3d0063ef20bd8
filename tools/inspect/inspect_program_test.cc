#include "tools/inspect/inspect_program.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "driver/run.h"
#include "output/compiled_layout.h"
#include "testing/fake_platform.h"
#include "testing/temp_dir.h"
#include "tools/inspect/text_encoding.h"
#include "tools/inspect/well_formed.h"

namespace sb::inspect {
namespace {

using testing::is_valid_json;
using testing::is_well_formed_xml;

const std::string kDir = "/scenario";
const std::string kCells = kDir + "/Sarvena_Lucredo_20573-2.dat";
const std::string kStations = kDir + "/Sarvena_Lucredo_20573-2.sim";
const std::string kPlan = kDir + "/Sarvena_Lucredo_linea.dat";

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

Outcome inspect(FileSystem& files, const std::vector<std::string>& args) {
  Outcome run;
  run.status = run_inspect(files, args, run.out, run.err);
  return run;
}

// The built-in scenario, built once in memory by the real build.
class InspectBuiltIn : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    platform_ = new FakePlatform;
    platform_->directory = kDir;
    ASSERT_EQ(run_program(*platform_, std::vector<std::string>{}), kBuilt);
  }
  static void TearDownTestSuite() {
    delete platform_;
    platform_ = nullptr;
  }

  // A file system holding a copy of the built files, to change at will.
  static MemoryFileSystem copy() {
    MemoryFileSystem files;
    for (const std::string& path : {kCells, kStations, kPlan}) {
      files.files[path] = platform_->files.files.at(path);
    }
    return files;
  }
  static MemoryFileSystem& built() { return platform_->files; }

  static FakePlatform* platform_;
};
FakePlatform* InspectBuiltIn::platform_ = nullptr;

void expect_lines(const std::string& out, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    EXPECT_NE(out.find("\n  " + line + "\n"), std::string::npos) << "missing line: " << line;
  }
}

TEST_F(InspectBuiltIn, CellListingDecodesWhatTheBuilderPlaced) {
  const Outcome run = inspect(built(), {kCells});
  ASSERT_EQ(run.status, kInspected) << run.err;
  EXPECT_EQ(run.err, "");
  expect_lines(run.out, {
      "cells 2081, bytes 31215, cell count 2080",
      "cell 1  marker 5121, marker check matches, og code 2271, recomputed og code 2271, "
      "og code check matches",
      "cell 8 at 350 m  approach code 81, meaning mark 1 before the stop marker in cell 9",
      "cell 9 at 400 m: stop_marker  station 1, station name SARVENA S.M.N.",
      "cell 20 at 950 m  approach code 61, meaning mark 1 before the signal in cell 22 (sx 2 dx 0)",
      "cell 21 at 1000 m: speed_board  side s speeds 105 115 120 km/h, side s stripes 0, "
      "side d speeds 0 0 0 km/h, side d stripes 0",
      "cell 22 at 1050 m: signal  side s type 2, side s digits 5 1 0, side d type 0, "
      "side d digits 0 0 0, rapp 0, time 0",
      "cell 428 at 21350 m: montagna_marker",
      "cell 557 at 27800 m: slowdown_warning  speed 30 km/h, d_v 30",
      "cell 581 at 29000 m: slowdown_start  speed 30 km/h, d_v 30, f_tt 0",
      "cell 593 at 29600 m: slowdown_end  speed 30 km/h, d_v 30, f_tt 0",
      "cell 745 at 37200 m: indication_board  text entry 80, text (GALLERIA )(APPENNINO)(Km 18+510)",
      "cells 1932-2077 (96600-103900 m)  gradient 0 \u2030, line speed 30 km/h, adhesion 100, "
      "montagna type 0",
      "cells 2078-2080 (103900-104050 m)  gradient -100 \u2030, line speed 0 km/h, adhesion 0, "
      "montagna type 0",
  });
  EXPECT_EQ(run.out.find("\nnotes\n"), std::string::npos) << run.out;
}

TEST_F(InspectBuiltIn, StationListingNamesEveryEntry) {
  const Outcome run = inspect(built(), {kStations});
  ASSERT_EQ(run.status, kInspected) << run.err;
  expect_lines(run.out, {
      "bytes 3312, stations 19, board texts 3",
      "entry 1 at 0 m: SARVENA S.M.N.  kind 8, stop yes, platform -500 500 m, time 21:55:00, "
      "flag1 0, byte4 0, end extension 0, ints 1 1 4 1 1, byte1 0, byte2 1",
      "entry 9 at 16350 m: PRATO  kind 2, stop yes, platform 16100 16650 m, time 22:18:00, "
      "flag1 1, byte4 0, end extension 1, ints 4 1 2 1 1, byte1 1, byte2 50",
      "entry 80: (GALLERIA )(APPENNINO)(Km 18+510)",
      "entry 81: chainage system 1 of 3 (largest first value first)  values 0 0 0",
      "entry 84: train and line  braked mass 125 %, line length 97000 m, cars 8",
      "entry 85: route Sarvena_Lucredo  backgrounds one two three 0 1 0, marker 610, "
      "marker check matches, st code 33012",
      "entry 86: train 20573-2  signal repetition 1050 95500 m, repetition codes 4, sand 300, "
      "clock 21:56:40",
      "names \"20573-2\" + \"Sarvena_Lucredo\"  st code 33012, recomputed st code 33012, "
      "st code check matches, recomputed og code 2271",
  });
  EXPECT_EQ(run.out.find("\nnotes\n"), std::string::npos) << run.out;
}

TEST_F(InspectBuiltIn, PlanListingSummarisesTheTrack) {
  const Outcome run = inspect(built(), {kPlan});
  ASSERT_EQ(run.status, kInspected) << run.err;
  expect_lines(run.out, {
      "bytes 2079964, points per block 104001, y block offset 1039982, extent 104000 m",
      "x block  unset 2, int16 2, float64 103997",
      "y block  unset 2, int16 2, float64 103997",
      "km 0  x 0.000 m, y 0.000 m",
      "km 1  x 0.000 m, y 1000.000 m",
  });
  EXPECT_NE(run.out.find("\n  set points  count 103999, last set metre 103998, "),
            std::string::npos);
}

TEST_F(InspectBuiltIn, JsonCarriesTheSameContentAndRawFields) {
  const Outcome run = inspect(built(), {"--json", kCells, kStations, kPlan});
  ASSERT_EQ(run.status, kInspected) << run.err;
  EXPECT_TRUE(is_valid_json(run.out)) << run.out.substr(0, 2000);
  for (const char* expected : {
           "\"side_s_speeds_kmh\": [105, 115, 120]",
           "\"station_name\": \"SARVENA S.M.N.\"",
           "\"gradient_per_mille\": 2",
           "\"line_length_m\": 97000",
           "\"st_code\": 33012",
           "\"recomputed_og_code\": 2271",
           "\"float64\": 103997",
           // A raw field the text leaves out.
           "\"value1\": 2100",
       }) {
    EXPECT_NE(run.out.find(expected), std::string::npos) << expected;
  }
}

// ---- Bad files ------------------------------------------------------------

struct BadFile {
  const char* what;
  std::string path;
  std::string bytes;
  std::string expected;  // in the error line after "scenario_inspect: <path>: "
};

std::string with_byte(std::string bytes, size_t at, char value) {
  bytes.at(at) = value;
  return bytes;
}

TEST_F(InspectBuiltIn, BadFilesGiveTheFileAndTheOffset) {
  const std::string& cells = built().files.at(kCells);
  const std::string& stations = built().files.at(kStations);
  const std::string& plan = built().files.at(kPlan);
  const size_t last_station = stations.size() - (34 + 7);  // entry 86, name "20573-2"
  std::string runaway_name = stations;
  runaway_name[last_station + 14] = '\xff';
  runaway_name[last_station + 15] = '\xff';
  const size_t y_block = 1039982;
  const std::vector<BadFile> cases = {
      {"cell file one byte short", kCells, cells.substr(0, cells.size() - 1),
       "offset 31214: cell 2080: adhesion needs 1 bytes, 0 left"},
      {"empty cell file", kCells, "", "offset 0: 0 cell records"},
      {"cell file of one record", kCells, cells.substr(0, 15), "offset 15: 1 cell records"},
      {"station file cut inside the last record", kStations, stations.substr(0, last_station + 1),
       "offset " + std::to_string(last_station + 1) + ": station 86: from_m needs 4 bytes"},
      {"station name running past the end", kStations, runaway_name,
       "offset " + std::to_string(last_station + 16) + ": station 86: name needs 65535 bytes"},
      {"station file with a byte left over", kStations, stations + '\0',
       "offset " + std::to_string(stations.size()) + ": 1 bytes after the last of 87"},
      {"plan element with a bad tag", kPlan, with_byte(plan, 8, 7),
       "offset 8: plan element 2: unknown tag 7"},
      {"plan file cut inside a float", kPlan, plan.substr(0, y_block + 8 + 5),
       "offset " + std::to_string(y_block + 10) + ": plan element 104003: float64 value needs 8"},
      {"plan blocks of different lengths", kPlan, plan.substr(0, plan.size() - 2),
       "odd number of elements (208001)"},
      {"empty plan file", kPlan, "", "offset 0: empty"},
  };
  for (const BadFile& c : cases) {
    MemoryFileSystem files = copy();
    files.files[c.path] = c.bytes;
    for (bool json : {false, true}) {
      std::vector<std::string> args = {c.path};
      if (json) args.insert(args.begin(), "--json");
      const Outcome run = inspect(files, args);
      EXPECT_EQ(run.status, kBadFile) << c.what;
      EXPECT_EQ(run.err.rfind("scenario_inspect: " + c.path + ": ", 0), 0u) << run.err;
      EXPECT_NE(run.err.find(c.expected), std::string::npos) << c.what << ": " << run.err;
      if (json) {
        EXPECT_TRUE(is_valid_json(run.out)) << c.what << ": " << run.out;
      }
    }
  }
}

TEST_F(InspectBuiltIn, FilesThatAreNoCompiledFilesAreRefused) {
  MemoryFileSystem files = copy();
  files.files["/scenario/notes.txt"] = "text";
  struct Case {
    std::string path;
    std::string expected;
  } cases[] = {
      {"/scenario/notes.txt", "not a compiled scenario file"},
      {"/scenario/missing.sim", "open(/scenario/missing.sim)"},
  };
  for (const Case& c : cases) {
    const Outcome run = inspect(files, {c.path});
    EXPECT_EQ(run.status, kBadFile);
    EXPECT_NE(run.err.find(c.expected), std::string::npos) << run.err;
  }
}

TEST_F(InspectBuiltIn, OneBadFileDoesNotHideTheOthers) {
  MemoryFileSystem files = copy();
  files.files[kCells].pop_back();
  const Outcome run = inspect(files, {kCells, kStations});
  EXPECT_EQ(run.status, kBadFile);
  EXPECT_NE(run.out.find("entry 9 at 16350 m: PRATO"), std::string::npos);
  EXPECT_NE(run.err.find(kCells), std::string::npos);
}

TEST_F(InspectBuiltIn, ChangedNamesShowAsCodeMismatches) {
  MemoryFileSystem files = copy();
  std::string& stations = files.files[kStations];
  stations.replace(stations.find("Sarvena_Lucredo"), 7, "Sarvana");
  const Outcome run = inspect(files, {kCells, kStations});
  EXPECT_EQ(run.status, kInspected);
  EXPECT_NE(run.out.find("og code check DIFFERS"), std::string::npos);
  EXPECT_NE(run.out.find("st code check DIFFERS"), std::string::npos);
  EXPECT_NE(run.out.find("  st code 33012 differs from "), std::string::npos);
}

TEST(InspectProgram, UsageErrorsEndWithStatus2) {
  const std::vector<std::vector<std::string>> cases = {
      {}, {"--bogus"}, {"--svg"}, {"--svg", "out.svg"}, {"--dir", "x", "a.dat"},
      {"--svg", "out.svg", "--dir", "x", "a.dat"}};
  for (const auto& args : cases) {
    MemoryFileSystem files;
    const Outcome run = inspect(files, args);
    EXPECT_EQ(run.status, kUsageError) << (args.empty() ? "" : args[0]);
    EXPECT_NE(run.err.find("(see --help)"), std::string::npos);
  }
  MemoryFileSystem files;
  const Outcome help = inspect(files, {"--help"});
  EXPECT_EQ(help.status, kInspected);
  EXPECT_NE(help.out.find("--svg OUT.svg --dir DIR"), std::string::npos);
}

// ---- The picture ----------------------------------------------------------

TEST_F(InspectBuiltIn, PictureIsWellFormedAndNamesTheStations) {
  MemoryFileSystem files = copy();
  const Outcome run = inspect(files, {"--svg", "/pictures/line.svg", "--dir", kDir});
  ASSERT_EQ(run.status, kInspected) << run.err;
  const std::string& svg = files.files.at("/pictures/line.svg");
  std::string why;
  EXPECT_TRUE(is_well_formed_xml(svg, why)) << why;
  EXPECT_NE(svg.find(">Route Sarvena_Lucredo, train 20573-2</text>"), std::string::npos);
  const auto stations = decode_station_file(files.files.at(kStations));
  ASSERT_TRUE(stations);
  for (int i = 1; i <= 19; ++i) {
    const std::string name = xml_escaped(stations.value()[i].name);
    EXPECT_NE(svg.find(">" + name + "</text>"), std::string::npos) << name;
  }
  for (const char* label : {"gradient (\u2030", "line speed (km/h", "position along the line (km)",
                            "x (km)", "montagna type 1", "slowdown 30 km/h"}) {
    EXPECT_NE(svg.find(label), std::string::npos) << label;
  }
}

TEST_F(InspectBuiltIn, PictureNeedsAllThreeFiles) {
  MemoryFileSystem files = copy();
  files.files.erase(kPlan);
  const Outcome run = inspect(files, {"--svg", "/pictures/line.svg", "--dir", kDir});
  EXPECT_EQ(run.status, kBadFile);
  EXPECT_NE(run.err.find(kPlan), std::string::npos) << run.err;
  EXPECT_EQ(files.files.count("/pictures/line.svg"), 0u);
}

// Damaged files that still have their shape, and random bytes of any
// shape: every run ends with status 0 or 1, valid JSON and a well-formed
// picture.
TEST_F(InspectBuiltIn, DamagedFilesNeverBreakTheOutput) {
  std::mt19937 random(20573);
  for (int round = 0; round < 60; ++round) {
    MemoryFileSystem files = copy();
    std::string& cells = files.files[kCells];
    std::string& stations = files.files[kStations];
    for (int k = 0; k < 40; ++k) cells[random() % cells.size()] = static_cast<char>(random());
    for (int k = 0; k < 3; ++k) {
      stations[random() % stations.size()] = static_cast<char>(random());
    }
    // A short plan of random points, some of them huge, NaN or unset.
    std::string plan;
    const int points = static_cast<int>(random() % 40);
    for (int block = 0; block < 2; ++block) {
      for (int i = 0; i < points; ++i) {
        const uint16_t tag = std::array<uint16_t, 3>{0, 2, 5}[random() % 3];
        plan.append(reinterpret_cast<const char*>(&tag), 2);
        if (tag == 2) plan.append(2, static_cast<char>(random()));
        if (tag == 5) {
          const double v = std::array<double, 4>{1e300, -3.5, std::nan(""), 12345.0}[random() % 4] *
                           static_cast<double>(random() % 7);
          plan.append(reinterpret_cast<const char*>(&v), 8);
        }
      }
    }
    files.files[kPlan] = plan;

    const Outcome json = inspect(files, {"--json", kCells, kStations, kPlan});
    EXPECT_TRUE(json.status == kInspected || json.status == kBadFile);
    EXPECT_TRUE(is_valid_json(json.out)) << json.out.substr(0, 500);
    const Outcome picture = inspect(files, {"--svg", "/p.svg", "--dir", kDir});
    if (picture.status == kInspected) {
      std::string why;
      EXPECT_TRUE(is_well_formed_xml(files.files.at("/p.svg"), why)) << why;
    } else {
      EXPECT_EQ(picture.status, kBadFile);
    }
  }
}

// The executable itself: the exit status a script sees.
TEST(InspectProgram, ExecutableReportsABadFileWithStatus1) {
  TempDir dir;
  const std::string path = dir.file("Sarvena_Lucredo_20573-2.dat");
  write_file_bytes(path, std::string(15 * 3 + 4, '\0'));
  const std::string err = dir.file("err");
  const std::string command =
      "'" + std::string(SCENARIO_INSPECT_EXE) + "' '" + path + "' >/dev/null 2>'" + err + "'";
  const int raw = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(raw));
  EXPECT_EQ(WEXITSTATUS(raw), 1);
  EXPECT_EQ(read_file_bytes(err), "scenario_inspect: " + path +
                                      ": offset 48: cell 3: value2 needs 2 bytes, 1 left\n");
}

}  // namespace
}  // namespace sb::inspect
