#include "track/line_list_file.h"

#include <gtest/gtest.h>

#include <vector>

#include "testing/fake_platform.h"

namespace sb {
namespace {

TEST(LineListFile, ReplacesAnOlderLongerFileWhole) {
  FakePlatform platform;
  Builder b(platform);
  b.directory = platform.directory;
  platform.files.files[platform.file("doc.txt")] = std::string(5000, 'z');
  const std::vector<std::string_view> lines = {"short"};
  write_line_list(b, "doc.txt", lines);
  EXPECT_EQ(platform.files.files[platform.file("doc.txt")], "short\r\n");
}

}  // namespace
}  // namespace sb
