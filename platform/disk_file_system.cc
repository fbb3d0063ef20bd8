#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

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

// Writes the chunks into `temp`. Failures name `path`, the file the user
// asked for: the temporary name is this class's own business.
void write_all(const std::string& temp, const std::string& path,
               std::span<const std::string_view> chunks) {
  errno = 0;
  File file(std::fopen(temp.c_str(), "wb"));
  if (!file) throw FileError("create", path, errno);
  for (std::string_view chunk : chunks) {
    if (!chunk.empty() && std::fwrite(chunk.data(), 1, chunk.size(), file.get()) != chunk.size()) {
      int error = errno ? errno : EIO;
      file.reset();
      std::remove(temp.c_str());
      throw FileError("write", path, error);
    }
  }
  if (std::fflush(file.get()) != 0) {
    int error = errno ? errno : EIO;
    file.reset();
    std::remove(temp.c_str());
    throw FileError("write", path, error);
  }
  std::FILE* raw = file.release();
  if (std::fclose(raw) != 0) {
    int error = errno ? errno : EIO;
    std::remove(temp.c_str());
    throw FileError("close", path, error);
  }
}

}  // namespace

std::string partial_file_name(const std::string& path) { return path + ".partial"; }

bool DiskFileSystem::exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

std::string DiskFileSystem::read_file(const std::string& path) {
  errno = 0;
  File file(std::fopen(path.c_str(), "rb"));
  if (!file) throw FileError("open", path, errno);
  // Read straight into a string of the file's size, so that a description
  // of megabytes is copied once; a file that grows meanwhile is read on to
  // its end all the same.
  std::string content;
  std::error_code ec;
  const auto expected = std::filesystem::file_size(path, ec);
  // One byte more than the largest file read shows a larger one.
  const size_t room = largest_read_ + 1;
  if (!ec) content.resize(std::min<size_t>(expected + 1, room));
  size_t used = 0;
  for (;;) {
    if (content.size() - used < 4096 && content.size() < room) {
      content.resize(std::min(std::max<size_t>(2 * content.size(), 1 << 16), room));
    }
    const size_t n = std::fread(content.data() + used, 1, content.size() - used, file.get());
    used += n;
    if (used > largest_read_) {
      throw FileError::refused("read", path,
                               "larger than " + std::to_string(largest_read_ >> 20) +
                                   " MiB, far more than any description");
    }
    if (n == 0 || std::feof(file.get()) || std::ferror(file.get())) break;
  }
  if (std::ferror(file.get())) throw FileError("read", path, errno ? errno : EIO);
  content.resize(used);
  return content;
}

void DiskFileSystem::replace_file(const std::string& path,
                                  std::span<const std::string_view> chunks) {
  const std::string temp = partial_file_name(path);
  write_all(temp, path, chunks);
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  if (ec) {
    std::remove(temp.c_str());
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
  std::filesystem::remove(path, ec);
  if (ec) throw FileError("delete", path, errno_of(ec));
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
