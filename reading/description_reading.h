#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "platform/file_system.h"
#include "reading/field_reader.h"
#include "reading/text_match.h"
#include "track/error_numbers.h"
#include "track/model.h"

namespace sb {

// How reading goes on after a record.
enum class Flow {
  go_on,      // next record
  end_steps,  // stop reading records, complete the model (end of file, error 15)
  stop,       // stopped on an error; the model stays as it is
};

// What the line and the train reader share: the field stream over the
// description, the line of the record being read, the loop over records and
// the ways a record stops the reading. Each reader derives from it and adds
// its own records.
class DescriptionReading {
 public:
  DescriptionReading(Builder& b, std::string file_name, std::string_view text)
      : b_(b), fields_(text), text_(text), file_name_(std::move(file_name)) {}

  // Where the last key read begins.
  TextLocation row() const { return row_; }
  // Where a failure is reported: the field being read when it failed, or the
  // value fail_at names, read rows earlier and failing only when stored.
  TextLocation failure_location() const {
    if (failure_.line > 0) return failure_;
    return {fields_.field_line(), fields_.field_column()};
  }

 protected:
  // Reads the next field as a key and notes where it begins. The key is a
  // view into the description's text, which outlives the reading.
  std::string_view read_key() {
    const std::string_view key = fields_.read_text();
    row_ = last_field();
    return key;
  }

  // Where the last field read begins.
  TextLocation last_field() const { return {fields_.field_line(), fields_.field_column()}; }

  std::string_view text() const { return text_; }

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
  // tests (worked out by classify and remembered) read_record(tests) acts on.
  template <class Tests, class Classify, class ReadRecord>
  Flow read_records(KeyTestCache<Tests>& cache, Classify classify, ReadRecord read_record) {
    for (;;) {
      if (fields_.at_end()) return Flow::end_steps;
      const Tests* tests = &cache.tests_of(read_key(), classify);
      if (fields_.at_end()) return Flow::end_steps;
      for (int skipped = 0; skipped < 2 && tests->comment; ++skipped) {
        tests = &cache.tests_of(read_key(), classify);
        if (fields_.at_end()) return Flow::end_steps;
      }
      const Tests key = *tests;
      if (const Flow flow = read_record(key); flow != Flow::go_on) return flow;
    }
  }

  // The checks on a record's first value: a position whose record needs more
  // than the cells (position + margin) ends the reading with 15, and the end
  // steps still run; a negative position is refused.
  Flow check_position(int32_t p, int32_t margin) {
    if (int64_t{p} + margin > int64_t{50} * b_.cell_count) {
      b_.error_number = error::beyond_cells;
      b_.error_position_m = p;
      note_stop();
      return Flow::end_steps;
    }
    if (p < 0) return refuse(error::outside_cells, p);
    return Flow::go_on;
  }

  // After a placement operation: an error_number set by then, whoever set it
  // (an error 15 the line reader left stops the train reader here), stops the
  // reading at this record.
  Flow after_placement(int32_t position) {
    if (b_.error_number > 0) return refuse(b_.error_number, position);
    return Flow::go_on;
  }

  Flow refuse(int32_t error, int32_t position) {
    b_.error_position_m = position;
    return refuse(error);
  }

  Flow refuse(int32_t error) {
    b_.error_number = error;
    note_stop();
    return Flow::stop;
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
  // rows later: the failure names where that value stands.
  [[noreturn]] void fail_at(TextLocation value_at, const std::string& reason) {
    failure_ = value_at;
    throw ReadFailure(reason);
  }

  Builder& b_;
  FieldReader fields_;
  std::string_view text_;

 private:
  void note_stop() {
    b_.stop_file = file_name_;
    b_.stop_line = row_.line;
    b_.stop_column = row_.column;
    b_.stop_reason.clear();
  }

  std::string file_name_;
  TextLocation row_;
  TextLocation failure_;
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
