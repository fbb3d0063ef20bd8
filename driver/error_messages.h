#pragma once

#include <string>

#include "track/model.h"

namespace sb {

// A plain-language explanation of a builder error number.
std::string explain_builder_error(int32_t error_number);

// The diagnostic line for a build that ended with a recorded problem:
// "error_number=N error_position_m=M: explanation", and the description
// file and line where reading stopped when a reader stopped on a row.
std::string describe_recorded_problem(const Builder& b);

}  // namespace sb
