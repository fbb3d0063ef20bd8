#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace sb {

// The key tests of the description readers: whether a word occurs anywhere
// in a field, with or without regard to case. Only ASCII letters change case;
// the keys are plain words.

// Keys are a few characters long: a plain loop beats a library call there.
// A long field (a pasted paragraph, a runaway key) is searched with memchr
// for the word's first letter instead, so that the dozen tests a key goes
// through cost a quick look at each byte, not a compare loop per byte.
inline constexpr size_t kShortKey = 64;

// Where `c` next stands in text[from, end), or `end`. A few bytes are looked
// at in place first: where the letter is frequent (a key of one repeated
// syllable) a call per hit would cost more than the search it saves.
inline size_t next_place_of(std::string_view text, size_t from, size_t end, char c) {
  const size_t in_place_end = std::min(end, from + 16);
  for (; from < in_place_end; ++from) {
    if (text[from] == c) return from;
  }
  if (from == end) return end;
  const void* hit = std::memchr(text.data() + from, c, end - from);
  return hit == nullptr ? end : static_cast<size_t>(static_cast<const char*>(hit) - text.data());
}

inline bool contains_long(std::string_view text, std::string_view word) {
  const size_t end = text.size() - word.size() + 1;
  for (size_t at = next_place_of(text, 0, end, word[0]); at < end;
       at = next_place_of(text, at + 1, end, word[0])) {
    if (word.size() == 1) return true;
    if (text[at + 1] == word[1] &&
        std::memcmp(text.data() + at + 2, word.data() + 2, word.size() - 2) == 0) {
      return true;
    }
  }
  return false;
}

inline bool contains(std::string_view text, std::string_view word) {
  if (word.size() > text.size()) return false;
  if (word.empty()) return true;
  if (text.size() > kShortKey) return contains_long(text, word);
  const size_t last = text.size() - word.size();
  for (size_t i = 0; i <= last; ++i) {
    size_t k = 0;
    while (k < word.size() && text[i + k] == word[k]) ++k;
    if (k == word.size()) return true;
  }
  return false;
}

// Whether two texts are equal, compared inline for the same reason, eight
// characters at a time.
inline bool same_text(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  size_t i = 0;
  for (; i + 8 <= a.size(); i += 8) {
    uint64_t x, y;
    std::memcpy(&x, a.data() + i, 8);
    std::memcpy(&y, b.data() + i, 8);
    if (x != y) return false;
  }
  for (; i < a.size(); ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

// One character, looked for inline: keys are short, and every record's key
// is tested for the comment mark.
inline bool contains(std::string_view text, char c) {
  if (text.size() > kShortKey) return std::memchr(text.data(), c, text.size()) != nullptr;
  for (char t : text) {
    if (t == c) return true;
  }
  return false;
}

inline char lower_ascii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline void to_lower_ascii(std::string& text) {
  std::transform(text.begin(), text.end(), text.begin(), lower_ascii);
}

// `word` is given in lower case. The places where its first letter stands,
// in either case, are found with memchr, so a long field (a pasted
// paragraph) costs little more than a look at each of its bytes.
inline bool contains_ignoring_case(std::string_view text, std::string_view word) {
  if (word.empty()) return true;
  if (word.size() > text.size()) return false;
  const size_t last = text.size() - word.size();
  const char lower_first = word[0];
  const char upper_first =
      lower_first >= 'a' && lower_first <= 'z' ? static_cast<char>(lower_first - 32) : lower_first;
  for (const char first : {lower_first, upper_first}) {
    for (size_t at = next_place_of(text, 0, last + 1, first); at <= last;
         at = next_place_of(text, at + 1, last + 1, first)) {
      size_t k = 1;
      while (k < word.size() && lower_ascii(text[at + k]) == word[k]) ++k;
      if (k == word.size()) return true;
    }
    if (upper_first == lower_first) break;
  }
  return false;
}

// What a reader's key tests found, remembered per key: a description
// repeats a handful of keys thousands of times (its curve keys cycle through
// a dozen spellings), so the tests run about once per distinct key. A key's
// hash picks its one slot; a key that meets another in its slot is simply
// tested again.
template <class Tests, size_t kSlots = 64>
class KeyTestCache {
  static_assert((kSlots & (kSlots - 1)) == 0, "a power of two");

 public:
  KeyTestCache() = default;
  // last_ points into the object's own entries.
  KeyTestCache(const KeyTestCache&) = delete;
  KeyTestCache& operator=(const KeyTestCache&) = delete;

  // The tests of `key`: remembered, or worked out by classify(key).
  template <class Classify>
  const Tests& tests_of(std::string_view key, Classify classify) {
    // A key far longer than any key is no repeating key: it is tested, not
    // copied and remembered.
    if (key.size() > kLongestRemembered) {
      uncached_ = classify(key);
      return uncached_;
    }
    // Most keys repeat the one before.
    if (last_->used && same_text(last_->key, key)) return last_->tests;
    Entry& entry = entries_[slot_of(key)];
    if (!entry.used || !same_text(entry.key, key)) {
      entry.used = true;
      entry.key.assign(key);
      entry.tests = classify(key);
    }
    last_ = &entry;
    return entry.tests;
  }

 private:
  struct Entry {
    bool used = false;
    std::string key;
    Tests tests{};
  };

  static size_t slot_of(std::string_view key) {
    uint32_t hash = 2166136261u;  // FNV-1a
    for (char c : key) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    return hash & (kSlots - 1);
  }

  static constexpr size_t kLongestRemembered = 256;

  std::array<Entry, kSlots> entries_{};
  Entry* last_ = &entries_[0];
  Tests uncached_{};
};

}  // namespace sb
