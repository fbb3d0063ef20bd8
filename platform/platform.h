#pragma once

#include <cstdint>
#include <string>

#include "platform/file_system.h"

namespace sb {

// What the builder needs from the system it runs on. One implementation per
// platform (posix_platform.cc, win32_platform.cc); the rest of the code does
// not know which one it runs on.
class Platform {
 public:
  virtual ~Platform() = default;

  // The folder that holds the running program.
  virtual std::string program_directory() = 0;
  // Joins a folder and a file name with the platform's separator.
  virtual std::string join_path(const std::string& directory, const std::string& name) = 0;
  // Shows the waiting window ("Attendere") while the build runs.
  virtual void show_waiting_window() = 0;
  virtual void close_waiting_window() = 0;
  // Shows a modal message with a single OK button; returns the answer.
  virtual int32_t show_message(const std::string& text) = 0;
  // Writes one line of diagnostics for the user.
  virtual void report(const std::string& line) = 0;
  // Writes text the user asked for (--help, --version).
  virtual void print(const std::string& text) = 0;
  virtual FileSystem& file_system() = 0;
};

}  // namespace sb
