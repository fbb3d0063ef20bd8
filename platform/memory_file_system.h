#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace sb {

// Files kept in memory, for tests and fuzzing. Any operation on a chosen
// path can be made to fail, and every change is logged in order.
class MemoryFileSystem : public FileSystem {
 public:
  bool exists(const std::string& path) override { return files.count(path) != 0; }
  std::string read_file(const std::string& path) override;
  // Memory holds no links nor folders: every file is a regular one.
  std::string read_own_file(const std::string& path) override { return read_file(path); }
  void replace_file(const std::string& path,
                    std::span<const std::string_view> chunks) override;
  void remove_file(const std::string& path) override {
    if (files.erase(path)) log.push_back("delete " + path);
  }
  // Folders are implied by the paths.
  void make_directories(const std::string&) override {}
  bool same_file(const std::string& a, const std::string& b) override {
    return a == b && exists(a);
  }
  using FileSystem::replace_file;

  // Files by path.
  std::map<std::string, std::string> files;
  // Paths whose replacement fails with ENOSPC, and whose reading fails with EIO.
  std::set<std::string> failing_writes;
  std::set<std::string> failing_reads;
  // "write PATH" and "delete PATH" in the order they happened.
  std::vector<std::string> log;
};

}  // namespace sb
