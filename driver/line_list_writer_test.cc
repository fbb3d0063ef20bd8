#include "driver/line_list_writer.h"

#include <gtest/gtest.h>

#include <vector>

#include "testing/fake_platform.h"
#include "track/model.h"

namespace sb {
namespace {

TEST(LineListWriter, WritesCrLfAfterEveryLineAndStopsAtTheSentinel) {
  const std::vector<std::string_view> lines = {"[generale]", "", " x ", kEndSentinel, "after"};
  EXPECT_EQ(render_line_list(lines), "[generale]\r\n\r\n x \r\n");
}

TEST(LineListWriter, WritesSingleByteWindows1252) {
  const std::vector<std::string_view> lines = {"città però è €"};
  EXPECT_EQ(render_line_list(lines), "citt\xE0 per\xF2 \xE8 \x80\r\n");
}

TEST(LineListWriter, HoldsAtMost1001Entries) {
  std::vector<std::string_view> lines(1001, "a");
  EXPECT_EQ(render_line_list(lines).size(), 1001u * 3);
  lines.push_back("b");
  EXPECT_THROW(render_line_list(lines), std::logic_error);
}

TEST(LineListWriter, ReplacesAnOlderLongerFileWhole) {
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
