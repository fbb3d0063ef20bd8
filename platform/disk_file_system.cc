#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "base/file_names.h"
#include "platform/file_system.h"
#include "platform/system_error.h"

namespace sb {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// std::filesystem reports native codes; map them to errno values so the one
// explanation table serves both platforms.
int errno_of(const std::error_code& ec) {
  return ec.default_error_condition().value();
}

// The reasons a file the run wrote itself is refused when read back.
constexpr const char* kLinkInstead = "it is a symbolic link, not a file this run wrote";
constexpr const char* kFolderInstead = "it is a folder, not a file this run wrote";
constexpr const char* kNotRegular = "it is not a regular file, as the files this run writes are";

#ifdef _WIN32

int last_error_number() {
  return errno_of(std::error_code(static_cast<int>(GetLastError()), std::system_category()));
}

// A C stream over the handle, which it then owns; null with errno set when
// the handle is invalid or cannot be adopted.
File adopt_handle(HANDLE handle, int flags, const char* mode) {
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    errno = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? EEXIST
                                                                         : last_error_number();
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags);
  if (fd < 0) {
    CloseHandle(handle);
    errno = EMFILE;
    return nullptr;
  }
  File file(_fdopen(fd, mode));
  if (!file) {
    const int error = errno;
    _close(fd);
    errno = error;
  }
  return file;
}

File create_new_file(const std::string& path) {
  return adopt_handle(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr),
                      _O_WRONLY | _O_BINARY, "wb");
}

// A link is opened as itself (the reparse point), so that it shows as one.
File open_regular_file(const std::string& path) {
  const HANDLE handle = CreateFileA(
      path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) throw FileError("open", path, last_error_number());
  BY_HANDLE_FILE_INFORMATION info;
  const char* refusal = nullptr;
  if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info)) {
    refusal = kNotRegular;
  } else if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    refusal = kLinkInstead;
  } else if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    refusal = kFolderInstead;
  }
  if (refusal) {
    CloseHandle(handle);
    throw FileError::refused("read", path, refusal);
  }
  File file = adopt_handle(handle, _O_RDONLY | _O_BINARY, "rb");
  if (!file) throw FileError("open", path, errno);
  return file;
}

std::optional<uint64_t> regular_file_size(std::FILE* file) {
  struct _stat64 st;
  if (_fstat64(_fileno(file), &st) != 0 || !(st.st_mode & _S_IFREG)) return std::nullopt;
  return static_cast<uint64_t>(st.st_size);
}

// Deletes the name itself: a link goes, not the file it points to.
int delete_name(const std::string& path) {
  return DeleteFileA(path.c_str()) ? 0 : last_error_number();
}

#else

File adopt_descriptor(int fd, const char* mode) {
  if (fd < 0) return nullptr;
  File file(::fdopen(fd, mode));
  if (!file) {
    const int error = errno;
    ::close(fd);
    errno = error;
  }
  return file;
}

// 0666 before the umask, as the C library creates files.
File create_new_file(const std::string& path) {
  return adopt_descriptor(
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666), "wb");
}

// O_NONBLOCK keeps a pipe without a writer from holding the run up until it
// is refused; it changes nothing for a regular file.
File open_regular_file(const std::string& path) {
  errno = 0;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0 && errno == ELOOP) throw FileError::refused("read", path, kLinkInstead);
  if (fd < 0) throw FileError("open", path, errno);
  struct stat st;
  const char* refusal = nullptr;
  if (::fstat(fd, &st) != 0) {
    refusal = kNotRegular;
  } else if (S_ISDIR(st.st_mode)) {
    refusal = kFolderInstead;
  } else if (!S_ISREG(st.st_mode)) {
    refusal = kNotRegular;
  }
  if (refusal) {
    ::close(fd);
    throw FileError::refused("read", path, refusal);
  }
  File file = adopt_descriptor(fd, "rb");
  if (!file) throw FileError("open", path, errno);
  return file;
}

std::optional<uint64_t> regular_file_size(std::FILE* file) {
  struct stat st;
  if (::fstat(::fileno(file), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<uint64_t>(st.st_size);
}

// Deletes the name itself: a link goes, not the file it points to.
int delete_name(const std::string& path) { return ::unlink(path.c_str()) == 0 ? 0 : errno; }

#endif

// Tries at most this many random names before giving up on a folder whose
// names are all taken: with 64 random bits, a second try is already rare.
constexpr int kTemporaryNameAttempts = 100;

// 64 bits for a temporary name: a splitmix64 sequence from a seed the system
// gives once. Names need only be hard to foresee and unlikely to meet; the
// exclusive creation makes a taken one harmless. (A Mersenne twister costs
// more to seed than the whole name is worth.)
std::string random_name_part() {
  static thread_local uint64_t state = [] {
    std::random_device device;
    return (uint64_t{device()} << 32) ^ device();
  }();
  uint64_t z = (state += 0x9E3779B97F4A7C15u);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
  z ^= z >> 31;
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(z));
  return hex;
}

struct TemporaryFile {
  std::string path;
  File file;
};

// Creates a new file beside `path`, under a random name that no file has.
// A name that is taken (by a link, a file or a folder someone else put
// there) is left alone for the next one, so nothing found in the folder is
// ever opened or followed. Failures name `path`, the file the user asked
// for: the temporary name is this class's own business.
TemporaryFile create_beside(const std::string& path) {
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    TemporaryFile temp{temporary_name(path, random_name_part()), nullptr};
    errno = 0;
    temp.file = create_new_file(temp.path);
    if (temp.file) return temp;
    if (errno != EEXIST) throw FileError("create", path, errno ? errno : EIO);
  }
  throw FileError("create", path, EEXIST);
}

// Writes the chunks into the temporary file and closes it; on a failure
// the temporary file is deleted.
void write_all(TemporaryFile temp, const std::string& path,
               std::span<const std::string_view> chunks) {
  errno = 0;
  auto fail = [&](const char* operation, int error) {
    temp.file.reset();
    delete_name(temp.path);
    throw FileError(operation, path, error ? error : EIO);
  };
  for (std::string_view chunk : chunks) {
    if (!chunk.empty() &&
        std::fwrite(chunk.data(), 1, chunk.size(), temp.file.get()) != chunk.size()) {
      fail("write", errno);
    }
  }
  if (std::fflush(temp.file.get()) != 0) fail("write", errno);
  if (std::fclose(temp.file.release()) != 0) fail("close", errno);
}

// Reads the open file to its end, refusing more than `largest` bytes.
std::string read_to_end(std::FILE* file, const std::string& path, size_t largest) {
  // Read straight into a string of the file's size, so that a description
  // of megabytes is copied once; a file that grows meanwhile is read on to
  // its end all the same.
  std::string content;
  // One byte more than the largest file read shows a larger one.
  const size_t room = largest + 1;
  if (const auto expected = regular_file_size(file)) {
    content.resize(static_cast<size_t>(std::min<uint64_t>(*expected + 1, room)));
  }
  size_t used = 0;
  for (;;) {
    if (content.size() - used < 4096 && content.size() < room) {
      content.resize(std::min(std::max<size_t>(2 * content.size(), 1 << 16), room));
    }
    const size_t n = std::fread(content.data() + used, 1, content.size() - used, file);
    used += n;
    if (used > largest) {
      throw FileError::refused("read", path,
                               "larger than " + std::to_string(largest >> 20) +
                                   " MiB, far more than any description");
    }
    if (n == 0 || std::feof(file) || std::ferror(file)) break;
  }
  if (std::ferror(file)) throw FileError("read", path, errno ? errno : EIO);
  content.resize(used);
  return content;
}

}  // namespace

bool DiskFileSystem::exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

std::string DiskFileSystem::read_file(const std::string& path) {
  errno = 0;
  File file(std::fopen(path.c_str(), "rb"));
  if (!file) throw FileError("open", path, errno);
  return read_to_end(file.get(), path, largest_read_);
}

std::string DiskFileSystem::read_own_file(const std::string& path) {
  File file = open_regular_file(path);
  return read_to_end(file.get(), path, largest_read_);
}

void DiskFileSystem::replace_file(const std::string& path,
                                  std::span<const std::string_view> chunks) {
  TemporaryFile temp = create_beside(path);
  const std::string temp_path = temp.path;
  write_all(std::move(temp), path, chunks);
  // The rename replaces whatever has the name, a link included, and never
  // writes through it.
  std::error_code ec;
  std::filesystem::rename(temp_path, path, ec);
  if (ec) {
    delete_name(temp_path);
    throw FileError("rename", path, errno_of(ec));
  }
}

void DiskFileSystem::remove_file(const std::string& path) {
  std::error_code ec;
  // A folder standing where a file is expected is not the file: it stays,
  // even when empty.
  if (std::filesystem::symlink_status(path, ec).type() == std::filesystem::file_type::directory) {
    throw FileError("delete", path, EISDIR);
  }
  const int error = delete_name(path);
  if (error != 0 && error != ENOENT) throw FileError("delete", path, error);
}

void DiskFileSystem::make_directories(const std::string& path) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  if (ec) throw FileError("create folder", path, errno_of(ec));
}

bool DiskFileSystem::same_file(const std::string& a, const std::string& b) {
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec) && !ec;
}

}  // namespace sb
