#include "line/field_reader.h"

#include <limits>
#include <string>

namespace sb {

int32_t parse_whole_number(std::string_view digits) {
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

size_t FieldReader::line_end_at(size_t pos) const {
  if (pos < text_.size() && text_[pos] == '\n') return 1;
  if (pos + 1 < text_.size() && text_[pos] == '\r' && text_[pos + 1] == '\n') return 2;
  return 0;
}

void FieldReader::consume_separator() {
  if (at_end()) return;
  if (text_[pos_] == ',') {
    ++pos_;
  } else if (size_t n = line_end_at(pos_)) {
    pos_ += n;
    ++line_;
  }
}

void FieldReader::skip_blanks() {
  while (pos_ < text_.size() && is_blank(text_[pos_])) ++pos_;
}

void FieldReader::require_more() const {
  if (at_end()) throw ReadFailure("a field is missing at the end of the file");
}

std::string_view FieldReader::read_text() {
  require_more();
  skip_blanks();
  const size_t start = pos_;
  while (pos_ < text_.size() && text_[pos_] != ',' && line_end_at(pos_) == 0) ++pos_;
  const std::string_view field = text_.substr(start, pos_ - start);
  consume_separator();
  return field;
}

int32_t FieldReader::read_field_number() {
  std::string_view field = read_text();
  while (!field.empty() && is_blank(field.back())) field.remove_suffix(1);
  if (field.empty()) return 0;
  return parse_whole_number(field);
}

int32_t FieldReader::read_number() {
  for (;;) {
    skip_blanks();
    const size_t n = line_end_at(pos_);
    if (n == 0) break;
    pos_ += n;
    ++line_;
  }
  require_more();
  const size_t start = pos_;
  while (pos_ < text_.size() && !is_blank(text_[pos_]) && text_[pos_] != ',' &&
         line_end_at(pos_) == 0) {
    ++pos_;
  }
  const int32_t value = parse_whole_number(text_.substr(start, pos_ - start));
  skip_blanks();
  consume_separator();
  return value;
}

}  // namespace sb
