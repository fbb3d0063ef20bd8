#include "platform/memory_file_system.h"

#include <cerrno>
#include <cstdio>

#include "base/file_names.h"
#include "platform/system_error.h"

namespace sb {

namespace {

constexpr std::string_view kRenameArrow = " -> ";

bool starts_with(const std::string& text, std::string_view start) {
  return text.compare(0, start.size(), start) == 0;
}

bool is_temporary(const std::string& path) {
  return path.size() >= kTemporaryNameSuffix.size() &&
         path.compare(path.size() - kTemporaryNameSuffix.size(), kTemporaryNameSuffix.size(), kTemporaryNameSuffix) == 0;
}

// The lock of one folder in memory, given back when the holder lets go,
// unless the machine crashed meanwhile (then everything is gone anyway).
class MemoryLockHold : public FolderLockHold {
 public:
  MemoryLockHold(MemoryFileSystem& files, std::string dir)
      : files_(files), dir_(std::move(dir)) {}
  ~MemoryLockHold() override {
    if (!files_.crashed()) files_.log.push_back("unlock " + dir_);
  }

 private:
  MemoryFileSystem& files_;
  std::string dir_;
};

}  // namespace

void MemoryFileSystem::operation(const std::string& entry) {
  if (crashed()) throw FileError("crash", entry, EIO);
  log.push_back(entry);
}

std::string MemoryFileSystem::read_file(const std::string& path) {
  if (crashed()) throw FileError("read", path, EIO);
  if (failing_reads.count(path)) throw FileError("read", path, EIO);
  auto it = files.find(path);
  if (it == files.end()) throw FileError("open", path, ENOENT);
  return it->second;
}

void MemoryFileSystem::write_new_file(const std::string& temporary_path,
                                      const std::string& final_path,
                                      std::span<const std::string_view> chunks,
                                      Durability durability) {
  if (failing_writes.count(final_path)) throw FileError("write", final_path, ENOSPC);
  if (files.count(temporary_path)) throw FileError("create", final_path, EEXIST);
  operation("write " + temporary_path);
  std::string content;
  for (std::string_view chunk : chunks) content.append(chunk);
  files[temporary_path] = std::move(content);
  unsynced_.insert(temporary_path);
  if (durability == Durability::synced) {
    operation("sync " + temporary_path);
    unsynced_.erase(temporary_path);
  }
}

void MemoryFileSystem::rename_file(const std::string& from, const std::string& to) {
  auto it = files.find(from);
  if (it == files.end()) throw FileError("rename", to, ENOENT);
  if (failing_renames.count(to) || unreplaceable.count(to)) throw FileError("rename", to, EBUSY);
  operation("rename " + from + std::string(kRenameArrow) + to);
  files[to] = std::move(it->second);
  files.erase(from);
  unsynced_.erase(to);
  if (unsynced_.erase(from)) unsynced_.insert(to);
}

void MemoryFileSystem::sync_folder(const std::string& dir) { operation("sync folder " + dir); }

std::vector<std::string> MemoryFileSystem::list_folder(const std::string& dir) {
  if (crashed()) throw FileError("list", dir, EIO);
  const std::string prefix = dir + "/";
  std::vector<std::string> names;
  for (const auto& [path, content] : files) {
    if (starts_with(path, prefix) && path.find('/', prefix.size()) == std::string::npos) {
      names.push_back(path.substr(prefix.size()));
    }
  }
  return names;
}

std::string MemoryFileSystem::new_temporary_tag() {
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(++tags_));
  return hex;
}

LockAttempt MemoryFileSystem::try_lock_folder(const std::string& dir, LockMode) {
  if (busy_folders.count(dir)) {
    if (on_busy_folder) on_busy_folder(dir);
    return {LockAttempt::busy, nullptr, 0};
  }
  if (unlockable_folders.count(dir)) return {LockAttempt::unsupported, nullptr, ENOLCK};
  operation("lock " + dir);
  return {LockAttempt::taken, std::make_unique<MemoryLockHold>(*this, dir), 0};
}

void MemoryFileSystem::remove_file(const std::string& path) {
  if (!files.count(path)) return;
  operation("delete " + path);
  files.erase(path);
  unsynced_.erase(path);
}

void MemoryFileSystem::recover_from_crash() {
  // Files are only ever written new, so an unsynced one had no bytes yet.
  for (const std::string& path : unsynced_) files[path].clear();
  unsynced_.clear();
  crash_at_.reset();
}

std::vector<std::string> replacements_in(const std::vector<std::string>& log) {
  std::vector<std::string> seen;
  for (const std::string& entry : log) {
    if (starts_with(entry, "rename ")) {
      seen.push_back("write " + entry.substr(entry.find(kRenameArrow) + kRenameArrow.size()));
    } else if (starts_with(entry, "delete ") && !is_temporary(entry)) {
      seen.push_back(entry);
    }
  }
  return seen;
}

}  // namespace sb
