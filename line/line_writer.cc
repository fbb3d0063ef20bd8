#include "line/line_writer.h"

#include "driver/file_names.h"
#include "driver/line_list_writer.h"
#include "scenario/line_description.h"

namespace sb {

void dati_linea(Builder& b) {
  write_line_list(b, line_description_name(b), built_in_line_lines());
}

}  // namespace sb
