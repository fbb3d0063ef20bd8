#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "tools/language_server/document_text.h"
#include "tools/language_server/record_meanings.h"

namespace sb::lsp {

// What the editor features read from a description's rows: the hover on a
// field, the rows to complete, a row's signature and the outline. Rows are
// Windows-1252 lines without their line end; places are character indices.

struct HoverText {
  std::string markdown;
  // The field the text is about.
  int32_t first = 0;
  int32_t last = 0;
};
// What the field at `index` of `row` means and what the builder does with
// its value; none outside a record.
std::optional<HoverText> hover_text(std::string_view row, int32_t index, Description description);

struct Completion {
  std::string label;
  std::string detail;
  std::string snippet;
  std::string sort_text;
  bool heading = false;
  // Where the text it replaces begins on the line.
  int32_t replace_from = 0;
};
// The section headings and the keys of the current section, when `index`
// lies in a row's first field.
std::vector<Completion> completions(const DocumentText& text, int32_t line, int32_t index,
                                    Description description);

struct Signature {
  std::string label;
  std::string documentation;
  // Each value's place in the label and what it means.
  std::vector<std::tuple<int32_t, int32_t, std::string>> parameters;
  int32_t active = 0;
};
// The record's values with the one at `index` active; none in a key.
std::optional<Signature> signature_of(std::string_view row, int32_t index, Description description);

struct OutlineEntry {
  std::string name;
  std::string detail;
  int kind = 0;  // the protocol's SymbolKind
  int32_t line = 0;
  int32_t length = 0;
  bool section = false;
};
// The sections and, in them, the stations, signals, slowdowns, curves and
// montagna spans, in file order.
std::vector<OutlineEntry> outline(const DocumentText& text, Description description);

// "km 16.55": a position as the page shows it.
std::string km_text(int64_t position_m);

// Text for the protocol, which must be UTF-8: bytes that are not UTF-8 (a
// description's Windows-1252 bytes quoted in a message) read as Windows-1252.
std::string as_utf8(std::string_view text);

// "`✓` (U+2713)".
std::string character_name(char32_t code_point);

// The lines of a text without their line ends.
std::vector<std::string_view> utf8_lines(std::string_view text);

}  // namespace sb::lsp
