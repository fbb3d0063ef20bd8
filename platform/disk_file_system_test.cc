#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/system_error.h"
#include "testing/temp_dir.h"

namespace sb {
namespace {

namespace fs = std::filesystem;

constexpr size_t kLimit = size_t{1} << 20;

TEST(DiskFileSystem, ReadsUpToItsLimitAndRefusesMore) {
  TempDir dir;
  DiskFileSystem disk(kLimit);
  const std::string at_limit = dir.file("at_limit.txt");
  const std::string above = dir.file("above.txt");
  write_file_bytes(at_limit, std::string(kLimit, 'a'));
  write_file_bytes(above, std::string(kLimit + 1, 'a'));

  EXPECT_EQ(disk.read_file(at_limit), std::string(kLimit, 'a'));
  // A regular file, and a device that never ends, which would otherwise take
  // all the memory there is.
  for (const std::string& path : {above, std::string("/dev/zero")}) {
    try {
      disk.read_file(path);
      ADD_FAILURE() << path << " was read";
    } catch (const FileError& e) {
      EXPECT_EQ(std::string(e.what()),
                "read(" + path + "): larger than 1 MiB, far more than any description");
    }
  }
}

// A file the builder wrote is read back only if the name still holds a
// regular file; what the user names is read as named, through a link too.
TEST(DiskFileSystem, ReadsItsOwnFilesOnlyAsRegularFiles) {
  TempDir dir;
  DiskFileSystem disk;
  const std::string regular = dir.file("regular.txt");
  write_file_bytes(regular, "own bytes");
  fs::create_symlink(regular, dir.file("link"));
  fs::create_directory(dir.file("folder"));
  ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);

  EXPECT_EQ(disk.read_own_file(regular), "own bytes");
  EXPECT_EQ(disk.read_file(dir.file("link")), "own bytes");
  const struct {
    std::string name;
    std::string reason;
  } refused[] = {
      {"link", "it is a symbolic link, not a file this run wrote"},
      {"folder", "it is a folder, not a file this run wrote"},
      {"pipe", "it is not a regular file, as the files this run writes are"},
  };
  for (const auto& r : refused) {
    const std::string path = dir.file(r.name);
    try {
      disk.read_own_file(path);
      ADD_FAILURE() << path << " was read";
    } catch (const FileError& e) {
      EXPECT_EQ(std::string(e.what()), "read(" + path + "): " + r.reason);
    }
  }
}

TEST(DiskFileSystem, DeletingALinkLeavesTheFileItPointsTo) {
  TempDir dir;
  DiskFileSystem disk;
  const std::string target = dir.file("target.txt");
  write_file_bytes(target, "kept");
  fs::create_symlink(target, dir.file("link"));

  disk.remove_file(dir.file("link"));
  disk.remove_file(dir.file("missing"));

  EXPECT_FALSE(fs::exists(fs::symlink_status(dir.file("link"))));
  EXPECT_EQ(read_file_bytes(target), "kept");
}

// The new content goes into a file of its own, renamed over the old one:
// nothing else is left in the folder, and a file at the name is replaced
// with the permissions a new file gets, whatever the old one had.
TEST(DiskFileSystem, AReplacementLeavesOnlyTheNewFile) {
  TempDir dir;
  DiskFileSystem disk;
  const std::string path = dir.file("out.dat");
  write_file_bytes(path, "an older and longer content");
  fs::permissions(path, fs::perms::owner_read);

  disk.replace_file(path, "new");

  EXPECT_EQ(read_file_bytes(path), "new");
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    names.push_back(entry.path().filename());
  }
  EXPECT_EQ(names, std::vector<std::string>{"out.dat"});
  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(static_cast<mode_t>(fs::status(path).permissions()), 0666 & ~mask);
}

}  // namespace
}  // namespace sb

namespace sb {
namespace {

// What the programs read in a folder they work in must be a regular file:
// a pipe there is refused at once, never waited on; a link is followed.
TEST(DiskFileSystem, ReadsRegularFilesWithoutWaitingOnAPipe) {
  TempDir dir;
  DiskFileSystem disk;
  write_file_bytes(dir.file("regular.txt"), "bytes");
  fs::create_symlink(dir.file("regular.txt"), dir.file("link"));
  ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);

  EXPECT_EQ(disk.read_regular_file(dir.file("link")), "bytes");
  for (const std::string& path : {dir.file("pipe"), std::string("/dev/zero")}) {
    EXPECT_THROW(disk.read_regular_file(path), FileError) << path;
  }
}

// The lock of a folder is held through the folder itself: nothing is
// created in it, readers share it, and a writer has it alone.
TEST(DiskFileSystem, LocksAFolderForOneWriterOrManyReaders) {
  TempDir dir;
  DiskFileSystem disk;
  {
    LockAttempt writer = disk.try_lock_folder(dir.path(), LockMode::exclusive);
    ASSERT_EQ(writer.outcome, LockAttempt::taken);
    EXPECT_EQ(disk.try_lock_folder(dir.path(), LockMode::exclusive).outcome, LockAttempt::busy);
    EXPECT_EQ(disk.try_lock_folder(dir.path(), LockMode::shared).outcome, LockAttempt::busy);
  }
  LockAttempt reader = disk.try_lock_folder(dir.path(), LockMode::shared);
  ASSERT_EQ(reader.outcome, LockAttempt::taken);
  EXPECT_EQ(disk.try_lock_folder(dir.path(), LockMode::shared).outcome, LockAttempt::taken);
  EXPECT_EQ(disk.try_lock_folder(dir.path(), LockMode::exclusive).outcome, LockAttempt::busy);
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

}  // namespace
}  // namespace sb
