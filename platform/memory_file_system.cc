#include "platform/memory_file_system.h"

#include <cerrno>

#include "platform/system_error.h"

namespace sb {

std::string MemoryFileSystem::read_file(const std::string& path) {
  if (failing_reads.count(path)) throw FileError("read", path, EIO);
  auto it = files.find(path);
  if (it == files.end()) throw FileError("open", path, ENOENT);
  return it->second;
}

void MemoryFileSystem::replace_file(const std::string& path,
                                    std::span<const std::string_view> chunks) {
  if (failing_writes.count(path)) throw FileError("write", path, ENOSPC);
  std::string content;
  for (std::string_view chunk : chunks) content.append(chunk);
  files[path] = std::move(content);
  log.push_back("write " + path);
}

}  // namespace sb
