#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "base/concat.h"
#include "base/shown_text.h"
#include "platform/file_system.h"
#include "reading/field_reader.h"
#include "reading/text_match.h"
#include "track/diagnostics.h"
#include "track/error_numbers.h"
#include "track/model.h"

namespace sb {

// How reading goes on after a record.
enum class Flow {
  go_on,      // next record
  end_steps,  // stop reading records, complete the model (end of file, error 15)
  stop,       // stopped on an error; the model stays as it is
  skip_row,   // a check listed a problem of this row: leave the row out, go on
};

// What every reader's key tests tell the record loop besides the records
// they select.
struct KeyKind {
  bool comment = false;
  // No key of the description, nor a heading, a comment or an empty field.
  bool unknown = false;
  // How many values the records the key selects take together (0 for no
  // record), for a row cut short.
  int values = 0;
};

// The kind of `key`, whose record tests have run: `matched` when one did.
inline KeyKind kind_of_key(std::string_view key, bool matched) {
  KeyKind kind;
  kind.comment = contains(key, '-');
  const bool heading = !key.empty() && key.front() == '[';
  kind.unknown = !matched && !kind.comment && !heading && !key.empty();
  return kind;
}

// A reader's own words in messages: what it calls its description and its
// keys as the format writes them (for "did you mean").
struct DescriptionWords {
  const char* name;
  std::span<const std::string_view> keys;
};

// What the line and the train reader share: the field stream over the
// description, the line of the record being read, the loop over records,
// the ways a record stops the reading and the warnings on rows. Each reader
// derives from it and adds its own records.
//
// Two policies, chosen by b.collect_problems: a build stops at the first
// problem; a check lists each problem, leaves that row out and goes on.
class DescriptionReading {
 public:
  DescriptionReading(Builder& b, std::string file_name, std::string_view text,
                     DescriptionWords words)
      : b_(b),
        fields_(text),
        text_(text),
        // A build's line error 15 lets the train be read; it stops the train
        // at its first signal or slowdown, but the line's row caused it.
        inherited_error_(b.collect_problems ? error::none : b.error_number),
        words_(words),
        file_name_(std::move(file_name)) {}

  // Where the last key read begins.
  TextLocation row() const { return row_; }
  // Where a failure is reported: the field being read when it failed, or the
  // value fail_at names, read rows earlier and failing only when stored; no
  // line at all (line 0) for a failure of the whole file.
  TextLocation failure_location() const {
    if (whole_file_failure_) return {};
    if (failure_.line > 0) return failure_;
    return {fields_.field_line(), fields_.field_column()};
  }

 protected:
  // Reads the next field as a key and notes where it begins. The key is a
  // view into the description's text, which outlives the reading.
  std::string_view read_key() {
    const std::string_view key = fields_.read_text();
    row_ = last_field();
    row_key_ = key;
    fields_.clear_split();
    return key;
  }

  // Where the last field read begins.
  TextLocation last_field() const { return {fields_.field_line(), fields_.field_column()}; }

  std::string_view text() const { return text_; }
  bool collecting() const { return b_.collect_problems; }

  // Where the k-th value (from 1) of the row being read begins when the
  // row's line holds it; the row's key otherwise. Only problems ask, so it
  // is worked out from the text then.
  TextLocation value_location(int k) const;

  // A file saved as UTF-16 (an editor's "Unicode") holds a zero byte in
  // every other place and no field the reader looks for: why, and how to
  // save it instead; empty for any other file. A UTF-8 byte-order mark,
  // read as part of the first field, is warned about.
  std::string utf16_reason() const;
  void check_byte_order_mark();

  // A file whose lines end with CR alone reads as one line: a likely cause
  // when a reading finds nothing it looks for, said after the reason.
  std::string line_end_hint() const {
    if (text_.find('\n') != std::string_view::npos || text_.find('\r') == std::string_view::npos) {
      return {};
    }
    return " (its lines end with CR alone; end them with CR LF or LF)";
  }

  // Reads records to the end of the file or to one that ends the reading.
  // A record is its key, after at most two comment keys in a row, whose
  // tests (worked out by classify and remembered, with a `kind`)
  // read_record(tests) acts on. When collecting, a row whose problem was
  // listed, or that cannot be read, is left out: the rest of its line is
  // passed over.
  template <class Tests, class Classify, class ReadRecord>
  Flow read_records(KeyTestCache<Tests>& cache, Classify classify, ReadRecord read_record) {
    for (;;) {
      try {
        const Flow flow = read_records_to_a_stop(cache, classify, read_record);
        if (flow != Flow::skip_row) return flow;
      } catch (const ReadFailure& failure) {
        const std::string reason = blame_short_row(failure.what());
        if (!collecting()) throw ReadFailure(reason);
        list_failure(reason);
      }
      fields_.skip_rest_of_line();
    }
  }

  // The checks on a record's first value: a position whose record needs more
  // than the cells (position + margin) ends the reading with 15, and the end
  // steps still run; a negative position is refused.
  Flow check_position(int32_t p, int32_t margin) {
    if (int64_t{p} + margin > int64_t{50} * b_.cell_count) {
      b_.error_number = error::beyond_cells;
      b_.error_position_m = p;
      note_stop_at(value_location(1), beyond_cells_reason(p, margin));
      return collecting() ? settle() : Flow::end_steps;
    }
    if (p < 0) {
      return refuse_value(error::outside_cells, p, 1,
                          concat({"position ", std::to_string(p), " of `", key_text(),
                                  "` lies before the line's start at 0 m"}));
    }
    if (p > line_end_m()) warn_beyond_line_end(p, margin);
    return Flow::go_on;
  }

  // After a placement operation: an error_number set by then, whoever set it
  // (an error 15 the line reader left stops the train reader here), stops the
  // reading at this record. `why` says what the placement found, when asked.
  template <class Why>
  Flow after_placement(int32_t position, int quoted_value, Why why) {
    if (b_.error_number <= 0) return Flow::go_on;
    if (inherited_error_ != error::none && b_.error_number == inherited_error_) {
      return stop_on_inherited_error(position);
    }
    return refuse_value(b_.error_number, position, quoted_value, why());
  }
  template <class Why>
  Flow after_placement(int32_t position, Why why) {
    return after_placement(position, 1, why);
  }
  Flow after_placement(int32_t position) {
    return after_placement(position, [] { return std::string(); });
  }

  Flow refuse(int32_t error, int32_t position) {
    b_.error_position_m = position;
    return refuse(error);
  }

  // A refusal located at the row's k-th value, with what the author needs:
  // the value, the limit or nearest allowed value, the other object.
  Flow refuse_value(int32_t error, int32_t position, int k, std::string reason) {
    b_.error_position_m = position;
    b_.error_number = error;
    note_stop_at(value_location(k), std::move(reason));
    return settle();
  }

  // What cell i holds, and the row that put it there: "cell 22 (1050 m)
  // already holds a signal, placed by line 61 of the train description".
  std::string occupant_of(int64_t cell) const;
  // An object of the row that would reach outside the cells.
  std::string outside_reason() const {
    return concat({"`", key_text(), "` would reach outside the line's cells 0 to ",
                   std::to_string(b_.cell_count), " (0 to ", std::to_string(int64_t{50} * b_.cell_count),
                   " m)"});
  }
  // A record key with `;` in it: a spreadsheet's separator, which this
  // format reads as part of the key (and then the next line as its values).
  void refuse_semicolons();
  // A failure reported at `at` rather than where the reading stands.
  void failure_at(TextLocation at) { failure_ = at; }
  // A failure of the file as a whole (its encoding, its emptiness), which
  // no line of it is to blame for.
  void failure_of_whole_file() { whole_file_failure_ = true; }
  // Notes that the row being read placed an object in `cell`.
  void note_object(int64_t cell);

  // "position 1025 ... is not a multiple of 50 (nearest allowed: 1000 or
  // 1050)" and the like: the two multiples of `step` around `value`.
  static std::string nearest_multiples(int64_t value, int64_t step);

  Flow refuse(int32_t error) {
    b_.error_number = error;
    note_stop();
    return settle();
  }

  // A refusal with what else is known of it; `whole_file` when no row is
  // to blame.
  Flow refuse_because(int32_t error, std::string reason, bool whole_file = false) {
    b_.error_number = error;
    note_stop();
    if (whole_file) {
      b_.stop_line = 0;
      b_.stop_column = 0;
    }
    b_.stop_reason = std::move(reason);
    return settle();
  }

  // A problem now recorded in the error variables: a build stops on it; a
  // check lists it, clears error_number for the next row (so an error 15
  // of the line is not met again in the train) and leaves the row out.
  Flow settle() {
    if (!collecting()) return Flow::stop;
    list_recorded_error(b_);
    b_.error_number = error::none;
    return Flow::skip_row;
  }

  // Writes value into the cell at the cursor and on while the cursor is
  // below `limit`: at least one cell, but never the cell at cell_count or
  // beyond.
  void write_profile(int32_t& cursor, int64_t limit, uint8_t value, uint8_t Cell::*field) {
    do {
      if (cursor >= b_.cell_count) break;
      b_.cells[cursor].*field = value;
      ++cursor;
    } while (cursor < limit);
  }

  // A value that a row gave and that fails only when it is stored, perhaps
  // rows later: the failure names where that value stands. A check lists it
  // and goes on.
  void fail_at(TextLocation value_at, const std::string& reason) {
    failure_ = value_at;
    if (!collecting()) throw ReadFailure(reason);
    list_failure(reason);
  }

  // ---- Warnings ---------------------------------------------------------

  // Lists a warning of `kind` at `at` unless the kind is capped; message()
  // gives its text and runs only when it is listed.
  // A row whose numbers shifted at a blank gets one warning, for that.
  template <class Message>
  void warn(WarningKind kind, TextLocation at, Message message) {
    if (fields_.number_split() && kind != WarningKind::row_shape) return;
    if (!b_.diagnostics.admit(kind)) return;
    Diagnostic d;
    d.kind = kind;
    d.file = file_name_;
    d.line = at.line;
    d.column = at.column;
    d.text = message();
    b_.diagnostics.add(std::move(d));
  }

  // The key of the row being read, as a message shows it.
  std::string key_text() const { return shown_text(row_key_); }
  // The key of the row being read as written: a view into the text.
  std::string_view row_key() const { return row_key_; }

  // The line's length (0 until the line reader has read it).
  int32_t line_end_m() const { return b_.stations[kTrainDataEntry].to_m; }

  // A position off the 50 m grid where the row is rounded into a cell
  // without an error; `placed_m` is where it takes effect.
  void check_on_grid(int32_t p, int64_t placed_m) {
    if (p % 50 == 0) return;
    warn(WarningKind::off_grid, row_, [&] {
      return concat({"position ", std::to_string(p), " of `", key_text(),
                     "` is not a multiple of 50: the row takes effect at ",
                     std::to_string(placed_m), " m"});
    });
  }

  // A span (curve, montagna, slowdown) whose far end runs past the line.
  void check_span_end(int64_t end_m) {
    if (end_m <= line_end_m()) return;
    warn(WarningKind::beyond_line_end, row_, [&] {
      return concat({"`", key_text(), "` runs to ", std::to_string(end_m),
                     " m, past the line's end at ", std::to_string(line_end_m()),
                     " m: it is laid into the 7000 m the model keeps beyond the end"});
    });
  }

  // Where the rows of one profile list (gradient, speed, adhesion) stand:
  // a row below the previous one changes cells the file's order hides.
  struct ProfileOrder {
    int32_t previous_m = 0;
    int32_t previous_line = 0;
  };
  void check_rising(int32_t p, ProfileOrder& order) {
    if (order.previous_line > 0 && p < order.previous_m) {
      warn(WarningKind::out_of_order, row_, [&] {
        return concat({"`", key_text(), "` at ", std::to_string(p), " m comes after the row at ",
                       std::to_string(order.previous_m), " m (line ",
                       std::to_string(order.previous_line),
                       "): the profile then differs from the file's order"});
      });
    }
    order.previous_m = p;
    order.previous_line = row_.line;
  }

  // A value outside what the simulator's trains and lines use, which the
  // format takes silently.
  void check_plausible(int64_t value, int64_t low, int64_t high, const char* what) {
    if (value >= low && value <= high) return;
    warn(WarningKind::implausible_value, row_, [&] {
      return std::string(what) + " " + std::to_string(value) + " of `" + key_text() +
             "` is outside " + std::to_string(low) + " to " + std::to_string(high) +
             ", what trains and lines use: it is taken as written";
    });
  }

  // A text whose bytes read as UTF-8: the simulator shows them as
  // Windows-1252.
  // A station name or board text longer than an entry of the station table
  // keeps, which the station file cuts.
  void check_text_length(std::string_view text, TextLocation at) {
    if (text.size() <= kMaxStationNameLength) return;
    warn(WarningKind::text_too_long, at, [&] {
      return concat({"`", shown_text(text), "` has ", std::to_string(text.size()),
                     " bytes: an entry keeps the first ", std::to_string(kMaxStationNameLength),
                     ", the station file has the rest cut off"});
    });
  }

  void check_text_encoding(std::string_view text, TextLocation at) {
    for (char c : text) {
      if (static_cast<unsigned char>(c) >= 0x80) return warn_if_utf8(text, at);
    }
  }

  // After a record read without a problem: its values end its own line.
  // `split_by_design`: its numbers are separated by blanks (the clock).
  void check_row_end(bool split_by_design = false) {
    if (fields_.number_split() && !split_by_design) return warn_split_number();
    if (fields_.at_end() || (fields_.at_line_start() && fields_.line() == row_.line + 1)) return;
    warn_row_shape();
  }

  // A train description from which no row was read: why.
  std::string no_records_reason(bool general_found) const;
  void warn_no_records(bool general_found);

  // A key that is none of `keys` (the row is passed over), with the nearest
  // of them when one is close. Once per line: the fields after it on its
  // line are its values, read as further keys.
  void warn_unknown_key(std::span<const std::string_view> keys);

  // A row that cannot be read, when collecting: listed as the build's
  // common failure records it.
  void list_failure(const std::string& reason) {
    b_.error_number = error::unreadable;
    b_.stop_file = file_name_;
    b_.stop_line = failure_location().line;
    b_.stop_column = failure_location().column;
    b_.stop_reason = reason;
    list_recorded_error(b_);
    b_.error_number = error::none;
    failure_ = {};
    whole_file_failure_ = false;
  }

  Builder& b_;
  FieldReader fields_;
  std::string_view text_;

 private:
  template <class Tests, class Classify, class ReadRecord>
  Flow read_records_to_a_stop(KeyTestCache<Tests>& cache, Classify classify,
                              ReadRecord read_record) {
    for (;;) {
      if (fields_.at_end()) return Flow::end_steps;
      const Tests* tests = &cache.tests_of(read_key(), classify);
      if (fields_.at_end()) return Flow::end_steps;
      for (int skipped = 0; skipped < 2 && tests->kind.comment; ++skipped) {
        tests = &cache.tests_of(read_key(), classify);
        if (fields_.at_end()) return Flow::end_steps;
      }
      const Tests key = *tests;
      row_values_ = key.kind.values;
      if (key.kind.unknown) warn_unknown_key(words_.keys);
      if (row_values_ > 0) refuse_semicolons();
      if (const Flow flow = read_record(key); flow != Flow::go_on) return flow;
    }
  }

  void warn_split_number();
  void warn_row_shape();
  void warn_beyond_line_end(int32_t p, int32_t margin);
  void warn_if_utf8(std::string_view text, TextLocation at);

  void note_stop() {
    b_.stop_file = file_name_;
    b_.stop_line = row_.line;
    b_.stop_column = row_.column;
    b_.stop_reason.clear();
  }
  void note_stop_at(TextLocation at, std::string reason) {
    b_.stop_file = file_name_;
    b_.stop_line = at.line;
    b_.stop_column = at.column;
    b_.stop_reason = std::move(reason);
  }

  std::string beyond_cells_reason(int32_t p, int32_t margin) const;
  Flow stop_on_inherited_error(int32_t position);
  // A failure met on a line after the row's own (the row had fewer values
  // than its key takes, and a later line's field was read as its value) is
  // the row's: it is reported there, as such.
  std::string blame_short_row(const std::string& reason);
  // The values on the row's own line after its key.
  int values_on_row_line() const;

  int32_t inherited_error_;
  DescriptionWords words_;
  std::string file_name_;
  TextLocation row_;
  int row_values_ = 0;
  std::string_view row_key_;
  TextLocation failure_;
  bool whole_file_failure_ = false;
  // A line whose further fields are values of a row already warned about,
  // read as keys: they are not warned about again.
  int32_t quiet_line_ = 0;
};

// Reads the description `name` in the builder's folder with a Reader (a
// DescriptionReading constructed from the builder, the name and the text,
// with run()) and deletes the file afterwards. The run put the file there
// itself, so it is read as its own (no link followed). A failure to read it,
// a ReadFailure or a file error records where it happened (for a value read
// earlier and failing later, the row that gave it) before it goes on.
template <class Reader>
void read_and_delete_description(Builder& b, const std::string& name) {
  const std::string path = b.path(name);
  std::string text;
  try {
    text = b.files->read_own_file(path);
  } catch (...) {
    b.stop_file = name;
    b.stop_line = 0;
    b.stop_column = 0;
    throw;
  }
  Reader reader(b, name, text);
  try {
    reader.run();
    b.files->remove_file(path);
  } catch (...) {
    b.stop_file = name;
    b.stop_line = reader.failure_location().line;
    b.stop_column = reader.failure_location().column;
    throw;
  }
}

}  // namespace sb
