#include "documents/documents.h"

#include <gtest/gtest.h>

#include <set>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/file_names.h"
#include "scenario/built_in_names.h"
#include "scenario/timetable_rows.h"
#include "testing/fake_platform.h"
#include "testing/in_memory_build.h"
#include "testing/text_and_bytes.h"
#include "track/model.h"

namespace sb {
namespace {

// The bytes one writer leaves in an empty folder.
std::string written_by(void (*write)(Builder&), const std::string& file_name) {
  InMemoryBuild build;
  write(build.b);
  return build.file(file_name);
}

size_t count_of(const std::string& text, std::string_view part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// Checks lines first..last (from 1) of a fixed-width grid: each `width`
// characters long with "|" at exactly the given columns (from 1).
void expect_grid(const std::vector<std::string>& lines, size_t first, size_t last, size_t width,
                 const std::set<size_t>& bars) {
  ASSERT_LE(last, lines.size());
  for (size_t n = first; n <= last; ++n) {
    const std::string& line = lines[n - 1];
    EXPECT_EQ(line.size(), width) << "line " << n << ": " << line;
    std::set<size_t> found;
    for (size_t i = 0; i < line.size(); ++i) {
      if (line[i] == '|') found.insert(i + 1);
    }
    EXPECT_EQ(found, bars) << "line " << n << ": " << line;
  }
}

// ---------------------------------------------------------------------------
// What the three documents share.

struct Document {
  const char* label;
  void (*write)(Builder&);
  std::string file_name;
  size_t line_count;
  // Every byte above 0x7F in file order: the accented letters, one byte each.
  std::string high_bytes;
};

// Shown for the case in test listings instead of its bytes.
void PrintTo(const Document& c, std::ostream* os) { *os << c.label; }

// The card's lines above and below its timetable rows.
const size_t kCardLinesAroundRows = 20;

std::vector<Document> crew_documents() {
  return {
      {"TrainCard", write_train_card, "Sarvena_Lucredo_20573-2_scheda_treno.txt",
       kCardLinesAroundRows + built_in_timetable_rows().size(), ""},
      {"SlowdownOrder", write_slowdown_order, "Sarvena_Lucredo_20573-2_rallentamenti.txt", 46, ""},
      {"Notes", write_notes, "Sarvena_Lucredo_20573-2_note.txt", 15, "\xE0\xF2\xE8"},
  };
}

class CrewDocument : public ::testing::TestWithParam<Document> {};

TEST_P(CrewDocument, EndsEachOfItsLinesWithCrLf) {
  const Document& doc = GetParam();
  const std::string text = written_by(doc.write, doc.file_name);
  EXPECT_EQ(lines_of(text).size(), doc.line_count);
  EXPECT_EQ(count_of(text, "\r\n"), doc.line_count);
  EXPECT_EQ(count_of(text, "\r"), doc.line_count) << "a CR outside a CR LF";
  EXPECT_EQ(count_of(text, "\n"), doc.line_count) << "an LF outside a CR LF";
  EXPECT_TRUE(text.ends_with("\r\n"));
  EXPECT_EQ(text.find('\t'), std::string::npos);
}

TEST_P(CrewDocument, WritesOnlyItsOwnFileAndNotTheEndSentinel) {
  const Document& doc = GetParam();
  InMemoryBuild build;
  doc.write(build.b);
  ASSERT_EQ(build.platform.files.files.size(), 1u);
  EXPECT_EQ(build.platform.files.files.begin()->first, build.platform.file(doc.file_name));
  EXPECT_EQ(build.file(doc.file_name).find("riferimento fine del file"), std::string::npos);
}

TEST_P(CrewDocument, IsSingleByteTextWithOnlyItsAccentedLetters) {
  const Document& doc = GetParam();
  const std::string text = written_by(doc.write, doc.file_name);
  EXPECT_FALSE(text.starts_with("\xEF\xBB\xBF"));
  std::string high_bytes;
  for (char c : text) {
    if (static_cast<unsigned char>(c) > 0x7F) high_bytes += c;
  }
  // A UTF-8 letter would show here as two bytes, for example C3 A0.
  EXPECT_EQ(high_bytes, doc.high_bytes);
}

TEST_P(CrewDocument, ReplacesAnOlderFileOfTheSameNameCompletely) {
  const Document& doc = GetParam();
  const std::string fresh = written_by(doc.write, doc.file_name);
  for (const std::string& older : {std::string(20000, 'x') + "\r\n", std::string("old\r\n")}) {
    InMemoryBuild build;
    build.file(doc.file_name) = older;
    doc.write(build.b);
    EXPECT_EQ(build.file(doc.file_name), fresh) << "older file of " << older.size() << " bytes";
  }
}

INSTANTIATE_TEST_SUITE_P(Documents, CrewDocument, ::testing::ValuesIn(crew_documents()),
                         [](const auto& info) { return std::string(info.param.label); });

// ---------------------------------------------------------------------------
// Train card

std::vector<std::string> train_card_lines() {
  return lines_of(written_by(write_train_card, "Sarvena_Lucredo_20573-2_scheda_treno.txt"));
}

const std::string kCardTableRule =
    " |_____|_____|__________|_____|____________________________|________________|_____|";

TEST(TrainCard, QuotesItsFixedLinesByteForByte) {
  const std::vector<std::string> head = {
      "",
      "",
      "  ___________________                                               ______________",
      " |                   |                    SCHEDA  TRENO            |              |",
      " |   TRENO n.20573.2 |                   da: SARVENA S.M.N.        |   V 160 B    |",
      " |___________________|                    a: LUCREDO C.LE          |     125%     |",
      "                                                                   |______________|",
      "  ___________________                ___________________",
      " |  CLASSIFICAZIONE  |              |  MASSA BLOCCATA   |       ",
      " |     REGIONALE     |              |      360T         |",
      " |___________________|              |___________________|",
      "",
      "  ________________________________________________________________________________",
      " | Vel.| Vel.| Progr Km |  No |   Localita' di  Servizio   |     Orario     | Rec |",
      " | Lim.|Marc.|          |  Rs |                            |                |     |",
      kCardTableRule,
  };
  const std::vector<std::string> foot = {
      kCardTableRule,
      " ",
      " Il segno (+) indica la misura di tempo di 30 sec.",
      " ",
  };
  const std::vector<std::string> lines = train_card_lines();
  ASSERT_GE(lines.size(), head.size() + foot.size());
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + head.size()), head);
  EXPECT_EQ(std::vector<std::string>(lines.end() - foot.size(), lines.end()), foot);
}

TEST(TrainCard, CarriesTheTimetableRowsBetweenHeadingAndClosingRule) {
  const std::vector<std::string> lines = train_card_lines();
  const auto rows = built_in_timetable_rows();
  ASSERT_EQ(lines.size(), kCardLinesAroundRows + rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(lines[16 + i], rows[i]) << "row " << i + 1;
  }
}

TEST(TrainCard, HasFiftySixLines) { EXPECT_EQ(train_card_lines().size(), 56u); }

TEST(TrainCard, QuotedRowsStandAtTheirRowNumbers) {
  const std::vector<std::pair<size_t, std::string>> quoted = {
      {1, " |  30 |  30 |     0    |  30 |SARVENA S.M.N.              |21.55           |     |"},
      {2, " | 115 | 105 |    1.000 | 105 |deviatoio uscita            |                |     |"},
      {5, " |     |     |    5.200 |     |SARVENA CASTELLO            |      22.04     |     |"},
      {13, " |     |     |   26.200 |     |VAIANO                      |22.26+     22.27|     |"},
      {22, " |     |     |          |     |CASTIGLIONE PEPOLI          |                |     |"},
      {36, " |     |     |   96.600 |     |LUCREDO C.LE                |23.26           |     |"},
  };
  const std::vector<std::string> lines = train_card_lines();
  for (const auto& [row, text] : quoted) {
    const size_t line = 16 + row;
    ASSERT_LE(line, lines.size()) << "no room for row " << row;
    EXPECT_EQ(lines[line - 1], text) << "row " << row;
  }
}

TEST(TrainCard, GridLinesKeepTheirColumns) {
  const std::vector<std::string> lines = train_card_lines();
  ASSERT_GE(lines.size(), kCardLinesAroundRows);
  // From the heading to the closing rule, three lines before the end.
  expect_grid(lines, 14, lines.size() - 3, 83, {2, 8, 14, 25, 31, 60, 77, 83});
}

// ---------------------------------------------------------------------------
// Slowdown order

std::vector<std::string> slowdown_order_lines() {
  return lines_of(written_by(write_slowdown_order, "Sarvena_Lucredo_20573-2_rallentamenti.txt"));
}

TEST(SlowdownOrder, QuotesEveryLineByteForByte) {
  const std::string rule =
      " |___|____________________________|____________|__________|_________|____________|";
  std::vector<std::string> expected = {
      "",
      "                               Modulo M. 3",
      "                           ORDINE DI RALLENTAMENTO",
      " ________________________________________________________________________________",
      "  Linea  SARVENA S.M.N. - LUCREDO C.LE    ",
      "",
      "  Si ordina al macchinista del treno 20573.2 di effettuare i seguenti rallentamenti",
      "  _______________________________________________________________________________",
      " |   |                            |Inizio dopo |          |         |            |",
      " | N.|      FRA LE STAZIONI       | il cippo   | Velocita'|Lunghezza|Prescrizioni|",
      " |   |   (o nelle Stazioni di)    |chilometrico|          |   metri | specifiche |",
      rule,
      " | 1 | VAIANO - VERNIO            |   29.000   |    30    |   600   |            |",
  };
  expected.insert(expected.end(), 25,
                  " |   |                            |            |          |         |            |");
  expected.insert(expected.end(), {
                                      rule,
                                      "",
                                      "              Prescrizioni specifiche",
                                      " A - Da rispettare con tutto il treno (per i treni viaggiatori)",
                                      " B - Interessa anche la stazione di.......",
                                      " D - Rallentamneto N. ... e N. ...  sono contigui",
                                      " C - Da rispettare dalle ore ....  alle ore ..... di tutti",
                                      "     i giorni esclusi i seguenti:.........",
                                  });
  EXPECT_EQ(slowdown_order_lines(), expected);
}

TEST(SlowdownOrder, GridLinesKeepTheirColumns) {
  expect_grid(slowdown_order_lines(), 9, 39, 82, {2, 6, 35, 48, 59, 69, 82});
}

// ---------------------------------------------------------------------------
// Scenario notes

std::vector<std::string> notes_lines() {
  return lines_of(written_by(write_notes, "Sarvena_Lucredo_20573-2_note.txt"));
}

TEST(Notes, LinesHaveTheirLengthsInSingleByteCharacters) {
  const std::vector<size_t> lengths = {0, 47, 0, 0, 89, 97, 57, 0, 95, 67, 0, 91, 46, 0, 13};
  const std::vector<std::string> lines = notes_lines();
  ASSERT_EQ(lines.size(), lengths.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].size(), lengths[i]) << "line " << i + 1 << ": " << lines[i];
  }
  EXPECT_TRUE(lines[4].ends_with(" ") && !lines[4].ends_with("  ")) << "one trailing blank";
  EXPECT_EQ(lines[14], "Buon viaggio.");
}

TEST(Notes, AccentedLettersStandOnTheirLines) {
  // Line (from 1) and its one accented letter: a grave, o grave, e grave.
  const std::vector<std::pair<size_t, char>> accented = {{5, '\xE0'}, {9, '\xF2'}, {10, '\xE8'}};
  const std::vector<std::string> lines = notes_lines();
  ASSERT_EQ(lines.size(), 15u);
  for (const auto& [line, letter] : accented) {
    EXPECT_EQ(count_of(lines[line - 1], std::string(1, letter)), 1u) << "line " << line;
  }
}

}  // namespace
}  // namespace sb
