#pragma once

#include <set>
#include <string>

#include "platform/forwarding_file_system.h"

namespace sb {

// Passes every operation through, except that it never replaces, renames
// over or deletes the protected paths: a build that reads the user's own
// description in place leaves that file as it was.
class ProtectedFileSystem : public ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;

  void protect(const std::string& path) { protected_.insert(path); }
  bool is_protected(const std::string& path) const { return protected_.count(path) != 0; }

  // A protected path is the user's own file read in place, which may be a
  // link the user made: it is read as the user named it.
  std::string read_own_file(const std::string& path) override {
    return is_protected(path) ? inner_.read_file(path) : inner_.read_own_file(path);
  }
  // Its writes of new files pass straight through.
  bool writes_alongside() const override { return inner_.writes_alongside(); }
  void write_new_file_from(const std::string& temporary_path, const std::string& final_path,
                           ByteStream& bytes, Durability durability) override {
    inner_.write_new_file_from(temporary_path, final_path, bytes, durability);
  }
  void rename_file(const std::string& from, const std::string& to) override {
    if (is_protected(to)) {
      inner_.remove_file(from);
      return;
    }
    inner_.rename_file(from, to);
  }
  void replace_file(const std::string& path, std::span<const std::string_view> chunks,
                    std::string_view tag, Durability durability) override {
    if (!is_protected(path)) inner_.replace_file(path, chunks, tag, durability);
  }
  void remove_file(const std::string& path) override {
    if (!is_protected(path)) inner_.remove_file(path);
  }
  using FileSystem::replace_file;

 private:
  std::set<std::string> protected_;
};

}  // namespace sb
