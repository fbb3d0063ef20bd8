#include "train/train_writer.h"

#include "base/file_names.h"
#include "scenario/train_description.h"
#include "track/line_list_file.h"

namespace sb {

void write_train_description(Builder& b) {
  write_line_list(b, train_description_name(b.route_name, b.train_number), built_in_train_lines());
}

}  // namespace sb
