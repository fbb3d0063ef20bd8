#include "train/memorizza_dati.h"

namespace sb {

// Placeholder until the readers land.
void memorizza_dati(Builder&) {}

}  // namespace sb
