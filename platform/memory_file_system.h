#pragma once

#include <cerrno>
#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/system_error.h"

namespace sb {

// Files kept in memory, for tests and fuzzing. Any operation on a chosen
// path can be made to fail, every change is logged in order, and a crash
// can be simulated after any logged operation: from then on nothing
// changes, and recover_from_crash() drops the data that was not synced, as
// a machine that lost its power would.
class MemoryFileSystem : public FileSystem {
 public:
  bool exists(const std::string& path) override { return files.count(path) != 0; }
  std::string read_file(const std::string& path) override;
  // Memory holds no links, pipes nor folders: every file is a regular one.
  std::string read_regular_file(const std::string& path) override { return read_file(path); }
  std::string read_own_file(const std::string& path) override { return read_file(path); }
  void write_new_file(const std::string& temporary_path, const std::string& final_path,
                      std::span<const std::string_view> chunks, Durability durability) override;
  void rename_file(const std::string& from, const std::string& to) override;
  void check_replaceable(const std::string& path) override {
    if (unreplaceable.count(path)) throw FileError("rename", path, EBUSY);
  }
  void sync_folder(const std::string& dir) override;
  std::vector<std::string> list_folder(const std::string& dir) override;
  // Tags count up from 1, so that logs are the same from run to run.
  std::string new_temporary_tag() override;
  LockAttempt try_lock_folder(const std::string& dir, LockMode mode) override;
  void remove_file(const std::string& path) override;
  // Folders are implied by the paths.
  void make_directories(const std::string&) override {}
  bool same_file(const std::string& a, const std::string& b) override {
    return a == b && exists(a);
  }
  using FileSystem::replace_file;

  // Ends the simulated machine's run after `operations` more logged
  // operations: every later operation fails with EIO and changes nothing.
  void crash_after(size_t operations) { crash_at_ = log.size() + operations; }
  bool crashed() const { return crash_at_ && log.size() >= *crash_at_; }
  // The machine starts again: data written and not synced is lost (a file
  // written and not synced is left empty), locks are gone.
  void recover_from_crash();

  // Files by path.
  std::map<std::string, std::string> files;
  // Paths whose replacement fails with ENOSPC, and whose reading fails with EIO.
  std::set<std::string> failing_writes;
  std::set<std::string> failing_reads;
  // Paths another program holds open: renames over them fail with EBUSY,
  // for those in `unreplaceable` already when checked beforehand.
  std::set<std::string> failing_renames;
  std::set<std::string> unreplaceable;
  // Folders whose lock another process holds, and folders whose file
  // system refuses locks (ENOLCK).
  std::set<std::string> busy_folders;
  std::set<std::string> unlockable_folders;
  // Called at each attempt at the lock of a busy folder: a test can let the
  // other run end there meanwhile.
  std::function<void(const std::string& dir)> on_busy_folder;
  // The operations in the order they happened: "write PATH" (a new file
  // created and written), "sync PATH", "rename FROM -> TO", "sync folder DIR",
  // "delete PATH", "lock DIR", "unlock DIR".
  std::vector<std::string> log;

 private:
  void operation(const std::string& entry);

  // Files written and not synced since.
  std::set<std::string> unsynced_;
  std::optional<size_t> crash_at_;
  uint64_t tags_ = 0;
};

// The writes and deletions of a log, as a reader of the folder sees them
// happen: "write PATH" when a file is renamed into place or written under
// its own name, "delete PATH"; temporaries and syncs left out.
std::vector<std::string> replacements_in(const std::vector<std::string>& log);

}  // namespace sb
