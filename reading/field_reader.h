#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string_view>

namespace sb {

// A description that cannot be read as its format requires: a field missing
// at the end of the file, a value that is not a number or does not fit its
// field, a missing line length. Both readers throw it; read_descriptions turns it
// into the common failure (error 25).
class ReadFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads a description held in memory as a stream of fields. A field ends at
// a comma or a line end (CR LF or a lone LF), which is consumed with it, so
// fields run on across lines. Blanks are spaces and tabs.
//
// A description has hundreds of thousands of fields of a few characters
// each, so the common paths are inline and work on a local cursor; anything
// unusual (a long or malformed number) goes to the general code.
class FieldReader {
 public:
  explicit FieldReader(std::string_view text) : text_(text) {}

  // Whether every character has been consumed.
  bool at_end() const { return pos_ == text_.size(); }
  // The 1-based line of the next character to read.
  int32_t line() const { return line_; }
  // Where the last field read began (its first non-blank character): the
  // 1-based line and the 1-based column, in bytes.
  int32_t field_line() const { return field_line_; }
  int32_t field_column() const { return field_column_; }

  // A key or a text: from its first non-blank character to the end of the
  // field, everything else kept as written (trailing blanks included).
  std::string_view read_text();

  // A number field of the line description: the whole field is a whole
  // number with an optional minus sign, blanks around it ignored; an empty
  // field reads as 0.
  int32_t read_field_number();

  // A number of the train description: blanks and line ends before it are
  // skipped, it runs to the next blank, comma or line end, and the blanks
  // after it and then one comma or one line end go with it. So numbers can
  // also be separated by blanks alone.
  int32_t read_number();

  // Whether the cursor stands at the start of a line (or of the file).
  bool at_line_start() const { return text_.data() + pos_ == line_start_; }
  // The rest of the current line from the cursor, without its line end.
  std::string_view rest_of_line() const;
  // Moves past the end of the current line, unless already at its start.
  void skip_rest_of_line();

  // Whether a number read since clear_split() ended at a blank with more
  // of the field after it ("16 600" reads as 16 and then 600), and where
  // the first such number begins.
  bool number_split() const { return split_; }
  void clear_split() { split_ = false; }
  int32_t split_line() const { return split_line_; }
  int32_t split_column() const { return split_column_; }
  // The text of the split field: from the first number to the field's end.
  std::string_view split_field() const;

 private:
  static bool is_blank(char c) { return c == ' ' || c == '\t'; }
  // Whether p (before end) ends a field: a comma, LF, or CR followed by LF;
  // a number also ends at a blank.
  static bool ends_field(const char* p, const char* end);
  static bool ends_number(const char* p, const char* end);
  static const char* skip_blanks(const char* p, const char* end);
  static const char* field_end(const char* p, const char* end);
  static const char* number_end(const char* p, const char* end);
  // An optional minus sign and one to nine digits at p: the end of the
  // digits, or nullptr when p holds anything else.
  static const char* short_number_at(const char* p, const char* end, int32_t& value);

  const char* end() const { return text_.data() + text_.size(); }
  // A field missing at the end of the file is reported where the file ends.
  void require_more() {
    if (!at_end()) return;
    mark_field_start(end());
    fail_at_end();
  }
  [[noreturn]] static void fail_at_end();
  // Past the comma or line end at p, if any, counting a line end.
  const char* past_separator(const char* p, const char* end);
  void set_cursor(const char* p) { pos_ = static_cast<size_t>(p - text_.data()); }
  void mark_field_start(const char* p) {
    field_line_ = line_;
    field_column_ = static_cast<int32_t>(p - line_start_) + 1;
  }
  int32_t read_field_number_slowly();
  int32_t read_long_number(const char* start, const char* end);
  // Past the blanks after a number that ends at `stop` and then one comma or
  // line end; notes a number split at a blank.
  void finish_number(const char* stop, const char* end) {
    const char* const after = skip_blanks(stop, end);
    const char* const next = past_separator(after, end);
    if (next == after && after < end && !split_) note_split();
    set_cursor(next);
  }
  void note_split();

  // Characters that may end a field (',', LF, CR) and a number (also blanks).
  static constexpr std::array<bool, 256> kMayEndField = [] {
    std::array<bool, 256> table{};
    table[static_cast<unsigned char>(',')] = true;
    table[static_cast<unsigned char>('\n')] = true;
    table[static_cast<unsigned char>('\r')] = true;
    return table;
  }();
  static constexpr std::array<bool, 256> kMayEndNumber = [] {
    std::array<bool, 256> table = kMayEndField;
    table[static_cast<unsigned char>(' ')] = true;
    table[static_cast<unsigned char>('\t')] = true;
    return table;
  }();

  std::string_view text_;
  size_t pos_ = 0;
  int32_t line_ = 1;
  const char* line_start_ = text_.data();
  int32_t field_line_ = 1;
  int32_t field_column_ = 1;
  bool split_ = false;
  int32_t split_line_ = 0;
  int32_t split_column_ = 0;
  size_t split_offset_ = 0;
};

// Parses a whole decimal number with an optional minus sign that fits 32
// bits; throws ReadFailure otherwise.
int32_t parse_whole_number(std::string_view digits);

// ---- Inline paths ------------------------------------------------------------

inline bool FieldReader::ends_field(const char* p, const char* end) {
  return kMayEndField[static_cast<unsigned char>(*p)] &&
         (*p != '\r' || (p + 1 < end && p[1] == '\n'));
}

inline bool FieldReader::ends_number(const char* p, const char* end) {
  return kMayEndNumber[static_cast<unsigned char>(*p)] &&
         (*p != '\r' || (p + 1 < end && p[1] == '\n'));
}

inline const char* FieldReader::skip_blanks(const char* p, const char* end) {
  while (p < end && is_blank(*p)) ++p;
  return p;
}

inline const char* FieldReader::field_end(const char* p, const char* end) {
  while (p < end && !ends_field(p, end)) ++p;
  return p;
}

inline const char* FieldReader::number_end(const char* p, const char* end) {
  while (p < end && !ends_number(p, end)) ++p;
  return p;
}

inline const char* FieldReader::short_number_at(const char* p, const char* end, int32_t& value) {
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

inline const char* FieldReader::past_separator(const char* p, const char* end) {
  if (p < end) {
    if (*p == ',') return p + 1;
    if (*p == '\n') {
      ++line_;
      return line_start_ = p + 1;
    }
    if (*p == '\r' && p + 1 < end && p[1] == '\n') {
      ++line_;
      return line_start_ = p + 2;
    }
  }
  return p;
}

inline std::string_view FieldReader::read_text() {
  require_more();
  const char* const end = this->end();
  const char* const start = skip_blanks(text_.data() + pos_, end);
  mark_field_start(start);
  const char* const stop = field_end(start, end);
  set_cursor(past_separator(stop, end));
  return std::string_view(start, static_cast<size_t>(stop - start));
}

inline int32_t FieldReader::read_field_number() {
  require_more();
  const char* const end = this->end();
  const char* p = skip_blanks(text_.data() + pos_, end);
  mark_field_start(p);
  int32_t value = 0;
  if (p < end && !ends_field(p, end)) {
    p = short_number_at(p, end, value);
    if (p) p = skip_blanks(p, end);
    if (!p || (p < end && !ends_field(p, end))) return read_field_number_slowly();
  }
  set_cursor(past_separator(p, end));
  return value;
}

inline int32_t FieldReader::read_number() {
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
  mark_field_start(p);
  require_more();
  int32_t value = 0;
  const char* stop = short_number_at(p, end, value);
  if (!stop || (stop < end && !ends_number(stop, end))) return read_long_number(p, end);
  finish_number(stop, end);
  return value;
}

}  // namespace sb
