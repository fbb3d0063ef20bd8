#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string_view>

namespace sb {

// A description that cannot be read as its format requires: a field missing
// at the end of the file, a value that is not a number or does not fit its
// field, a missing line length. Both readers throw it; memorizza_dati turns it
// into the common failure (error 25).
class ReadFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads a description held in memory as a stream of fields. A field ends at
// a comma or a line end (CR LF or a lone LF), which is consumed with it, so
// fields run on across lines. Blanks are spaces and tabs.
class FieldReader {
 public:
  explicit FieldReader(std::string_view text) : text_(text) {}

  // Whether every character has been consumed.
  bool at_end() const { return pos_ == text_.size(); }
  // The 1-based line of the next character to read.
  int32_t line() const { return line_; }

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

 private:
  static bool is_blank(char c) { return c == ' ' || c == '\t'; }
  const char* end() const { return text_.data() + text_.size(); }
  void require_more() const;
  static const char* skip_blanks(const char* p, const char* end);
  static const char* field_end(const char* p, const char* end);
  static const char* number_end(const char* p, const char* end);
  // Past the comma or line end at p, if any, counting a line end.
  const char* past_separator(const char* p, const char* end);
  void set_cursor(const char* p);
  int32_t read_field_number_slowly();

  std::string_view text_;
  size_t pos_ = 0;
  int32_t line_ = 1;
};

// Parses a whole decimal number with an optional minus sign that fits 32
// bits; throws ReadFailure otherwise.
int32_t parse_whole_number(std::string_view digits);

}  // namespace sb
