#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace sb {

// Passes every operation to another file system. A wrapper that changes or
// watches a few operations derives from it and overrides only those.
//
// replace_file is not passed on: it is composed here from this object's own
// write_new_file and rename_file (FileSystem's way), so that a wrapper sees
// a replacement through the operations it overrides.
class ForwardingFileSystem : public FileSystem {
 public:
  explicit ForwardingFileSystem(FileSystem& inner) : inner_(inner) {}

  bool exists(const std::string& path) override { return inner_.exists(path); }
  std::string read_file(const std::string& path) override { return inner_.read_file(path); }
  std::string read_regular_file(const std::string& path) override {
    return inner_.read_regular_file(path);
  }
  std::string read_own_file(const std::string& path) override {
    return inner_.read_own_file(path);
  }
  void write_new_file(const std::string& temporary_path, const std::string& final_path,
                      std::span<const std::string_view> chunks, Durability durability) override {
    inner_.write_new_file(temporary_path, final_path, chunks, durability);
  }
  void rename_file(const std::string& from, const std::string& to) override {
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
  void remove_file(const std::string& path) override { inner_.remove_file(path); }
  void make_directories(const std::string& path) override { inner_.make_directories(path); }
  bool same_file(const std::string& a, const std::string& b) override {
    return inner_.same_file(a, b);
  }
  using FileSystem::replace_file;

 protected:
  FileSystem& inner_;
};

}  // namespace sb
