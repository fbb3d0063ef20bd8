#pragma once

#include <atomic>
#include <chrono>

namespace sb::inspect {

// A request to stop a long-running mode (the watch) at its next safe point:
// between two builds, never inside one, so that a build under way publishes
// its files before the program ends.
class StopRequest {
 public:
  void request() { requested_.store(true); }
  bool requested() const { return requested_.load(); }
  // Waits for `duration` or until a stop is requested; whether it was.
  bool wait_for(std::chrono::milliseconds duration) const;

 private:
  // Lock-free, so that a signal handler may set it.
  std::atomic<bool> requested_{false};
};

// Makes Ctrl-C (and, on POSIX, SIGTERM and SIGHUP; on Windows, Ctrl-Break and
// the closing of the console) request `stop` instead of ending the process.
// `stop` must outlive the program's run. A console that is being closed
// waits (a few seconds at most) for interrupt_handling_finished(), called
// when the run has wound down.
void stop_on_interrupt(StopRequest& stop);
void interrupt_handling_finished();

}  // namespace sb::inspect
