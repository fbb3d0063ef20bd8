#pragma once

#include <chrono>
#include <functional>

#include "driver/options.h"
#include "driver/run.h"
#include "platform/platform.h"
#include "tools/viewer/stop_request.h"

namespace sb::inspect {

struct WatchTiming {
  // How often the descriptions are looked at.
  std::chrono::milliseconds poll{100};
  // How long a change must stand still before it is built: an editor that
  // saves in several writes is built once, from its last one.
  std::chrono::milliseconds settle{40};
};

// Builds the descriptions `options` names (--line, --train) into its folder
// with check_then_build, then again after every save of either, until `stop`
// is requested; a stop requested during a build takes effect once the build
// has published its files. `after_build` sees the outcome of every build.
void watch_descriptions(Platform& platform, const Options& options, const StopRequest& stop,
                        const std::function<void(const CheckedBuild&)>& after_build,
                        const WatchTiming& timing = {});

}  // namespace sb::inspect
