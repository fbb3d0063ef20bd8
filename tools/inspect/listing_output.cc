#include "tools/inspect/listing_output.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "tools/inspect/text_encoding.h"

namespace sb::inspect {

namespace {

std::string joined(const std::vector<int64_t>& values, const char* separator) {
  std::string out;
  for (size_t i = 0; i < values.size(); ++i) {
    if (i) out += separator;
    out += std::to_string(values[i]);
  }
  return out;
}

std::string text_value(const Value& value) {
  if (const auto* i = std::get_if<int64_t>(&value)) return std::to_string(*i);
  if (const auto* d = std::get_if<double>(&value)) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", *d);
    return text;
  }
  if (const auto* s = std::get_if<std::string>(&value)) return *s;
  return joined(std::get<std::vector<int64_t>>(value), " ");
}

std::string fact_text(const Fact& fact) {
  std::string out = fact.name + " " + text_value(fact.value);
  if (!fact.unit.empty()) out += " " + fact.unit;
  return out;
}

std::string facts_text(const std::vector<Fact>& facts) {
  std::string out;
  for (const Fact& fact : facts) {
    if (!fact.in_text) continue;
    if (!out.empty()) out += ", ";
    out += fact_text(fact);
  }
  return out;
}

// ---- JSON -----------------------------------------------------------------

// The shortest text that reads back as the same double; JSON has no
// infinities or NaN, so those become null.
std::string json_number(double value) {
  if (!std::isfinite(value)) return "null";
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

std::string json_value(const Value& value) {
  if (const auto* i = std::get_if<int64_t>(&value)) return std::to_string(*i);
  if (const auto* d = std::get_if<double>(&value)) return json_number(*d);
  if (const auto* s = std::get_if<std::string>(&value)) return json_quoted(*s);
  std::string list = "[";
  list += joined(std::get<std::vector<int64_t>>(value), ", ");
  list += "]";
  return list;
}

std::string unit_suffix(const std::string& unit) {
  if (unit.empty()) return "";
  if (unit == "km/h") return "_kmh";
  if (unit == "%") return "_percent";
  if (unit == "\u2030") return "_per_mille";
  if (unit == "\u00b0") return "_degrees";
  return "_" + unit;
}

std::string json_key(const std::string& name, const std::string& unit = "") {
  std::string key = name;
  for (char& c : key) {
    if (c == ' ') c = '_';
  }
  return json_quoted(key + unit_suffix(unit));
}

std::string facts_json(const std::vector<Fact>& facts, const std::vector<Fact>& raw = {}) {
  std::string out = "{";
  for (size_t i = 0; i < facts.size(); ++i) {
    if (i) out += ", ";
    out += json_key(facts[i].name, facts[i].unit) + ": " + json_value(facts[i].value);
  }
  if (!raw.empty()) out += (facts.empty() ? "" : ", ") + json_key("raw") + ": " + facts_json(raw);
  return out + "}";
}

std::string sections_json(const std::vector<Section>& sections) {
  std::string out = "{";
  for (size_t s = 0; s < sections.size(); ++s) {
    if (s) out += ",";
    out += "\n    " + json_key(sections[s].title) + ": [";
    const auto& entries = sections[s].entries;
    for (size_t e = 0; e < entries.size(); ++e) {
      out += e ? ",\n      " : "\n      ";
      out += facts_json(entries[e].facts, entries[e].raw);
    }
    out += entries.empty() ? "]" : "\n    ]";
  }
  return out + "\n  }";
}

std::string notes_json(const std::vector<std::string>& notes) {
  std::string out = "[";
  for (size_t i = 0; i < notes.size(); ++i) out += (i ? ", " : "") + json_quoted(notes[i]);
  return out + "]";
}

}  // namespace

std::string listing_text(const Listing& listing) {
  std::string out = listing.file + ": " + file_type_name(listing.type) + "\n";
  out += "  " + facts_text(listing.summary) + "\n";
  for (const Section& section : listing.sections) {
    out += section.title + "\n";
    for (const Entry& entry : section.entries) {
      const std::string facts = facts_text(entry.facts);
      out += "  " + entry.heading + (facts.empty() ? "" : "  " + facts) + "\n";
    }
  }
  if (!listing.notes.empty()) {
    out += "notes\n";
    for (const std::string& note : listing.notes) out += "  " + note + "\n";
  }
  return out;
}

std::string listing_json(const Listing& listing) {
  return "{\n  \"file\": " + json_quoted(listing.file) +
         ",\n  \"type\": " + json_quoted(file_type_name(listing.type)) +
         ",\n  \"summary\": " + facts_json(listing.summary) +
         ",\n  \"sections\": " + sections_json(listing.sections) +
         ",\n  \"notes\": " + notes_json(listing.notes) + "\n}";
}

std::string error_json(const std::string& file, const std::string& message, size_t offset,
                       bool has_offset) {
  std::string out = "{\n  \"file\": " + json_quoted(file) + ",\n  \"error\": {";
  if (has_offset) out += "\"offset\": " + std::to_string(offset) + ", ";
  return out + "\"message\": " + json_quoted(message) + "}\n}";
}

}  // namespace sb::inspect
