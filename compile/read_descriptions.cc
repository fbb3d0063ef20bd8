#include "compile/read_descriptions.h"

#include <string>

#include "base/file_names.h"
#include "line/line_reader.h"
#include "platform/file_system.h"
#include "platform/system_error.h"
#include "reading/field_reader.h"
#include "track/error_numbers.h"
#include "train/train_reader.h"

namespace sb {

namespace {

// A description that could not be read leaves no description text behind.
// A text that cannot even be deleted is left where it is: the build has
// already failed and is being recorded as such.
void common_failure(Builder& b, const char* reason) {
  b.stop_reason = reason;
  for (const std::string& name : {line_description_name(b.route_name), train_description_name(b.route_name, b.train_number)}) {
    const std::string path = b.path(name);
    try {
      if (b.files->exists(path)) b.files->remove_file(path);
    } catch (const FileError&) {
    }
  }
  b.error_number = error::unreadable;
}

// Runs one reader; false when the description could not be read.
bool read_description(Builder& b, void (*reader)(Builder&)) {
  try {
    reader(b);
    return true;
  } catch (const ReadFailure& failure) {
    common_failure(b, failure.what());
  } catch (const FileError& failure) {
    common_failure(b, failure.what());
  }
  if (b.collect_problems) {
    list_recorded_error(b);
    b.error_number = error::none;
  }
  return false;
}

}  // namespace

void read_descriptions(Builder& b, bool with_train, void (*line_read)(Builder&)) {
  const bool line_readable = read_description(b, read_line_description);
  if (line_read) line_read(b);
  if (!line_readable || !with_train) return;
  // Only a line that ran past the cells (15) still lets the train be read
  // in a build; a check reads it whenever the line gave cells.
  const bool train_readable =
      b.collect_problems ? b.cells_allocated()
                         : b.error_number == error::none || b.error_number == error::beyond_cells;
  if (train_readable) read_description(b, read_train_description);
}

}  // namespace sb
