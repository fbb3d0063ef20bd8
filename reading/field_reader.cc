#include "reading/field_reader.h"

#include <limits>
#include <string>

namespace sb {

namespace {

// The general parse, with the messages of a field that is not a number.
int32_t parse_checked(std::string_view digits) {
  std::string_view rest = digits;
  const bool negative = !rest.empty() && rest.front() == '-';
  if (negative) rest.remove_prefix(1);
  if (rest.empty()) throw ReadFailure("not a number: \"" + std::string(digits) + "\"");
  // One more than the largest magnitude fits a negative int32.
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t magnitude = 0;
  for (char c : rest) {
    if (c < '0' || c > '9') throw ReadFailure("not a number: \"" + std::string(digits) + "\"");
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > kLimit) throw ReadFailure("does not fit 32 bits: " + std::string(digits));
  }
  if (!negative && magnitude == kLimit) {
    throw ReadFailure("does not fit 32 bits: " + std::string(digits));
  }
  return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

}  // namespace

int32_t parse_whole_number(std::string_view digits) {
  // Descriptions hold hundreds of thousands of short numbers: up to nine
  // digits always fit, so they need no range checks.
  const char* p = digits.data();
  size_t n = digits.size();
  const bool negative = n > 0 && *p == '-';
  if (negative) {
    ++p;
    --n;
  }
  if (n == 0 || n > 9) return parse_checked(digits);
  int32_t magnitude = 0;
  for (size_t i = 0; i < n; ++i) {
    const auto digit = static_cast<unsigned>(p[i] - '0');
    if (digit > 9) return parse_checked(digits);
    magnitude = magnitude * 10 + static_cast<int32_t>(digit);
  }
  return negative ? -magnitude : magnitude;
}

void FieldReader::fail_at_end() { throw ReadFailure("a field is missing at the end of the file"); }

// Any field: the whole field, blanks around it dropped, must be a number.
int32_t FieldReader::read_field_number_slowly() {
  std::string_view field = read_text();
  while (!field.empty() && is_blank(field.back())) field.remove_suffix(1);
  if (field.empty()) return 0;
  return parse_whole_number(field);
}

// A train number that is not a short one: the token up to the next blank,
// comma or line end must be a number that fits.
int32_t FieldReader::read_long_number(const char* start, const char* end) {
  const char* const stop = number_end(start, end);
  set_cursor(stop);
  const int32_t value = parse_whole_number(std::string_view(start, static_cast<size_t>(stop - start)));
  set_cursor(past_separator(skip_blanks(stop, end), end));
  return value;
}

}  // namespace sb
