#pragma once

#include "track/model.h"

namespace sb {

// Writes the built-in train description text.
void write_train_description(Builder& b);

}  // namespace sb
