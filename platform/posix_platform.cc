#include "platform/posix_platform.h"

#include <unistd.h>

#include <cstdio>

namespace sb {

// The folder of the running executable; /proc tells it exactly, argv[0]
// is the fallback where /proc is missing.
std::string PosixPlatform::program_directory() {
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

std::string PosixPlatform::join_path(const std::string& directory, const std::string& name) {
  if (directory.empty() || directory.back() == '/') return directory + name;
  return directory + "/" + name;
}

int32_t PosixPlatform::show_message(const std::string& text) {
  report(text);
  return 1;  // the OK button
}

void PosixPlatform::report(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fputc('\n', stderr);
}

void PosixPlatform::print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
}

}  // namespace sb
