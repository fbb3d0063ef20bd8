#pragma once

#include <set>
#include <string>

#include "platform/file_system.h"

namespace sb {

// Passes every operation through, except that it never replaces, renames
// over or deletes the protected paths: a build that reads the user's own
// description in place leaves that file as it was.
class ProtectedFileSystem : public FileSystem {
 public:
  explicit ProtectedFileSystem(FileSystem& inner) : inner_(inner) {}

  void protect(const std::string& path) { protected_.insert(path); }
  bool is_protected(const std::string& path) const { return protected_.count(path) != 0; }

  bool exists(const std::string& path) override { return inner_.exists(path); }
  std::string read_file(const std::string& path) override { return inner_.read_file(path); }
  std::string read_regular_file(const std::string& path) override {
    return inner_.read_regular_file(path);
  }
  // A protected path is the user's own file read in place, which may be a
  // link the user made: it is read as the user named it.
  std::string read_own_file(const std::string& path) override {
    return is_protected(path) ? inner_.read_file(path) : inner_.read_own_file(path);
  }
  void write_new_file(const std::string& temporary_path, const std::string& final_path,
                      std::span<const std::string_view> chunks, Durability durability) override {
    inner_.write_new_file(temporary_path, final_path, chunks, durability);
  }
  void rename_file(const std::string& from, const std::string& to) override {
    if (is_protected(to)) {
      inner_.remove_file(from);
      return;
    }
    inner_.rename_file(from, to);
  }
  void check_replaceable(const std::string& path) override { inner_.check_replaceable(path); }
  void sync_folder(const std::string& dir) override { inner_.sync_folder(dir); }
  std::vector<std::string> list_folder(const std::string& dir) override {
    return inner_.list_folder(dir);
  }
  std::string new_temporary_tag() override { return inner_.new_temporary_tag(); }
  LockAttempt try_lock_folder(const std::string& dir, LockMode mode) override {
    return inner_.try_lock_folder(dir, mode);
  }
  void replace_file(const std::string& path, std::span<const std::string_view> chunks,
                    std::string_view tag, Durability durability) override {
    if (!is_protected(path)) inner_.replace_file(path, chunks, tag, durability);
  }
  void remove_file(const std::string& path) override {
    if (!is_protected(path)) inner_.remove_file(path);
  }
  void make_directories(const std::string& path) override { inner_.make_directories(path); }
  bool same_file(const std::string& a, const std::string& b) override {
    return inner_.same_file(a, b);
  }
  using FileSystem::replace_file;

 private:
  FileSystem& inner_;
  std::set<std::string> protected_;
};

}  // namespace sb
