#include "track/fatal_report.h"

#include <gtest/gtest.h>

#include "testing/fake_platform.h"
#include "track/error_numbers.h"

namespace sb {
namespace {

TEST(FatalReport, ShowsTheNumberAndEndsTheRun) {
  FakePlatform platform;
  Builder b(platform);
  try {
    end_with_fatal_report(b, error::header_slots_taken);
    FAIL() << "end_with_fatal_report returned";
  } catch (const FatalReport& report) {
    EXPECT_EQ(report.number, 1250);
  }
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0], " Errore n. 1250");
  EXPECT_EQ(b.message_result, 1);
}

}  // namespace
}  // namespace sb
