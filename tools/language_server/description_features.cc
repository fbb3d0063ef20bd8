#include "tools/language_server/description_features.h"

#include <charconv>
#include <cstdio>

#include "base/windows_1252.h"

namespace sb::lsp {

namespace {

// A field of a row: from after the comma before it to the comma after it.
struct FieldSpan {
  size_t begin = 0;
  size_t end = 0;
};

std::vector<FieldSpan> fields_of(std::string_view row) {
  std::vector<FieldSpan> fields;
  size_t begin = 0;
  for (;;) {
    const size_t comma = row.find(',', begin);
    if (comma == std::string_view::npos) {
      fields.push_back({begin, row.size()});
      return fields;
    }
    fields.push_back({begin, comma});
    begin = comma + 1;
  }
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view text) {
  size_t first = 0;
  while (first < text.size() && is_blank(text[first])) ++first;
  size_t last = text.size();
  while (last > first && is_blank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

// The field's text without its blanks, and where that lies in the row.
std::string_view field_text(std::string_view row, const FieldSpan& f, int32_t& first,
                            int32_t& last) {
  const std::string_view whole = row.substr(f.begin, f.end - f.begin);
  const std::string_view text = trimmed(whole);
  first = static_cast<int32_t>(f.begin + (text.empty() ? 0 : text.data() - whole.data()));
  last = first + static_cast<int32_t>(text.size());
  return text;
}

std::optional<int64_t> number_of(std::string_view text) {
  int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

bool is_position(const FieldMeaning& field) {
  return field.meaning.find("from the line's origin") != std::string_view::npos;
}

std::string_view description_name(Description description) {
  return description == Description::line ? "line description" : "train description";
}

// What a value means beyond its field's meaning, where the builder gives
// particular values a meaning of their own.
std::string value_meaning(std::string_view key, const FieldMeaning& field, int64_t v) {
  if (is_position(field)) {
    std::string text = std::to_string(v) + " m is " + km_text(v);
    if (v % 50 != 0) text += "; not a multiple of 50 (see the warning for where it takes effect)";
    return text;
  }
  if (key == "stazione" && field.name == "kind") {
    std::string text = "kind " + std::to_string(v) + ": the platform runs ";
    if (v == 5 || v == 6) {
      text += "from position - length to position + 150";
    } else if (v == 7 || v == 8) {
      text += "from position - length to position + length";
    } else {
      text += "from position - length / 2 to position + length / 2";
    }
    if (v >= 25) return text + "; no stop: no stop marker and no approach codes";
    text += "; a stop: a stop marker in the cell before the platform's end";
    if (v != 5 && v != 6) text += ", and approach codes 81 to 84 in the four cells before it";
    return text;
  }
  if (key == "montagna" && field.name == "type") {
    if (v > 10) {
      return "type " + std::to_string(v - 10) +
             " with a montagna marker on every fourth empty cell of the span";
    }
    return "type " + std::to_string(v) + " without markers";
  }
  if (key == "segnale" && (field.name == "sx" || field.name == "dx")) {
    std::string text = "side " + std::string(field.name.substr(0, 1)) + " type " +
                       std::to_string(v) + ": value4 = rapp × 10 + sx × 3 + dx";
    if (field.name == "sx" && v == 2) text += "; type 2 keeps the signal's time (tempo)";
    return text;
  }
  if (key == "segnale" && field.name == "tempo" && v >= 1 && v <= 100) {
    return "a time of 1 to 100 is raised to 101 (when sx is 2)";
  }
  return {};
}

std::string lower_key(std::string_view key) {
  std::string lower;
  for (char c : trimmed(key))
    lower += static_cast<char>(windows_1252_lower(static_cast<unsigned char>(c)));
  return lower;
}

std::string record_title(const RecordMeaning& record, std::string_view key) {
  return "**" + as_utf8(trimmed(key)) + "** (" + std::string(description_name(record.description)) +
         ")";
}

std::string field_list(const RecordMeaning& record) {
  std::string list;
  for (const FieldMeaning& f : record.fields) {
    if (!list.empty()) list += ", ";
    list += f.name;
  }
  return list;
}

}  // namespace

std::string km_text(int64_t position_m) {
  // As the page writes it: three decimals, trailing zeros dropped, at least one.
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.3f", static_cast<double>(position_m) / 1000.0);
  std::string text = buffer;
  if (position_m % 1000 == 0) {
    std::snprintf(buffer, sizeof buffer, "%.1f", static_cast<double>(position_m) / 1000.0);
    return std::string("km ") + buffer;
  }
  while (!text.empty() && text.back() == '0') text.pop_back();
  if (!text.empty() && text.back() == '.') text += '0';
  return "km " + text;
}

std::optional<HoverText> hover_text(std::string_view row, int32_t index, Description description) {
  const std::vector<FieldSpan> fields = fields_of(row);
  size_t at = 0;
  while (at + 1 < fields.size() && static_cast<size_t>(index) > fields[at].end) ++at;
  const std::string_view key = row.substr(fields[0].begin, fields[0].end - fields[0].begin);
  const RecordMeaning* record = record_of_key(description, key);
  if (record == nullptr) return std::nullopt;
  HoverText hover;
  const std::string_view value = field_text(row, fields[at], hover.first, hover.last);
  if (at == 0) {
    hover.markdown = record_title(*record, key) + ": " + field_list(*record);
    for (const BriefRow& brief : brief_rows()) {
      if (brief.description == description &&
          brief.keys.find("`" + lower_key(key)) != std::string_view::npos) {
        hover.markdown += "\n\n" + std::string(brief.values);
      }
    }
    for (const EffectRow& effect : record->effects) {
      hover.markdown += "\n\n";
      if (!effect.values.empty()) hover.markdown += "*" + std::string(effect.values) + "*: ";
      hover.markdown += effect.effect;
    }
    return hover;
  }
  if (at > record->fields.size()) {
    hover.markdown = record_title(*record, key) + " takes " +
                     std::to_string(record->fields.size()) +
                     " values: this field is read as a further key";
    return hover;
  }
  const FieldMeaning& field = record->fields[at - 1];
  hover.markdown = record_title(*record, key) + ", value " + std::to_string(at) + " of " +
                   std::to_string(record->fields.size()) + ": **" + std::string(field.name) +
                   "**, " + std::string(field.meaning);
  if (const auto v = number_of(value); v && !field.layout.text()) {
    const std::string meaning = value_meaning(lower_key(key), field, *v);
    if (!meaning.empty()) hover.markdown += "\n\n" + meaning;
  }
  const EffectRow& effect = record->effects.at(static_cast<size_t>(field.effect));
  hover.markdown += "\n\nWhat the builder does with ";
  hover.markdown +=
      effect.values.empty() ? std::string("it") : "*" + std::string(effect.values) + "*";
  hover.markdown += ": " + std::string(effect.effect);
  return hover;
}

std::vector<Completion> completions(const DocumentText& text, int32_t line, int32_t index,
                                    Description description) {
  const std::string_view row = text.line(line);
  const size_t cursor = std::min(static_cast<size_t>(std::max(index, 0)), row.size());
  if (row.substr(0, cursor).find(',') != std::string_view::npos) return {};
  size_t from = 0;
  while (from < cursor && is_blank(row[from])) ++from;
  // The section the row stands in: the last heading above it.
  std::string section;
  for (int32_t l = line - 1; l >= 0 && section.empty(); --l) {
    const std::string_view heading = trimmed(text.line(l));
    if (!heading.empty() && heading.front() == '[')
      section = lower_key(heading.substr(0, heading.find(']') + 1));
  }
  std::vector<Completion> items;
  int order = 0;
  for (const RecordMeaning& record : record_meanings()) {
    if (record.description != description) continue;
    if (!section.empty() && section != "[generale]" && record.section != section) continue;
    if (section == "[generale]" && record.section != section) continue;
    for (std::string_view key : record.keys) {
      Completion c;
      c.label = key;
      c.detail = field_list(record);
      c.snippet = std::string(key);
      int placeholder = 1;
      for (const FieldMeaning& f : record.fields) {
        c.snippet += ", ${" + std::to_string(placeholder++) + ":" + std::string(f.name) + "}";
      }
      char sort[16];
      std::snprintf(sort, sizeof sort, "a%03d", order++);
      c.sort_text = sort;
      c.replace_from = static_cast<int32_t>(from);
      items.push_back(std::move(c));
    }
  }
  for (std::string_view heading : section_headings(description)) {
    Completion c;
    c.label = heading;
    c.detail = "section";
    c.snippet = std::string(heading);
    char sort[16];
    std::snprintf(sort, sizeof sort, "b%03d", order++);
    c.sort_text = sort;
    c.heading = true;
    c.replace_from = static_cast<int32_t>(from);
    items.push_back(std::move(c));
  }
  return items;
}

std::optional<Signature> signature_of(std::string_view row, int32_t index,
                                      Description description) {
  const std::vector<FieldSpan> fields = fields_of(row);
  const RecordMeaning* record =
      record_of_key(description, row.substr(fields[0].begin, fields[0].end - fields[0].begin));
  if (record == nullptr) return std::nullopt;
  const size_t cursor = std::min(static_cast<size_t>(std::max(index, 0)), row.size());
  int32_t commas = 0;
  for (size_t i = 0; i < cursor; ++i) commas += row[i] == ',';
  if (commas == 0) return std::nullopt;
  Signature signature;
  signature.label = std::string(trimmed(row.substr(0, fields[0].end)));
  for (const FieldMeaning& f : record->fields) {
    signature.label += ", ";
    const auto from = static_cast<int32_t>(signature.label.size());
    signature.label += f.name;
    signature.parameters.emplace_back(from, static_cast<int32_t>(signature.label.size()),
                                      std::string(f.meaning));
  }
  signature.label = as_utf8(signature.label);
  signature.documentation = std::string(record->effects.front().effect);
  signature.active = std::min<int32_t>(commas - 1, static_cast<int32_t>(record->fields.size()) - 1);
  return signature;
}

std::vector<OutlineEntry> outline(const DocumentText& text, Description description) {
  std::vector<OutlineEntry> entries;
  for (int32_t line = 0; line < text.line_count(); ++line) {
    const std::string_view row = text.line(line);
    const std::string_view start = trimmed(row);
    OutlineEntry entry;
    entry.line = line;
    entry.length = static_cast<int32_t>(row.size());
    if (!start.empty() && start.front() == '[') {
      entry.name = as_utf8(start);
      entry.kind = 3;  // Namespace
      entry.section = true;
      entries.push_back(std::move(entry));
      continue;
    }
    const std::vector<FieldSpan> fields = fields_of(row);
    if (fields.size() < 2) continue;
    const std::string key = lower_key(row.substr(0, fields[0].end));
    const RecordMeaning* record = record_of_key(description, key);
    if (record == nullptr) continue;
    int32_t first = 0;
    int32_t last = 0;
    auto value = [&](size_t i) {
      return i < fields.size() ? as_utf8(field_text(row, fields[i], first, last)) : std::string();
    };
    const std::string position = value(1);
    if (key == "stazione") {
      entry.name = value(17).empty() ? "stazione" : value(17);
      entry.detail = position + " m";
      entry.kind = 23;  // Struct
    } else if (key == "segnale") {
      entry.name = "segnale " + position + " m";
      entry.kind = 24;  // Event
    } else if (key == "rallentamento") {
      entry.name = "rallentamento " + position + " m, " + value(2) + " km/h";
      entry.detail = value(3) + " m long";
      entry.kind = 25;  // Operator
    } else if (key.rfind("curva", 0) == 0) {
      entry.name = key + " " + position + " m";
      entry.detail = value(2) + " m long";
      entry.kind = 12;  // Function
    } else if (key == "montagna") {
      entry.name = "montagna " + position + " to " + value(2) + " m";
      entry.detail = "type " + value(3);
      entry.kind = 18;  // Array
    } else {
      continue;
    }
    if (const auto p = number_of(position))
      entry.detail += (entry.detail.empty() ? "" : ", ") + km_text(*p);
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::string as_utf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const size_t start = i;
    const char32_t c = next_code_point(text, i);
    if (c == 0xFFFD && !(i - start == 3 && text.substr(start, 3) == "\xEF\xBF\xBD")) {
      out += windows_1252_to_utf8(text.substr(start, 1));
      i = start + 1;
    } else {
      out.append(text.substr(start, i - start));
    }
  }
  return out;
}

std::string character_name(char32_t code_point) {
  std::string utf8;
  if (code_point < 0x80) {
    utf8 += static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    utf8 += static_cast<char>(0xC0 | (code_point >> 6));
    utf8 += static_cast<char>(0x80 | (code_point & 0x3F));
  } else if (code_point < 0x10000) {
    utf8 += static_cast<char>(0xE0 | (code_point >> 12));
    utf8 += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    utf8 += static_cast<char>(0x80 | (code_point & 0x3F));
  } else {
    utf8 += static_cast<char>(0xF0 | (code_point >> 18));
    utf8 += static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
    utf8 += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    utf8 += static_cast<char>(0x80 | (code_point & 0x3F));
  }
  char number[16];
  std::snprintf(number, sizeof number, "U+%04X", static_cast<unsigned>(code_point));
  return "`" + utf8 + "` (" + number + ")";
}

std::vector<std::string_view> utf8_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (;;) {
    const size_t newline = text.find('\n', start);
    size_t end = newline == std::string_view::npos ? text.size() : newline;
    if (end > start && text[end - 1] == '\r') --end;
    lines.push_back(text.substr(start, end - start));
    if (newline == std::string_view::npos) return lines;
    start = newline + 1;
  }
}

}  // namespace sb::lsp
