#include "platform/folder_lock.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/memory_file_system.h"

namespace sb {
namespace {

TEST(FolderLock, AWaitPastItsBoundSaysOnceAndGivesUp) {
  MemoryFileSystem files;
  files.busy_folders.insert("/d");
  int notices = 0;
  LockWaiting waiting;
  waiting.notice_after = std::chrono::milliseconds(0);
  waiting.give_up_after = std::chrono::milliseconds(30);
  waiting.on_long_wait = [&] { ++notices; };
  try {
    lock_folder(files, "/d", LockMode::exclusive, waiting);
    ADD_FAILURE() << "the lock was taken";
  } catch (const FolderBusy& e) {
    EXPECT_EQ(std::string(e.what()),
              "lock(/d): another run holds this folder and has not let it go in 0 s; nothing "
              "was written");
  }
  EXPECT_EQ(notices, 1);
  EXPECT_TRUE(files.log.empty());
}

TEST(FolderLock, AFolderTheSystemCannotLockIsUsedWithAWarning) {
  MemoryFileSystem files;
  files.unlockable_folders.insert("/d");
  std::string reason;
  LockWaiting waiting;
  waiting.on_unsupported = [&](const std::string& why) { reason = why; };
  EXPECT_EQ(lock_folder(files, "/d", LockMode::exclusive, waiting), nullptr);
  EXPECT_EQ(reason, "the file system does not lock files");
}

TEST(FolderLock, AFreeFolderIsTakenAndGivenBack) {
  MemoryFileSystem files;
  lock_folder(files, "/d", LockMode::exclusive, {});
  EXPECT_EQ(files.log, (std::vector<std::string>{"lock /d", "unlock /d"}));
}

}  // namespace
}  // namespace sb
