#include "tools/inspect/text_encoding.h"

#include <gtest/gtest.h>

namespace sb::inspect {
namespace {

TEST(InspectTextEncoding, EscapesForXmlAndJson) {
  EXPECT_EQ(xml_escaped("a<b>&\"c'\x01\n"), "a&lt;b&gt;&amp;&quot;c&apos;\uFFFD\n");
  EXPECT_EQ(json_quoted("a\"b\\c\n\x01\u00e8"), "\"a\\\"b\\\\c\\n\\u0001\u00e8\"");
}

}  // namespace
}  // namespace sb::inspect
