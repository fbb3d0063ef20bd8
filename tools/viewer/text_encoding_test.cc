#include "tools/viewer/text_encoding.h"

#include <gtest/gtest.h>

namespace sb::inspect {
namespace {

TEST(InspectTextEncoding, EscapesForXml) {
  EXPECT_EQ(xml_escaped("a<b>&\"c'\x01\n"), "a&lt;b&gt;&amp;&quot;c&apos;\uFFFD\n");
}

}  // namespace
}  // namespace sb::inspect
