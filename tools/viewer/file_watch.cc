#include "tools/viewer/file_watch.h"

#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <sstream>

namespace sb::inspect {

namespace {

int64_t to_ns(int64_t seconds, int64_t nanos) { return seconds * 1000000000 + nanos; }

std::string content_of(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

int64_t now_ns() {
  using namespace std::chrono;
  return duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

FileStamp stamp_of(const std::string& path) {
  FileStamp stamp;
#ifdef _WIN32
  struct _stat64 s;
  if (_stat64(path.c_str(), &s) != 0) return stamp;
  stamp.modified_ns = to_ns(s.st_mtime, 0);
  stamp.changed_ns = to_ns(s.st_ctime, 0);
#else
  struct stat s;
  if (::stat(path.c_str(), &s) != 0) return stamp;
  stamp.modified_ns = to_ns(s.st_mtim.tv_sec, s.st_mtim.tv_nsec);
  stamp.changed_ns = to_ns(s.st_ctim.tv_sec, s.st_ctim.tv_nsec);
  stamp.identity = static_cast<uint64_t>(s.st_ino) ^ (static_cast<uint64_t>(s.st_dev) << 40);
#endif
  stamp.exists = true;
  stamp.size = static_cast<uint64_t>(s.st_size);
  return stamp;
}

FileWatch::FileWatch(std::vector<std::string> paths) {
  for (std::string& path : paths) files_.push_back({std::move(path), {}, {}});
  take_current();
}

bool FileWatch::racy(const FileStamp& stamp) {
  const int64_t window_ns = std::chrono::nanoseconds(kRacyWindow).count();
  return stamp.exists && now_ns() - stamp.modified_ns < window_ns;
}

void FileWatch::take_current() {
  for (Watched& file : files_) {
    file.stamp = stamp_of(file.path);
    file.content = racy(file.stamp) ? content_of(file.path) : std::string();
  }
}

bool FileWatch::changed() const {
  for (const Watched& file : files_) {
    const FileStamp now = stamp_of(file.path);
    if (!(now == file.stamp)) return true;
    // Same stamp: a write in the same clock tick as the last look can only
    // be told by its content.
    if (racy(file.stamp) && content_of(file.path) != file.content) return true;
  }
  return false;
}

}  // namespace sb::inspect
