#include "output/competition_codes.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "testing/case_names.h"
#include "testing/fake_platform.h"

namespace sb {
namespace {

struct Codes {
  int16_t og;
  int32_t st;
  bool operator==(const Codes&) const = default;
};

Codes codes_of(const std::string& train_number, const std::string& route_name) {
  FakePlatform platform;
  Builder b(platform);
  b.stations[kTrainEntry].name = train_number;
  b.stations[kRouteEntry].name = route_name;
  return {competition_code_og(b), competition_code_st(b)};
}

void PrintTo(const Codes& c, std::ostream* os) { *os << "{og " << c.og << ", st " << c.st << "}"; }

struct CodeCase {
  const char* what;
  std::string train_number;
  std::string route_name;
  Codes expected;
};

// Shown for the case in test listings instead of its bytes.
void PrintTo(const CodeCase& c, std::ostream* os) { *os << c.what; }

class CompetitionCodeTable : public ::testing::TestWithParam<CodeCase> {};

TEST_P(CompetitionCodeTable, Values) {
  const CodeCase& c = GetParam();
  EXPECT_EQ(codes_of(c.train_number, c.route_name), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    CompetitionCodes, CompetitionCodeTable,
    ::testing::Values(
        CodeCase{"25 letters a..y, train number first", "ABCDEFGHIJKLM", "NOPQRSTUVWXYZ",
                 {2725, 36725}},
        // The same names read the other way round: the order of the join counts.
        CodeCase{"route name first", "NOPQRSTUVWXYZ", "ABCDEFGHIJKLM", {2738, 34866}},
        CodeCase{"empty names: the pad alone", "", "", {2819, 37297}},
        CodeCase{"built-in names, three pad characters", "20573-2", "Sarvena_Lucredo",
                 {2271, 33012}},
        CodeCase{"Windows-1252 capital A grave as a grave", "\xC0", "", {2924, 37246}},
        CodeCase{"a grave itself", "\xE0", "", {2924, 37246}}),
    NamedByWhat());

TEST(CompetitionCodesTest, CaseDoesNotMatter) {
  EXPECT_EQ(codes_of("20573-2", "SARVENA_LUCREDO"), codes_of("20573-2", "sarvena_lucredo"));
  EXPECT_EQ(codes_of("ab-\xC9", "Route"), codes_of("AB-\xE9", "rOUTE"));
}

TEST(CompetitionCodesTest, NamesAreJoinedWithoutSeparator) {
  EXPECT_EQ(codes_of("AB", "C"), codes_of("A", "BC"));
  EXPECT_EQ(codes_of("", "ABC"), codes_of("ABC", ""));
}

TEST(CompetitionCodesTest, OnlyTheFirst25CharactersCount) {
  const std::string first25 = "ABCDEFGHIJKLMNOPQRSTUVWXY";
  EXPECT_EQ(codes_of(first25, "Z"), codes_of(first25, "zzzzzzzzzz\xFF\xFF"));
  EXPECT_EQ(codes_of(first25.substr(0, 10), first25.substr(10) + "1"),
            codes_of(first25.substr(0, 10), first25.substr(10) + "\x80long tail"));
  // The 25th character itself still counts.
  EXPECT_NE(codes_of(first25.substr(0, 24), "A"), codes_of(first25.substr(0, 24), "B"));
}

}  // namespace
}  // namespace sb
