#include "reading/field_reader.h"

#include <limits>
#include <string>

#include "base/shown_text.h"

namespace sb {

namespace {

// The general parse, with the messages of a field that is not a number.
int32_t parse_checked(std::string_view digits) {
  std::string_view rest = digits;
  const bool negative = !rest.empty() && rest.front() == '-';
  if (negative) rest.remove_prefix(1);
  if (rest.empty()) throw ReadFailure("not a number: \"" + shown_text(digits) + "\"");
  // One more than the largest magnitude fits a negative int32.
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t magnitude = 0;
  for (char c : rest) {
    if (c < '0' || c > '9') throw ReadFailure("not a number: \"" + shown_text(digits) + "\"");
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > kLimit) throw ReadFailure("does not fit 32 bits: " + shown_text(digits));
  }
  if (!negative && magnitude == kLimit) {
    throw ReadFailure("does not fit 32 bits: " + shown_text(digits));
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
  finish_number(stop, end);
  return value;
}

void FieldReader::note_split() {
  split_ = true;
  split_line_ = field_line_;
  split_column_ = field_column_;
  split_offset_ = static_cast<size_t>(line_start_ - text_.data()) + static_cast<size_t>(field_column_) - 1;
}

std::string_view FieldReader::split_field() const {
  const char* const start = text_.data() + split_offset_;
  const char* const stop = field_end(start, end());
  return std::string_view(start, static_cast<size_t>(stop - start));
}

std::string_view FieldReader::rest_of_line() const {
  const char* const start = text_.data() + pos_;
  const char* stop = start;
  while (stop < end() && *stop != '\n' && !(*stop == '\r' && stop + 1 < end() && stop[1] == '\n')) {
    ++stop;
  }
  return std::string_view(start, static_cast<size_t>(stop - start));
}

void FieldReader::skip_rest_of_line() {
  if (at_line_start()) return;
  const char* p = text_.data() + pos_ + rest_of_line().size();
  set_cursor(past_separator(p, end()));
}

}  // namespace sb
