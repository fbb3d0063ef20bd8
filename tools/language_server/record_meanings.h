#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sb::lsp {

// The two description formats.
enum class Description { line, train };

// How the built-in texts lay out a number after its comma: a fixed number
// of blanks (`pad`), or right-aligned in `width` characters, with `pad_when_zero`
// blanks instead for a 0 (the first row of a profile). A text field (pad and
// width both -1) is left as written.
struct FieldLayout {
  int pad = -1;
  int width = -1;
  int pad_when_zero = -1;
  bool text() const { return pad < 0 && width < 0; }
};
inline constexpr FieldLayout kText{};

// One value of a record: its name, what it means with its unit and range,
// which of the record's effect rows says what the builder does with it,
// and its layout.
struct FieldMeaning {
  std::string_view name;
  std::string_view meaning;
  int effect;
  FieldLayout layout;
};

// What the builder does with some of a record's values: a row of the
// README's table "What the builder does with each value".
struct EffectRow {
  std::string_view values;
  std::string_view effect;
};

// A record of a description: the keys that name it as the formats write
// them, its values in order and what the builder does with them. This table
// is where the meanings live; hover texts come from it, and a test keeps
// the README's tables equal to it.
struct RecordMeaning {
  Description description;
  // The section the built-in texts give the record.
  std::string_view section;
  // The record's cell in the README's table of what the builder does.
  std::string_view readme_cell;
  std::vector<std::string_view> keys;
  std::vector<FieldMeaning> fields;
  std::vector<EffectRow> effects;
};

// A row of the README's "formats in brief" tables: keys and their values.
struct BriefRow {
  Description description;
  std::string_view keys;
  std::string_view values;
};

std::span<const RecordMeaning> record_meanings();
std::span<const BriefRow> brief_rows();

// The record `key` names in `description`: a key as the formats write it,
// compared without case and around blanks; null for any other field.
const RecordMeaning* record_of_key(Description description, std::string_view key);

// The README's tables as this table gives them, in Markdown.
std::string builder_table_markdown();
std::string brief_table_markdown(Description description);

// The headings of a description's sections, as the built-in texts have them.
std::span<const std::string_view> section_headings(Description description);

}  // namespace sb::lsp
