#include <gtest/gtest.h>

#include <string>

#include "platform/file_system.h"
#include "platform/system_error.h"
#include "testing/temp_dir.h"

namespace sb {
namespace {

constexpr size_t kLimit = size_t{1} << 20;

TEST(DiskFileSystem, ReadsUpToItsLimitAndRefusesMore) {
  TempDir dir;
  DiskFileSystem disk(kLimit);
  const std::string at_limit = dir.file("at_limit.txt");
  const std::string above = dir.file("above.txt");
  write_file_bytes(at_limit, std::string(kLimit, 'a'));
  write_file_bytes(above, std::string(kLimit + 1, 'a'));

  EXPECT_EQ(disk.read_file(at_limit), std::string(kLimit, 'a'));
  // A regular file, and a device that never ends, which would otherwise take
  // all the memory there is.
  for (const std::string& path : {above, std::string("/dev/zero")}) {
    try {
      disk.read_file(path);
      ADD_FAILURE() << path << " was read";
    } catch (const FileError& e) {
      EXPECT_EQ(std::string(e.what()),
                "read(" + path + "): larger than 1 MiB, far more than any description");
    }
  }
}

}  // namespace
}  // namespace sb
