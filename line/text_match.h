#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace sb {

// The key tests of the description readers: whether a word occurs anywhere
// in a field, with or without regard to case. Only ASCII letters change case;
// the keys are plain words.

// Keys are a few characters long: a plain loop beats a library call there.
inline bool contains(std::string_view text, std::string_view word) {
  if (word.size() > text.size()) return false;
  const size_t last = text.size() - word.size();
  for (size_t i = 0; i <= last; ++i) {
    size_t k = 0;
    while (k < word.size() && text[i + k] == word[k]) ++k;
    if (k == word.size()) return true;
  }
  return false;
}

// Whether two texts are equal, compared inline for the same reason.
inline bool same_text(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
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

// What a reader's key tests found, remembered for the last few distinct
// keys: a description repeats a handful of keys thousands of times (and its
// curve keys cycle through a dozen spellings), so the tests run once per key.
template <class Tests, size_t kSize = 16>
class KeyTestCache {
 public:
  // The tests of `key`: remembered, or worked out by classify(key).
  template <class Classify>
  const Tests& tests_of(std::string_view key, Classify classify) {
    if (entries_[last_].used && same_text(entries_[last_].key, key)) return entries_[last_].tests;
    for (size_t i = 0; i < kSize; ++i) {
      if (entries_[i].used && same_text(entries_[i].key, key)) {
        last_ = i;
        return entries_[i].tests;
      }
    }
    last_ = next_;
    next_ = (next_ + 1) % kSize;
    Entry& entry = entries_[last_];
    entry.used = true;
    entry.key.assign(key);
    entry.tests = classify(key);
    return entry.tests;
  }

 private:
  struct Entry {
    bool used = false;
    std::string key;
    Tests tests{};
  };
  std::array<Entry, kSize> entries_{};
  size_t last_ = 0;
  size_t next_ = 0;
};

}  // namespace sb
