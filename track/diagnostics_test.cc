#include "track/diagnostics.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sb {
namespace {

// The list a terminal shows, worked out from every problem at once: each
// warning, and of each error number its first errors, the last error of all
// always among them.
std::vector<std::string> listing_of_all(const std::vector<Diagnostic>& all, size_t limit) {
  std::map<int32_t, std::vector<size_t>> by_number;
  size_t last = all.size();
  for (size_t i = 0; i < all.size(); ++i) {
    if (!all[i].error) continue;
    by_number[all[i].error_number].push_back(i);
    last = i;
  }
  std::vector<bool> listed(all.size(), true);
  for (const auto& [number, errors] : by_number) {
    if (errors.size() <= limit) continue;
    const bool holds_last = errors.back() == last;
    for (size_t k = limit - (holds_last ? 1 : 0); k < errors.size(); ++k) listed[errors[k]] = false;
    if (holds_last) listed[last] = true;
  }
  std::vector<std::string> texts;
  for (size_t i = 0; i < all.size(); ++i) {
    if (listed[i]) texts.push_back(all[i].text);
  }
  return texts;
}

std::vector<std::string> texts_of(const std::vector<Diagnostic>& list) {
  std::vector<std::string> texts;
  for (const Diagnostic& d : list) texts.push_back(d.text);
  return texts;
}

// Runs of errors of a few numbers mixed with warnings, in many orders: the
// kept list, checked after every problem, is what a listing of all of them
// would show, and the counts hold every error.
TEST(Diagnostics, KeepsWhatATerminalListsWhateverTheOrder) {
  uint32_t seed = 12345;
  const auto next = [&](uint32_t below) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % below;
  };
  for (int round = 0; round < 300; ++round) {
    Diagnostics kept;
    std::vector<Diagnostic> all;
    const uint32_t numbers = 1 + next(3);
    const uint32_t problems = next(60);
    for (uint32_t i = 0; i < problems; ++i) {
      Diagnostic d;
      d.error = next(6) != 0;
      d.error_number = d.error ? static_cast<int32_t>(15 + next(numbers)) : 0;
      d.text = std::to_string(i);
      // Long runs of one number, as a repeated mistake gives.
      const uint32_t repeats = d.error ? 1 + next(4) * next(8) : 1;
      for (uint32_t r = 0; r < repeats; ++r) {
        d.text = std::to_string(i) + "." + std::to_string(r);
        all.push_back(d);
        kept.add(d);
        ASSERT_EQ(texts_of(kept.list()), listing_of_all(all, Diagnostics::kListedErrorsPerNumber))
            << "round " << round << " after " << d.text;
      }
    }
    int errors = 0;
    for (const Diagnostic& d : all) errors += d.error;
    EXPECT_EQ(kept.error_count(), errors);
  }
}

TEST(Diagnostics, AnEditorKeepsEveryError) {
  Diagnostics kept;
  kept.keep_errors_per_number(Diagnostics::kEveryError);
  Diagnostic d;
  d.error = true;
  d.error_number = 19;
  for (int i = 0; i < 25; ++i) kept.add(d);
  EXPECT_EQ(kept.list().size(), 25u);
}

}  // namespace
}  // namespace sb
