// The floor of a whole-process build: a program that does to the disk what
// a build does and nothing else. Built with the same compiler, flags and
// link mode as scenario_builder, so that starting either costs the same.
//
//   floor_writer OPERATION...
//
//   w:SIZE:PATH  writes SIZE bytes into PATH.partial and renames it over PATH
//   s:SIZE:PATH  the same, syncing PATH.partial before the rename
//   f:FOLDER     syncs the folder (the renames in it)
//   d:PATH       deletes PATH
//
// Every file is written from one reused 1 MiB buffer. Exit status 0, or 1
// with a message on the first failure.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr size_t kBufferSize = size_t{1} << 20;

[[noreturn]] void fail(const char* operation, const std::string& path) {
  std::fprintf(stderr, "floor_writer: %s(%s): %s\n", operation, path.c_str(),
               std::strerror(errno));
  std::exit(1);
}

void sync_descriptor(int fd, const std::string& path) {
  if (::fsync(fd) != 0) fail("fsync", path);
}

void write_file(const std::string& path, size_t size, bool sync, const std::vector<char>& buffer) {
  const std::string partial = path + ".partial";
  const int fd = ::open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) fail("open", partial);
  for (size_t done = 0; done < size;) {
    const ssize_t n = ::write(fd, buffer.data(), std::min(size - done, buffer.size()));
    if (n <= 0) fail("write", partial);
    done += static_cast<size_t>(n);
  }
  if (sync) sync_descriptor(fd, partial);
  if (::close(fd) != 0) fail("close", partial);
  if (::rename(partial.c_str(), path.c_str()) != 0) fail("rename", path);
}

// As the builder does, a file system that cannot sync a folder (EINVAL) is
// not a failure.
void sync_folder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) fail("open", folder);
  if (::fsync(fd) != 0 && errno != EINVAL) fail("fsync", folder);
  ::close(fd);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<char> buffer(kBufferSize, 'x');
  for (int i = 1; i < argc; ++i) {
    const std::string operation = argv[i];
    const size_t colon = operation.find(':');
    if (operation.size() < 3 || colon != 1) {
      std::fprintf(stderr, "floor_writer: cannot read the operation %s\n", operation.c_str());
      return 1;
    }
    const char kind = operation[0];
    const std::string rest = operation.substr(2);
    if (kind == 'd') {
      if (::unlink(rest.c_str()) != 0) fail("unlink", rest);
    } else if (kind == 'f') {
      sync_folder(rest);
    } else if (kind == 'w' || kind == 's') {
      char* end = nullptr;
      const unsigned long long size = std::strtoull(rest.c_str(), &end, 10);
      if (*end != ':') {
        std::fprintf(stderr, "floor_writer: cannot read the size in %s\n", operation.c_str());
        return 1;
      }
      write_file(end + 1, static_cast<size_t>(size), kind == 's', buffer);
    } else {
      std::fprintf(stderr, "floor_writer: unknown operation %s\n", operation.c_str());
      return 1;
    }
  }
  return 0;
}
