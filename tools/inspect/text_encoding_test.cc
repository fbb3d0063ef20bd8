#include "tools/inspect/text_encoding.h"

#include <gtest/gtest.h>

namespace sb::inspect {
namespace {

TEST(InspectTextEncoding, Windows1252BecomesUtf8) {
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

TEST(InspectTextEncoding, EscapesForXmlAndJson) {
  EXPECT_EQ(xml_escaped("a<b>&\"c'\x01\n"), "a&lt;b&gt;&amp;&quot;c&apos;\uFFFD\n");
  EXPECT_EQ(json_quoted("a\"b\\c\n\x01\u00e8"), "\"a\\\"b\\\\c\\n\\u0001\u00e8\"");
}

}  // namespace
}  // namespace sb::inspect
