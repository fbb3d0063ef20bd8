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

// A console message mixes description text made UTF-8 with a path given
// in Windows-1252: each part shows as its own letters.
TEST(Windows1252, MessagesForTheConsoleReadEachPartInItsOwnEncoding) {
  struct Case {
    std::string message;
    std::u16string shown;
  } cases[] = {
      {"plain: ok\n", u"plain: ok\n"},
      {"CITT\xC3\xA0", u"CITT\u00E0"},                        // UTF-8 à
      {"Citt\xE0/x.txt", u"Citt\u00E0/x.txt"},                 // Windows-1252 à
      {"Citt\xE0: `S. ANDR\xC3\x88`", u"Citt\u00E0: `S. ANDR\u00C8`"},  // both in one line
      {"\x80 \xE2\x82\xAC", u"\u20AC \u20AC"},                // euro sign both ways
      {"\xF0\x9F\x9A\x82", u"\U0001F682"},                     // a pair of surrogates
      // Not UTF-8: cut short, overlong, a surrogate, beyond U+10FFFF.
      {"\xC3", u"\u00C3"},
      {"\xC0\xAF", u"\u00C0\u00AF"},
      {"\xED\xA0\x80", u"\u00ED\u00A0\u20AC"},
      {"\xF4\x90\x80\x80", u"\u00F4\uFFFD\u20AC\u20AC"},
  };
  for (const Case& c : cases) EXPECT_EQ(message_to_utf16(c.message), c.shown) << c.message;
}

}  // namespace
}  // namespace sb
