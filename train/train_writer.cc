#include "train/train_writer.h"

namespace sb {

// Placeholder until the built-in train lands.
void dati_treno(Builder&) {}

}  // namespace sb
