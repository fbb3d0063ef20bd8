#include "compile/check_descriptions.h"

#include <gtest/gtest.h>

#include <string>

#include "base/file_names.h"
#include "testing/in_memory_build.h"

namespace sb {
namespace {

class CheckDescriptionsTest : public ::testing::Test, protected InMemoryBuild {};

TEST_F(CheckDescriptionsTest, LeavesTheCallersFilesAlone) {
  platform.files.files[line_path()] = "the author's own file";
  check_descriptions(b, {"[generale]\r\nlunghezza percorso, 97000\r\n[fine]\r\n",
                         "[generale]\r\nsabbia, 300\r\nstazione, 0, 25, 200, 0, 0, 0, "
                         "0,0,0, 0,0,0, 0, 0,0,0, A\r\n[fine]\r\n"});
  EXPECT_EQ(b.diagnostics.list().size(), 0u);
  EXPECT_EQ(b.files, &platform.files);
  EXPECT_EQ(platform.files.files.size(), 1u);
  EXPECT_TRUE(platform.files.log.empty());
}

// Without a train the line's problems alone are listed: no "no records"
// warning of an absent train, and no train row checked against the line.
TEST_F(CheckDescriptionsTest, ALineAloneIsCheckedAsALine) {
  check_descriptions(
      b, {"[generale]\r\nlunghezza percorso, 97000\r\npendneza, 0, 0\r\n[fine]\r\n", std::nullopt});
  ASSERT_EQ(b.diagnostics.list().size(), 1u);
  const Diagnostic& d = b.diagnostics.list()[0];
  EXPECT_EQ(d.file, line_description_name(b.route_name));
  EXPECT_EQ(d.kind, WarningKind::unknown_key);
  EXPECT_EQ(d.line, 3);
}

TEST_F(CheckDescriptionsTest, AnEditorListsEveryWarningOfAKind) {
  std::string line = "[generale]\r\nlunghezza percorso, 97000\r\n[pendenze]\r\n";
  for (int i = 0; i < 25; ++i) line += "pendenza, " + std::to_string(1010 + 100 * i) + ", 0\r\n";
  line += "[fine]\r\n";
  check_descriptions(b, {line, std::nullopt});
  EXPECT_EQ(b.diagnostics.list().size(), size_t{Diagnostics::kListedPerKind});
  EXPECT_EQ(b.diagnostics.unlisted(WarningKind::off_grid), 25 - Diagnostics::kListedPerKind);

  reset();
  b.diagnostics.list_per_kind(Diagnostics::kListedInEditor);
  check_descriptions(b, {line, std::nullopt});
  EXPECT_EQ(b.diagnostics.list().size(), 25u);
  EXPECT_EQ(b.diagnostics.unlisted(WarningKind::off_grid), 0);
}

}  // namespace
}  // namespace sb
