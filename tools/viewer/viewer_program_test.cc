#include "tools/viewer/viewer_program.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>
#include <pugixml.hpp>

#include "base/file_names.h"
#include "base/shown_text.h"
#include "base/windows_1252.h"
#include "driver/run.h"
#include "output/compiled_layout.h"
#include "platform/posix_platform.h"
#include "testing/fake_platform.h"
#include "testing/temp_dir.h"

namespace sb::inspect {
namespace {

using Json = nlohmann::ordered_json;

const std::string kDir = "/scenario";
const std::string kCells = kDir + "/Sarvena_Lucredo_20573-2.dat";
const std::string kStations = kDir + "/Sarvena_Lucredo_20573-2.sim";
const std::string kPlan = kDir + "/Sarvena_Lucredo_linea.dat";

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// The names in `dir` of a file system in memory.
FolderListing memory_listing(MemoryFileSystem& files) {
  return [&files](const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& [path, content] : files.files) {
      if (path.rfind(dir + "/", 0) == 0 && path.find('/', dir.size() + 1) == std::string::npos) {
        names.push_back(path.substr(dir.size() + 1));
      }
    }
    return names;
  };
}

Outcome inspect(MemoryFileSystem& files, const std::vector<std::string>& args) {
  Outcome run;
  run.status = run_inspect(files, args, run.out, run.err, memory_listing(files));
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

// The --json output read back; a discarded value when it is no JSON.
Json parsed_json(const std::string& text) { return Json::parse(text, nullptr, false); }

// The entry of a listing's section whose "index" is `index`.
Json entry_at(const Json& listing, const char* section, int index) {
  for (const Json& entry : listing["sections"][section]) {
    if (entry["index"] == index) return entry;
  }
  ADD_FAILURE() << "no entry " << index << " in " << section;
  return Json::object();
}

// The picture read back, and the text of each of its <text> elements.
struct Picture {
  pugi::xml_document document;
  pugi::xml_parse_result parsed;
  std::vector<std::string> texts;
};

std::unique_ptr<Picture> read_picture(const std::string& svg) {
  auto picture = std::make_unique<Picture>();
  picture->parsed = picture->document.load_buffer(svg.data(), svg.size());
  for (const pugi::xpath_node& node : picture->document.select_nodes("//text")) {
    picture->texts.push_back(node.node().text().get());
  }
  return picture;
}

bool has_text(const Picture& picture, const std::string& text) {
  return std::find(picture.texts.begin(), picture.texts.end(), text) != picture.texts.end();
}

bool has_text_starting(const Picture& picture, const std::string& start) {
  return std::any_of(picture.texts.begin(), picture.texts.end(),
                     [&](const std::string& text) { return text.rfind(start, 0) == 0; });
}

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
      "cell 8 at 350 m  approach mark 1 of 4, 50 m before the stop marker at 400 m",
      "cell 9 at 400 m: stop_marker  station 1, station name SARVENA S.M.N.",
      "cell 20 at 950 m  approach mark 1 of 4, 100 m before the signal at 1050 m",
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
  const Json listings = parsed_json(run.out);
  ASSERT_TRUE(listings.is_array()) << run.out.substr(0, 2000);
  ASSERT_EQ(listings.size(), 3u);
  const Json& cells = listings[0];
  const Json& stations = listings[1];
  const Json& plan = listings[2];
  std::vector<std::string> keys;
  for (const auto& item : cells.items()) keys.push_back(item.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"file", "type", "summary", "sections", "notes"}));
  EXPECT_EQ(cells["file"], kCells);
  EXPECT_EQ(cells["type"], "cell file");
  EXPECT_EQ(cells["summary"]["cell_count"], 2080);
  EXPECT_EQ(cells["notes"], Json::array());

  const Json& header = cells["sections"]["header"][0];
  EXPECT_EQ(header["og_code"], 2271);
  EXPECT_EQ(header["recomputed_og_code"], 2271);
  EXPECT_EQ(header["og_code_check"], "matches");
  const Json board = entry_at(cells, "objects", 21);
  EXPECT_EQ(board["kind"], "speed_board");
  EXPECT_EQ(board["side_s_speeds_kmh"], Json({105, 115, 120}));
  EXPECT_EQ(board["raw"]["value1"], 2100);  // a raw field the text leaves out
  const Json stop = entry_at(cells, "objects", 9);
  EXPECT_EQ(stop["kind"], "stop_marker");
  EXPECT_EQ(stop["station_name"], "SARVENA S.M.N.");
  EXPECT_EQ(cells["sections"]["profile_runs"][0]["gradient_per_mille"], 2);

  EXPECT_EQ(stations["type"], "station file");
  EXPECT_EQ(entry_at(stations, "header_entries", 84)["line_length_m"], 97000);
  const Json& codes = stations["sections"]["competition_codes"][0];
  EXPECT_EQ(codes["st_code"], 33012);
  EXPECT_EQ(codes["recomputed_st_code"], 33012);
  EXPECT_EQ(entry_at(stations, "stations", 9)["platform_m"], Json({16100, 16650}));

  EXPECT_EQ(plan["sections"]["element_states"][0]["float64"], 103997);
  EXPECT_EQ(plan["sections"]["kilometre_points"][1]["y_m"], 1000.0);
}

// Names are Windows-1252 in the files and UTF-8 in the JSON; a file name
// that is no UTF-8 still gives JSON.
TEST_F(InspectBuiltIn, JsonTextsAreUtf8) {
  MemoryFileSystem files = copy();
  std::string& stations = files.files[kStations];
  stations[stations.find("PRATO") + 2] = '\xC8';
  const std::string odd_name = kDir + "/caf\xE9.sim";
  const Outcome run = inspect(files, {"--json", kStations, odd_name});
  EXPECT_EQ(run.status, kBadFile);
  const Json listings = parsed_json(run.out);
  ASSERT_TRUE(listings.is_array()) << run.out.substr(0, 2000);
  ASSERT_EQ(listings.size(), 2u);
  EXPECT_EQ(entry_at(listings[0], "stations", 9)["name"], "PR\u00c8TO");
  EXPECT_EQ(listings[1]["file"], kDir + "/caf\uFFFD.sim");
  EXPECT_TRUE(listings[1]["error"]["message"].is_string());
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

// The --json output for one bad file: the file, and its error as the
// error line gives it ("offset N: message").
void expect_json_error(const std::string& out, const std::string& path,
                       const std::string& expected, const char* what) {
  const Json listings = parsed_json(out);
  ASSERT_TRUE(listings.is_array() && listings.size() == 1u) << what << ": " << out;
  const Json& listing = listings[0];
  EXPECT_EQ(listing["file"], path) << what;
  const Json& error = listing["error"];
  std::string line = error["message"].get<std::string>();
  if (error.contains("offset")) {
    line = "offset " + std::to_string(error["offset"].get<size_t>()) + ": " + line;
  }
  EXPECT_NE(line.find(expected), std::string::npos) << what << ": " << line;
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
      if (json) expect_json_error(run.out, c.path, c.expected, c.what);
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
  struct Case {
    std::vector<std::string> args;
    std::string message;  // after "scenario_inspect: ", before " (see --help)"
  } cases[] = {
      {{}, "no file given"},
      {{"--json"}, "no file given"},
      {{"--bogus"}, "unknown option --bogus"},
      {{"--jsno", "a.dat"}, "unknown option --jsno (did you mean --json?)"},
      {{"a.dat", "-x"}, "unknown option -x"},
      {{"-5"}, "unknown option -5"},
      {{"--help", "--bogus"}, "unknown option --bogus"},
      {{"--svg"}, "option --svg needs a value"},
      {{"a.dat", "--number"}, "option --number needs a value"},
      {{"--svg", "out.svg"}, "--svg and --html need --dir DIR"},
      {{"--html", "out.html"}, "--svg and --html need --dir DIR"},
      {{"--svg", "--dir", "vout"}, "--svg needs its output FILE (--svg FILE), got --dir"},
      {{"--dir", "vout", "--html", "--svg", "p.svg"},
       "--html needs its output FILE (--html FILE), got --svg"},
      {{"--html"}, "option --html needs a value"},
      {{"--dir", "x", "a.dat"}, "--dir only goes with --svg, --html or --descriptions"},
      {{"--descriptions", "w"}, "--descriptions needs --dir DIR"},
      {{"--descriptions", "w", "--dir", "x", "a.dat"}, "--descriptions takes no FILE arguments"},
      {{"--descriptions", "--dir", "x"},
       "--descriptions needs its output folder (--descriptions OUTDIR), got --dir"},
      {{"--svg", "p.svg", "--dir", "x", "--descriptions", "w"},
       "--descriptions does not go with --svg or --html"},
      {{"--svg", "out.svg", "--dir", "x", "a.dat"}, "--svg and --html take no FILE arguments"},
      {{"--svg", "out.svg", "--dir", "x", "--json"}, "no file given"},
      // --route and --number are checked as the builder checks them: nothing
      // is written outside the output folder.
      {{"--descriptions", "w", "--dir", "in", "--route", "../victim/V", "--number", "9"},
       "option --route names files: its value may not hold / \\ : * ? \" < > |, control "
       "characters or DEL"},
      {{"--svg", "p.svg", "--dir", "in", "--number", "9\x7F"},
       "option --number names files: its value may not hold / \\ : * ? \" < > |, control "
       "characters or DEL"},
      {{"--html", "p.html", "--dir", "in", "--route", std::string(300, 'r')},
       "option --route names files: its value may be at most 211 bytes long here, as the "
       "longest file name of a run adds 44 bytes to it and the system allows 255 (300 given)"},
      {{"--bogus\x1B[2J"}, "unknown option --bogus\\x1B[2J"},
      // What a watch takes, and what it refuses.
      {{"--watch"}, "--watch needs --line FILE or --train FILE (or both): the descriptions it "
                    "watches"},
      {{"--watch", "--dir", "out"}, "--watch needs --line FILE or --train FILE (or both): the "
                                    "descriptions it watches"},
      {{"--watch", "--line", "l.txt", "--keep-going"},
       "--watch does not go with --keep-going: a watched build with a problem writes nothing, "
       "and the last good build stays"},
      {{"--watch", "--train", "t.txt", "--html", "p.html"}, "--watch does not go with --html"},
      {{"--json", "--watch", "--train", "t.txt"}, "--watch does not go with --json"},
      {{"--watch", "--train", "t.txt", "a.dat"}, "--watch takes no FILE arguments"},
      {{"--line", "l.txt", "a.dat"}, "--line only goes with --watch"},
      {{"--serve", "8080", "a.dat"}, "--serve only goes with --watch"},
      {{"--strict", "a.dat"}, "--strict only goes with --watch"},
      {{"--keep-going", "a.dat"}, "unknown option --keep-going"},
      {{"--watch", "--line", "l.txt", "--serve", "65536"},
       "--serve takes a port number from 1 to 65535 (or none, for a free port), got 65536"},
      {{"--watch", "--line", "l.txt", "--serve", "0"},
       "--serve takes a port number from 1 to 65535 (or none, for a free port), got 0"},
      {{"--watch", "--line", "l.txt", "--serve", "http"},
       "--serve takes a port number from 1 to 65535 (or none, for a free port), got http"},
      {{"--watch", "--line", "l.txt", "--route", "../x"},
       "option --route names files: its value may not hold / \\ : * ? \" < > |, control "
       "characters or DEL"},
  };
  for (const Case& c : cases) {
    MemoryFileSystem files;
    const Outcome run = inspect(files, c.args);
    EXPECT_EQ(run.status, kUsageError) << c.message;
    EXPECT_EQ(run.err, "scenario_inspect: " + c.message + " (see --help)\n");
    EXPECT_EQ(run.out, "");
  }
}

TEST(InspectProgram, HelpPrintsTheUsage) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"}, {"-h"}, {"a.dat", "--json", "-h"}}) {
    MemoryFileSystem files;
    const Outcome help = inspect(files, args);
    EXPECT_EQ(help.status, kInspected);
    EXPECT_EQ(help.out, inspect_usage());
    EXPECT_EQ(help.err, "");
  }
  EXPECT_NE(inspect_usage().find("--svg OUT.svg --dir DIR"), std::string::npos);
  EXPECT_NE(inspect_usage().find("--html OUT.html --dir DIR"), std::string::npos);
}

TEST(InspectProgram, VersionPrintsTheProgramAndItsVersion) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--version"}, {"a.dat", "--version"}, {"-h", "--version"}}) {
    MemoryFileSystem files;
    const Outcome run = inspect(files, args);
    EXPECT_EQ(run.status, kInspected);
    EXPECT_EQ(run.out, std::string("scenario_inspect ") + SCENARIO_VERSION + "\n");
    EXPECT_EQ(run.err, "");
  }
}

// A folder another run holds makes the program wait, and it says so while
// it waits: here saying it lets the holder go, so a program that said it
// only after the wait would wait out its whole bound and give up.
TEST(InspectProgram, SaysWhileItWaitsForAHeldFolder) {
  TempDir dir;
  class LettingGo : public PosixPlatform {
   public:
    explicit LettingGo(LockAttempt holder) : PosixPlatform(nullptr), holder_(std::move(holder)) {}
    void report(const std::string& line) override {
      reports.push_back(line);
      holder_.hold.reset();
    }
    std::vector<std::string> reports;

   private:
    LockAttempt holder_;
  };
  DiskFileSystem disk;
  LockAttempt holder = disk.try_lock_folder(dir.path(), LockMode::exclusive);
  ASSERT_EQ(holder.outcome, LockAttempt::taken);
  LettingGo platform(std::move(holder));
  const std::vector<std::string> args = {"--descriptions", dir.file("out"), "--dir", dir.path()};
  run_inspect_program(platform, args);
  ASSERT_FALSE(platform.reports.empty());
  EXPECT_EQ(platform.reports[0],
            "scenario_inspect: waiting for a run in " + dir.path() + " to end");
  for (const std::string& line : platform.reports) {
    EXPECT_EQ(line.find("has not let it go"), std::string::npos) << line;
  }
}

// ---- The picture ----------------------------------------------------------

// The output files and the folder in any order; the scenario of a folder
// found without --route and --number when it is the only one there.
TEST_F(InspectBuiltIn, OutputsAndTheFolderInAnyOrder) {
  const std::string other = "/other";
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> written;
    int status;
    std::string err;  // a part of standard error
  } cases[] = {
      {{"--svg", "/a.svg", "--dir", kDir}, {"/a.svg"}, kInspected, ""},
      {{"--dir", kDir, "--html", "/a.html"}, {"/a.html"}, kInspected, ""},
      {{"--html", "/a.html", "--dir", kDir, "--svg", "/a.svg"}, {"/a.html", "/a.svg"}, kInspected, ""},
      {{"--dir", kDir, "--route", "Sarvena_Lucredo", "--svg", "/a.svg"}, {"/a.svg"}, kInspected, ""},
      {{"--number", "7", "--dir", kDir, "--svg", "/a.svg"}, {}, kBadFile,
       "/scenario: no built scenario here"},
      {{"--dir", "/empty", "--svg", "/a.svg"}, {}, kBadFile, "/empty: no built scenario here"},
      {{"--dir", other, "--svg", "/a.svg"}, {}, kBadFile,
       "/other: 2 scenarios here; choose one with --route and --number:\n"
       "  --route A_B --number 1\n  --route Sarvena_Lucredo --number 20573-2\n"},
      {{"--dir", other, "--number", "1", "--svg", "/a.svg"}, {"/a.svg"}, kInspected, ""},
  };
  for (const Case& c : cases) {
    MemoryFileSystem files = copy();
    for (const std::string& path : {kCells, kStations, kPlan}) {
      files.files[other + path.substr(kDir.size())] = files.files.at(path);
    }
    // "A_B_1" fits the routes "A" and "A_B"; only "A_B" has a plan file.
    files.files[other + "/A_B_1.dat"] = files.files.at(kCells);
    files.files[other + "/A_B_1.sim"] = files.files.at(kStations);
    files.files[other + "/A_B_linea.dat"] = files.files.at(kPlan);
    files.files[other + "/A_1.sim"] = files.files.at(kStations);  // no cell file beside
    const Outcome run = inspect(files, c.args);
    const std::string what = ::testing::PrintToString(c.args);
    EXPECT_EQ(run.status, c.status) << what << run.err;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << what << run.err;
    for (const std::string& path : c.written) EXPECT_EQ(files.files.count(path), 1u) << what;
    if (c.written.empty()) {
      EXPECT_EQ(files.files.count("/a.svg"), 0u) << what;
    }
  }
}

TEST_F(InspectBuiltIn, PictureIsWellFormedAndNamesTheStations) {
  MemoryFileSystem files = copy();
  const Outcome run = inspect(files, {"--svg", "/pictures/line.svg", "--dir", kDir});
  ASSERT_EQ(run.status, kInspected) << run.err;
  const auto picture = read_picture(files.files.at("/pictures/line.svg"));
  ASSERT_TRUE(picture->parsed) << picture->parsed.description();
  EXPECT_STREQ(picture->document.document_element().name(), "svg");
  EXPECT_TRUE(has_text(*picture, "Route Sarvena_Lucredo, train 20573-2"));
  const auto stations = decode_station_file(files.files.at(kStations));
  ASSERT_TRUE(stations);
  for (int i = 1; i <= 19; ++i) {
    const std::string name = windows_1252_to_utf8(stations.value()[i].name);
    EXPECT_TRUE(has_text(*picture, name)) << name;
  }
  for (const char* label : {"gradient (\u2030", "line speed (km/h", "position along the line (km)",
                            "x (km)", "montagna type 1", "slowdown 30 km/h"}) {
    EXPECT_TRUE(has_text_starting(*picture, label)) << label;
  }
}

// Renderers differ on dash patterns, halos, opacity, patterns and turned
// text; one of them gives a text without its own font and outline a
// fallback font drawn outlined, and strokes a stray chord across a picture
// whose size is not a whole number of pixels. The picture uses none of
// those.
void expect_drawn_alike_by_renderers(const std::string& svg) {
  const auto picture = read_picture(svg);
  ASSERT_TRUE(picture->parsed);
  const pugi::xml_node root = picture->document.document_element();
  for (const char* size : {"width", "height"}) {
    const double value = root.attribute(size).as_double();
    EXPECT_EQ(value, std::round(value)) << size;
  }
  size_t dashed = 0;
  for (const pugi::xpath_node& node : picture->document.select_nodes("//*")) {
    const pugi::xml_node element = node.node();
    for (const char* attribute : {"stroke-dasharray", "paint-order", "opacity", "fill-opacity",
                                  "stroke-opacity", "transform", "filter", "style"}) {
      EXPECT_FALSE(element.attribute(attribute)) << element.name() << " has " << attribute;
    }
    EXPECT_STRNE(element.name(), "pattern");
    if (std::string_view(element.name()) == "text") {
      EXPECT_STREQ(element.attribute("font-family").value(), "DejaVu Sans");
      EXPECT_STREQ(element.attribute("stroke").value(), "none");
    }
    if (std::string_view(element.name()) == "path") ++dashed;
  }
  // At least the zero gradient, the adhesion and the legend's adhesion:
  // dashes drawn as pieces.
  EXPECT_GE(dashed, 3u);
}

TEST_F(InspectBuiltIn, PictureUsesOnlyWhatRenderersDrawAlike) {
  MemoryFileSystem files = copy();
  ASSERT_EQ(inspect(files, {"--svg", "/p.svg", "--dir", kDir}).status, kInspected);
  expect_drawn_alike_by_renderers(files.files.at("/p.svg"));
}

// A short line drawn turned, whose plan frame is no whole number of pixels
// high.
// The short line is turned in the picture and on the page alike, and both
// show its two curves: the picture as steps of its curvature, the page from
// the rows that lay them.
TEST(InspectProgram, PictureOfAShortLineUsesOnlyWhatRenderersDrawAlike) {
  FakePlatform platform;
  platform.directory = kDir;
  platform.files.files[kDir + "/line.txt"] =
      "[generale]\r\nlunghezza percorso, 24000\r\n[curve]\r\ncurvad2, 3000, 1500\r\n"
      "curvas3, 9000, 800\r\n[pendenze]\r\npendenza, 4000, 12\r\n[fine]\r\n";
  platform.files.files[kDir + "/train.txt"] =
      "[generale]\r\nnumero vetture, 5\r\n[stazioni]\r\n"
      "stazione, 500, 2, 300, 1,0,0, 4,1,1, 2,1,1, 30, 8,0,0, MONTE ALTO\r\n"
      "stazione, 16000, 28, 200, 0,0,0, 0,0,0, 0,0,0, 0, 0,0,0, BIVIO NORD\r\n[fine]\r\n";
  // --keep-going: a train without a station is otherwise refused.
  ASSERT_EQ(run_program(platform, std::vector<std::string>{"--line", kDir + "/line.txt",
                                                           "--train", kDir + "/train.txt",
                                                           "--keep-going"}),
            kBuilt);
  ASSERT_EQ(inspect(platform.files, {"--svg", "/p.svg", "--html", "/p.html", "--dir", kDir}).status,
            kInspected);
  const std::string& svg = platform.files.files.at("/p.svg");
  EXPECT_NE(svg.find("the plan is turned"), std::string::npos);
  expect_drawn_alike_by_renderers(svg);
  const auto picture = read_picture(svg);
  ASSERT_TRUE(picture->parsed);
  // Three levels: the straight track's axis, one step off it for the right
  // curve (class 2), another for the left curve (class 3).
  const pugi::xml_node curvature =
      picture->document.select_node("//polyline[@stroke='#00838f']").node();
  ASSERT_TRUE(curvature);
  std::set<std::string> levels;
  std::istringstream points(curvature.attribute("points").value());
  for (std::string point; points >> point;) levels.insert(point.substr(point.find(',') + 1));
  EXPECT_EQ(levels.size(), 3u) << curvature.attribute("points").value();

  const std::string& html = platform.files.files.at("/p.html");
  const std::string open = "<script type=\"application/json\" id=\"scenario-data\">";
  const size_t from = html.find(open) + open.size();
  const Json data = parsed_json(html.substr(from, html.find("</script>", from) - from));
  ASSERT_FALSE(data.is_discarded());
  EXPECT_EQ(data["plan_turned"], true);
  EXPECT_EQ(data["rows"]["curva"], Json::array({"curvad2,  3000,  1500", "curvas3,  9000,  800"}));
}

// --route and --number choose the files of the folder to draw; the title
// keeps the names the files carry.
TEST_F(InspectBuiltIn, PictureOfAnotherRouteAndTrain) {
  MemoryFileSystem built_files = copy();
  MemoryFileSystem files;
  files.files[kDir + "/Other_Line_42.dat"] = built_files.files.at(kCells);
  files.files[kDir + "/Other_Line_42.sim"] = built_files.files.at(kStations);
  files.files[kDir + "/Other_Line_linea.dat"] = built_files.files.at(kPlan);
  EXPECT_EQ(inspect(files, {"--svg", "/p.svg", "--dir", kDir, "--number", "20573-2"}).status,
            kBadFile);
  const Outcome run = inspect(
      files, {"--route", "Other_Line", "--svg", "/p.svg", "--number", "42", "--dir", kDir});
  ASSERT_EQ(run.status, kInspected) << run.err;
  const auto picture = read_picture(files.files.at("/p.svg"));
  ASSERT_TRUE(picture->parsed) << picture->parsed.description();
  EXPECT_TRUE(has_text(*picture, "Route Sarvena_Lucredo, train 20573-2"));
}

TEST_F(InspectBuiltIn, PictureNeedsAllThreeFiles) {
  MemoryFileSystem files = copy();
  files.files.erase(kPlan);
  const Outcome run = inspect(files, {"--svg", "/pictures/line.svg", "--dir", kDir, "--route",
                                      "Sarvena_Lucredo", "--number", "20573-2"});
  EXPECT_EQ(run.status, kBadFile);
  EXPECT_NE(run.err.find(kPlan), std::string::npos) << run.err;
  EXPECT_EQ(files.files.count("/pictures/line.svg"), 0u);
}

// The page holds everything it shows: no file or address outside it, and
// its data object reads back whatever the names hold.
TEST_F(InspectBuiltIn, PageIsSelfContainedAndCarriesTheData) {
  MemoryFileSystem files = copy();
  auto stations = decode_station_file(files.files.at(kStations));
  ASSERT_TRUE(stations);
  stations.value()[9].name = "PRATO</script><!--";
  files.files[kStations] = encode_station_file(stations.value());
  ASSERT_EQ(inspect(files, {"--html", "/p.html", "--dir", kDir}).status, kInspected);
  const std::string& page = files.files.at("/p.html");
  for (const char* outside : {"src=", "href=", "@import", "url(h", "fetch(", "XMLHttpRequest"}) {
    EXPECT_EQ(page.find(outside), std::string::npos) << outside;
  }
  const std::string open = "<script type=\"application/json\" id=\"scenario-data\">";
  const size_t from = page.find(open) + open.size();
  const size_t to = page.find("</script>", from);
  ASSERT_NE(to, std::string::npos);
  const Json data = parsed_json(page.substr(from, to - from));
  ASSERT_FALSE(data.is_discarded());
  EXPECT_EQ(data["title"], "Route Sarvena_Lucredo, train 20573-2");
  EXPECT_EQ(data["stations"]["sections"]["stations"][8]["name"], "PRATO</script><!--");
  EXPECT_EQ(data["line_length_m"], 97000);
  // One plan point every 50 m up to the plan's end.
  const Json& track = data["track"];
  ASSERT_GT(track.size(), 1940u);
  EXPECT_EQ(track[1][0], 50);
  EXPECT_EQ(track[1940][0], 97000);
  EXPECT_EQ(data["plan_turned"], false);
  // The rows of the tables, as the descriptions write them.
  const Json& rows = data["rows"];
  EXPECT_EQ(rows["segnale"].size(), 44u);
  EXPECT_EQ(rows["segnale"][0], "segnale,    1050,   2, 5, 1,  0, 0,    0,  0,0,0, 0");
  EXPECT_EQ(rows["rallentamento"], Json::array({"rallentamento,   29000,    30,  600, 0,  0,  30"}));
  EXPECT_EQ(rows["indicatori_vmax"].size(), 23u);
  EXPECT_EQ(rows["montagna"].size(), 28u);
  EXPECT_EQ(rows["curva"].size(), 51u);
  EXPECT_EQ(rows["abbattimento"].size(), 0u);
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
    EXPECT_FALSE(parsed_json(json.out).is_discarded()) << json.out.substr(0, 500);
    const Outcome picture = inspect(files, {"--svg", "/p.svg", "--dir", kDir});
    if (picture.status == kInspected) {
      const auto read = read_picture(files.files.at("/p.svg"));
      EXPECT_TRUE(read->parsed) << read->parsed.description();
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

// A scenario without stations, or whose plan stops short of its line, is
// still drawn, with a note in the picture and a warning on the error stream.
TEST(InspectProgram, ABrokenScenarioIsDrawnWithAWarning) {
  FakePlatform platform;
  platform.directory = kDir;
  platform.files.files[kDir + "/line.txt"] =
      "[generale]\r\nlunghezza percorso, 30000\r\n[fine]\r\n";
  platform.files.files[kDir + "/train.txt"] = "[generale]\r\nsabbia, 300\r\n[fine]\r\n";
  // --keep-going: a train without a station is otherwise refused.
  ASSERT_EQ(run_program(platform, std::vector<std::string>{"--line", kDir + "/line.txt",
                                                           "--train", kDir + "/train.txt",
                                                           "--keep-going"}),
            kBuilt);
  const Outcome full = inspect(platform.files, {"--svg", "/full.svg", "--dir", kDir});
  EXPECT_EQ(full.status, 0);
  EXPECT_NE(full.err.find("the station table holds no station"), std::string::npos) << full.err;
  EXPECT_NE(platform.files.files.at("/full.svg").find("Warning: the station table holds no station"),
            std::string::npos);
  EXPECT_EQ(full.err.find("the plan covers"), std::string::npos) << full.err;

  // A line reader stopped by a bad row leaves the plan unfinished; with
  // --keep-going the files are written as the model stands.
  platform.files.files[kDir + "/line.txt"] =
      "[generale]\r\nlunghezza percorso, 30000\r\n[pendenze]\r\npendenza, 1000, 200\r\n";
  ASSERT_EQ(run_program(platform, std::vector<std::string>{"--line", kDir + "/line.txt", "--train",
                                                           kDir + "/train.txt", "--keep-going"}),
            kBuiltWithProblem);
  const Outcome cut = inspect(platform.files, {"--svg", "/cut.svg", "--dir", kDir});
  EXPECT_NE(cut.err.find("the plan covers"), std::string::npos) << cut.status << cut.err;
}

}  // namespace
}  // namespace sb::inspect

namespace sb::inspect {
namespace {

// Whether text holds no control byte but line ends: nothing in it can act
// on a terminal. (Paths are shown as given, so the text need not be UTF-8.)
bool terminal_safe(const std::string& text) {
  return std::none_of(text.begin(), text.end(), [](char ch) {
    const auto c = static_cast<unsigned char>(ch);
    return (c < 0x20 && c != '\n') || c == 0x7F;
  });
}

// Every byte a Windows-1252 text may hold beyond ASCII, and every control
// byte, in the route name, the train number, the station names and the
// board texts of the built-in scenario. The builder refuses control bytes in
// names, so the files are written here directly. Every output parses, shows
// the names in UTF-8 and puts no raw control byte on the terminal.
TEST_F(InspectBuiltIn, AnyByteInNamesAndTextsGivesParsableOutput) {
  std::string high;
  for (int c = 0x80; c <= 0xFF; ++c) high += static_cast<char>(c);
  std::string controls;
  for (int c = 0x01; c < 0x20; ++c) controls += static_cast<char>(c);
  controls += '\x7F';
  const std::string route = "R" + high.substr(0, 64) + "\x1B[2J\x07";
  const std::string train = "N\xB0 7" + high.substr(64) + "\x01\x7F";

  MemoryFileSystem files;
  auto stations = decode_station_file(built().files.at(kStations));
  ASSERT_TRUE(stations);
  stations.value()[85].name = route;
  stations.value()[86].name = train;
  stations.value()[1].name = "A" + high;
  stations.value()[2].name = "B" + controls;
  stations.value()[80].name = "T" + controls + high;
  const std::string dir = "/any";
  files.files[dir + "/" + cell_file_name(route, train)] = built().files.at(kCells);
  files.files[dir + "/" + station_file_name(route, train)] = encode_station_file(stations.value());
  files.files[dir + "/" + plan_file_name(route)] = built().files.at(kPlan);

  for (const std::string& file : {cell_file_name(route, train), station_file_name(route, train),
                                  plan_file_name(route)}) {
    const Outcome listed = inspect(files, {dir + "/" + file});
    EXPECT_EQ(listed.status, kInspected) << listed.err;
    EXPECT_TRUE(terminal_safe(listed.out)) << file;
    EXPECT_TRUE(terminal_safe(listed.err)) << file;
    const Outcome json = inspect(files, {"--json", dir + "/" + file});
    EXPECT_EQ(json.status, kInspected);
    EXPECT_FALSE(parsed_json(json.out).is_discarded()) << file;
  }
  const std::string station_path = dir + "/" + station_file_name(route, train);
  const std::string listing = inspect(files, {station_path}).out;
  EXPECT_NE(listing.find(windows_1252_to_utf8(("A" + high).substr(0, 77)) + "..."),
            std::string::npos);
  EXPECT_NE(listing.find("B\\x01\\x02"), std::string::npos);
  const Json stations_json = parsed_json(inspect(files, {"--json", station_path}).out);
  ASSERT_TRUE(stations_json.is_array());
  EXPECT_EQ(entry_at(stations_json[0], "stations", 1)["name"], windows_1252_to_utf8("A" + high));
  EXPECT_EQ(entry_at(stations_json[0], "stations", 2)["name"],
            windows_1252_to_utf8("B" + controls));

  const Outcome picture = inspect(files, {"--svg", "/p.svg", "--dir", dir});
  EXPECT_EQ(picture.status, kInspected) << picture.err;
  EXPECT_TRUE(terminal_safe(picture.err));
  const auto svg = read_picture(files.files["/p.svg"]);
  EXPECT_TRUE(svg->parsed) << svg->parsed.description();
  EXPECT_TRUE(has_text_starting(*svg, windows_1252_to_utf8("A" + high.substr(0, 8))));

  const Outcome page = inspect(files, {"--html", "/p.html", "--dir", dir});
  EXPECT_EQ(page.status, kInspected) << page.err;
  const std::string& html = files.files["/p.html"];
  const std::string open = "<script type=\"application/json\" id=\"scenario-data\">";
  const size_t from = html.find(open) + open.size();
  const Json data = parsed_json(html.substr(from, html.find("</script>", from) - from));
  ASSERT_FALSE(data.is_discarded());
  EXPECT_EQ(data["stations"]["sections"]["stations"][0]["name"], windows_1252_to_utf8("A" + high));

  // The descriptions keep the names' bytes as they are, for the round trip.
  const Outcome recovered = inspect(files, {"--descriptions", "/work", "--dir", dir});
  EXPECT_TRUE(terminal_safe(recovered.out)) << recovered.out;
  EXPECT_TRUE(terminal_safe(recovered.err)) << shown_path(recovered.err);
  const std::string& train_text = files.files["/work/" + train_description_name(route, train)];
  EXPECT_NE(train_text.find("A" + high), std::string::npos);
}

// A folder where a build stopped while publishing may hold two builds'
// files: it is neither listed, drawn nor turned into descriptions.
TEST_F(InspectBuiltIn, AFolderWithAnInterruptedBuildIsNotShown) {
  MemoryFileSystem files = copy();
  files.files[kDir + "/scenario_builder.publishing"] = "scenario_builder publishing record\n";
  const std::vector<std::vector<std::string>> modes = {
      {kCells},
      {"--svg", "/out/line.svg", "--dir", kDir},
      {"--descriptions", "/work", "--dir", kDir},
  };
  for (const auto& args : modes) {
    const Outcome run = inspect(files, args);
    EXPECT_EQ(run.status, kBadFile) << args[0];
    EXPECT_EQ(run.err,
              "scenario_inspect: " + kDir +
                  ": holds an interrupted build (scenario_builder.publishing): its files may "
                  "come from two builds; the next build in this folder finishes it\n");
    EXPECT_TRUE(run.out.empty()) << run.out;
  }
  EXPECT_FALSE(files.exists("/out/line.svg"));
  EXPECT_FALSE(files.exists("/work/Sarvena_Lucredo_linea.txt"));
  // Nor read back for the page a watch serves.
  const auto read = read_built_scenario(files, kDir, "Sarvena_Lucredo", "20573-2");
  ASSERT_TRUE(std::holds_alternative<std::string>(read));
  EXPECT_NE(std::get<std::string>(read).find("holds an interrupted build"), std::string::npos);
}

}  // namespace
}  // namespace sb::inspect

namespace sb::inspect {
namespace {

// A plan of another build beside the cell and station files: drawn, with a
// warning on standard error and on the page, and status 0; not worked back
// into descriptions, for the same reason in the same words.
TEST_F(InspectBuiltIn, FilesOfDifferentBuildsAreDrawnWithAWarning) {
  MemoryFileSystem files = copy();
  // A plan for a line 100 m shorter: 100 points fewer in each block.
  auto decoded = decode_plan_file(files.files.at(kPlan));
  ASSERT_TRUE(decoded);
  PlanFile shorter = decoded.value();
  shorter.x.resize(shorter.x.size() - 100);
  shorter.y.resize(shorter.y.size() - 100);
  std::string encoded;
  for (const auto* block : {&shorter.x, &shorter.y}) {
    for (const PlanElement& e : *block) {
      char buffer[16];
      encoded.append(buffer, encode_plan_element(e, buffer));
    }
  }
  files.files[kPlan] = encoded;
  for (const char* option : {"--svg", "--html"}) {
    const Outcome run = inspect(files, {option, "/out", "--dir", kDir});
    EXPECT_EQ(run.status, kInspected) << option;
    EXPECT_NE(run.err.find("scenario_inspect: warning: the files are not of one build: the plan "
                           "holds 103901 points; the line length gives 104001"),
              std::string::npos)
        << run.err;
    EXPECT_NE(files.files["/out"].find("the files are not of one build"), std::string::npos);
  }
  const Outcome recovered = inspect(files, {"--descriptions", "/work", "--dir", kDir});
  EXPECT_EQ(recovered.status, kNotBuildable);
  EXPECT_NE(recovered.err.find("scenario_inspect: not a build of this program: the plan holds "
                               "103901 points; the line length gives 104001\n"),
            std::string::npos)
      << recovered.err;
}

}  // namespace
}  // namespace sb::inspect
