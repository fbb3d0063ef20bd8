#pragma once

#include <string>

#include "platform/memory_file_system.h"
#include "platform/platform.h"

namespace sb {

// A platform for builds and checks run in memory by a program of their own
// (the inspector's round trip, the language server's checks): files kept in
// memory, nothing shown, messages and reports dropped (the outcome is read
// from the builder).
class MemoryPlatform : public Platform {
 public:
  std::string program_directory() override { return "/build"; }
  std::string join_path(const std::string& dir, const std::string& name) override {
    return dir + "/" + name;
  }
  void show_waiting_window() override {}
  void close_waiting_window() override {}
  int32_t show_message(const std::string&) override { return 1; }
  void report(const std::string&) override {}
  void print(const std::string&) override {}
  FileSystem& file_system() override { return files; }

  MemoryFileSystem files;
};

}  // namespace sb
