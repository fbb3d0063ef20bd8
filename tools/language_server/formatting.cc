#include "tools/language_server/formatting.h"

#include <algorithm>

namespace sb::lsp {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// A field that holds a number as the readers read one: an optional minus
// sign, then a digit.
bool starts_a_number(std::string_view value) {
  if (!value.empty() && value.front() == '-') value.remove_prefix(1);
  return !value.empty() && value.front() >= '0' && value.front() <= '9';
}

// The blanks the layout puts before `value` (the field without its leading
// blanks, up to its trailing ones).
size_t blanks_before(std::string_view value, const FieldLayout& layout) {
  if (layout.pad >= 0) return static_cast<size_t>(layout.pad);
  if (layout.pad_when_zero >= 0 && value == "0") return static_cast<size_t>(layout.pad_when_zero);
  const size_t width = static_cast<size_t>(std::max(layout.width, 0));
  return value.size() < width ? width - value.size() : 0;
}

// One line without its line end.
std::string format_row(std::string_view row, Description description) {
  const size_t first_comma = row.find(',');
  if (first_comma == std::string_view::npos) return std::string(row);
  const RecordMeaning* record = record_of_key(description, row.substr(0, first_comma));
  if (record == nullptr) return std::string(row);

  std::string out(row.substr(0, first_comma + 1));
  size_t pos = first_comma + 1;
  for (const FieldMeaning& field : record->fields) {
    if (field.layout.text()) break;
    const size_t end = std::min(row.find(',', pos), row.size());
    const std::string_view whole = row.substr(pos, end - pos);
    size_t start = 0;
    while (start < whole.size() && is_blank(whole[start])) ++start;
    const std::string_view value = whole.substr(start);
    if (starts_a_number(value)) {
      size_t core = value.size();
      while (core > 0 && is_blank(value[core - 1])) --core;
      out.append(blanks_before(value.substr(0, core), field.layout), ' ');
      out.append(value);
    } else {
      out.append(whole);
    }
    pos = end;
    if (pos >= row.size()) return out;
    out += ',';
    ++pos;
  }
  out.append(row.substr(pos));
  return out;
}

}  // namespace

std::string format_description(std::string_view text, Description description) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    size_t content_end = end;
    if (content_end > pos && text[content_end - 1] == '\r') --content_end;
    out += format_row(text.substr(pos, content_end - pos), description);
    out.append(text.substr(content_end, end - content_end));
    if (end < text.size()) out += '\n';
    pos = end + 1;
  }
  return out;
}

}  // namespace sb::lsp
