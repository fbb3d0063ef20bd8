#pragma once

#include "track/model.h"

namespace sb {

// The crew documents of the built-in scenario.
void write_notes(Builder& b);           // scenario notes
void write_slowdown_order(Builder& b);  // slowdown order
void write_train_card(Builder& b);         // train card

}  // namespace sb
