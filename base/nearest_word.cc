#include "base/nearest_word.h"

#include <algorithm>
#include <string>
#include <vector>


namespace sb {

namespace {

std::string lower(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lowered;
}

// Edits (a character changed, added, dropped, or two neighbours swapped)
// that turn a into b.
size_t edit_distance(std::string_view a, std::string_view b) {
  std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
  for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t changed = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + changed});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    }
  }
  return d[a.size()][b.size()];
}

}  // namespace

std::string_view nearest_word(std::string_view word, std::span<const std::string_view> words) {
  // Each letter of difference in length costs an edit: a word much longer
  // than every known one (a pasted paragraph) is near none.
  size_t longest = 0;
  for (std::string_view candidate : words) longest = std::max(longest, candidate.size());
  if (word.size() > longest + 2) return {};
  const std::string written = lower(word);
  // A letter or two off, fewer in a short word.
  const size_t allowed = std::clamp<size_t>(written.size() / 4, 1, 2);
  std::string_view nearest;
  size_t best = allowed + 1;
  for (std::string_view candidate : words) {
    const size_t length_difference = written.size() > candidate.size()
                                         ? written.size() - candidate.size()
                                         : candidate.size() - written.size();
    if (length_difference > allowed) continue;
    const size_t distance = edit_distance(written, lower(candidate));
    if (distance < best) {
      best = distance;
      nearest = candidate;
    }
  }
  return nearest;
}

std::string unknown_option_message(std::string_view argument,
                                   std::span<const std::string_view> options) {
  std::string text = "unknown option " + std::string(argument);
  // "--dri=out" misspells --dir as much as "--dri" does.
  const std::string_view name = argument.substr(0, argument.find('='));
  if (name.size() < 2 || name[0] != '-') return text;
  const std::string_view nearest = nearest_word(name, options);
  if (!nearest.empty()) text += " (did you mean " + std::string(nearest) + "?)";
  return text;
}

}  // namespace sb
