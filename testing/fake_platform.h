#pragma once

#include <string>
#include <vector>

#include "platform/memory_file_system.h"
#include "platform/platform.h"

namespace sb {

// A platform for tests: files in memory, and every message the program
// would show kept in order.
class FakePlatform : public Platform {
 public:
  std::string program_directory() override { return directory; }
  std::string join_path(const std::string& dir, const std::string& name) override {
    return dir + "/" + name;
  }
  void show_waiting_window() override { events.push_back("window shown"); }
  void close_waiting_window() override { events.push_back("window closed"); }
  int32_t show_message(const std::string& text) override {
    messages.push_back(text);
    return 1;
  }
  void report(const std::string& line) override { reports.push_back(line); }
  void print(const std::string& text) override { printed += text; }
  FileSystem& file_system() override { return files; }

  // The full path of a file in the program's folder.
  std::string file(const std::string& name) { return join_path(directory, name); }

  std::string directory = "/scenario";
  MemoryFileSystem files;
  std::vector<std::string> events;
  std::vector<std::string> messages;
  std::vector<std::string> reports;
  std::string printed;
};

}  // namespace sb
