#include "base/windows_1252.h"

#include <gtest/gtest.h>

namespace sb {
namespace {

TEST(Windows1252, LowerCaseMapping) {
  const struct {
    unsigned char in, out;
  } cases[] = {{'A', 'a'}, {'Z', 'z'}, {'a', 'a'}, {'0', '0'}, {'-', '-'}, {0xC0, 0xE0},
               {0xDE, 0xFE}, {0xD7, 0xD7}, {0xDF, 0xDF}, {0x8A, 0x9A}, {0x9F, 0xFF}};
  for (const auto& c : cases) EXPECT_EQ(windows_1252_lower(c.in), c.out) << int(c.in);
}

TEST(Windows1252, ConvertsUtf8AndMarksWhatItCannotShow) {
  EXPECT_EQ(utf8_to_windows_1252("à ò è"), "\xE0 \xF2 \xE8");
  EXPECT_EQ(utf8_to_windows_1252("Š—"), "\x8A\x97");
  EXPECT_EQ(utf8_to_windows_1252("日"), "?");
  EXPECT_EQ(utf8_to_windows_1252("\xC3"), "?");  // cut short
}


TEST(Windows1252, BecomesUtf8ForShowing) {
  struct Case {
    std::string bytes;
    std::string utf8;
  } cases[] = {
      {"PRATO", "PRATO"},
      {"\x80", "\u20AC"},            // euro sign
      {"\x84\x9F", "\u201E\u0178"},  // low double quote, Y diaeresis
      {"\x81\x8D\x8F\x90\x9D", "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},  // undefined bytes
      {"CITT\xC0 \xE8", "CITT\u00C0 \u00E8"},
  };
  for (const Case& c : cases) EXPECT_EQ(windows_1252_to_utf8(c.bytes), c.utf8) << c.bytes;
}

}  // namespace
}  // namespace sb
