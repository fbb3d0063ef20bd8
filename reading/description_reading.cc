#include "reading/description_reading.h"

#include <algorithm>
#include <string>
#include <vector>

#include "base/concat.h"
#include "base/shown_text.h"
#include "base/windows_1252.h"

namespace sb {

namespace {

std::string lower(std::string_view text) {
  std::string lowered(text);
  to_lower_ascii(lowered);
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

// Whether the non-ASCII bytes of text are all whole UTF-8 sequences.
bool reads_as_utf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    size_t length = 1;
    if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
    } else if (c >= 0xE0) {
      length = c <= 0xEF ? 3 : 0;
    } else if (c >= 0xC2) {
      length = 2;
    } else if (c >= 0x80) {
      length = 0;
    }
    if (length == 0 || i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

}  // namespace

std::string_view nearest_key(std::string_view key, std::span<const std::string_view> keys) {
  // Each letter of difference in length costs an edit: a key much longer
  // than every known one (a pasted paragraph) is near none.
  size_t longest = 0;
  for (std::string_view candidate : keys) longest = std::max(longest, candidate.size());
  if (key.size() > longest + 2) return {};
  const std::string written = lower(key);
  // A letter or two off, fewer in a short key.
  const size_t allowed = std::clamp<size_t>(written.size() / 4, 1, 2);
  std::string_view nearest;
  size_t best = allowed + 1;
  for (std::string_view candidate : keys) {
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

void DescriptionReading::warn_unknown_key(std::span<const std::string_view> keys) {
  if (row_.line == quiet_line_) return;
  quiet_line_ = row_.line;
  warn(WarningKind::unknown_key, row_, [&] {
    std::string message =
        concat({"`", key_text(), "` is no key of the ", words_.name, ": the row is ignored"});
    const std::string_view nearest = nearest_key(row_key_, keys);
    if (!nearest.empty()) {
      message += concat({" (did you mean `", nearest, "`?"});
      if (lower(nearest) == lower(row_key_)) message += " Keys are matched with their case.";
      message += ")";
    }
    return message;
  });
}

void DescriptionReading::warn_split_number() {
  quiet_line_ = row_.line;
  const TextLocation at{fields_.split_line(), fields_.split_column()};
  warn(WarningKind::row_shape, at, [&] {
    return concat({"`", shown_text(fields_.split_field()), "` in the `", key_text(),
                   "` row is read as separate numbers (a number ends at a blank): the row's "
                   "values shift; write one number, or separate the values with commas"});
  });
}

void DescriptionReading::warn_row_shape() {
  if (fields_.line() == row_.line) {
    quiet_line_ = row_.line;
    warn(WarningKind::row_shape, row_, [&] {
      std::string_view rest = fields_.rest_of_line();
      while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
      return "the row holds more values than `" + key_text() + "` takes: `" + shown_text(rest) +
             "` is read as further keys and ignored (a comma inside a name, or a decimal "
             "comma?)";
    });
    return;
  }
  const int32_t last_line = fields_.at_line_start() ? fields_.line() - 1 : fields_.line();
  if (!fields_.at_line_start()) quiet_line_ = fields_.line();
  warn(WarningKind::row_shape, row_, [&] {
    return "the row holds fewer values than `" + key_text() + "` takes: its last values are " +
           "taken from line " + std::to_string(last_line);
  });
}

void DescriptionReading::warn_beyond_line_end(int32_t p) {
  warn(WarningKind::beyond_line_end, row_, [&] {
    return "position " + std::to_string(p) + " of `" + key_text() +
           "` lies beyond the line's end at " + std::to_string(line_end_m()) +
           " m: the row is placed in the 7000 m the model keeps beyond the end";
  });
}

void DescriptionReading::warn_if_utf8(std::string_view text, TextLocation at) {
  if (!reads_as_utf8(text)) return;
  warn(WarningKind::utf8_text, at, [&] {
    return concat({"`", shown_bytes(text), "` is written in UTF-8 and will show as `",
                   shown_text(text),
                   "`: save the description in Windows-1252 (the bytes are kept as they are)"});
  });
}

void DescriptionReading::warn_no_records(bool general_found) {
  const char* why = text_.empty()        ? "is empty"
                    : !general_found     ? "has no field holding \"[generale]\""
                                         : "has no record after \"[generale]\"";
  warn(WarningKind::no_records, {1, 1}, [&] {
    return std::string("the ") + words_.name + " " + why +
           ": no row is read (the train has no stations, 0 cars and braked mass 0)";
  });
}

}  // namespace sb
