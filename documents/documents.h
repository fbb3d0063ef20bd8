#pragma once

#include "track/model.h"

namespace sb {

// The crew documents of the built-in scenario.
void dati_note(Builder& b);           // scenario notes
void dati_rallentamenti(Builder& b);  // slowdown order
void dati_scheda(Builder& b);         // train card

}  // namespace sb
