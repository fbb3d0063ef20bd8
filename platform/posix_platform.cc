// The console program for POSIX systems.

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "driver/run.h"
#include "platform/platform.h"

namespace sb {
namespace {

class PosixPlatform : public Platform {
 public:
  explicit PosixPlatform(const char* argv0) : argv0_(argv0 ? argv0 : "") {}

  // The folder of the running executable; /proc tells it exactly, argv[0]
  // is the fallback where /proc is missing.
  std::string program_directory() override {
    std::string exe;
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n > 0) exe.assign(buffer, static_cast<size_t>(n));
    else exe = argv0_;
    size_t slash = exe.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return exe.substr(0, slash);
  }

  std::string join_path(const std::string& directory, const std::string& name) override {
    if (directory.empty() || directory.back() == '/') return directory + name;
    return directory + "/" + name;
  }

  void show_waiting_window() override { report("Attendere"); }
  void close_waiting_window() override {}

  int32_t show_message(const std::string& text) override {
    report(text);
    return 1;  // the OK button
  }

  void report(const std::string& line) override {
    std::fputs(line.c_str(), stderr);
    std::fputc('\n', stderr);
  }
  void print(const std::string& text) override { std::fputs(text.c_str(), stdout); }

  FileSystem& file_system() override { return files_; }

 private:
  std::string argv0_;
  DiskFileSystem files_;
};

}  // namespace
}  // namespace sb

int main(int argc, char** argv) {
  // Under a file-size limit a write must fail with an error the program can
  // report, not kill the process halfway through a file.
  std::signal(SIGXFSZ, SIG_IGN);
  sb::PosixPlatform platform(argc > 0 ? argv[0] : nullptr);
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  return sb::run_program(platform, args);
}
