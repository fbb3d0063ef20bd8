#include "tools/viewer/listing_output.h"

#include <cstdio>

#include "base/shown_text.h"

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
  // A text value holds a name or a board text (UTF-8 already): escaped and
  // cut as a message shows it.
  if (const auto* s = std::get_if<std::string>(&value)) return shown_bytes(*s);
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

// A double goes out as the shortest text that reads back the same; JSON has
// no infinities or NaN, and the library writes those as null.
Json json_value(const Value& value) {
  if (const auto* i = std::get_if<int64_t>(&value)) return *i;
  if (const auto* d = std::get_if<double>(&value)) return *d;
  if (const auto* s = std::get_if<std::string>(&value)) return *s;
  return std::get<std::vector<int64_t>>(value);
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
  return key + unit_suffix(unit);
}

Json facts_json(const std::vector<Fact>& facts, const std::vector<Fact>& raw = {}) {
  Json out = Json::object();
  for (const Fact& fact : facts) out[json_key(fact.name, fact.unit)] = json_value(fact.value);
  if (!raw.empty()) out["raw"] = facts_json(raw);
  return out;
}

Json sections_json(const std::vector<Section>& sections) {
  Json out = Json::object();
  for (const Section& section : sections) {
    Json entries = Json::array();
    for (const Entry& entry : section.entries) {
      entries.push_back(facts_json(entry.facts, entry.raw));
    }
    out[json_key(section.title)] = std::move(entries);
  }
  return out;
}

}  // namespace

std::string listing_text(const Listing& listing) {
  std::string out = shown_path(listing.file) + ": " + file_type_name(listing.type) + "\n";
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

Json listing_json(const Listing& listing) {
  Json out = Json::object();
  out["file"] = listing.file;
  out["type"] = file_type_name(listing.type);
  out["summary"] = facts_json(listing.summary);
  out["sections"] = sections_json(listing.sections);
  out["notes"] = listing.notes;
  return out;
}

Json error_json(const std::string& file, const std::string& message,
                std::optional<size_t> offset) {
  Json error = Json::object();
  if (offset) error["offset"] = *offset;
  error["message"] = message;
  Json out = Json::object();
  out["file"] = file;
  out["error"] = std::move(error);
  return out;
}

std::string json_text(const Json& json) {
  // A file name from the command line need not be UTF-8; its bad bytes
  // become U+FFFD rather than stopping the output.
  return json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace sb::inspect
