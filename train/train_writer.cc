#include "train/train_writer.h"

#include "driver/file_names.h"
#include "driver/line_list_writer.h"
#include "scenario/train_description.h"

namespace sb {

void dati_treno(Builder& b) {
  write_line_list(b, train_description_name(b), built_in_train_lines());
}

}  // namespace sb
