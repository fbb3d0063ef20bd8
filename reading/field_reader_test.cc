#include "reading/field_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sb {
namespace {

std::vector<std::string> all_text_fields(std::string_view text) {
  FieldReader fields(text);
  std::vector<std::string> out;
  while (!fields.at_end()) out.emplace_back(fields.read_text());
  return out;
}

TEST(FieldReader, TextFieldsEndAtCommasAndLineEnds) {
  using Fields = std::vector<std::string>;
  const struct {
    std::string text;
    Fields expected;
  } cases[] = {
      {"a,b\r\nc\n", {"a", "b", "c"}},
      // Leading blanks go, trailing blanks and quotes stay as written.
      {"  key ,\t \"x y\"  \r\n", {"key ", "\"x y\"  "}},
      // An empty line is an empty field; a lone CR is an ordinary character.
      {"a\r\n\r\nb\rc", {"a", "", "b\rc"}},
      {"a,,b,", {"a", "", "b"}},
  };
  for (const auto& c : cases) EXPECT_EQ(all_text_fields(c.text), c.expected) << c.text;
}

TEST(FieldReader, CountsLinesAcrossBothLineEnds) {
  FieldReader fields("a,b\r\nc\nd\r\n\ne");
  const int expected_lines[] = {1, 1, 2, 3, 4, 5};
  for (int line : expected_lines) {
    EXPECT_EQ(fields.line(), line);
    fields.read_text();
  }
  EXPECT_TRUE(fields.at_end());
}

TEST(FieldReader, ReadingPastTheEndFails) {
  FieldReader fields("a\r\n");
  fields.read_text();
  ASSERT_TRUE(fields.at_end());
  EXPECT_THROW(fields.read_text(), ReadFailure);
  EXPECT_THROW(fields.read_field_number(), ReadFailure);
  EXPECT_THROW(fields.read_number(), ReadFailure);
  EXPECT_THROW(FieldReader("").read_text(), ReadFailure);
}

TEST(FieldReader, LineNumberFieldIsTheWholeField) {
  const struct {
    std::string text;
    int32_t value;
  } good[] = {{"    97000\r\n", 97000}, {"  -12  ,", -12}, {"  ,", 0}, {"\r\n", 0},
              {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1}};
  for (const auto& c : good) EXPECT_EQ(FieldReader(c.text).read_field_number(), c.value) << c.text;
  const std::string bad[] = {"1 2,", "12a", "-", "+5", "1.5", "2147483648", "-2147483649",
                             "99999999999999999999999"};
  for (const auto& text : bad) EXPECT_THROW(FieldReader(text).read_field_number(), ReadFailure) << text;
}

TEST(FieldReader, TrainNumbersSkipLineEndsAndStopAtBlanks) {
  FieldReader fields("orologio,    21              56            40 \r\n\r\n  7,8");
  EXPECT_EQ(fields.read_text(), "orologio");
  EXPECT_EQ(fields.read_number(), 21);
  EXPECT_EQ(fields.read_number(), 56);
  EXPECT_EQ(fields.read_number(), 40);
  EXPECT_EQ(fields.line(), 2);
  EXPECT_EQ(fields.read_number(), 7);
  EXPECT_EQ(fields.line(), 3);
  EXPECT_EQ(fields.read_number(), 8);
  EXPECT_TRUE(fields.at_end());
}

TEST(FieldReader, TrainNumberThatIsNotANumberFails) {
  const std::string bad[] = {",5", "x", "5x,", "3000000000", "\r\n  \r\n"};
  for (const auto& text : bad) EXPECT_THROW(FieldReader(text).read_number(), ReadFailure) << text;
}

TEST(FieldReader, TrainNumberTakesOneSeparatorOnly) {
  // The comma after the blanks goes with the number; the next comma ends an
  // empty text field.
  FieldReader fields("5  ,,name");
  EXPECT_EQ(fields.read_number(), 5);
  EXPECT_EQ(fields.read_text(), "");
  EXPECT_EQ(fields.read_text(), "name");
}

}  // namespace
}  // namespace sb
