// A file that cannot be written ends the run at once with status 3 and a
// message naming it, and costs nothing: the older file of that name stays
// whole, no temporary file is left, and no later step writes anything.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/file_names.h"
#include "base/line_list.h"
#include "driver/run.h"
#include "scenario/line_description.h"
#include "scenario/train_description.h"
#include "testing/built_in_files.h"
#include "testing/fake_platform.h"
#include "testing/temp_dir.h"

namespace sb {
namespace {

namespace fs = std::filesystem;

// An older version of the file `name` that the build may replace: for the
// descriptions, the text the build writes there itself (a different one
// would be a user's edited copy, which stops the build before any write).
std::string older_version(const std::string& name) {
  if (name == "Sarvena_Lucredo_linea.txt") return render_line_list(built_in_line_lines());
  if (name == "Sarvena_Lucredo_20573-2-.txt") return render_line_list(built_in_train_lines());
  return "older " + name + "\r\n";
}

// The writes and deletions of a whole build up to the write of `failing`,
// then the deletion of the descriptions the run had written and not yet
// read (they never outlive the run) and of its record. The compiled files
// are published together: a failure in any of them stops the run before
// the record names them, and none is replaced.
std::vector<std::string> log_of_failed_build(const FakePlatform& platform,
                                             const std::string& failing) {
  FakePlatform complete;
  complete.directory = platform.directory;
  EXPECT_EQ(run_program(complete, std::vector<std::string>{}), kBuilt);
  const std::string record = "write " + complete.file("scenario_builder.publishing");
  const bool compiled = failing.ends_with(".dat") || failing.ends_with(".sim");
  std::vector<std::string> log;
  for (const std::string& entry : replacements_in(complete.files.log)) {
    if (entry == "write " + complete.file(failing)) break;
    if (compiled && entry == record && !log.empty()) break;
    log.push_back(entry);
  }
  for (const char* description : {"Sarvena_Lucredo_linea.txt", "Sarvena_Lucredo_20573-2-.txt"}) {
    const std::string path = complete.file(description);
    const auto logged = [&](const std::string& entry) {
      return std::find(log.begin(), log.end(), entry) != log.end();
    };
    if (logged("write " + path) && !logged("delete " + path)) log.push_back("delete " + path);
  }
  log.push_back("delete " + complete.file("scenario_builder.publishing"));
  return log;
}

TEST(WriteFailure, EachFileKeepsItsOlderVersionAndStopsTheRun) {
  for (const std::string& name : kBuiltInFilesInOrder) {
    SCOPED_TRACE(name);
    FakePlatform platform;
    const std::string path = platform.file(name);
    const std::string old_content = older_version(name);
    platform.files.files[path] = old_content;
    platform.files.failing_writes.insert(path);

    EXPECT_EQ(run_program(platform, std::vector<std::string>{}), kFileOrUsageError);

    EXPECT_EQ(platform.files.files[path], old_content);
    ASSERT_FALSE(platform.reports.empty());
    EXPECT_NE(platform.reports.back().find("write(" + path + "): "), std::string::npos)
        << platform.reports.back();
    EXPECT_TRUE(platform.messages.empty());
    // Nothing after the failed write but the clean-up: the log is that of a
    // good build cut just before it.
    EXPECT_EQ(replacements_in(platform.files.log), log_of_failed_build(platform, name));
  }
}

struct Outcome {
  int status = -1;
  std::string err;
};

// Runs the builder in `dir` with the shell's file-size limit set to `blocks`
// (512 or 1024 bytes each, as the shell counts them).
Outcome run_with_file_size_limit(const std::string& dir, int blocks) {
  TempDir capture;
  const std::string command = "ulimit -f " + std::to_string(blocks) + " && '" +
                              SCENARIO_BUILDER_EXE + "' --dir '" + dir + "' 2>'" +
                              capture.file("err") + "'";
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, read_file_bytes(capture.file("err"))};
}

TEST(WriteFailure, AFileSizeLimitOnDiskLosesNothing) {
  const struct {
    std::string failing;
    // Below the failing file's size, above that of every file before it.
    int blocks;
  } cases[] = {
      {"Sarvena_Lucredo_linea.txt", 4},  // a text of several kilobytes
      {"Sarvena_Lucredo_linea.dat", 400},  // the plan: megabytes, after the small texts
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.failing);
    TempDir dir;
    const std::string path = dir.file(c.failing);
    const std::string old_content = older_version(c.failing);
    write_file_bytes(path, old_content);

    const Outcome outcome = run_with_file_size_limit(dir.path(), c.blocks);

    EXPECT_EQ(outcome.status, 3) << outcome.err;
    EXPECT_NE(outcome.err.find("(" + path + "): "), std::string::npos) << outcome.err;
    EXPECT_EQ(read_file_bytes(path), old_content);
    for (const auto& entry : fs::directory_iterator(dir.path())) {
      EXPECT_NE(entry.path().extension(), ".partial") << entry.path();
    }
    // The files of the later steps are not written.
    EXPECT_FALSE(fs::exists(dir.file("Sarvena_Lucredo_20573-2.dat")));
  }
}

}  // namespace
}  // namespace sb
