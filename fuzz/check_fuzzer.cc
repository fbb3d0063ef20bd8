// A check of a line and a train description, split at the first NUL byte of
// the input, against a build of the same pair.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "testing/fuzz_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sb::fuzzing::check_pair(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
