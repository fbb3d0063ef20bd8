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
      : b_(b), fields_(text), file_name_(std::move(file_name)) {}

  // The line of the last key read.
  int32_t row_line() const { return row_line_; }
  // Where a failure is reported: the row that gave the value that failed,
  // which is the last key's row unless fail_at named an earlier one.
  int32_t failure_line() const { return failure_line_ > 0 ? failure_line_ : row_line_; }

 protected:
  // Reads the next field as a key and notes its line. The key is a view
  // into the description's text, which outlives the reading.
  std::string_view read_key() {
    row_line_ = fields_.line();
    return fields_.read_text();
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
  // rows later: the failure names the row (line) that gave it.
  [[noreturn]] void fail_at(int32_t line, const std::string& reason) {
    failure_line_ = line;
    throw ReadFailure(reason);
  }

  Builder& b_;
  FieldReader fields_;

 private:
  void note_stop() {
    b_.stop_file = file_name_;
    b_.stop_line = row_line_;
  }

  std::string file_name_;
  int32_t row_line_ = 0;
  int32_t failure_line_ = 0;
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
    throw;
  }
  Reader reader(b, name, text);
  try {
    reader.run();
    b.files->remove_file(path);
  } catch (...) {
    b.stop_file = name;
    b.stop_line = reader.failure_line();
    throw;
  }
}

}  // namespace sb
