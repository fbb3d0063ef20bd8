#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sb::lsp {

// How a client counts the characters of a position: UTF-16 code units (the
// protocol's default) or UTF-8 bytes, when the client offers them.
enum class PositionEncoding { utf16, utf8 };

// A character of the editor's text that Windows-1252 cannot hold: where it
// stands (0-based line, 0-based character of that line) and what it is.
struct Unmappable {
  int32_t line = 0;
  int32_t character = 0;
  char32_t code_point = 0;
};

// An editor's document as the builder reads the file it saves: the Unicode
// text the editor sends, converted back to Windows-1252, one byte per
// character, so that a byte's column is its character's index on its line.
// A character Windows-1252 cannot hold becomes "?" and is listed.
class DocumentText {
 public:
  explicit DocumentText(std::string utf8 = {});

  const std::string& utf8() const { return utf8_; }
  const std::string& windows_1252() const { return bytes_; }
  const std::vector<Unmappable>& unmappable() const { return unmappable_; }

  int32_t line_count() const { return static_cast<int32_t>(line_starts_.size()); }
  // The characters of a 0-based line (one byte each), without its line end;
  // empty past the last line.
  std::string_view line(int32_t index) const;

  // A client's position (0-based line, character in `encoding`) as the
  // index of a character on that line, clamped to the line.
  int32_t character_index(int32_t line, int32_t character, PositionEncoding encoding) const;
  // The other way: a character index on a line as the client counts it.
  int32_t client_character(int32_t line, int32_t index, PositionEncoding encoding) const;

 private:
  std::string_view utf8_line(int32_t index) const;

  std::string utf8_;
  std::string bytes_;
  std::vector<Unmappable> unmappable_;
  // Where each line begins, in bytes_ and in utf8_.
  std::vector<size_t> line_starts_;
  std::vector<size_t> utf8_line_starts_;
};

// The length of `c` in the client's units.
int32_t units_of(char32_t c, PositionEncoding encoding);

// Decodes one UTF-8 character at `i` (advancing it); an invalid byte reads
// as U+FFFD and one byte.
char32_t next_code_point(std::string_view utf8, size_t& i);

// Windows-1252's byte for a character; -1 when it has none.
int byte_of(char32_t code_point);

// Applies an edit of the protocol's incremental sync: replaces the text
// between two positions (clamped to the text) with `replacement`.
std::string replace_range(const DocumentText& text, int32_t start_line, int32_t start_character,
                          int32_t end_line, int32_t end_character, std::string_view replacement,
                          PositionEncoding encoding);

}  // namespace sb::lsp
