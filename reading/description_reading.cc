#include "reading/description_reading.h"

#include <algorithm>
#include <string>
#include <vector>

#include "base/concat.h"
#include "base/nearest_word.h"
#include "base/shown_text.h"
#include "base/windows_1252.h"

namespace sb {

namespace {

std::string lower(std::string_view text) {
  std::string lowered(text);
  to_lower_ascii(lowered);
  return lowered;
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

void DescriptionReading::warn_unknown_key(std::span<const std::string_view> keys) {
  if (row_.line == quiet_line_) return;
  quiet_line_ = row_.line;
  warn(WarningKind::unknown_key, row_, [&] {
    std::string message =
        concat({"`", key_text(), "` is no key of the ", words_.name, ": the row is ignored"});
    const std::string_view nearest = nearest_word(row_key_, keys);
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

// Past the line's length but inside its cells a row is placed; past the
// cells it is an error (beyond_cells_reason): the warning names both limits.
void DescriptionReading::warn_beyond_line_end(int32_t p, int32_t margin) {
  warn(WarningKind::beyond_line_end, row_, [&] {
    return concat({"position ", std::to_string(p), " of `", key_text(),
                   "` lies past the line's end at ", std::to_string(line_end_m()),
                   " m (`lunghezza percorso`): the row is placed in the 7000 m the model keeps "
                   "beyond the end; past ",
                   std::to_string(int64_t{50} * b_.cell_count - margin),
                   " m it would be an error"});
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

std::string DescriptionReading::no_records_reason(bool general_found) const {
  const char* why = text_.empty()    ? "is empty"
                    : !general_found ? "has no field holding \"[generale]\""
                                     : "has no record after \"[generale]\"";
  return std::string("the ") + words_.name + " " + why +
         ": no row is read (the train has no stations, 0 cars and braked mass 0)" +
         line_end_hint();
}

void DescriptionReading::warn_no_records(bool general_found) {
  warn(WarningKind::no_records, {1, 1}, [&] { return no_records_reason(general_found); });
}

}  // namespace sb

namespace sb {

namespace {

const char* occupant_name(uint8_t kind) {
  switch (kind) {
    case signal: return "a signal";
    case slowdown_end: return "a slowdown's end board";
    case slowdown_start: return "a slowdown's start board";
    case slowdown_warning: return "a slowdown's warning board";
    case slowdown_lead: return "a slowdown's lead board";
    case speed_board: return "a max-speed board";
    case stop_marker: return "a station's stop marker";
    case code_point: return "a code point";
    case code_cut: return "a code cut";
    case indication_board: return "an indication board";
    default: return "an object";
  }
}

// Boards of the line description; every other object is the train's.
bool placed_by_line(uint8_t kind) { return kind == speed_board || kind == indication_board; }

}  // namespace

TextLocation DescriptionReading::value_location(int k) const {
  const char* const begin = text_.data();
  const char* const end = begin + text_.size();
  const char* p = row_key_.data() + row_key_.size();
  if (p < begin || p > end) return row_;
  // The column of p on the row's line, counted from the key's start.
  const auto column_of = [&](const char* at) {
    return row_.column + static_cast<int32_t>(at - row_key_.data());
  };
  for (int field = 0; field < k; ++field) {
    if (p >= end || *p != ',') return row_;
    ++p;
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    if (field + 1 == k) return {row_.line, column_of(p)};
    while (p < end && *p != ',' && *p != '\n' && *p != '\r') ++p;
  }
  return row_;
}

int DescriptionReading::values_on_row_line() const {
  const char* const end = text_.data() + text_.size();
  const char* p = row_key_.data() + row_key_.size();
  int values = 0;
  while (p < end && *p == ',') {
    ++p;
    const char* const start = p;
    while (p < end && *p != ',' && *p != '\n' && *p != '\r') ++p;
    const std::string_view field(start, static_cast<size_t>(p - start));
    // Blank fields at the end of a line are padding, not values.
    if (field.find_first_not_of(" \t") != std::string_view::npos || (p < end && *p == ',')) {
      ++values;
    }
  }
  return values;
}

std::string DescriptionReading::utf16_reason() const {
  const bool bom = text_.starts_with("\xFF\xFE") || text_.starts_with("\xFE\xFF");
  const bool zeros = text_.size() >= 2 && ((text_[0] == '\0') != (text_[1] == '\0'));
  if (!bom && !zeros) return {};
  return concat({"the file is saved as UTF-16 (what some editors call \"Unicode\"), which "
                 "this format cannot read: save it as Windows-1252 (\"ANSI\" in Notepad's "
                 "Save As, \"Western (Windows 1252)\" in other editors)"});
}

void DescriptionReading::check_byte_order_mark() {
  if (!text_.starts_with("\xEF\xBB\xBF")) return;
  warn(WarningKind::utf8_text, {1, 1}, [&] {
    return std::string(
        "the file begins with a UTF-8 byte-order mark, read as part of its first field: "
        "save the description as Windows-1252 (\"ANSI\"), which has none");
  });
}

std::string DescriptionReading::occupant_of(int64_t cell) const {
  if (!in_cells(b_, cell)) {
    return concat({"cell ", std::to_string(cell), " lies outside the line's cells 0 to ",
                   std::to_string(b_.cell_count)});
  }
  const uint8_t kind = b_.cells[static_cast<size_t>(cell)].kind;
  std::string text = concat({"cell ", std::to_string(cell), " (", std::to_string((cell - 1) * 50),
                             " m) already holds ", occupant_name(kind)});
  const auto index = static_cast<size_t>(cell);
  if (index < b_.object_rows.size() && b_.object_rows[index].line > 0) {
    text += concat({", placed by line ", std::to_string(b_.object_rows[index].line), " of the ",
                    placed_by_line(kind) ? "line" : "train", " description"});
  }
  return text;
}

void DescriptionReading::note_object(int64_t cell) {
  if (!in_cells(b_, cell)) return;
  if (b_.object_rows.size() != b_.cells.size()) b_.object_rows.assign(b_.cells.size(), {});
  b_.object_rows[static_cast<size_t>(cell)] = row_;
}

std::string DescriptionReading::nearest_multiples(int64_t value, int64_t step) {
  int64_t below = value / step * step;
  if (below > value) below -= step;
  return concat({"nearest allowed: ", std::to_string(below), " or ", std::to_string(below + step)});
}

std::string DescriptionReading::beyond_cells_reason(int32_t p, int32_t margin) const {
  const int64_t last = int64_t{50} * b_.cell_count - margin;
  return concat({"position ", std::to_string(p), " of `", key_text(), "` is past ",
                 std::to_string(last), " m, the last a ",
                 margin > 100 ? "station (with room for its platform)" : "row",
                 " may take on a line of ", std::to_string(line_end_m()), " m"});
}

Flow DescriptionReading::stop_on_inherited_error(int32_t position) {
  // Error number and position stay what the build has always recorded: the
  // position of this train row. The message keeps naming the line's row.
  b_.error_position_m = position;
  b_.stop_reason += concat({b_.stop_reason.empty() ? "" : "; ",
                            "the train description's reading stopped at its line ",
                            std::to_string(row_.line), " (`", key_text(), "` at ",
                            std::to_string(position), " m, the error position)"});
  return settle();
}

std::string DescriptionReading::blame_short_row(const std::string& reason) {
  if (failure_.line > 0 || row_values_ == 0 || fields_.field_line() <= row_.line) return reason;
  const int found = values_on_row_line();
  if (found >= row_values_) return reason;
  failure_ = row_;
  return concat({"`", key_text(), "` has ", std::to_string(found), " value",
                 found == 1 ? "" : "s", " and takes ", std::to_string(row_values_),
                 ": the rest were sought on line ", std::to_string(fields_.field_line()),
                 " (", reason, ")"});
}

void DescriptionReading::refuse_semicolons() {
  if (row_key_.find(';') == std::string_view::npos) return;
  failure_ = row_;
  throw ReadFailure(concat({"`", shown_text(row_key_),
                            "`: `;` is not a separator here: separate the key and the values "
                            "with `,` (a spreadsheet's CSV for Italian settings uses `;`)"}));
}

}  // namespace sb
