#pragma once

// Small syntax checkers for the tests: enough of XML 1.0 and JSON to tell a
// well-formed document from a broken one, without a parser dependency.

#include <cctype>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace sb::inspect::testing {

// Whether `text` is one well-formed XML document: an optional declaration,
// comments, one root element; balanced, properly nested tags; quoted
// attributes without '<'; and only the five named entities or numeric
// character references. On failure `why` says where.
inline bool is_well_formed_xml(std::string_view text, std::string& why) {
  size_t i = 0;
  std::vector<std::string> open;
  bool root_seen = false;
  auto fail = [&](const std::string& message) {
    why = message + " at offset " + std::to_string(i);
    return false;
  };
  auto is_name_char = [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == ':' ||
           c == '.' || static_cast<unsigned char>(c) >= 0x80;
  };
  auto read_name = [&]() {
    const size_t start = i;
    while (i < text.size() && is_name_char(text[i])) ++i;
    return std::string(text.substr(start, i - start));
  };
  auto skip_blanks = [&] {
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  };
  auto check_entity = [&]() {
    const size_t end = text.find(';', i);
    if (end == std::string_view::npos) return false;
    const std::string_view name = text.substr(i + 1, end - i - 1);
    const bool named = name == "amp" || name == "lt" || name == "gt" || name == "quot" ||
                       name == "apos";
    const bool numeric = name.size() > 1 && name[0] == '#';
    i = end + 1;
    return named || numeric;
  };
  while (i < text.size()) {
    if (text[i] != '<') {
      if (open.empty() && !std::isspace(static_cast<unsigned char>(text[i]))) {
        return fail("text outside the root element");
      }
      if (text[i] == '&') {
        if (!check_entity()) return fail("bad entity");
      } else if (text[i] == '>') {
        return fail("stray '>'");
      } else {
        ++i;
      }
      continue;
    }
    if (text.substr(i, 5) == "<?xml") {
      const size_t end = text.find("?>", i);
      if (end == std::string_view::npos || i != 0) return fail("bad declaration");
      i = end + 2;
      continue;
    }
    if (text.substr(i, 4) == "<!--") {
      const size_t end = text.find("-->", i);
      if (end == std::string_view::npos) return fail("unclosed comment");
      i = end + 3;
      continue;
    }
    if (text.substr(i, 2) == "</") {
      i += 2;
      const std::string name = read_name();
      skip_blanks();
      if (i >= text.size() || text[i] != '>') return fail("bad end tag");
      if (open.empty() || open.back() != name) return fail("end tag </" + name + "> out of order");
      open.pop_back();
      ++i;
      continue;
    }
    ++i;
    const std::string name = read_name();
    if (name.empty()) return fail("tag without a name");
    if (open.empty() && root_seen) return fail("second root element");
    root_seen = true;
    while (true) {
      skip_blanks();
      if (i >= text.size()) return fail("unclosed tag <" + name + ">");
      if (text.substr(i, 2) == "/>") {
        i += 2;
        break;
      }
      if (text[i] == '>') {
        open.push_back(name);
        ++i;
        break;
      }
      if (read_name().empty()) return fail("bad attribute in <" + name + ">");
      skip_blanks();
      if (i >= text.size() || text[i] != '=') return fail("attribute without value");
      ++i;
      skip_blanks();
      if (i >= text.size() || (text[i] != '"' && text[i] != '\'')) return fail("unquoted value");
      const char quote = text[i++];
      while (i < text.size() && text[i] != quote) {
        if (text[i] == '<') return fail("'<' in an attribute value");
        if (text[i] == '&') {
          if (!check_entity()) return fail("bad entity in an attribute value");
        } else {
          ++i;
        }
      }
      if (i >= text.size()) return fail("unclosed attribute value");
      ++i;
    }
  }
  if (!open.empty()) return fail("<" + open.back() + "> not closed");
  if (!root_seen) return fail("no root element");
  return true;
}

// Whether `text` is exactly one JSON value (RFC 8259 syntax), blanks around,
// with no key twice in one object.
inline bool is_valid_json(std::string_view text) {
  size_t i = 0;
  auto blanks = [&] {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\n' || text[i] == '\r' ||
                               text[i] == '\t')) {
      ++i;
    }
  };
  auto string = [&]() {
    if (i >= text.size() || text[i] != '"') return false;
    for (++i; i < text.size(); ++i) {
      const auto c = static_cast<unsigned char>(text[i]);
      if (c == '"') return ++i, true;
      if (c < 0x20) return false;
      if (c == '\\') {
        if (++i >= text.size()) return false;
        if (text[i] == 'u') {
          for (int k = 0; k < 4; ++k) {
            if (++i >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[i]))) {
              return false;
            }
          }
        } else if (std::string_view("\"\\/bfnrt").find(text[i]) == std::string_view::npos) {
          return false;
        }
      }
    }
    return false;
  };
  auto digits = [&] {
    const size_t start = i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
    return i > start;
  };
  auto number = [&]() {
    if (i < text.size() && text[i] == '-') ++i;
    if (i < text.size() && text[i] == '0') {
      ++i;
    } else if (!digits()) {
      return false;
    }
    if (i < text.size() && text[i] == '.' && (++i, !digits())) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
      ++i;
      if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
      if (!digits()) return false;
    }
    return true;
  };
  auto literal = [&](std::string_view word) {
    if (text.substr(i, word.size()) != word) return false;
    i += word.size();
    return true;
  };
  auto value = [&](auto& self, int depth) -> bool {
    if (depth > 64) return false;
    blanks();
    if (i >= text.size()) return false;
    const char c = text[i];
    if (c == '"') return string();
    if (c == '{' || c == '[') {
      const char close = c == '{' ? '}' : ']';
      ++i;
      blanks();
      if (i < text.size() && text[i] == close) return ++i, true;
      std::set<std::string_view> keys;
      while (true) {
        if (c == '{') {
          blanks();
          const size_t key_start = i;
          if (!string()) return false;
          if (!keys.insert(text.substr(key_start, i - key_start)).second) return false;
          blanks();
          if (i >= text.size() || text[i++] != ':') return false;
        }
        if (!self(self, depth + 1)) return false;
        blanks();
        if (i >= text.size()) return false;
        if (text[i] == close) return ++i, true;
        if (text[i++] != ',') return false;
      }
    }
    if (c == 't') return literal("true");
    if (c == 'f') return literal("false");
    if (c == 'n') return literal("null");
    return number();
  };
  if (!value(value, 0)) return false;
  blanks();
  return i == text.size();
}

}  // namespace sb::inspect::testing
