#pragma once

#include "track/model.h"

namespace sb {

// Writes the built-in line description text.
void dati_linea(Builder& b);

}  // namespace sb
