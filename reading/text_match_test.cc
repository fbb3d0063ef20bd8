#include "reading/text_match.h"

#include <gtest/gtest.h>

#include <string>

namespace sb {
namespace {

std::string lower(std::string text) {
  to_lower_ascii(text);
  return text;
}

// Short keys are compared in a loop, long fields through memchr: both must
// answer as a plain search does, wherever the word stands and however often
// its first letters repeat before it.
TEST(TextMatch, KeyTestsAnswerAsAPlainSearchAtEveryLength) {
  const std::string words[] = {"pendenza", "s", "-", "indicat", "ripetizione"};
  const std::string fillers[] = {"k", "p", "pe", "pendenz", "PENDENZ", "ii", "Indica", "ss"};
  for (const std::string& filler : fillers) {
    for (size_t size : {size_t{0}, size_t{7}, kShortKey - 8, kShortKey + 1, size_t{5000}}) {
      std::string text;
      while (text.size() < size) text += filler;
      for (const std::string& word : words) {
        for (const std::string& candidate : {text, text + word, word + text, text + word + text}) {
          const bool found = candidate.find(word) != std::string::npos;
          EXPECT_EQ(contains(candidate, word), found) << word << " in " << candidate.size();
          if (word.size() == 1) {
            EXPECT_EQ(contains(candidate, word[0]), found);
          }
          const bool found_ignoring_case = lower(candidate).find(word) != std::string::npos;
          EXPECT_EQ(contains_ignoring_case(candidate, word), found_ignoring_case)
              << word << " in " << candidate.size() << " bytes of " << filler;
        }
      }
    }
  }
}

}  // namespace
}  // namespace sb
