#include "platform/file_system.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include "base/file_names.h"
#include "platform/system_error.h"

namespace sb {

namespace {

// Tries at most this many fresh names before giving up on a folder whose
// names are all taken: with 64 random bits, a second try is already rare.
constexpr int kTemporaryNameAttempts = 100;

}  // namespace

void FileSystem::write_new_file_from(const std::string& temporary_path,
                                     const std::string& final_path, ByteStream& bytes,
                                     Durability durability) {
  // Pieces given in order are written as they are; others are first put
  // in their places.
  std::vector<ByteStream::Piece> pieces;
  bool in_order = true;
  uint64_t end = 0, size = 0;
  while (const std::optional<ByteStream::Piece> piece = bytes.next()) {
    const uint64_t at = piece->offset.value_or(end);
    in_order = in_order && at == end;
    end = at + piece->bytes.size();
    size = std::max(size, end);
    pieces.push_back({piece->bytes, at});
  }
  std::vector<std::string_view> chunks;
  std::string placed;
  if (in_order) {
    for (const ByteStream::Piece& piece : pieces) chunks.push_back(piece.bytes);
  } else {
    placed.assign(static_cast<size_t>(size), '\0');
    for (const ByteStream::Piece& piece : pieces) {
      placed.replace(static_cast<size_t>(*piece.offset), piece.bytes.size(), piece.bytes);
    }
    chunks.push_back(placed);
  }
  write_new_file(temporary_path, final_path, chunks, durability);
}

void FileSystem::replace_file(const std::string& path, std::span<const std::string_view> chunks,
                              std::string_view tag, Durability durability) {
  // A name that is taken (by a link, a file or a folder someone else put
  // there) is left alone for the next one, so nothing found in the folder is
  // ever opened or followed.
  std::string temporary;
  for (int attempt = 0;; ++attempt) {
    temporary = temporary_name(path, attempt == 0 && !tag.empty() ? std::string(tag)
                                                                  : new_temporary_tag());
    try {
      write_new_file(temporary, path, chunks, durability);
      break;
    } catch (const FileError& e) {
      if (e.error_number() != EEXIST || attempt + 1 == kTemporaryNameAttempts) throw;
    }
  }
  try {
    rename_file(temporary, path);
  } catch (const FileError&) {
    try {
      remove_file(temporary);
    } catch (const FileError&) {
    }
    throw;
  }
}

}  // namespace sb
