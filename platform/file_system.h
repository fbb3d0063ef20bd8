#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sb {

// Whether a file written must be on the disk before the call returns (the
// file's data synced), or may stay in the system's cache a while.
enum class Durability { cached, synced };

// How a folder is locked: one writer alone, or readers among themselves.
enum class LockMode { exclusive, shared };

// A lock held on a folder, released when destroyed (and by the system when
// its holder dies).
class FolderLockHold {
 public:
  virtual ~FolderLockHold() = default;
};

// The answer to one attempt at a folder's lock.
struct LockAttempt {
  enum Outcome { taken, busy, unsupported } outcome = unsupported;
  std::unique_ptr<FolderLockHold> hold;  // when taken
  int error_number = 0;                  // why, when unsupported
};

// The bytes of a file handed over piece by piece while they are still being
// made, so that writing the file need not wait for all of them.
class ByteStream {
 public:
  // Bytes of the file and where they go: right after the piece before
  // unless an offset says otherwise (a later part known before an earlier
  // one). Together the pieces cover the file once, without gaps.
  struct Piece {
    Piece(std::string_view bytes) : bytes(bytes) {}  // NOLINT: a plain piece
    Piece(std::string_view bytes, uint64_t offset) : bytes(bytes), offset(offset) {}
    std::string_view bytes;
    std::optional<uint64_t> offset;
  };
  // Thrown by next() when pieces already given were placed on a guess that
  // turned out wrong: the file is to be written again, whole, some other
  // way (FolderTransaction::publish does).
  struct GuessedWrong : std::exception {
    const char* what() const noexcept override { return "bytes placed on a wrong guess"; }
  };

  virtual ~ByteStream() = default;
  // The next piece, waiting for it if need be; nullopt after the last. A
  // piece stays as it is until the file is written. Throws when the bytes
  // will not be finished (see abandon()).
  virtual std::optional<Piece> next() = 0;
  // Tells the stream, from another thread, that its file is no longer
  // wanted: next() then throws instead of waiting for bytes that may never
  // come. Does nothing for bytes that are all there already.
  virtual void abandon() {}
};

// Every file access of the builder goes through this interface, so that tests
// can run a whole build in memory and make any operation fail on purpose.
// Failures throw FileError (platform/system_error.h).
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  virtual bool exists(const std::string& path) = 0;
  // Reads the whole file, following a link at the path: the user named it,
  // and it may be a pipe.
  virtual std::string read_file(const std::string& path) = 0;
  // Reads a file in a folder the program works in, following a link: it
  // must be a regular file, and anything else there (a pipe, a device, a
  // folder) is refused at once rather than waited for.
  virtual std::string read_regular_file(const std::string& path) = 0;
  // Reads back a file this run wrote itself. A link at the path is not
  // followed, and anything at the path but a regular file is refused: in a
  // folder others can write to, the name may have been taken meanwhile.
  virtual std::string read_own_file(const std::string& path) = 0;

  // Writes the chunks into a new file at `temporary_path`, which must not
  // exist (nothing found there is opened or followed: EEXIST), syncs it
  // when asked and closes it. On a failure the new file is deleted, and the
  // error names `final_path`, the file the user knows of.
  virtual void write_new_file(const std::string& temporary_path, const std::string& final_path,
                              std::span<const std::string_view> chunks,
                              Durability durability) = 0;
  // write_new_file with the bytes of a stream. Where the file system writes
  // alongside (below), each piece is written as it comes; elsewhere every
  // piece is gathered first and written with write_new_file. When next()
  // throws, the new file is deleted and the exception passed on.
  virtual void write_new_file_from(const std::string& temporary_path,
                                   const std::string& final_path, ByteStream& bytes,
                                   Durability durability);
  // Whether write_new_file may run on a second thread while the caller goes
  // on with other operations: only where the operations keep no state of
  // their own between calls (the disk, not a file system kept in memory or
  // one that counts or records what it is asked).
  virtual bool writes_alongside() const { return false; }
  // Renames `from` over `to`, replacing whatever has that name (a link is
  // replaced, never written through). The error names `to`.
  virtual void rename_file(const std::string& from, const std::string& to) = 0;
  // Throws when a rename over the file would fail although the file is
  // there: a folder has its name, or (on Windows) a program holds it open
  // without letting it be deleted. A missing file is replaceable.
  virtual void check_replaceable(const std::string& path) = 0;
  // Makes the renames and deletions in the folder so far last.
  virtual void sync_folder(const std::string& dir) = 0;
  // The names (not paths) of the entries directly in the folder.
  virtual std::vector<std::string> list_folder(const std::string& dir) = 0;
  // A fresh tag for temporary names (base/file_names.h): 16 hexadecimal
  // digits, hard to foresee.
  virtual std::string new_temporary_tag() = 0;
  // Tries once to lock the folder, without waiting; creates nothing in it.
  virtual LockAttempt try_lock_folder(const std::string& dir, LockMode mode) = 0;

  // Replaces the file whole with the concatenation of the chunks: written
  // into a new file beside it (named with `tag`, or with a fresh one) and
  // renamed over it. A failed write leaves the old file as it was and no
  // temporary file behind.
  virtual void replace_file(const std::string& path, std::span<const std::string_view> chunks,
                            std::string_view tag, Durability durability);
  // Deletes the file; a missing file is not an error. A link is deleted
  // itself, never the file it points to.
  virtual void remove_file(const std::string& path) = 0;
  // Creates the folder and its parents when missing.
  virtual void make_directories(const std::string& path) = 0;
  // Whether the two paths name the same existing file.
  virtual bool same_file(const std::string& a, const std::string& b) = 0;

  void replace_file(const std::string& path, std::span<const std::string_view> chunks) {
    replace_file(path, chunks, {}, Durability::cached);
  }
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
  std::string read_regular_file(const std::string& path) override;
  std::string read_own_file(const std::string& path) override;
  void write_new_file(const std::string& temporary_path, const std::string& final_path,
                      std::span<const std::string_view> chunks, Durability durability) override;
  void write_new_file_from(const std::string& temporary_path, const std::string& final_path,
                           ByteStream& bytes, Durability durability) override;
  bool writes_alongside() const override { return true; }
  void rename_file(const std::string& from, const std::string& to) override;
  void check_replaceable(const std::string& path) override;
  void sync_folder(const std::string& dir) override;
  std::vector<std::string> list_folder(const std::string& dir) override;
  std::string new_temporary_tag() override;
  LockAttempt try_lock_folder(const std::string& dir, LockMode mode) override;
  void remove_file(const std::string& path) override;
  void make_directories(const std::string& path) override;
  bool same_file(const std::string& a, const std::string& b) override;
  using FileSystem::replace_file;

 private:
  size_t largest_read_;
};

}  // namespace sb
