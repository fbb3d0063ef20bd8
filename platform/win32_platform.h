#pragma once

// The Windows platforms: the program with a real waiting window and message
// box, and its console twin.

#include <windows.h>

#include <string>

#include "platform/file_system.h"
#include "platform/platform.h"

namespace sb {

class Win32Platform : public Platform {
 public:
  explicit Win32Platform(HINSTANCE instance) : instance_(instance) {}
  ~Win32Platform() override { close_waiting_window(); }

  std::string program_directory() override;
  // One backslash between folder and name, also for a root folder ("C:\").
  std::string join_path(const std::string& directory, const std::string& name) override;
  // "Form1" with the label "Attendere", shown modeless and painted once:
  // the build then runs without pumping messages.
  void show_waiting_window() override;
  void close_waiting_window() override;
  // Modal, one OK button, the application's default title.
  int32_t show_message(const std::string& text) override;
  void report(const std::string& line) override;
  void print(const std::string& text) override;
  FileSystem& file_system() override { return files_; }

 private:
  HINSTANCE instance_;
  HWND window_ = nullptr;
  HFONT font_ = nullptr;
  DiskFileSystem files_;
};

// The console twin of the Windows program, for a command prompt and scripts:
// like the POSIX program, the waiting label and every message (the fatal
// report's included) go to standard error, and nothing waits for a click.
class Win32ConsolePlatform : public Win32Platform {
 public:
  Win32ConsolePlatform() : Win32Platform(GetModuleHandleA(nullptr)) {}

  void show_waiting_window() override { report("Attendere"); }
  void close_waiting_window() override {}
  int32_t show_message(const std::string& text) override;
};

// A program started from a console gets its diagnostics there.
void attach_parent_console();

}  // namespace sb
