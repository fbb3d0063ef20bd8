// A build is a transaction in its folder: killed after any operation (the
// machine losing what was not synced), the next run finds the older set or
// the new one, never a mix, no leftover, and builds.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "base/file_names.h"
#include "base/line_list.h"
#include "driver/run.h"
#include "platform/folder_transaction.h"
#include "scenario/train_description.h"
#include "testing/fake_platform.h"

namespace sb {
namespace {

using Files = std::map<std::string, std::string>;

const std::string kDir = "/scenario";
const std::vector<std::string> kCompiled = {"Sarvena_Lucredo_linea.dat",
                                            "Sarvena_Lucredo_20573-2.sim",
                                            "Sarvena_Lucredo_20573-2.dat"};
const std::vector<std::string> kBuiltIn = {};
// A small scenario of the author's, kept outside the folder.
const std::vector<std::string> kOwn = {"--line", "/own/line.txt", "--train", "/own/train.txt"};

Files starting_files() {
  return {{"/own/line.txt", "[generale]\r\nlunghezza percorso, 3000\r\n[fine]\r\n"},
          {"/own/train.txt",
           "[generale]\r\nsabbia, 300\r\nstazione, 0, 25, 200, 0, 0, 0, 0,0,0, 0,0,0, 0, 0,0,0, A\r\n"
           "[fine]\r\n"}};
}

std::string in_dir(const std::string& name) { return kDir + "/" + name; }

// The files of the folder, by name.
Files folder_of(const Files& files) {
  Files folder;
  for (const auto& [path, bytes] : files) {
    if (path.rfind(kDir + "/", 0) == 0) folder[path.substr(kDir.size() + 1)] = bytes;
  }
  return folder;
}

// The compiled files of the folder, those there are.
Files set_of(const Files& files) {
  Files set;
  for (const std::string& name : kCompiled) {
    if (auto it = files.find(in_dir(name)); it != files.end()) set[name] = it->second;
  }
  return set;
}

// The names of the files that differ between two folders, for a message.
std::string differing(const Files& a, const Files& b) {
  std::string names;
  for (const auto& [name, bytes] : a) {
    if (!b.count(name) || b.at(name) != bytes) names += " " + name;
  }
  for (const auto& [name, bytes] : b) {
    if (!a.count(name)) names += " " + name;
  }
  return names;
}

// Runs the program on the files; returns the files after it.
Files run(Files files, const std::vector<std::string>& args, int expected_status = kBuilt) {
  FakePlatform platform;
  platform.files.files = std::move(files);
  EXPECT_EQ(run_program(platform, args), expected_status);
  return platform.files.files;
}

// What the next run does first, alone: finishes what the dead run left.
void finish_interrupted_run(MemoryFileSystem& files) {
  FolderTransaction transaction(files, kDir, in_dir);
  transaction.finish_interrupted_run();
}

TEST(InterruptedBuild, ACrashAfterAnyOperationLeavesOneWholeSetAndNothingInTheWay) {
  const struct {
    const char* what;
    std::vector<std::string> before, interrupted;
  } cases[] = {
      {"built-in over own", kOwn, kBuiltIn},
      {"own over built-in", kBuiltIn, kOwn},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Files before = run(starting_files(), c.before);
    FakePlatform complete;
    complete.files.files = before;
    ASSERT_EQ(run_program(complete, c.interrupted), kBuilt);
    const Files after = complete.files.files;
    ASSERT_FALSE(set_of(before) == set_of(after));

    for (size_t operations = 0; operations < complete.files.log.size(); ++operations) {
      SCOPED_TRACE("crash after " + std::to_string(operations) + " operations: " +
                   (operations ? complete.files.log[operations - 1] : "none"));
      FakePlatform platform;
      platform.files.files = before;
      platform.files.crash_after(operations);
      run_program(platform, c.interrupted);
      ASSERT_TRUE(platform.files.crashed());
      platform.files.recover_from_crash();

      finish_interrupted_run(platform.files);
      const Files set = set_of(platform.files.files);
      EXPECT_TRUE(set == set_of(before) || set == set_of(after));
      for (const auto& [name, bytes] : folder_of(platform.files.files)) {
        EXPECT_EQ(name.find(kTemporaryNameSuffix), std::string::npos) << name;
        EXPECT_NE(name, kPublishRecordName);
        EXPECT_NE(name, "Sarvena_Lucredo_linea.txt");
        EXPECT_NE(name, "Sarvena_Lucredo_20573-2-.txt");
      }

      platform.reports.clear();
      EXPECT_EQ(run_program(platform, c.interrupted), kBuilt)
          << (platform.reports.empty() ? "" : platform.reports.back());
      EXPECT_TRUE(folder_of(platform.files.files) == folder_of(after))
          << differing(folder_of(platform.files.files), folder_of(after));
    }
  }
}

// A killed run's working copy that someone edited since is not the
// program's to delete: it stays, and the build stops at the guard.
TEST(InterruptedBuild, AnEditedLeftoverStaysAndMeetsTheGuard) {
  FakePlatform platform;
  platform.files.files = starting_files();
  platform.files.crash_after(11);  // the lock, the record and both working copies
  run_program(platform, kBuiltIn);
  platform.files.recover_from_crash();
  const std::string train = in_dir("Sarvena_Lucredo_20573-2-.txt");
  ASSERT_EQ(platform.files.files.count(train), 1u);
  platform.files.files[train] += "edited\r\n";

  platform.reports.clear();
  EXPECT_EQ(run_program(platform, kBuiltIn), kFileOrUsageError);
  EXPECT_EQ(platform.files.files[train].substr(platform.files.files[train].size() - 8),
            "edited\r\n");
  ASSERT_EQ(platform.reports.size(), 2u);
  EXPECT_EQ(platform.reports[0],
            "scenario_builder: a run stopped in /scenario before it ended; deleted what it "
            "left: Sarvena_Lucredo_linea.txt");
  EXPECT_NE(platform.reports[1].find(train + " differs"), std::string::npos) << platform.reports[1];
}

// An edit that keeps the size is told from the run's bytes wherever it
// falls: at the start, in each of the words read side by side, in the
// middle, in the last bytes.
TEST(InterruptedBuild, AnEditOfTheSameSizeStays) {
  const std::string line = in_dir("Sarvena_Lucredo_linea.txt");
  FakePlatform killed;
  killed.files.files = starting_files();
  killed.files.crash_after(11);  // the lock, the record and both working copies
  run_program(killed, kBuiltIn);
  killed.files.recover_from_crash();
  const std::string written = killed.files.files.at(line);
  ASSERT_GT(written.size(), 200u);
  for (size_t at : {size_t{0}, size_t{8}, size_t{17}, size_t{31}, size_t{32}, written.size() / 2,
                    written.size() - 9, written.size() - 1}) {
    SCOPED_TRACE("byte " + std::to_string(at));
    FakePlatform platform;
    platform.files.files = killed.files.files;
    platform.files.files[line][at] ^= 1;
    const std::string edited = platform.files.files[line];
    EXPECT_EQ(run_program(platform, kBuiltIn), kFileOrUsageError);
    EXPECT_EQ(platform.files.files[line], edited);
  }
}

// A rename that fails midway (a program holding the file open) keeps the
// record: the message names what is new already, and the next build
// finishes the set and says so.
TEST(InterruptedBuild, ARenameThatFailsMidwayIsFinishedByTheNextBuild) {
  const Files before = run(starting_files(), kOwn);
  FakePlatform platform;
  platform.files.files = before;
  platform.files.failing_renames.insert(in_dir("Sarvena_Lucredo_20573-2.sim"));

  EXPECT_EQ(run_program(platform, kBuiltIn), kFileOrUsageError);
  EXPECT_EQ(platform.reports.back(),
            "scenario_builder: rename(/scenario/Sarvena_Lucredo_20573-2.sim): the file is in use "
            "by another program; already new: Sarvena_Lucredo_linea.dat; the next build in "
            "/scenario finishes the set");
  EXPECT_TRUE(platform.files.exists(in_dir(std::string(kPublishRecordName))));

  platform.files.failing_renames.clear();
  platform.reports.clear();
  EXPECT_EQ(run_program(platform, kOwn), kBuilt);
  EXPECT_EQ(platform.reports.front(),
            "scenario_builder: a run stopped in /scenario before it ended; published the files "
            "it had written: Sarvena_Lucredo_20573-2.sim, Sarvena_Lucredo_20573-2.dat; it left "
            "nothing else");
  EXPECT_TRUE(set_of(platform.files.files) == set_of(before))
      << differing(set_of(platform.files.files), set_of(before));
}

// A failure before the first rename (a file that cannot be written, or one
// that cannot be replaced) leaves the older set whole and says so.
TEST(InterruptedBuild, AFailureBeforePublishingReplacesNothing) {
  const Files before = run(starting_files(), kOwn);
  for (const std::string& name : kCompiled) {
    for (bool unreplaceable : {false, true}) {
      SCOPED_TRACE(name + (unreplaceable ? " held open" : " not written"));
      FakePlatform platform;
      platform.files.files = before;
      (unreplaceable ? platform.files.unreplaceable : platform.files.failing_writes)
          .insert(in_dir(name));
      EXPECT_EQ(run_program(platform, kBuiltIn), kFileOrUsageError);
      EXPECT_NE(platform.reports.back().find(
                    "; nothing was replaced: the compiled files in /scenario are those it held "
                    "before"),
                std::string::npos)
          << platform.reports.back();
      EXPECT_TRUE(set_of(platform.files.files) == set_of(before))
          << differing(set_of(platform.files.files), set_of(before));
    }
  }
}

// A record someone else wrote cannot make a run rename or delete what is
// not the program's own.
TEST(InterruptedBuild, ARecordNamesOnlyTheProgramsOwnFiles) {
  FakePlatform platform;
  platform.files.files = {
      {in_dir(std::string(kPublishRecordName)),
       "scenario_builder publishing record\ntag\t00000000000000aa\n"
       "publish\tnotes.txt\tSarvena_Lucredo_linea.dat\n"
       "publish\t../x.00000000000000aa.partial\t../x\n"
       "working\tmine.txt\t4\t0000000000000000\n"},
      {in_dir("notes.txt"), "author's"},
      {in_dir("mine.txt"), "mine"},
  };
  finish_interrupted_run(platform.files);
  EXPECT_EQ(folder_of(platform.files.files), (Files{{"notes.txt", "author's"}, {"mine.txt", "mine"}}));
}

TEST(InterruptedBuild, AFolderAnotherRunHoldsOrThatCannotBeLocked) {
  FakePlatform platform;
  platform.files.unlockable_folders.insert(kDir);
  EXPECT_EQ(run_program(platform, kBuiltIn), kBuilt);
  EXPECT_EQ(platform.reports.front(),
            "scenario_builder: warning: /scenario cannot be locked (the file system does not "
            "lock files): a run started there meanwhile could mix its files with this one's");
  // --check takes no lock.
  platform.files.busy_folders.insert(kDir);
  platform.files.log.clear();
  EXPECT_EQ(run_program(platform, std::vector<std::string>{"--check"}), kBuilt);
  EXPECT_TRUE(platform.files.log.empty());
}

// The windowed program's waiting window is up while the run waits for the
// folder, and goes once the run has built.
TEST(InterruptedBuild, ARunWaitsForTheFolderUnderItsWaitingWindow) {
  FakePlatform platform;
  platform.files.busy_folders.insert(kDir);
  int attempts = 0;
  platform.files.on_busy_folder = [&](const std::string& dir) {
    platform.events.push_back("waits for " + dir);
    if (++attempts == 2) platform.files.busy_folders.erase(dir);
  };
  EXPECT_EQ(run_program(platform, kBuiltIn), kBuilt);
  EXPECT_EQ(platform.events, (std::vector<std::string>{"window shown", "waits for /scenario",
                                                       "waits for /scenario", "window closed"}));
  EXPECT_TRUE(platform.messages.empty());
}

// A folder's name reaches the terminal only escaped, whichever message
// names it: the lock's warning, the finishing of a killed run's publish and
// the files that run left.
TEST(InterruptedBuild, MessagesShowAHostileFolderNameEscaped) {
  FakePlatform platform;
  platform.directory = "/a\x1b[2Jb";
  platform.files.unlockable_folders.insert(platform.directory);
  const std::string tag = "00000000000000aa";
  const std::string plan = "Sarvena_Lucredo_linea.dat";
  platform.files.files = {
      {platform.file(std::string(kPublishRecordName)),
       "scenario_builder publishing record\ntag\t" + tag + "\npublish\t" +
           temporary_name(plan, tag) + "\t" + plan + "\n"},
      {platform.file(temporary_name(plan, tag)), "plan"},
      {platform.file(temporary_name("x\a", tag)), "left"},
  };
  EXPECT_EQ(run_program(platform, kBuiltIn), kBuilt);
  ASSERT_GE(platform.reports.size(), 2u);
  EXPECT_EQ(platform.reports[0],
            "scenario_builder: warning: /a\\x1B[2Jb cannot be locked (the file system does not "
            "lock files): a run started there meanwhile could mix its files with this one's");
  EXPECT_EQ(platform.reports[1],
            "scenario_builder: a run stopped in /a\\x1B[2Jb before it ended; published the "
            "files it had written: Sarvena_Lucredo_linea.dat; deleted what it left: x\\x07." +
                tag + ".partial");
  for (const std::string& report : platform.reports) {
    EXPECT_EQ(report.find_first_of("\x1b\a"), std::string::npos) << report;
  }
}

}  // namespace
}  // namespace sb
