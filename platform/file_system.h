#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace sb {

// Every file access of the builder goes through this interface, so that tests
// can run a whole build in memory and make any operation fail on purpose.
// Failures throw FileError (platform/system_error.h).
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  virtual bool exists(const std::string& path) = 0;
  // Reads the whole file, following a link at the path: the user named it.
  virtual std::string read_file(const std::string& path) = 0;
  // Reads back a file this run wrote itself. A link at the path is not
  // followed, and anything at the path but a regular file is refused: in a
  // folder others can write to, the name may have been taken meanwhile.
  virtual std::string read_own_file(const std::string& path) = 0;
  // Replaces the file whole with the concatenation of the chunks. The new
  // content is written into a file created new beside it, under a name no
  // file had, and renamed over it: a failed write leaves the old file as it
  // was and no partial file behind, and a link at the path is replaced, never
  // written through.
  virtual void replace_file(const std::string& path,
                            std::span<const std::string_view> chunks) = 0;
  // Deletes the file; a missing file is not an error. A link is deleted
  // itself, never the file it points to.
  virtual void remove_file(const std::string& path) = 0;
  // Creates the folder and its parents when missing.
  virtual void make_directories(const std::string& path) = 0;
  // Whether the two paths name the same existing file.
  virtual bool same_file(const std::string& a, const std::string& b) = 0;

  void replace_file(const std::string& path, std::string_view content) {
    replace_file(path, std::span<const std::string_view>(&content, 1));
  }
};

// Files larger than this are not read: no description comes near it, and a
// device or pipe that never ends would otherwise take all the memory there is.
inline constexpr size_t kLargestFileRead = size_t{256} << 20;

// The real disk, through the C library, std::filesystem and the few system
// calls that create and open files without following links (both platforms).
class DiskFileSystem : public FileSystem {
 public:
  explicit DiskFileSystem(size_t largest_read = kLargestFileRead) : largest_read_(largest_read) {}

  bool exists(const std::string& path) override;
  std::string read_file(const std::string& path) override;
  std::string read_own_file(const std::string& path) override;
  void replace_file(const std::string& path,
                    std::span<const std::string_view> chunks) override;
  void remove_file(const std::string& path) override;
  void make_directories(const std::string& path) override;
  bool same_file(const std::string& a, const std::string& b) override;
  using FileSystem::replace_file;

 private:
  size_t largest_read_;
};

}  // namespace sb
