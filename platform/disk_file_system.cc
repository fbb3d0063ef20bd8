#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
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

// Without follow_links a link is opened as itself (the reparse point), so
// that it shows as one. A pipe or device is refused before any read.
File open_regular_file(const std::string& path, bool follow_links) {
  const DWORD flags =
      FILE_ATTRIBUTE_NORMAL | (follow_links ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  const HANDLE handle = CreateFileA(
      path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, flags, nullptr);
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

// The path in UTF-16, from the code page the narrow paths are in.
std::wstring wide(const std::string& path) {
  const int n = MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
  std::wstring result(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), result.data(), n);
  return result;
}

int sync_data(std::FILE* file) {
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  return FlushFileBuffers(handle) ? 0 : last_error_number();
}

// MOVEFILE_WRITE_THROUGH returns once the rename is on the disk, which
// stands in for syncing the folder afterwards.
int rename_over(const std::string& from, const std::string& to) {
  return MoveFileExW(wide(from).c_str(), wide(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
             ? 0
             : last_error_number();
}

int sync_folder_entries(const std::string&) { return 0; }

// A file another program holds open without sharing its deletion (the
// simulator, say) cannot be renamed over: open it for deletion, as a rename
// would, and let go at once.
int replaceable(const std::string& path) {
  const HANDLE handle =
      CreateFileW(wide(path).c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                  nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : last_error_number();
  }
  BY_HANDLE_FILE_INFORMATION info;
  const bool folder = GetFileInformationByHandle(handle, &info) &&
                      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  CloseHandle(handle);
  return folder ? EISDIR : 0;
}

// A named mutex stands for the folder: the same folder, however it is
// spelled, gives the same name (its full path, in one case), and the system
// releases the mutex when its holder dies. It is exclusive for readers too.
class MutexHold : public FolderLockHold {
 public:
  explicit MutexHold(HANDLE mutex) : mutex_(mutex) {}
  ~MutexHold() override {
    ReleaseMutex(mutex_);
    CloseHandle(mutex_);
  }

 private:
  HANDLE mutex_;
};

std::wstring folder_mutex_name(const std::string& dir) {
  std::wstring path = wide(dir);
  std::vector<wchar_t> full(32768);
  const DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (n > 0 && n < full.size()) path.assign(full.data(), n);
  while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  if (!path.empty()) CharLowerBuffW(path.data(), static_cast<DWORD>(path.size()));
  // FNV-1a over the UTF-16 units: a mutex name may not hold a backslash.
  uint64_t hash = 0xcbf29ce484222325u;
  for (wchar_t c : path) {
    hash = (hash ^ static_cast<uint16_t>(c)) * 0x100000001b3u;
  }
  wchar_t name[64];
  std::swprintf(name, 64, L"scenario_builder-folder-%016llx", static_cast<unsigned long long>(hash));
  return name;
}

LockAttempt try_lock(const std::string& dir, LockMode) {
  const std::wstring name = folder_mutex_name(dir);
  HANDLE mutex = CreateMutexW(nullptr, FALSE, (L"Global\\" + name).c_str());
  if (!mutex && GetLastError() == ERROR_ACCESS_DENIED) {
    mutex = CreateMutexW(nullptr, FALSE, (L"Local\\" + name).c_str());
  }
  if (!mutex) return {LockAttempt::unsupported, nullptr, last_error_number()};
  const DWORD waited = WaitForSingleObject(mutex, 0);
  // An abandoned mutex is one whose holder died: it is ours now.
  if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
    return {LockAttempt::taken, std::make_unique<MutexHold>(mutex), 0};
  }
  CloseHandle(mutex);
  return {LockAttempt::busy, nullptr, 0};
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
File open_regular_file(const std::string& path, bool follow_links) {
  errno = 0;
  const int fd = ::open(path.c_str(),
                        O_RDONLY | O_CLOEXEC | O_NONBLOCK | (follow_links ? 0 : O_NOFOLLOW));
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

int sync_data(std::FILE* file) { return ::fsync(::fileno(file)) == 0 ? 0 : errno; }

int rename_over(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

// A file is renamed over whatever holds its name but a folder.
int replaceable(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? EISDIR : 0;
}

// A file system that cannot sync a folder (EINVAL) keeps its entries as it
// keeps them; that is not a failure of the run.
int sync_folder_entries(const std::string& dir) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  const int error = ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
  ::close(fd);
  return error;
}

// flock on the folder itself, opened for reading only: nothing is created
// in it, and the system releases the lock when its holder dies.
class FlockHold : public FolderLockHold {
 public:
  explicit FlockHold(int fd) : fd_(fd) {}
  ~FlockHold() override { ::close(fd_); }

 private:
  int fd_;
};

LockAttempt try_lock(const std::string& dir, LockMode mode) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return {LockAttempt::unsupported, nullptr, errno};
  if (::flock(fd, (mode == LockMode::exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0) {
    return {LockAttempt::taken, std::make_unique<FlockHold>(fd), 0};
  }
  const int error = errno;
  ::close(fd);
  if (error == EWOULDBLOCK) return {LockAttempt::busy, nullptr, 0};
  return {LockAttempt::unsupported, nullptr, error};
}

#endif

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

// Reads the open file to its end, refusing more than `largest` bytes.
//
// A regular file is read straight into a string of its size, so that a
// description of megabytes is copied once. Anything else (a pipe, a device
// that never ends) and a file that grows meanwhile are read on in pieces of
// at most 1 MiB that are joined at the end: memory never goes past the limit
// and one piece, however long the input runs.
std::string read_to_end(std::FILE* file, const std::string& path, size_t largest) {
  // One byte more than the largest file read shows a larger one.
  const size_t room = largest + 1;
  constexpr size_t kPiece = size_t{1} << 20;
  std::vector<std::string> pieces;
  size_t used = 0;
  const auto expected = regular_file_size(file);
  size_t next_size = expected ? static_cast<size_t>(std::min<uint64_t>(*expected + 1, room))
                              : std::min<size_t>(size_t{1} << 16, room);
  for (;;) {
    std::string piece(next_size, '\0');
    const size_t n = std::fread(piece.data(), 1, piece.size(), file);
    piece.resize(n);
    used += n;
    if (used > largest) {
      throw FileError::refused("read", path,
                               "larger than " + std::to_string(largest >> 20) +
                                   " MiB, far more than any description");
    }
    pieces.push_back(std::move(piece));
    if (n < next_size || std::ferror(file)) break;
    next_size = std::min(kPiece, room - used);
  }
  if (std::ferror(file)) throw FileError("read", path, errno ? errno : EIO);
  if (pieces.size() == 1) return std::move(pieces.front());
  std::string content;
  content.reserve(used);
  for (const std::string& piece : pieces) content.append(piece);
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

std::string DiskFileSystem::read_regular_file(const std::string& path) {
  File file = open_regular_file(path, true);
  return read_to_end(file.get(), path, largest_read_);
}

std::string DiskFileSystem::read_own_file(const std::string& path) {
  File file = open_regular_file(path, false);
  return read_to_end(file.get(), path, largest_read_);
}

namespace {

// Moves the stream's write position; false with errno set on a failure.
bool seek_to(std::FILE* file, uint64_t offset) {
#ifdef _WIN32
  return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

// The chunks of a write_new_file call, as a stream.
class ChunkList : public ByteStream {
 public:
  explicit ChunkList(std::span<const std::string_view> chunks) : chunks_(chunks) {}
  std::optional<Piece> next() override {
    if (next_ == chunks_.size()) return std::nullopt;
    return chunks_[next_++];
  }

 private:
  std::span<const std::string_view> chunks_;
  size_t next_ = 0;
};

}  // namespace

void DiskFileSystem::write_new_file(const std::string& temporary_path,
                                    const std::string& final_path,
                                    std::span<const std::string_view> chunks,
                                    Durability durability) {
  ChunkList list(chunks);
  write_new_file_from(temporary_path, final_path, list, durability);
}

void DiskFileSystem::write_new_file_from(const std::string& temporary_path,
                                         const std::string& final_path, ByteStream& bytes,
                                         Durability durability) {
  errno = 0;
  File file = create_new_file(temporary_path);
  if (!file) throw FileError("create", final_path, errno ? errno : EIO);
  auto fail = [&](const char* operation, int error) {
    file.reset();
    delete_name(temporary_path);
    throw FileError(operation, final_path, error ? error : EIO);
  };
  uint64_t position = 0;
  for (;;) {
    std::optional<ByteStream::Piece> piece;
    try {
      piece = bytes.next();
    } catch (...) {
      file.reset();
      delete_name(temporary_path);
      throw;
    }
    if (!piece) break;
    const std::string_view chunk = piece->bytes;
    if (piece->offset && *piece->offset != position) {
      if (std::fflush(file.get()) != 0) fail("write", errno);
      if (!seek_to(file.get(), *piece->offset)) fail("write", errno);
      position = *piece->offset;
    }
    if (!chunk.empty() && std::fwrite(chunk.data(), 1, chunk.size(), file.get()) != chunk.size()) {
      fail("write", errno);
    }
    position += chunk.size();
  }
  if (std::fflush(file.get()) != 0) fail("write", errno);
  if (durability == Durability::synced) {
    if (const int error = sync_data(file.get())) fail("sync", error);
  }
  if (std::fclose(file.release()) != 0) fail("close", errno);
}

void DiskFileSystem::rename_file(const std::string& from, const std::string& to) {
  if (const int error = rename_over(from, to)) throw FileError("rename", to, error);
}

void DiskFileSystem::check_replaceable(const std::string& path) {
  if (const int error = replaceable(path)) throw FileError("rename", path, error);
}

void DiskFileSystem::sync_folder(const std::string& dir) {
  if (const int error = sync_folder_entries(dir)) throw FileError("sync", dir, error);
}

std::vector<std::string> DiskFileSystem::list_folder(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code error;
  for (std::filesystem::directory_iterator it(dir, error), end; !error && it != end;
       it.increment(error)) {
    names.push_back(it->path().filename().string());
  }
  if (error) throw FileError("list", dir, errno_of(error));
  return names;
}

std::string DiskFileSystem::new_temporary_tag() { return random_name_part(); }

LockAttempt DiskFileSystem::try_lock_folder(const std::string& dir, LockMode mode) {
  return try_lock(dir, mode);
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
