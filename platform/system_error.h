#pragma once

#include <stdexcept>
#include <string>

namespace sb {

// Plain-language explanation of a system error number (errno value).
std::string explain_error_number(int error_number);

// "operation(path): reason", the one shape every system failure is shown in.
std::string describe_failure(const std::string& operation, const std::string& path,
                             int error_number);

// A file could not be read, created, written, renamed or deleted.
// what() is the message shown to the user.
class FileError : public std::runtime_error {
 public:
  FileError(const std::string& operation, const std::string& path, int error_number)
      : std::runtime_error(describe_failure(operation, path, error_number)),
        path_(path),
        error_number_(error_number) {}
  const std::string& path() const { return path_; }
  int error_number() const { return error_number_; }

 private:
  std::string path_;
  int error_number_;
};

}  // namespace sb
