#pragma once

#include "track/model.h"

namespace sb {

// Writes the built-in train description text.
void dati_treno(Builder& b);

}  // namespace sb
