#include "platform/system_error.h"

#include <cerrno>
#include <cstring>

#include "base/shown_text.h"

namespace sb {

namespace {

struct Explanation {
  int number;
  const char* text;
};

// The reasons a user can act on, in words rather than the C library's terse
// strings, and the same on every platform.
constexpr Explanation kExplanations[] = {
    {ENOENT, "the file or a folder on its path does not exist"},
    {EACCES, "permission denied"},
    {EPERM, "the operation is not permitted"},
    {EEXIST, "a file of that name already exists"},
    {ENOTDIR, "a part of the path is not a folder"},
    {EISDIR, "it is a folder, not a file"},
    {ENOSPC, "the disk is full"},
    {EFBIG, "the file is larger than this system allows"},
    {EROFS, "the file system is read-only"},
    {EMFILE, "too many files are open"},
    {ENFILE, "too many files are open on the system"},
    {ENAMETOOLONG, "the file name is too long"},
    {EIO, "a hardware input/output error occurred"},
    {EBUSY, "the file is in use by another program"},
    {EINVAL, "the name or request is not valid"},
    {EXDEV, "the file cannot be moved across devices"},
    {ENOTEMPTY, "the folder is not empty"},
    {ENOLCK, "the file system does not lock files"},
#ifdef EDQUOT
    {EDQUOT, "the disk quota is exhausted"},
#endif
};

}  // namespace

std::string explain_error_number(int error_number) {
  for (const Explanation& e : kExplanations) {
    if (e.number == error_number) return e.text;
  }
  return "system error " + std::to_string(error_number);
}

std::string describe_failure(const std::string& operation, const std::string& path,
                             const std::string& reason) {
  return operation + "(" + shown_path(path) + "): " + reason;
}

}  // namespace sb
