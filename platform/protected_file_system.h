#pragma once

#include <set>
#include <string>

#include "platform/file_system.h"

namespace sb {

// Passes every operation through, except that it never replaces or deletes
// the protected paths: a build that reads the user's own description in
// place leaves that file as it was.
class ProtectedFileSystem : public FileSystem {
 public:
  explicit ProtectedFileSystem(FileSystem& inner) : inner_(inner) {}

  void protect(const std::string& path) { protected_.insert(path); }

  bool exists(const std::string& path) override { return inner_.exists(path); }
  std::string read_file(const std::string& path) override { return inner_.read_file(path); }
  // A protected path is the user's own file read in place, which may be a
  // link the user made: it is read as the user named it.
  std::string read_own_file(const std::string& path) override {
    return protected_.count(path) ? inner_.read_file(path) : inner_.read_own_file(path);
  }
  void replace_file(const std::string& path,
                    std::span<const std::string_view> chunks) override {
    if (!protected_.count(path)) inner_.replace_file(path, chunks);
  }
  void remove_file(const std::string& path) override {
    if (!protected_.count(path)) inner_.remove_file(path);
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
