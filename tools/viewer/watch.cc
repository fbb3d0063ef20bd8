#include "tools/viewer/watch.h"

#include <string>
#include <vector>

#include "tools/viewer/file_watch.h"

namespace sb::inspect {

namespace {

std::vector<std::string> watched_files(const Options& options) {
  std::vector<std::string> files;
  if (options.line_file) files.push_back(*options.line_file);
  if (options.train_file) files.push_back(*options.train_file);
  return files;
}

// Waits until the files have not changed for `settle`; false when a stop
// was requested meanwhile.
bool wait_for_rest(FileWatch& watch, const StopRequest& stop, std::chrono::milliseconds settle) {
  do {
    watch.take_current();
    if (stop.wait_for(settle)) return false;
  } while (watch.changed());
  return true;
}

}  // namespace

void watch_descriptions(Platform& platform, const Options& options, const StopRequest& stop,
                        const std::function<void(const CheckedBuild&)>& after_build,
                        const WatchTiming& timing) {
  FileWatch watch(watched_files(options));
  after_build(check_then_build(platform, options));
  while (!stop.wait_for(timing.poll)) {
    if (!watch.changed()) continue;
    if (!wait_for_rest(watch, stop, timing.settle)) return;
    after_build(check_then_build(platform, options));
  }
}

}  // namespace sb::inspect
