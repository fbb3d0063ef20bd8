#include "compile/read_descriptions.h"

#include <gtest/gtest.h>

#include <string>

#include "base/file_names.h"
#include "scenario/built_in_names.h"
#include "testing/fake_platform.h"
#include "testing/in_memory_build.h"

namespace sb {
namespace {

const std::string kPlainLine = "[generale]\r\nlunghezza percorso, 97000\r\n[fine]\r\n";
const std::string kPlainTrain = "[generale]\r\nsabbia, 300\r\n[fine]\r\n";

class ReadDescriptionsTest : public ::testing::Test, protected InMemoryBuild {
 protected:
  void put(const std::string& line, const std::string& train) {
    platform.files.files[line_path()] = line;
    platform.files.files[train_path()] = train;
  }
  bool exists(const std::string& path) const { return platform.files.files.count(path) != 0; }
};

TEST_F(ReadDescriptionsTest, ReadsBothDescriptionsAndDeletesThem) {
  put(kPlainLine, kPlainTrain);
  read_descriptions(b);
  EXPECT_EQ(b.error_number, 0);
  EXPECT_EQ(b.stations[86].int1, 300);
  EXPECT_TRUE(platform.files.files.empty());
  EXPECT_EQ(platform.files.log, (std::vector<std::string>{"delete " + line_path(),
                                                          "delete " + train_path()}));
}

TEST_F(ReadDescriptionsTest, LineProblemLeavesTheTrainUnread) {
  put("[generale]\r\nlunghezza percorso, 97000\r\n[curve]\r\n"
      "cartello_indicatore, 1025, (A)\r\ncartello_indicatore, 1075, (B)\r\n",
      kPlainTrain);
  read_descriptions(b);
  EXPECT_EQ(b.error_number, 6);
  EXPECT_FALSE(exists(line_path()));
  EXPECT_TRUE(exists(train_path()));
  EXPECT_EQ(b.stations[86].int1, 0);
}

TEST_F(ReadDescriptionsTest, MissingLineDescriptionLeavesBothAlone) {
  platform.files.files[train_path()] = kPlainTrain;
  read_descriptions(b);
  EXPECT_EQ(b.error_number, 101);
  EXPECT_TRUE(exists(train_path()));
  EXPECT_FALSE(b.cells_allocated());
}

TEST_F(ReadDescriptionsTest, LineBeyondItsCellsStillReadsTheTrain) {
  put("[generale]\r\nlunghezza percorso, 97000\r\n[curve]\r\npendenza, 103950, 1\r\n",
      kPlainTrain);
  read_descriptions(b);
  EXPECT_EQ(b.error_number, 15);
  EXPECT_EQ(b.error_position_m, 103950);
  EXPECT_EQ(b.stop_file, "Sarvena_Lucredo_linea.txt");
  EXPECT_EQ(b.stop_line, 4);
  EXPECT_EQ(b.stations[86].int1, 300);
  EXPECT_TRUE(platform.files.files.empty());
}

// Whatever cannot be read ends with 25 and no description text left; the
// reading failure names the file, the row where it happened and why.
TEST_F(ReadDescriptionsTest, CommonFailureDeletesBothTexts) {
  const struct {
    const char* what;
    std::string line;
    std::string train;
    bool line_unreadable;
    bool train_present;
    bool cells;
    const char* stop_file;
    int32_t stop_line;
    const char* reason_begins;
  } cases[] = {
      {"line record cut short", kPlainLine + "pendenza, 100", kPlainTrain, false, true, true,
       "Sarvena_Lucredo_linea.txt", 4, "a field is missing at the end of the file"},
      {"no line length", "[generale]\r\nsfondo uno, 1\r\n[curve]\r\n", kPlainTrain, false, true,
       false, "Sarvena_Lucredo_linea.txt", 3, "the general block has no \"lunghezza percorso\" record"},
      {"line text unreadable", kPlainLine, kPlainTrain, true, true, false,
       "Sarvena_Lucredo_linea.txt", 0, "read("},
      {"empty line text", "", kPlainTrain, false, true, false, "Sarvena_Lucredo_linea.txt", 0,
       "the line description is empty"},
      {"train text missing", kPlainLine, "", false, false, true, "Sarvena_Lucredo_20573-2-.txt",
       0, "open("},
      {"train value not a number", kPlainLine, "[generale]\r\nsabbia, x\r\n", false, true, true,
       "Sarvena_Lucredo_20573-2-.txt", 2, "not a number: \"x\""},
  };
  for (const auto& c : cases) {
    platform.files = MemoryFileSystem();
    reset();
    b.error_position_m = 777;
    platform.files.files[line_path()] = c.line;
    if (c.train_present) platform.files.files[train_path()] = c.train;
    if (c.line_unreadable) platform.files.failing_reads.insert(line_path());
    read_descriptions(b);
    EXPECT_EQ(b.error_number, 25) << c.what;
    EXPECT_EQ(b.error_position_m, 777) << c.what;
    EXPECT_TRUE(platform.files.files.empty()) << c.what;
    EXPECT_EQ(b.cells_allocated(), c.cells) << c.what;
    EXPECT_EQ(b.stop_file, c.stop_file) << c.what;
    EXPECT_EQ(b.stop_line, c.stop_line) << c.what;
    EXPECT_TRUE(b.stop_reason.starts_with(c.reason_begins)) << c.what << ": " << b.stop_reason;
  }
}

}  // namespace
}  // namespace sb
