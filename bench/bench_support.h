#pragma once

// What the build benchmarks share: a platform without a window, a file
// system that notes what a build does to the disk, temporary folders and
// the statistics of the rounds.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/forwarding_file_system.h"
#include "platform/platform.h"

namespace sb::bench {

[[noreturn]] void fail(const std::string& what);

// No window; the program's folder is the folder the benchmark gives.
class BenchPlatform : public Platform {
 public:
  BenchPlatform(std::string directory, FileSystem& files)
      : directory_(std::move(directory)), files_(files) {}

  std::string program_directory() override { return directory_; }
  std::string join_path(const std::string& directory, const std::string& name) override {
    return directory + "/" + name;
  }
  void show_waiting_window() override {}
  void close_waiting_window() override {}
  int32_t show_message(const std::string& text) override {
    last_report_ = text;
    return 1;
  }
  void report(const std::string& line) override { last_report_ = line; }
  void print(const std::string&) override {}
  FileSystem& file_system() override { return files_; }
  const std::string& last_report() const { return last_report_; }

 private:
  std::string directory_;
  FileSystem& files_;
  std::string last_report_;
};

// What a build does to the disk, in order: files written (with their size,
// under their final names), folders synced and files deleted.
struct FileOperation {
  enum Kind { write, sync_folder, remove } kind = write;
  std::string path;
  size_t size = 0;
  // A file written is synced before its rename.
  bool synced = false;
};

// Notes the files written and deleted and the folders synced.
class RecordingFileSystem : public ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;

  void write_new_file(const std::string& temporary_path, const std::string& final_path,
                      std::span<const std::string_view> chunks, Durability durability) override;
  void sync_folder(const std::string& dir) override;
  // A deletion of a file that is not there (a run's clean-up of working
  // copies the reading already deleted) does nothing, and is not recorded.
  void remove_file(const std::string& path) override;

  const std::vector<FileOperation>& operations() const { return operations_; }

 private:
  std::vector<FileOperation> operations_;
};

// Syncs nothing: every file is written as if to be kept in the cache, and
// a folder's sync does nothing. The in-process pair compares the work of a
// build with the writing of its files, neither side waiting for the disk.
class UnsyncedFileSystem : public ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;

  void write_new_file(const std::string& temporary_path, const std::string& final_path,
                      std::span<const std::string_view> chunks, Durability) override {
    inner_.write_new_file(temporary_path, final_path, chunks, Durability::cached);
  }
  void sync_folder(const std::string&) override {}
};

// A new folder under the system's temporary folder (TMPDIR), removed with
// everything in it at the end.
class TempFolder {
 public:
  explicit TempFolder(const char* tag);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

void write_text(const std::string& path, const std::string& text);
std::string read_bytes(const std::string& path);

double median(std::vector<double> samples);
// The median of build[i] / floor[i]: a build and its floor run back to
// back share the machine's load, so this shifts less than the medians do.
double median_of_ratios(const std::vector<double>& build, const std::vector<double>& floor);
// "median ms  (min ..., max ...)" of times in seconds.
std::string time_row(const std::vector<double>& seconds);

// The system's load average over 1, 5 and 15 minutes, as it reads.
std::string load_average();

}  // namespace sb::bench
