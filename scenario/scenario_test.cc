// The built-in scenario: the two description texts as written, the train
// card's timetable rows, and that the three tell one run which builds
// without a problem.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "base/file_names.h"
#include "base/line_list.h"
#include "compile/compile_scenario.h"
#include "driver/run.h"
#include "line/line_writer.h"
#include "scenario/built_in_names.h"
#include "scenario/timetable_rows.h"
#include "testing/fake_platform.h"
#include "testing/in_memory_build.h"
#include "testing/text_and_bytes.h"
#include "track/model.h"
#include "train/train_writer.h"

namespace sb {
namespace {

std::string line_text() {
  InMemoryBuild build;
  write_line_description(build.b);
  return build.file("Sarvena_Lucredo_linea.txt");
}

std::string train_text() {
  InMemoryBuild build;
  write_train_description(build.b);
  return build.file("Sarvena_Lucredo_20573-2-.txt");
}

std::string trimmed(std::string_view s) {
  const size_t first = s.find_first_not_of(' ');
  if (first == std::string_view::npos) return "";
  const size_t last = s.find_last_not_of(' ');
  return std::string(s.substr(first, last - first + 1));
}

// A record line split at its commas, blanks around each field removed.
std::vector<std::string> fields_of(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t comma; (comma = line.find(',', start)) != std::string::npos; start = comma + 1) {
    fields.push_back(trimmed(std::string_view(line).substr(start, comma - start)));
  }
  fields.push_back(trimmed(std::string_view(line).substr(start)));
  return fields;
}

int number(const std::string& field) { return field.empty() ? 0 : std::atoi(field.c_str()); }

// The records of one key, as numbers (text fields read as 0).
std::vector<std::vector<int>> records(const std::vector<std::string>& lines,
                                      const std::string& key) {
  std::vector<std::vector<int>> out;
  for (const std::string& line : lines) {
    const std::vector<std::string> fields = fields_of(line);
    if (fields[0].rfind(key, 0) != 0) continue;
    std::vector<int> values;
    for (size_t i = 1; i < fields.size(); ++i) values.push_back(number(fields[i]));
    out.push_back(values);
  }
  return out;
}

size_t count_of(const std::string& text, std::string_view part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// Every line, the last too, ends with CR LF, and neither byte stands alone.
void expect_basic_text_form(const std::string& text, size_t line_count) {
  EXPECT_EQ(count_of(text, "\r\n"), line_count);
  EXPECT_EQ(count_of(text, "\n"), line_count);
  EXPECT_EQ(count_of(text, "\r"), line_count);
  ASSERT_GE(text.size(), 2u);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  EXPECT_EQ(text.find(kEndSentinel), std::string::npos);
  EXPECT_EQ(text.find('\t'), std::string::npos);
}

// ---------------------------------------------------------------------------
// The line description

TEST(LineWriter, WritesTheBuiltInLineWithCrLfAndNoSentinel) {
  const std::string text = line_text();
  expect_basic_text_form(text, 188);
  const std::vector<std::string> lines = lines_of(text);
  ASSERT_EQ(lines.size(), 188u);
  EXPECT_EQ(lines.front(), "[generale]");
  EXPECT_EQ(lines.back(), "[fine]");
}

TEST(ScenarioLine, SectionsHoldTheirRecordCounts) {
  const std::vector<std::string> lines = lines_of(line_text());
  // Each section and the keys of the records that follow it up to the next.
  const std::vector<std::pair<std::string, std::map<std::string, int>>> expected = {
      {"[generale]",
       {{"lunghezza percorso", 1},
        {"progressiva chilometrica", 3},
        {"sfondo", 3},
        {"ripetizione segnali", 1}}},
      {"[curve]", {{"curva", 51}}},
      {"[pendenze]", {{"pendenza", 68}}},
      {"[montagne]", {{"montagna", 28}}},
      {"[cartelli]", {{"indicatori_vmax", 23}}},
      {"[indicazioni]", {{"cartello_indicatore", 3}}},
      {"[fine]", {}},
  };
  size_t at = 0;
  for (const auto& [section, keys] : expected) {
    ASSERT_LT(at, lines.size());
    ASSERT_EQ(lines[at], section);
    std::map<std::string, int> found;
    for (++at; at < lines.size() && lines[at][0] != '['; ++at) {
      const std::string key = fields_of(lines[at])[0];
      const auto known = std::find_if(keys.begin(), keys.end(), [&](const auto& entry) {
        return key.rfind(entry.first, 0) == 0;
      });
      ASSERT_NE(known, keys.end()) << section << ": " << lines[at];
      ++found[known->first];
    }
    EXPECT_EQ(found, keys) << section;
  }
  EXPECT_EQ(at, lines.size());
}

TEST(ScenarioLine, QuotedRowsStandByteForByte) {
  const std::vector<std::string> lines = lines_of(line_text());
  const std::vector<std::string> quoted = {
      "lunghezza percorso,    97000",
      "progressiva chilometrica uno,    0,    0,    0",
      "progressiva chilometrica due,    0,    0,    0",
      "progressiva chilometrica tre,    0,    0,    0",
      "sfondo uno,    0",
      "sfondo due,    1",
      "sfondo tre,    0",
      "ripetizione segnali 4 codici,    1050,    95500",
      "curvas2,  1000,  400",
      "curvad1,  1700,  1300",
      "curvad5,  16850,  550",
      "curvas4,  95500,  300",
      "pendenza,  0,   2",
      "pendenza,  2000,   0",
      "pendenza,  18000,   12",
      "pendenza,  51400,   -1",
      "pendenza,  96600,   0",
      "montagna,   18800,  18850,  2",
      "montagna,   21250,  22250,  12",
      "montagna,   37250,  55750,  11",
      "indicatori_vmax,  1000,  105,  115,  120,  0,  ,  ,  ,  0",
      "indicatori_vmax,  54150,  110,  120,  125,  2,  110,  120,  125,  2",
      "cartello_indicatore,  37200,   (GALLERIA )(APPENNINO)(Km 18+510)",
  };
  for (const std::string& row : quoted) {
    EXPECT_NE(std::find(lines.begin(), lines.end(), row), lines.end()) << row;
  }
  // The general records come in this order right after "[generale]".
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.begin() + 9),
            std::vector<std::string>(quoted.begin(), quoted.begin() + 8));
}

TEST(ScenarioLine, EveryRecordKeepsTheSpacingOfItsKey) {
  const std::vector<std::pair<std::string, std::regex>> forms = {
      {"curva", std::regex(R"(curva[sd][1-6],  \d+,  \d+)")},
      {"pendenza", std::regex(R"(pendenza,  \d+,   -?\d+)")},
      {"montagna", std::regex(R"(montagna,   \d+,  \d+,  \d+)")},
      {"indicatori_vmax",
       std::regex(R"(indicatori_vmax,  \d+(,  \d+){4}(,  ,  ,  |(,  \d+){3}),  \d+)")},
      {"cartello_indicatore", std::regex(R"(cartello_indicatore,  \d+,   (\([^(),]+\)){1,3})")},
  };
  for (const std::string& line : lines_of(line_text())) {
    for (const auto& [key, form] : forms) {
      if (line.rfind(key, 0) == 0) {
        EXPECT_TRUE(std::regex_match(line, form)) << line;
      }
    }
  }
}

TEST(ScenarioLine, GradientsRiseOnTheGridWithinTwelvePerMille) {
  const auto gradients = records(lines_of(line_text()), "pendenza");
  ASSERT_EQ(gradients.size(), 68u);
  EXPECT_EQ(gradients.front()[0], 0);
  EXPECT_EQ(gradients.back()[0], 96600);
  int previous = -1;
  for (const auto& g : gradients) {
    EXPECT_GT(g[0], previous);
    EXPECT_EQ(g[0] % 50, 0) << g[0];
    EXPECT_GE(g[1], -12) << g[0];
    EXPECT_LE(g[1], 12) << g[0];
    previous = g[0];
  }
}

TEST(ScenarioLine, CurvesRiseWithoutOverlapInEveryClassOnBothSides) {
  const std::vector<std::string> lines = lines_of(line_text());
  std::map<char, std::set<char>> classes;
  int previous_end = 0;
  for (const std::string& line : lines) {
    if (line.rfind("curva", 0) != 0) continue;
    const std::vector<std::string> fields = fields_of(line);
    const int start = number(fields[1]);
    const int length = number(fields[2]);
    EXPECT_GT(start, previous_end) << line;
    EXPECT_GE(start, 1000) << line;
    EXPECT_LE(start, 95500) << line;
    EXPECT_GE(length, 200) << line;
    EXPECT_LE(length, 2000) << line;
    classes[fields[0][5]].insert(fields[0][6]);
    previous_end = start + length;
  }
  const std::set<char> all = {'1', '2', '3', '4', '5'};
  EXPECT_EQ(classes, (std::map<char, std::set<char>>{{'s', all}, {'d', all}}));
}

TEST(ScenarioLine, MontagnaSpansFollowOneAnotherInTheMountains) {
  const auto spans = records(lines_of(line_text()), "montagna");
  ASSERT_EQ(spans.size(), 28u);
  EXPECT_EQ(spans.front()[0], 18800);
  EXPECT_EQ(spans.back()[1], 86650);
  int previous_end = 0;
  for (const auto& s : spans) {
    EXPECT_GT(s[0], previous_end);
    EXPECT_GT(s[1], s[0]);
    EXPECT_EQ(s[0] % 50 + s[1] % 50, 0) << s[0];
    EXPECT_TRUE(s[2] == 2 || s[2] == 11 || s[2] == 12) << s[0];
    previous_end = s[1];
  }
}

// Speed limits of the train description: position and speed.
const std::vector<std::vector<int>>& line_speeds() {
  static const std::vector<std::vector<int>> speeds = records(lines_of(train_text()), "velocita");
  return speeds;
}

int speed_at(int position) {
  int speed = 0;
  for (const auto& row : line_speeds()) {
    if (row[0] <= position) speed = row[1];
  }
  return speed;
}

TEST(ScenarioLine, SpeedBoardsAnnounceEveryChangeOfTheLineSpeed) {
  const auto boards = records(lines_of(line_text()), "indicatori_vmax");
  ASSERT_EQ(boards.size(), 23u);
  int without_side_d = 0;
  std::vector<int> limit_positions;
  for (size_t i = 0; i < boards.size(); ++i) {
    const auto& board = boards[i];
    if (i > 0) {
      EXPECT_GT(board[0], boards[i - 1][0]);
    }
    EXPECT_EQ(board[0] % 50, 0);
    for (int k : {1, 2, 3}) {
      EXPECT_GE(board[k], 60) << board[0];
      EXPECT_LE(board[k], 180) << board[0];
    }
    EXPECT_LT(board[1], board[2]);
    EXPECT_LT(board[2], board[3]);
    if (board[5] == 0 && board[6] == 0 && board[7] == 0) {
      ++without_side_d;
    } else {
      EXPECT_EQ(std::vector<int>(board.begin() + 5, board.end()),
                std::vector<int>(board.begin() + 1, board.begin() + 5))
          << board[0];
    }
    if (board[4] != 0) continue;
    // A board without stripes is where a limit begins; its speed b is the
    // train's line speed from there, and a lower limit is announced by the
    // boards with two and one stripes 400 and 200 m before.
    limit_positions.push_back(board[0]);
    EXPECT_EQ(board[2], speed_at(board[0])) << board[0];
    if (board[2] < speed_at(board[0] - 50)) {
      ASSERT_GE(i, 2u);
      for (int stripes : {1, 2}) {
        const auto& before = boards[i - stripes];
        EXPECT_EQ(before[0], board[0] - 200 * stripes);
        EXPECT_EQ(before[4], stripes);
        EXPECT_EQ(std::vector<int>(before.begin() + 1, before.begin() + 4),
                  std::vector<int>(board.begin() + 1, board.begin() + 4));
      }
    }
  }
  EXPECT_EQ(without_side_d, 10);
  // Every change of the line speed has its board, save the last one into
  // the terminus at walking pace.
  std::vector<int> changes;
  for (const auto& row : line_speeds()) changes.push_back(row[0] == 900 ? 1000 : row[0]);
  EXPECT_EQ(limit_positions, std::vector<int>(changes.begin() + 1, changes.end() - 1));
}

TEST(ScenarioLine, IndicationBoardsNameTheTunnelsAndTheViaduct) {
  const std::vector<std::string> lines = lines_of(line_text());
  std::vector<int> positions;
  for (const std::string& line : lines) {
    if (line.rfind("cartello_indicatore", 0) == 0) positions.push_back(number(fields_of(line)[1]));
  }
  EXPECT_EQ(positions, (std::vector<int>{37200, 70250, 72550}));
}

// ---------------------------------------------------------------------------
// The train description

TEST(TrainWriter, WritesTheBuiltInTrainWithCrLfAndNoSentinel) {
  const std::string text = train_text();
  expect_basic_text_form(text, 106);
  const std::vector<std::string> lines = lines_of(text);
  ASSERT_EQ(lines.size(), 106u);
  // Headings, the header records and the empty line at their line numbers.
  const std::map<size_t, std::string> fixed = {
      {1, "[generale]"},
      {2, "numero vetture,    8"},
      {3, "percentuale massa frenata,    125"},
      {4, "sabbia,    300"},
      {5, "orologio,    21              56            40 "},
      {6, "[aderenze]"},
      {7, ""},
      {24, "[vel_limite]"},
      {38, "[stazioni]"},
      {58, "[rallentamenti]"},
      {59, "rallentamento,   29000,    30,  600, 0,  0,  30"},
      {60, "[segnali]"},
      {105, "[codici]"},
      {106, "[fine]"},
  };
  for (const auto& [n, text_line] : fixed) {
    EXPECT_EQ(lines[n - 1], text_line) << "line " << n;
  }
  // The record lists fill the lines between, key by key.
  const std::vector<std::tuple<size_t, size_t, std::string>> lists = {
      {8, 23, "aderenza,"}, {25, 37, "velocita,"}, {39, 57, "stazione,"}, {61, 104, "segnale,"}};
  for (const auto& [first, last, key] : lists) {
    for (size_t n = first; n <= last; ++n) {
      EXPECT_EQ(lines[n - 1].rfind(key, 0), 0u) << "line " << n << ": " << lines[n - 1];
    }
  }
}

TEST(ScenarioTrain, QuotedRowsStandByteForByte) {
  const std::vector<std::string> lines = lines_of(train_text());
  const std::vector<std::string> quoted = {
      "aderenza,   24000,    70",
      "velocita,   0,    30",
      "velocita,     900,   115",
      "velocita,   95950,    30",
      "stazione,    6600, 27,  300,  0, 0, 0,  0,0,0,  0,0,0,    0,   0, 0, 0, ZAMBRA",
      "stazione,   61400, 12,  400,  1, 0, 0,  4,1,1,  2,1,1,   90,  22,54,30, GRIZZANA",
      "segnale,    1050,   2, 5, 1,  0, 0,    0,  0,0,0, 0",
      "segnale,   15150,   2, 2, 3,  0, 1,    2,  2,1,0, 240",
  };
  for (const std::string& row : quoted) {
    EXPECT_NE(std::find(lines.begin(), lines.end(), row), lines.end()) << row;
  }
  ASSERT_EQ(lines.size(), 106u);
  EXPECT_EQ(
      lines[38],
      "stazione,       0,  8,  500,  0, 0, 0,  1,1,0,  4,1,1,    1,  21,55, 0, SARVENA S.M.N.");
  EXPECT_EQ(lines[46],
            "stazione,   16350,  2,  500,  1, 0, 1,  4,1,1,  2,1,1,   50,  22,18, 0, PRATO");
  EXPECT_EQ(lines[24], "velocita,   0,    30");
  EXPECT_EQ(lines[36], "velocita,   95950,    30");
}

TEST(ScenarioTrain, ProfilesStartAtZeroAndRise) {
  const std::vector<std::string> lines = lines_of(train_text());
  const auto adhesion = records(lines, "aderenza");
  ASSERT_EQ(adhesion.size(), 16u);
  for (size_t i = 0; i + 1 < adhesion.size(); ++i) {
    EXPECT_LT(adhesion[i][0], adhesion[i + 1][0]);
    EXPECT_TRUE(adhesion[i][1] == 70 || adhesion[i][1] == 95);
    if (i > 0) {
      EXPECT_NE(adhesion[i][1], adhesion[i - 1][1]) << adhesion[i][0];
    }
  }
  EXPECT_EQ(adhesion.front()[0], 0);
  EXPECT_EQ(adhesion.back(), (std::vector<int>{37200, 100}));

  const auto speeds = records(lines, "velocita");
  ASSERT_EQ(speeds.size(), 13u);
  int top = 0;
  for (size_t i = 0; i < speeds.size(); ++i) {
    if (i > 0) {
      EXPECT_LT(speeds[i - 1][0], speeds[i][0]);
    }
    EXPECT_EQ(speeds[i][1] % 5, 0);
    EXPECT_GE(speeds[i][1], 30);
    top = std::max(top, speeds[i][1]);
  }
  EXPECT_EQ(top, 160);
}

// One station row of the train description.
struct StationRow {
  int position, kind, platform, byte3, byte2, hours, minutes, seconds;
  std::vector<int> fields;
  std::string name;
};

std::vector<StationRow> station_rows() {
  std::vector<StationRow> rows;
  for (const std::string& line : lines_of(train_text())) {
    if (line.rfind("stazione,", 0) != 0) continue;
    const std::vector<std::string> f = fields_of(line);
    EXPECT_EQ(f.size(), 18u) << line;
    if (f.size() != 18) continue;
    std::vector<int> n;
    for (size_t i = 1; i < 17; ++i) n.push_back(number(f[i]));
    rows.push_back({n[0], n[1], n[2], n[5], n[12], n[13], n[14], n[15], n, f[17]});
  }
  return rows;
}

TEST(ScenarioTrain, StationsFollowTheRulesOfTheirKind) {
  const std::vector<StationRow> rows = station_rows();
  ASSERT_EQ(rows.size(), 19u);
  EXPECT_EQ(rows.front().name, "SARVENA S.M.N.");
  EXPECT_EQ(rows.back().name, "LUCREDO C.LE");
  EXPECT_EQ(rows.back().position, 96600);
  EXPECT_EQ(rows.back().hours * 60 + rows.back().minutes, 23 * 60 + 26);
  // Per field (after the position): the values the rows may hold.
  const std::vector<std::set<int>> allowed = {{2, 8, 12, 25, 26, 27, 28},
                                              {},
                                              {0, 1},
                                              {0, 1},
                                              {0, 1},
                                              {0, 1, 4},
                                              {0, 1},
                                              {0, 1},
                                              {0, 2, 4, 5},
                                              {0, 1, 6},
                                              {0, 1},
                                              {0, 1, 30, 50, 90},
                                              {0, 21, 22, 23},
                                              {},
                                              {0, 30}};
  std::set<int> kinds;
  int stops = 0;
  int previous_to = 0;
  for (size_t i = 0; i < rows.size(); ++i) {
    const StationRow& s = rows[i];
    SCOPED_TRACE(s.name);
    for (size_t k = 0; k < allowed.size(); ++k) {
      if (!allowed[k].empty()) {
        EXPECT_TRUE(allowed[k].count(s.fields[k + 1])) << "field " << k + 2;
      }
    }
    EXPECT_EQ(s.position % 50, 0);
    EXPECT_EQ(s.platform % 100, 0);
    EXPECT_GE(s.platform, 200);
    EXPECT_LE(s.platform, 600);
    EXPECT_LE(s.minutes, 55);
    kinds.insert(s.kind);
    const bool stop = s.kind < 25;
    stops += stop;
    const bool first = i == 0, last = i + 1 == rows.size();
    EXPECT_EQ(s.byte2 == 1, first);
    EXPECT_EQ(s.byte2 >= 30, stop && !first && !last);
    EXPECT_EQ(s.hours != 0, stop) << "a time at every stop, none where the train passes";
    // Platforms keep 350 m between them.
    const bool long_kind = s.kind == 7 || s.kind == 8;
    const int from = long_kind ? s.position - s.platform : s.position - s.platform / 2;
    const int to =
        long_kind ? s.position + s.platform : s.position + s.platform / 2 + (s.byte3 ? 50 : 0);
    if (!first) {
      EXPECT_GT(s.position, rows[i - 1].position);
      EXPECT_GE(from - 350, previous_to);
    }
    previous_to = to;
  }
  EXPECT_EQ(kinds, allowed[0]);
  EXPECT_EQ(stops, 13);
}

TEST(ScenarioTrain, SignalsRiseOnTheGridWithinTheirRanges) {
  const auto signals = records(lines_of(train_text()), "segnale");
  ASSERT_EQ(signals.size(), 44u);
  EXPECT_EQ(signals.front()[0], 1050);
  EXPECT_EQ(signals.back()[0], 95500);
  // posizione, sx, s1, s2, s3, rapp, dx, d1, d2, d3, tempo: lowest and highest.
  const std::vector<std::pair<int, int>> ranges = {{1050, 95500}, {1, 2}, {2, 5},  {0, 6},
                                                   {0, 6},        {0, 1}, {0, 2},  {0, 3},
                                                   {0, 1},        {0, 1}, {0, 240}};
  int previous = 0;
  for (const auto& s : signals) {
    ASSERT_EQ(s.size(), ranges.size());
    EXPECT_GT(s[0], previous);
    EXPECT_EQ(s[0] % 50, 0) << s[0];
    for (size_t k = 0; k < ranges.size(); ++k) {
      EXPECT_GE(s[k], ranges[k].first) << s[0] << " field " << k;
      EXPECT_LE(s[k], ranges[k].second) << s[0] << " field " << k;
    }
    EXPECT_TRUE(s[10] == 0 || s[10] == 215 || s[10] == 240) << s[0];
    previous = s[0];
  }
}

// ---------------------------------------------------------------------------
// The timetable rows of the train card

std::string cell(std::string_view row, size_t from, size_t to) {
  return trimmed(row.substr(from - 1, to - from + 1));
}

// "hh.mm" or "hh.mm+" of a time of day.
std::string card_time(int hours, int minutes, int seconds) {
  char text[8];
  std::snprintf(text, sizeof text, "%d.%02d%s", hours, minutes, seconds == 30 ? "+" : "");
  return text;
}

TEST(TimetableRows, KeepTheGridAndTheCellFormats) {
  const auto rows = built_in_timetable_rows();
  ASSERT_EQ(rows.size(), 36u);
  const std::regex chainage(R"( {0,8}\d{1,2}\.\d{3} | {10}|     0    )");
  const std::regex speed(R"( {5}|  \d\d | \d{3} )");
  for (std::string_view row : rows) {
    ASSERT_EQ(row.size(), 83u) << row;
    std::string bars;
    for (size_t i = 0; i < row.size(); ++i) {
      if (row[i] == '|') bars += std::to_string(i + 1) + " ";
    }
    EXPECT_EQ(bars, "2 8 14 25 31 60 77 83 ") << row;
    const std::string text(row);
    EXPECT_TRUE(std::regex_match(text.substr(14, 10), chainage)) << row;
    for (size_t at : {2u, 8u, 25u}) {
      EXPECT_TRUE(std::regex_match(text.substr(at, 5), speed)) << row;
    }
    EXPECT_EQ(text.substr(77, 5), "     ") << row;
  }
}

TEST(TimetableRows, SpeedsMatchTheLineSpeedsOfTheTrain) {
  const auto rows = built_in_timetable_rows();
  std::vector<std::pair<int, int>> limits;  // chainage, speed limit
  int blank = 0;
  for (std::string_view row : rows) {
    const std::string limit = cell(row, 3, 7), running = cell(row, 9, 13),
                      fourth = cell(row, 26, 30);
    if (limit.empty() && running.empty() && fourth.empty()) {
      ++blank;
      continue;
    }
    if (!running.empty()) {
      EXPECT_EQ(fourth, running) << row;
    }
    for (const std::string& s : {limit, running}) {
      if (s.empty()) continue;
      EXPECT_GE(number(s), 30) << row;
      EXPECT_LE(number(s), 160) << row;
    }
    if (!running.empty()) {
      EXPECT_LE(number(running), number(limit)) << row;
    }
    limits.emplace_back(static_cast<int>(std::atof(cell(row, 15, 24).c_str()) * 1000 + 0.5),
                        number(limit));
  }
  EXPECT_EQ(blank, 23);
  EXPECT_TRUE(cell(rows[5], 9, 13).empty() && !cell(rows[5], 3, 7).empty()) << "row 6";
  // The limits of the card are the train's line speeds; only the first board
  // stands 100 m past the point where the higher speed begins.
  std::vector<std::pair<int, int>> expected;
  for (const auto& s : line_speeds()) expected.emplace_back(s[0] == 900 ? 1000 : s[0], s[1]);
  EXPECT_EQ(limits, expected);
}

TEST(TimetableRows, ShowTheStationsAndTimesOfTheTrain) {
  const auto rows = built_in_timetable_rows();
  // Stations are the rows with a time; a row with neither chainage nor time
  // carries on the name of the row before.
  struct CardStation {
    int chainage_m;
    std::string name, time;
  };
  std::vector<CardStation> card;
  int previous_chainage = -1;
  for (std::string_view row : rows) {
    const std::string chainage = cell(row, 15, 24), place = cell(row, 32, 59),
                      time(row.substr(60, 16));
    if (chainage.empty() && trimmed(time).empty()) {
      ASSERT_FALSE(card.empty());
      card.back().name += " " + place;
      continue;
    }
    const int metres = static_cast<int>(std::atof(chainage.c_str()) * 1000 + 0.5);
    EXPECT_GT(metres, previous_chainage) << row;
    previous_chainage = metres;
    if (!trimmed(time).empty()) card.push_back({metres, place, time});
  }
  const std::vector<StationRow> stations = station_rows();
  ASSERT_EQ(card.size(), stations.size());
  for (size_t i = 0; i < stations.size(); ++i) {
    const StationRow& s = stations[i];
    SCOPED_TRACE(s.name);
    EXPECT_EQ(card[i].name, s.name);
    EXPECT_EQ(card[i].chainage_m, s.position);
    const std::string& time = card[i].time;
    const std::string own = card_time(s.hours, s.minutes, s.seconds);
    if (i == 0 || i + 1 == stations.size()) {
      EXPECT_EQ(trimmed(time), own);
      EXPECT_EQ(time.rfind(own, 0), 0u) << "left-aligned";
    } else if (s.kind < 25) {
      // Arrival on the left, the departure of the description on the right.
      EXPECT_EQ(time.substr(16 - own.size()), own);
      EXPECT_NE(time[0], ' ');
      EXPECT_LE(trimmed(time.substr(0, 6)), own);
    } else {
      EXPECT_TRUE(std::regex_match(time, std::regex(R"( {6}\d\d\.\d\d {5})"))) << time;
    }
  }
}

// ---------------------------------------------------------------------------
// The whole scenario

TEST(ScenarioBuild, BuiltInScenarioBuildsWithoutAProblem) {
  InMemoryBuild build;
  Builder& b = build.b;
  build.write_built_in_descriptions();
  compile_scenario(b, true);
  EXPECT_EQ(b.error_number, 0) << "at " << b.error_position_m << " " << b.stop_file << ":"
                               << b.stop_line;
  ASSERT_EQ(b.cell_count, 2080);

  std::map<int, std::vector<int>> by_kind;
  for (int i = 0; i <= b.cell_count; ++i) by_kind[b.cells[i].kind].push_back(i);
  EXPECT_EQ(by_kind[signal].size(), 44u);
  EXPECT_EQ(by_kind[speed_board].size(), 23u);
  EXPECT_EQ(by_kind[indication_board], (std::vector<int>{745, 1406, 1452}));
  EXPECT_EQ(by_kind[stop_marker].size(), 13u);
  EXPECT_EQ(by_kind[slowdown_warning], std::vector<int>{557});
  EXPECT_EQ(by_kind[slowdown_start], std::vector<int>{581});
  EXPECT_EQ(by_kind[slowdown_end], std::vector<int>{593});
  // Every code point of the pass stands on its first-choice cell.
  EXPECT_EQ(by_kind[code_point], (std::vector<int>{563, 570, 576, 589, 603}));

  const std::vector<StationRow> rows = station_rows();
  for (size_t n = 1; n <= rows.size(); ++n) {
    EXPECT_EQ(b.stations[n].name, rows[n - 1].name);
    EXPECT_EQ(b.stations[n].position_m, rows[n - 1].position);
  }
  EXPECT_TRUE(b.stations[rows.size() + 1].name.empty());
  EXPECT_EQ(b.stations[9].name, "PRATO");
  EXPECT_EQ(b.cells[332].kind, stop_marker);
  EXPECT_EQ(b.cells[332].value1, 9);
}

TEST(ScenarioBuild, ProgramWithoutArgumentsEndsWithStatusBuilt) {
  FakePlatform platform;
  EXPECT_EQ(run_program(platform, {}), kBuilt) << ::testing::PrintToString(platform.reports);
  EXPECT_FALSE(platform.files.files.count(platform.file("Sarvena_Lucredo_linea.txt")));
  EXPECT_TRUE(platform.files.files.count(platform.file("Sarvena_Lucredo_20573-2.dat")));
}

}  // namespace
}  // namespace sb
