#pragma once

#include <string>
#include <vector>

#include "tools/viewer/description_recovery.h"

namespace sb::inspect {

// The bytes of a scenario's three compiled files as read.
struct CompiledBytes {
  std::string plan;
  std::string stations;
  std::string cells;
};

struct RoundTrip {
  // What the build of the descriptions recorded (0 for none) and why, or
  // how it ended early.
  int32_t error_number = 0;
  std::string build_problem;
  // One line per file that differs: where its first byte differs and how
  // many do.
  std::vector<std::string> differences;

  bool exact() const { return build_problem.empty() && differences.empty(); }
};

// Builds the descriptions in memory, as scenario_builder would under these
// names, and compares the compiled files it writes with `original`.
RoundTrip rebuild_and_compare(const std::string& route_name, const std::string& train_number,
                              const RecoveredDescriptions& descriptions,
                              const CompiledBytes& original);

}  // namespace sb::inspect
