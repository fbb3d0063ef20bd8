// --check through the whole program, on descriptions in memory: what it
// lists, where, in which order, and that it writes nothing.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/line_list.h"
#include "driver/run.h"
#include "scenario/line_description.h"
#include "scenario/train_description.h"
#include "testing/case_names.h"
#include "testing/fake_platform.h"

namespace sb {
namespace {

const std::string kLine = "/work/l.txt";
const std::string kTrain = "/work/t.txt";

// The built-in descriptions with whole rows replaced: {line number, new
// text}, the new text possibly several lines.
struct Edit {
  int line;
  std::string text;
};

std::string edited(const std::string& text, const std::vector<Edit>& edits) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  for (const Edit& e : edits) lines.at(static_cast<size_t>(e.line - 1)) = e.text;
  std::string result;
  for (const std::string& line : lines) result += line + "\r\n";
  return result;
}

struct ProgramRun {
  int status;
  std::vector<std::string> reports;
};

// Runs the program on the built-in descriptions with the edits, as files
// of the author's.
ProgramRun run_with(const std::vector<Edit>& line_edits, const std::vector<Edit>& train_edits,
             std::vector<std::string> args = {"--check"}) {
  FakePlatform platform;
  platform.files.files[kLine] = edited(render_line_list(built_in_line_lines()), line_edits);
  platform.files.files[kTrain] = edited(render_line_list(built_in_train_lines()), train_edits);
  for (const std::string_view arg : {std::string_view("--line"), std::string_view(kLine),
                                     std::string_view("--train"), std::string_view(kTrain)}) {
    args.emplace_back(arg);
  }
  ProgramRun run{run_program(platform, args), platform.reports};
  return run;
}

struct MessageCase {
  const char* what;
  std::vector<Edit> line_edits;
  std::vector<Edit> train_edits;
  // Every line listed, without the program's name, then the count.
  std::vector<std::string> listed;
};

void PrintTo(const MessageCase& c, std::ostream* os) { *os << c.what; }

class CheckMessage : public ::testing::TestWithParam<MessageCase> {};

TEST_P(CheckMessage, NamesTheAuthorsFileLineAndColumn) {
  const MessageCase& c = GetParam();
  const ProgramRun run = run_with(c.line_edits, c.train_edits);
  std::vector<std::string> expected;
  int errors = 0;
  for (const std::string& line : c.listed) {
    expected.push_back("scenario_builder: " + line);
    if (line.find(": error: ") != std::string::npos) ++errors;
  }
  const int warnings = static_cast<int>(c.listed.size()) - errors;
  expected.push_back("scenario_builder: " + std::to_string(errors) +
                     (errors == 1 ? " error, " : " errors, ") + std::to_string(warnings) +
                     (warnings == 1 ? " warning" : " warnings"));
  EXPECT_EQ(run.reports, expected);
  EXPECT_EQ(run.status, errors > 0 ? kBuiltWithProblem : kBuilt);
}

const MessageCase kMessageCases[] = {
    {"unknown train key",
     {},
     {{40, "stazoine,    2600, 12,  400,  1, 0, 0,  4,1,1,  2,1,1,   30,  22, 0, 0, RIFREDI"}},
     {"/work/t.txt:40:1: warning: `stazoine` is no key of the train description: the row is "
      "ignored (did you mean `stazione`?)"}},
    {"unknown line key",
     {{64, "pendneza,  2000,   0"}},
     {},
     {"/work/l.txt:64:1: warning: `pendneza` is no key of the line description: the row is "
      "ignored (did you mean `pendenza`?)"}},
    {"general key with a capital",
     {{7, "Sfondo due,    1"}},
     {},
     {"/work/l.txt:7:1: warning: `Sfondo due` is no key of the line description: the row is "
      "ignored (did you mean `sfondo due`? Keys are matched with their case.)"}},
    {"train without general section",
     {},
     {{1, "[general]"}},
     {"/work/t.txt: error: the description could not be read: the train description has no "
      "field holding \"[generale]\": no row is read (the train has no stations, 0 cars and "
      "braked mass 0)"}},
    {"comma inside a station name",
     {},
     {{40, "stazione,    2600, 12,  400,  1, 0, 0,  4,1,1,  2,1,1,   30,  22, 0, 0, PONTE ALTO, "
           "BIVIO"}},
     {"/work/t.txt:40:1: warning: the row holds more values than `stazione` takes: `BIVIO` is "
      "read as further keys and ignored (a comma inside a name, or a decimal comma?)"}},
    {"decimal comma",
     {{64, "pendenza,  2000,   6,5"}},
     {},
     {"/work/l.txt:64:1: warning: the row holds more values than `pendenza` takes: `5` is read "
      "as further keys and ignored (a comma inside a name, or a decimal comma?)"}},
    {"row continued on the next line",
     {{64, "pendenza,  2000\r\n   0"}},
     {},
     {"/work/l.txt:64:1: warning: the row holds fewer values than `pendenza` takes: its last "
      "values are taken from line 65"}},
    {"number split at a blank",
     {},
     {{26, "velocita,     900,   1 15"}},
     {"/work/t.txt:26:22: warning: `1 15` in the `velocita` row is read as separate numbers (a "
      "number ends at a blank): the row's values shift; write one number, or separate the "
      "values with commas"}},
    {"row beyond the line's end",
     {},
     {{23, "aderenza,   97500,    100"}},
     {"/work/t.txt:23:1: warning: position 97500 of `aderenza` lies past the line's end at "
      "97000 m (`lunghezza percorso`): the row is placed in the 7000 m the model keeps beyond "
      "the end; past 103900 m it would be an error"}},
    {"terminus past the line's end",
     {},
     {{57, "stazione,   97600,  8,  600,  1, 1, 0,  1,1,0,  5,6,1,    0,  23,26, 0, LUCREDO C.LE"}},
     {"/work/t.txt:57:1: warning: position 97600 of `stazione` lies past the line's end at "
      "97000 m (`lunghezza percorso`): the row is placed in the 7000 m the model keeps beyond "
      "the end; past 103200 m it would be an error"}},
    {"curve past the line's end",
     {{61, "curvas4,  95500,  3000"}},
     {},
     {"/work/l.txt:61:1: warning: `curvas4` runs to 98500 m, past the line's end at 97000 m: it "
      "is laid into the 7000 m the model keeps beyond the end"}},
    {"signal off the grid",
     {},
     {{62, "segnale,    2020,   2, 3, 4,  0, 0,    1,  1,0,0, 0"}},
     {"/work/t.txt:62:1: warning: position 2020 of `segnale` is not a multiple of 50: the row "
      "takes effect at 2000 m"}},
    {"gradient out of order",
     {{129, "pendenza,  9600,   -1"}},
     {},
     {"/work/l.txt:129:1: warning: `pendenza` at 9600 m comes after the row at 95700 m (line "
      "128): the profile then differs from the file's order"}},
    {"UTF-8 station name",
     {},
     {{42, "stazione,    5200, 26,  400,  0, 0, 0,  0,0,0,  0,0,0,    0,   0, 0, 0, SARVENA "
           "CAST\xC3\x88LLO"}},
     {"/work/t.txt:42:73: warning: `SARVENA CAST\xC3\x88LLO` is written in UTF-8 and will show "
      "as `SARVENA CAST\xC3\x83\xCB\x86LLO`: save the description in Windows-1252 (the bytes "
      "are kept as they are)"}},
    {"line length given again",
     {{2, "lunghezza percorso,    50000\r\nlunghezza percorso,    97000"}},
     {},
     {"/work/l.txt:3:1: warning: `lunghezza percorso` is given again (first on line 2): the "
      "last one read sets the line's length"}},
    {"key of 100 KB",
     {{64, std::string(100000, 'k') + ",  2000,   0"}},
     {},
     {"/work/l.txt:64:1: warning: `" + std::string(77, 'k') +
      "...` is no key of the line description: the row is ignored"}},
    {"station name longer than an entry keeps",
     {},
     {{42, "stazione,    5200, 26,  400,  0, 0, 0,  0,0,0,  0,0,0,    0,   0, 0, 0, " +
               std::string(65536, 'N')}},
     {"/work/t.txt:42:73: warning: `" + std::string(77, 'N') +
      "...` has 65536 bytes: an entry keeps the first 65535, the station file has the rest cut "
      "off"}},
    {"implausible number of cars",
     {},
     {{2, "numero vetture,    80"}},
     {"/work/t.txt:2:1: warning: number of cars 80 of `numero vetture` is outside 1 to 30, what "
      "trains and lines use: it is taken as written"}},
    {"speed not a multiple of 5",
     {},
     {{26, "velocita,     900,   112"}},
     {"/work/t.txt:26:1: warning: speed 112 is not a multiple of 5: the cells keep 110 km/h"}},
    {"station off the grid",
     {},
     {{40, "stazione,    2610, 12,  400,  1, 0, 0,  4,1,1,  2,1,1,   30,  22, 0, 0, RIFREDI"}},
     {"/work/t.txt:40:14: error: a station position is not a multiple of 50: position 2610 "
      "(nearest allowed: 2600 or 2650)"}},
    {"signal on a taken cell",
     {},
     {{62, "segnale,    1050,   2, 3, 4,  0, 0,    1,  1,0,0, 0"}},
     {"/work/t.txt:62:13: error: a signal stands on a cell that is already taken: cell 22 "
      "(1050 m) already holds a signal, placed by line 61 of the train description"}},
    {"value that is not a number",
     {},
     {{9, "aderenza,    2000,    9x5"}},
     {"/work/t.txt:9:23: error: the description could not be read: not a number: \"9x5\""}},
    {"terminal escape in a value",
     {},
     {{9, "aderenza,    2000,    9\x1B[31mRED00"}},
     {"/work/t.txt:9:23: error: the description could not be read: not a number: "
      "\"9\\x1B[31mRED00\""}},
    {"key in Windows-1252 with a control byte",
     {{64, "pend\xE8nza\x07,  2000,   0"}},
     {},
     {"/work/l.txt:64:1: warning: `pend\u00E8nza\\x07` is no key of the line description: the "
      "row is ignored (did you mean `pendenza`?)"}},
    {"UTF-8 name with terminal escapes",
     {},
     {{42, "stazione,    5200, 26,  400,  0, 0, 0,  0,0,0,  0,0,0,    0,   0, 0, 0, "
           "\xC3\x88\x1B]0;title\x07\x1B[2J"}},
     {"/work/t.txt:42:73: warning: `\xC3\x88\\x1B]0;title\\x07\\x1B[2J` is written in UTF-8 "
      "and will show as `\xC3\x83\xCB\x86\\x1B]0;title\\x07\\x1B[2J`: save the description in "
      "Windows-1252 (the bytes are kept as they are)"}},
    {"row beyond the cells",
     {},
     {{104, "segnale,  103950,   2, 5, 1,  0, 0,    0,  0,0,0, 0"}},
     {"/work/t.txt:104:11: error: a row's position lies past the 7000 m the model keeps beyond "
      "the line's end: position 103950 of `segnale` is past 103900 m, the last a row may take "
      "on a line of 97000 m"}},
    {"board on a taken cell",
     {{186, "cartello_indicatore,  37200,   (VIADOTTO)(SETTA   )"}},
     {},
     {"/work/l.txt:186:23: error: an indication board stands on a cell that is already taken: "
      "cell 745 (37200 m) already holds an indication board, placed by line 185 of the line "
      "description"}},
    {"repetition start off the grid",
     {{9, "ripetizione segnali 4 codici,    1060,    95500"}},
     {},
     {"/work/l.txt:9:34: error: the start of signal repetition is not a multiple of 50: start "
      "1060 is not a multiple of 50 (nearest allowed: 1050 or 1100)"}},
    // Each error quotes its value in the value's own column and the limit, the
    // nearest allowed value or the other object and its row.
    {"gradient outside its byte",
     {{76, "pendenza,  18000,   180"}},
     {},
     {"/work/l.txt:76:21: error: a gradient lies outside -100 to 155: gradient 180 (a cell keeps "
      "the gradient plus 100 in one byte)"}},
    {"curve key without a class digit",
     {{11, "curvas,  1000,  400"}},
     {},
     {"/work/l.txt:11:1: error: a curve cannot be laid into the track plan: `curvas` has no "
      "class digit 1 to 6 (curvas1 to curvas6 turn left, curvad1 to curvad6 right)"}},
    {"duplicate station",
     {},
     {{40, "stazione,       0,  8,  500,  0, 0, 0,  1,1,0,  4,1,1,    1,  21,55, 0, SARVENA BIS"}},
     {"/work/t.txt:40:17: error: a platform begins less than 350 m after the previous station's "
      "platform end: duplicate: `SARVENA BIS` stands where `SARVENA S.M.N.` at 0 m (line 39) "
      "stands"}},
    {"stations out of order",
     {},
     {{41, "stazione,    1000, 28,  200,  0, 0, 0,  0,0,0,  0,0,0,    0,   0, 0, 0, NORD"}},
     {"/work/t.txt:41:14: error: a platform begins less than 350 m after the previous station's "
      "platform end: out of order: `NORD` at 1000 m comes after `SARVENA RIFREDI` at 2600 m "
      "(line 40); station rows go in rising order of position"}},
    {"platforms too close",
     {},
     {{41, "stazione,    2900, 28,  200,  0, 0, 0,  0,0,0,  0,0,0,    0,   0, 0, 0, NORD"}},
     {"/work/t.txt:41:14: error: a platform begins less than 350 m after the previous station's "
      "platform end: the platform of `NORD` begins at 2800 m, 0 m after the platform of "
      "`SARVENA RIFREDI` at 2600 m (line 40) ends at 2800 m; at least 350 m are needed"}},
    // What the format drops or overwrites without an error.
    {"curve beginning inside the previous one",
     {{19, "curvad5,  15500,  550"}},
     {},
     {"/work/l.txt:19:1: warning: `curvad5` from 15500 m begins before `curvas4` of line 18 "
      "ends at 15700 m: the track plan is laid in the file's order, so the earlier curve holds "
      "to its end and this one is laid only from 15700 m on"}},
    {"curve lying inside the previous one",
     {{19, "curvad5,  15400,  200"}},
     {},
     {"/work/l.txt:19:1: warning: `curvad5` from 15400 m begins before `curvas4` of line 18 "
      "ends at 15700 m: the track plan is laid in the file's order, so the earlier curve holds "
      "to its end and this one is not laid at all"}},
    {"flag of a short platform",
     {},
     {{40, "stazione,    2600, 12,  400,  1, 1, 0,  4,1,1,  2,1,1,   30,  22, 0, 0, RIFREDI"}},
     {"/work/t.txt:40:34: warning: the flag 1 in the fifth value of `stazione` for `RIFREDI` is "
      "dropped: only a platform of 600 m or more keeps it, and this one has 400 m"}},
    // Encodings: UTF-16 is refused for the whole file, which no line is to
    // blame for; a UTF-8 byte-order mark is read as part of the first field.
    {"train saved as UTF-16",
     {},
     {{1, std::string("\xFF\xFE[\0g\0e\0", 8)}},
     {"/work/t.txt: error: the description could not be read: the file is saved as UTF-16 "
      "(what some editors call \"Unicode\"), which this format cannot read: save it as "
      "Windows-1252 (\"ANSI\" in Notepad's Save As, \"Western (Windows 1252)\" in other "
      "editors)"}},
    {"line with a UTF-8 byte-order mark",
     {{1, "\xEF\xBB\xBF[generale]"}},
     {},
     {"/work/l.txt:1:1: warning: the file begins with a UTF-8 byte-order mark, read as part of "
      "its first field: save the description as Windows-1252 (\"ANSI\"), which has none"}},
    // A row cut short is reported at its own row, not at the next line it
    // took its last values from.
    {"row with too few values",
     {},
     {{59, "rallentamento, 33500, 30, 400"}},
     {"/work/t.txt:59:1: error: the description could not be read: `rallentamento` has 3 values "
      "and takes 6: the rest were sought on line 60 (not a number: \"[segnali]\")"}},
    {"semicolons for commas",
     {},
     {{25, "velocita;   0;    30"}},
     {"/work/t.txt:25:1: error: the description could not be read: `velocita;   0;    30`: `;` "
      "is not a separator here: separate the key and the values with `,` (a spreadsheet's CSV "
      "for Italian settings uses `;`)"}},
    // A thousands separator in the length is the likely cause of everything
    // after it: it comes first, and the rest is checked with the length meant.
    {"thousands separator in the length",
     {{2, "lunghezza percorso, 97,000"}},
     {},
     {"/work/l.txt:2:21: error: the description could not be read: lunghezza percorso reads as "
      "97 m followed by further keys (`000`): a thousands separator? write the length as "
      "97000"}},
    {"train without a station",
     {},
     {{39, "[nessuna]"}, {40, "[nessuna]"}, {41, "[nessuna]"}, {42, "[nessuna]"},
      {43, "[nessuna]"}, {44, "[nessuna]"}, {45, "[nessuna]"}, {46, "[nessuna]"},
      {47, "[nessuna]"}, {48, "[nessuna]"}, {49, "[nessuna]"}, {50, "[nessuna]"},
      {51, "[nessuna]"}, {52, "[nessuna]"}, {53, "[nessuna]"}, {54, "[nessuna]"},
      {55, "[nessuna]"}, {56, "[nessuna]"}, {57, "[nessuna]"}},
     {"/work/t.txt: error: the description could not be read: the train description has no "
      "`stazione` row: a train needs at least one station"}},
};

INSTANTIATE_TEST_SUITE_P(Check, CheckMessage, ::testing::ValuesIn(kMessageCases), NamedByWhat());

TEST(Check, ListsEveryMistakeOnceInFileOrder) {
  const ProgramRun run = run_with(
      {{64, "pendneza,  2000,   0"}, {129, "pendenza,  9600,   -1"}},
      {{26, "velocita,     900,   1 15"},
       {40, "stazione,    2610, 12,  400,  1, 0, 0,  4,1,1,  2,1,1,   30,  22, 0, 0, RIFREDI"},
       {42, "stazione,    5200, 26,  400,  0, 0, 0,  0,0,0,  0,0,0,    0,   0, 0, 0, CASTELLO, "
            "ALTO"},
       {62, "segnale,    1050,   2, 3, 4,  0, 0,    1,  1,0,0, 0"},
       {73, "segnlae,   15150,   2, 2, 3,  0, 1,    2,  2,1,0, 240"}});
  std::vector<std::string> places;
  for (const std::string& report : run.reports) places.push_back(report.substr(0, 31));
  const std::vector<std::string> expected = {
      "scenario_builder: /work/l.txt:64",  "scenario_builder: /work/l.txt:129",
      "scenario_builder: /work/t.txt:26",  "scenario_builder: /work/t.txt:40",
      "scenario_builder: /work/t.txt:42",  "scenario_builder: /work/t.txt:62",
      "scenario_builder: /work/t.txt:73",  "scenario_builder: 2 errors, 5 war",
  };
  ASSERT_EQ(run.reports.size(), expected.size()) << ::testing::PrintToString(run.reports);
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(run.reports[i].substr(0, expected[i].size()), expected[i]) << run.reports[i];
  }
  EXPECT_EQ(run.status, kBuiltWithProblem);
}

// A build lists the same warnings; they change neither its status nor its
// files.
TEST(Check, ABuildListsTheSameWarnings) {
  const std::vector<Edit> line_edits = {{64, "pendneza,  2000,   0"}};
  const std::vector<Edit> train_edits = {{62, "segnale,    2020,   2, 3, 4,  0, 0,    1,  1,0,0, 0"}};
  const ProgramRun check = run_with(line_edits, train_edits);
  const ProgramRun build = run_with(line_edits, train_edits, {"--dir", "/out"});
  EXPECT_EQ(build.status, kBuilt);
  ASSERT_EQ(check.reports.size(), 3u);
  ASSERT_EQ(build.reports.size(), 3u);
  EXPECT_EQ(build.reports[0], check.reports[0]);
  EXPECT_EQ(build.reports[1], check.reports[1]);
}

// With --strict a warning fails a check and holds a build's files back, as
// an error does; scripts still find the numbers last.
TEST(Check, StrictCountsWarningsAsErrors) {
  const std::vector<Edit> line_edits = {{64, "pendneza,  2000,   0"}};
  const ProgramRun check = run_with(line_edits, {}, {"--check", "--strict"});
  EXPECT_EQ(check.status, kBuiltWithProblem);
  EXPECT_EQ(check.reports.back(),
            "scenario_builder: 0 errors, 1 warning (--strict: warnings count as errors)");

  FakePlatform platform;
  platform.files.files[kLine] = edited(render_line_list(built_in_line_lines()), line_edits);
  EXPECT_EQ(run_program(platform, std::vector<std::string>{"--strict", "--dir", "/out", "--line",
                                                           kLine}),
            kBuiltWithProblem);
  EXPECT_FALSE(platform.files.exists("/out/Sarvena_Lucredo_20573-2.dat"));
  ASSERT_EQ(platform.reports.size(), 3u);
  EXPECT_EQ(platform.reports[1],
            "scenario_builder: --strict: 1 warning counts as an error: no compiled file "
            "written; those already in /out are as they were");
  EXPECT_EQ(platform.reports[2], "error_number=0 error_position_m=0");
}

TEST(Check, RepeatsOfOneKindAreCountedAfterTheFirstTen) {
  std::vector<Edit> train_edits;
  for (int line = 61; line <= 104; ++line) {
    train_edits.push_back({line, "segnlae, 1"});
  }
  const ProgramRun run = run_with({}, train_edits);
  ASSERT_EQ(run.reports.size(), 12u);
  EXPECT_EQ(run.reports[10], "scenario_builder: warning: 34 more warnings of keys that are no "
                             "key of their description not listed (the first 10 are)");
  EXPECT_EQ(run.reports[11], "scenario_builder: 0 errors, 44 warnings");
}

TEST(Check, TheBuiltInDescriptionsCheckCleanAndNothingIsWritten) {
  FakePlatform platform;
  EXPECT_EQ(run_program(platform, std::vector<std::string>{"--check", "--dir", "/new"}), kBuilt);
  EXPECT_EQ(platform.reports, std::vector<std::string>{"scenario_builder: 0 errors, 0 warnings"});
  EXPECT_TRUE(platform.files.log.empty());
  EXPECT_TRUE(platform.files.files.empty());
}

TEST(Check, AMissingDescriptionIsAFileError) {
  FakePlatform platform;
  EXPECT_EQ(run_program(platform, std::vector<std::string>{"--check", "--line", "/none.txt"}),
            kFileOrUsageError);
}

}  // namespace
}  // namespace sb

namespace sb {
namespace {

// One mistake repeated: at most ten errors of one number are listed, the
// first and the last among them, and the count says how many are not.
TEST(Check, ListsAtMostTenErrorsOfOneNumber) {
  std::string repeated;
  for (int i = 0; i < 25; ++i) {
    repeated += "segnale,    1050,   2, 3, 4,  0, 0,    1,  1,0,0, " + std::to_string(i) + "\r\n";
  }
  repeated += "segnale,    1050,   2, 3, 4,  0, 0,    1,  1,0,0, 0";
  const ProgramRun run = run_with({}, {{62, repeated}});
  EXPECT_EQ(run.status, kBuiltWithProblem);
  std::vector<std::string> listed;
  for (const std::string& line : run.reports) {
    if (line.find(": error: ") != std::string::npos) listed.push_back(line);
  }
  ASSERT_EQ(listed.size(), 10u);
  EXPECT_NE(listed.front().find("t.txt:62:13: error: a signal stands"), std::string::npos);
  EXPECT_NE(listed[8].find("t.txt:70:"), std::string::npos);
  EXPECT_NE(listed.back().find("t.txt:87:"), std::string::npos);
  EXPECT_EQ(run.reports.back(),
            "scenario_builder: 26 errors, 0 warnings (16 errors not listed: at most 10 of each "
            "error number are)");
}

}  // namespace
}  // namespace sb
