#include "line/line_writer.h"

namespace sb {

// Placeholder until the built-in line lands.
void dati_linea(Builder&) {}

}  // namespace sb
