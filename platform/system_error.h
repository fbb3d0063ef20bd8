#pragma once

#include <stdexcept>
#include <string>

namespace sb {

// Plain-language explanation of a system error number (errno value).
std::string explain_error_number(int error_number);

// "operation(path): reason", the one shape every file failure is shown in.
std::string describe_failure(const std::string& operation, const std::string& path,
                             const std::string& reason);

// A file could not be read, created, written, renamed or deleted.
// what() is the message shown to the user.
class FileError : public std::runtime_error {
 public:
  // A failure the system reported with an errno value.
  FileError(const std::string& operation, const std::string& path, int error_number)
      : FileError(operation, path, error_number, explain_error_number(error_number)) {}
  // A file the program itself refuses, for the reason given.
  static FileError refused(const std::string& operation, const std::string& path,
                           const std::string& reason) {
    return FileError(operation, path, 0, reason);
  }
  // The same failure, its message followed by "; " and `note` (what the
  // failure means for the user's files).
  FileError noted(const std::string& note) const {
    FileError noted = *this;
    static_cast<std::runtime_error&>(noted) = std::runtime_error(std::string(what()) + "; " + note);
    return noted;
  }
  const std::string& path() const { return path_; }
  // 0 when the program refused the file.
  int error_number() const { return error_number_; }

 private:
  FileError(const std::string& operation, const std::string& path, int error_number,
            const std::string& reason)
      : std::runtime_error(describe_failure(operation, path, reason)),
        path_(path),
        error_number_(error_number) {}

  std::string path_;
  int error_number_;
};

}  // namespace sb
