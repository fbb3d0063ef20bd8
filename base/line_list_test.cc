#include "base/line_list.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

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

}  // namespace
}  // namespace sb
