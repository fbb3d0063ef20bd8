#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "platform/file_system.h"
#include "platform/system_error.h"

namespace sb {

// How long a run waits for the lock of a folder another run holds: a build
// takes milliseconds, so a wait past `notice_after` is said once, and one
// past `give_up_after` means the other run is stuck (or a very slow disk).
struct LockWaiting {
  std::chrono::milliseconds notice_after{1000};
  std::chrono::milliseconds give_up_after{60000};
  // Called once when the wait passes notice_after.
  std::function<void()> on_long_wait;
  // Called when the system refuses locks in that folder (some network
  // shares: ENOLCK), with the reason; the run goes on without the lock.
  std::function<void(const std::string& reason)> on_unsupported;
};

// Another run held the folder for the whole wait.
class FolderBusy : public FileError {
 public:
  explicit FolderBusy(const FileError& error) : FileError(error) {}
};

// Takes the lock of folder `dir`, waiting while another run holds it.
// Returns the hold (null when the system refuses locks there); throws
// FolderBusy ("lock(DIR): another run holds this folder ...") past the wait.
//
// One run writes in a folder at a time (LockMode::exclusive); readers share
// it (LockMode::shared) where the system can. The lock creates nothing in
// the folder and goes with its holder's process.
std::unique_ptr<FolderLockHold> lock_folder(FileSystem& files, const std::string& dir,
                                            LockMode mode, const LockWaiting& waiting);

}  // namespace sb
