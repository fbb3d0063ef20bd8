#include "track/finishing_pass.h"

namespace sb {

// Placeholder until the finishing pass lands.
void finishing_pass(Builder&) {}

}  // namespace sb
