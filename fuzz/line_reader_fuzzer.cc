// The line description reader alone, on any bytes.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "testing/fuzz_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sb::fuzzing::read_line_only(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
