#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace sb {

// The key tests of the description readers: whether a word occurs anywhere
// in a field, with or without regard to case. Only ASCII letters change case;
// the keys are plain words.

inline bool contains(std::string_view text, std::string_view word) {
  return text.find(word) != std::string_view::npos;
}

// One character, looked for inline: keys are short, and every record's key
// is tested for the comment mark.
inline bool contains(std::string_view text, char c) {
  for (char t : text) {
    if (t == c) return true;
  }
  return false;
}

inline char lower_ascii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline void to_lower_ascii(std::string& text) {
  std::transform(text.begin(), text.end(), text.begin(), lower_ascii);
}

// `word` is given in lower case.
inline bool contains_ignoring_case(std::string_view text, std::string_view word) {
  const auto it = std::search(text.begin(), text.end(), word.begin(), word.end(),
                              [](char a, char b) { return lower_ascii(a) == b; });
  return word.empty() || it != text.end();
}

}  // namespace sb
