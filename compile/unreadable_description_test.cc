// A description that cannot be read at all (it vanished, or a folder stands
// in its place) ends the reading with 25 through the common failure handler,
// in memory and on disk, never with a crash or an escaped exception.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/file_names.h"
#include "compile/compile_scenario.h"
#include "driver/run.h"
#include "line/line_writer.h"
#include "scenario/built_in_names.h"
#include "testing/fake_platform.h"
#include "testing/temp_dir.h"
#include "track/error_numbers.h"
#include "track/fatal_report.h"
#include "train/train_writer.h"

namespace sb {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kCompiledFiles = {
    "Sarvena_Lucredo_linea.dat", "Sarvena_Lucredo_20573-2.sim", "Sarvena_Lucredo_20573-2.dat"};

TEST(UnreadableDescription, WholeRunInMemory) {
  const struct {
    std::string unreadable;
    std::vector<std::string> args;
    int status;
    // The line's failure leaves no cells, so the run ends with the fatal
    // report; the train's leaves a model that is written with --keep-going.
    std::vector<std::string> messages;
    bool compiled;
  } cases[] = {
      {"Sarvena_Lucredo_linea.txt", {}, kFatalReport, {" Errore n. 25"}, false},
      {"Sarvena_Lucredo_20573-2-.txt", {}, kBuiltWithProblem, {}, false},
      {"Sarvena_Lucredo_20573-2-.txt", {"--keep-going"}, kBuiltWithProblem, {}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.unreadable + (c.args.empty() ? "" : " " + c.args[0]));
    FakePlatform platform;
    platform.files.failing_reads.insert(platform.file(c.unreadable));

    EXPECT_EQ(run_program(platform, c.args), c.status);

    EXPECT_EQ(platform.messages, c.messages);
    if (c.status == kBuiltWithProblem) {
      ASSERT_FALSE(platform.reports.empty());
      EXPECT_EQ(platform.reports.back().rfind("error_number=25 ", 0), 0u)
          << platform.reports.back();
    }
    EXPECT_FALSE(platform.files.exists(platform.file("Sarvena_Lucredo_linea.txt")));
    EXPECT_FALSE(platform.files.exists(platform.file("Sarvena_Lucredo_20573-2-.txt")));
    for (const std::string& name : kCompiledFiles) {
      EXPECT_EQ(platform.files.exists(platform.file(name)), c.compiled) << name;
    }
  }
}

// The test platform, with the real disk under a temporary folder.
class DiskPlatform : public FakePlatform {
 public:
  FileSystem& file_system() override { return disk; }
  DiskFileSystem disk;
};

TEST(UnreadableDescription, OnDisk) {
  enum class Trouble { folder, missing };
  const struct {
    const char* what;
    std::string name;
    Trouble trouble;
    bool cells;
  } cases[] = {
      {"a folder in place of the line", "Sarvena_Lucredo_linea.txt", Trouble::folder, false},
      {"a folder in place of the train", "Sarvena_Lucredo_20573-2-.txt", Trouble::folder, true},
      {"the train vanished", "Sarvena_Lucredo_20573-2-.txt", Trouble::missing, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    DiskPlatform platform;
    platform.directory = dir.path();
    Builder b(platform);
    b.directory = dir.path();
    b.route_name = kBuiltInRouteName;
    b.train_number = kBuiltInTrainNumber;
    // The model a failed train leaves is written as it stands.
    b.keep_going = true;
    write_line_description(b);
    write_train_description(b);
    const std::string path = dir.file(c.name);
    fs::remove(path);
    if (c.trouble == Trouble::folder) fs::create_directory(path);

    bool fatal = false;
    try {
      compile_scenario(b, true);
    } catch (const FatalReport& report) {
      fatal = true;
      EXPECT_EQ(report.number, error::unreadable);
    }

    EXPECT_EQ(b.error_number, 25);
    EXPECT_EQ(fatal, !c.cells);
    EXPECT_EQ(b.cells_allocated(), c.cells);
    // The texts are gone; a folder is not a text and stays.
    for (const std::string& name : {line_description_name(b.route_name), train_description_name(b.route_name, b.train_number)}) {
      const bool folder_here = name == c.name && c.trouble == Trouble::folder;
      EXPECT_EQ(fs::exists(dir.file(name)), folder_here) << name;
    }
    for (const std::string& name : kCompiledFiles) {
      EXPECT_EQ(fs::exists(dir.file(name)), c.cells) << name;
    }
  }
}

}  // namespace
}  // namespace sb
