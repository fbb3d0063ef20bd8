// The decompiler's promise for random dense scenarios: the input chooses the
// seed of one (its bytes hashed), the scenario is built, and every one that
// builds cleanly must come back from its compiled files byte for byte.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "testing/random_scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint64_t seed =
      sb::dense::seed_of_input({reinterpret_cast<const char*>(data), size});
  const sb::dense::RandomScenario scenario = sb::dense::dense_scenario_that_builds(seed);
  if (!scenario.builds) return 0;
  const std::string failure = sb::dense::round_trip_failure(scenario);
  if (failure.empty()) return 0;
  std::fprintf(stderr, "seed %llu does not come back: %s\n--- line\n%s--- train\n%s",
               static_cast<unsigned long long>(seed), failure.c_str(),
               scenario.line_text.c_str(), scenario.train_text.c_str());
  std::abort();
}
