#include "platform/folder_lock.h"

#include <algorithm>
#include <thread>

#include "platform/system_error.h"

namespace sb {

std::unique_ptr<FolderLockHold> lock_folder(FileSystem& files, const std::string& dir,
                                            LockMode mode, const LockWaiting& waiting) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  // Short pauses first (the other build is most likely about to end), then
  // longer ones, so that a long wait costs next to nothing.
  std::chrono::milliseconds pause{1};
  bool noticed = false;
  for (;;) {
    LockAttempt attempt = files.try_lock_folder(dir, mode);
    if (attempt.outcome == LockAttempt::taken) return std::move(attempt.hold);
    if (attempt.outcome == LockAttempt::unsupported) {
      if (waiting.on_unsupported) waiting.on_unsupported(explain_error_number(attempt.error_number));
      return nullptr;
    }
    const auto waited = Clock::now() - start;
    if (waited >= waiting.give_up_after) {
      const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(waiting.give_up_after);
      throw FolderBusy(FileError::refused(
          "lock", dir,
          "another run holds this folder and has not let it go in " +
              std::to_string(seconds.count()) + " s; nothing was written"));
    }
    if (!noticed && waited >= waiting.notice_after) {
      noticed = true;
      if (waiting.on_long_wait) waiting.on_long_wait();
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds{50});
  }
}

}  // namespace sb
