#include "base/shown_text.h"

#include <gtest/gtest.h>

#include <string>

namespace sb {
namespace {

TEST(ShownText, EscapesControlBytesAndBackslashes) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"PRATO", "PRATO"},
      {"9\x1B[31mRED00", "9\\x1B[31mRED00"},
      {"\x1B]0;title\x07\x1B[2J", "\\x1B]0;title\\x07\\x1B[2J"},
      {"a\tb\r\n", "a\\x09b\\x0D\\x0A"},
      {std::string("nul\0here", 8), "nul\\x00here"},
      {"del\x7F", "del\\x7F"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(shown_text(c.in), c.out);
    EXPECT_EQ(shown_bytes(c.in), c.out);
    EXPECT_EQ(shown_path(c.in), c.out);
  }
  // A value's backslash is doubled, so a written escape stays
  // distinguishable; a path keeps its separators.
  EXPECT_EQ(shown_text("\\x41"), "\\\\x41");
  EXPECT_EQ(shown_bytes("a\\b"), "a\\\\b");
  EXPECT_EQ(shown_path("C:\\dir\\x.txt"), "C:\\dir\\x.txt");
}

TEST(ShownText, DescriptionTextBecomesUtf8AndGivenBytesStayAsGiven) {
  EXPECT_EQ(shown_text("CITT\xC0 \x80"), "CITT\u00C0 \u20AC");
  EXPECT_EQ(shown_bytes("CITT\u00C0"), "CITT\u00C0");
  EXPECT_EQ(shown_path("out/Citt\xE0/x.txt"), "out/Citt\xE0/x.txt");
}

TEST(ShownText, CutsLongValuesTo77BytesAndThreeDots) {
  const std::string exactly_80(80, 'k');
  EXPECT_EQ(shown_text(exactly_80), exactly_80);
  EXPECT_EQ(shown_bytes(exactly_80), exactly_80);

  const std::string megabyte(1 << 20, 'k');
  EXPECT_EQ(shown_text(megabyte), std::string(77, 'k') + "...");
  EXPECT_EQ(shown_bytes(megabyte), std::string(77, 'k') + "...");
  EXPECT_EQ(shown_path(megabyte), megabyte);  // a path is never cut

  // The cut counts the value's own bytes, then escapes what it keeps.
  EXPECT_EQ(shown_text(std::string(81, '\x01')), [] {
    std::string s;
    for (int i = 0; i < 77; ++i) s += "\\x01";
    return s + "...";
  }());
}

TEST(ShownText, CutNeverSplitsAUtf8Sequence) {
  // 76 ASCII bytes, then a two-byte and a three-byte character: byte 77 is
  // the second half of the first, which goes whole.
  const std::string value = std::string(76, 'a') + "\u00E8" + "\u20AC" + std::string(10, 'z');
  EXPECT_EQ(shown_bytes(value), std::string(76, 'a') + "...");
  const std::string euro_at_cut = std::string(75, 'a') + "\u20AC" + std::string(10, 'z');
  EXPECT_EQ(shown_bytes(euro_at_cut), std::string(75, 'a') + "...");
  const std::string ends_before = std::string(75, 'a') + "\u00E8" + std::string(10, 'z');
  EXPECT_EQ(shown_bytes(ends_before), std::string(75, 'a') + "\u00E8...");
}

}  // namespace
}  // namespace sb
