#pragma once

#include <string>

#include "platform/file_system.h"
#include "platform/platform.h"

namespace sb {

// The console platform of POSIX systems: the waiting label and every message
// go to standard error, what the user asked for to standard output.
class PosixPlatform : public Platform {
 public:
  explicit PosixPlatform(const char* argv0) : argv0_(argv0 ? argv0 : "") {}

  std::string program_directory() override;
  std::string join_path(const std::string& directory, const std::string& name) override;
  void show_waiting_window() override { report("Attendere"); }
  void close_waiting_window() override {}
  int32_t show_message(const std::string& text) override;
  void report(const std::string& line) override;
  void print(const std::string& text) override;
  FileSystem& file_system() override { return files_; }

 private:
  std::string argv0_;
  DiskFileSystem files_;
};

}  // namespace sb
