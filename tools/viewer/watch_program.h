#pragma once

#include <optional>

#include "driver/options.h"
#include "platform/platform.h"
#include "tools/viewer/stop_request.h"
#include "tools/viewer/watch.h"

namespace sb::inspect {

// What --watch asks for.
struct WatchOptions {
  Options build;  // --dir, --line, --train, --route, --number, as the builder takes them
  std::optional<int> serve_port;  // --serve [PORT]: 0 for a free port
};

// The watch: builds the descriptions into their folder after every save
// (messages as the builder gives them, on `platform`), and with --serve
// serves the page that follows the builds, until `stop` is requested.
// Returns the exit status.
int run_watch(Platform& platform, const WatchOptions& options, const StopRequest& stop,
              const WatchTiming& timing = {});

}  // namespace sb::inspect
