#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace sb::inspect {

// What a file looks like from outside, enough to notice a save: an editor
// that writes a new file and renames it over the old one changes the
// identity (and the times) even when the size stays.
struct FileStamp {
  bool exists = false;
  uint64_t size = 0;
  int64_t modified_ns = 0;
  int64_t changed_ns = 0;  // the inode change time where the system keeps one
  uint64_t identity = 0;   // device and inode number where the system has them
  bool operator==(const FileStamp&) const = default;
};

FileStamp stamp_of(const std::string& path);

// A few files watched by looking at them now and then (a short poll works
// alike on every system and every kind of folder, network ones included).
class FileWatch {
 public:
  explicit FileWatch(std::vector<std::string> paths);

  // Takes the files as they are now as the state already seen.
  void take_current();
  // Whether any file differs from the state last taken.
  bool changed() const;

 private:
  struct Watched {
    std::string path;
    FileStamp stamp;
    std::string content;  // read only while the stamp is too fresh to trust
  };
  // A stamp taken within this long of the file's last change may not show
  // a later change in the same clock tick; the content tells then.
  static constexpr std::chrono::seconds kRacyWindow{2};

  static bool racy(const FileStamp& stamp);
  std::vector<Watched> files_;
};

}  // namespace sb::inspect
