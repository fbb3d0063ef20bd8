#include "line/field_reader.h"

#include <array>
#include <limits>
#include <string>

namespace sb {

namespace {

// Characters that can end a field: a comma, LF, and CR when LF follows.
constexpr std::array<bool, 256> kMayEndField = [] {
  std::array<bool, 256> table{};
  table[static_cast<unsigned char>(',')] = true;
  table[static_cast<unsigned char>('\n')] = true;
  table[static_cast<unsigned char>('\r')] = true;
  return table;
}();

// A train number also ends at a blank.
constexpr std::array<bool, 256> kMayEndNumber = [] {
  std::array<bool, 256> table = kMayEndField;
  table[static_cast<unsigned char>(' ')] = true;
  table[static_cast<unsigned char>('\t')] = true;
  return table;
}();

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

void FieldReader::require_more() const {
  if (at_end()) throw ReadFailure("a field is missing at the end of the file");
}

// The hot paths below work on a local cursor and store it once: a field
// is a handful of characters, and a description has hundreds of thousands.

const char* FieldReader::skip_blanks(const char* p, const char* end) {
  while (p < end && is_blank(*p)) ++p;
  return p;
}

const char* FieldReader::past_separator(const char* p, const char* end) {
  if (p < end) {
    if (*p == ',') return p + 1;
    if (*p == '\n') {
      ++line_;
      return p + 1;
    }
    if (*p == '\r' && p + 1 < end && p[1] == '\n') {
      ++line_;
      return p + 2;
    }
  }
  return p;
}

void FieldReader::set_cursor(const char* p) { pos_ = static_cast<size_t>(p - text_.data()); }

std::string_view FieldReader::read_text() {
  require_more();
  const char* const end = this->end();
  const char* const start = skip_blanks(text_.data() + pos_, end);
  const char* const stop = field_end(start, end);
  set_cursor(past_separator(stop, end));
  return std::string_view(start, static_cast<size_t>(stop - start));
}

namespace {

// Whether p (before end) ends a field: a comma, LF, or CR followed by LF.
bool ends_field(const char* p, const char* end) {
  return kMayEndField[static_cast<unsigned char>(*p)] &&
         (*p != '\r' || (p + 1 < end && p[1] == '\n'));
}
bool ends_number(const char* p, const char* end) {
  return kMayEndNumber[static_cast<unsigned char>(*p)] &&
         (*p != '\r' || (p + 1 < end && p[1] == '\n'));
}

// Reads an optional minus sign and one to nine digits at p, the common
// shape of every number in a description. Returns the end of the digits, or
// nullptr when p holds something else (the general parse then decides).
const char* short_number_at(const char* p, const char* end, int32_t& value) {
  const bool negative = p < end && *p == '-';
  if (negative) ++p;
  const char* const digits = p;
  // Wraps harmlessly on a long number, which is handed on anyway.
  uint32_t magnitude = 0;
  while (p < end) {
    const auto digit = static_cast<unsigned>(*p - '0');
    if (digit > 9) break;
    magnitude = magnitude * 10 + digit;
    ++p;
  }
  if (p == digits || p - digits > 9) return nullptr;
  const auto v = static_cast<int32_t>(magnitude);
  value = negative ? -v : v;
  return p;
}

}  // namespace

// The first comma or line end at or after p, or end. Only three characters
// can end a field, so most characters cost one table look-up.
const char* FieldReader::field_end(const char* p, const char* end) {
  while (p < end && !ends_field(p, end)) ++p;
  return p;
}

// The first blank, comma or line end at or after p, or end.
const char* FieldReader::number_end(const char* p, const char* end) {
  while (p < end && !ends_number(p, end)) ++p;
  return p;
}

int32_t FieldReader::read_field_number() {
  require_more();
  const char* const end = this->end();
  const char* p = skip_blanks(text_.data() + pos_, end);
  int32_t value = 0;
  if (p < end && !ends_field(p, end)) {
    p = short_number_at(p, end, value);
    if (p) p = skip_blanks(p, end);
    if (!p || (p < end && !ends_field(p, end))) return read_field_number_slowly();
  }
  set_cursor(past_separator(p, end));
  return value;
}

// Any field: the whole field, blanks around it dropped, must be a number.
int32_t FieldReader::read_field_number_slowly() {
  std::string_view field = read_text();
  while (!field.empty() && is_blank(field.back())) field.remove_suffix(1);
  if (field.empty()) return 0;
  return parse_whole_number(field);
}

int32_t FieldReader::read_number() {
  const char* const end = this->end();
  const char* p = text_.data() + pos_;
  for (;;) {
    p = skip_blanks(p, end);
    const char* const next = past_separator(p, end);
    // Only line ends are skipped here; a comma ends the (empty) number.
    if (next == p || *p == ',') break;
    p = next;
  }
  set_cursor(p);
  require_more();
  int32_t value = 0;
  const char* stop = short_number_at(p, end, value);
  if (!stop || (stop < end && !ends_number(stop, end))) {
    stop = number_end(p, end);
    set_cursor(stop);
    value = parse_whole_number(std::string_view(p, static_cast<size_t>(stop - p)));
  }
  set_cursor(past_separator(skip_blanks(stop, end), end));
  return value;
}

}  // namespace sb
