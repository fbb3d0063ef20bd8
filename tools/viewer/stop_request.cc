#include "tools/viewer/stop_request.h"

#include <algorithm>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#endif

namespace sb::inspect {

bool StopRequest::wait_for(std::chrono::milliseconds duration) const {
  // Short slices: a signal handler can only set the flag, not wake a waiter.
  constexpr auto kSlice = std::chrono::milliseconds(10);
  const auto end = std::chrono::steady_clock::now() + duration;
  while (!requested()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= end) return false;
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(kSlice, end - now));
  }
  return true;
}

namespace {

StopRequest* g_stop = nullptr;
std::atomic<bool> g_finished{false};

#ifdef _WIN32

BOOL WINAPI on_console_event(DWORD event) {
  if (g_stop == nullptr) return FALSE;
  g_stop->request();
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
    // The system ends the process when this returns (or after about five
    // seconds): give the build under way the time to publish its files.
    for (int waited_ms = 0; !g_finished.load() && waited_ms < 4500; waited_ms += 10) Sleep(10);
  }
  return TRUE;
}

#else

extern "C" void on_stop_signal(int) {
  if (g_stop != nullptr) g_stop->request();
}

#endif

}  // namespace

void stop_on_interrupt(StopRequest& stop) {
  g_stop = &stop;
#ifdef _WIN32
  SetConsoleCtrlHandler(on_console_event, TRUE);
#else
  struct sigaction action = {};
  action.sa_handler = on_stop_signal;
  sigemptyset(&action.sa_mask);
  // Interrupted reads and writes of a build go on rather than fail.
  action.sa_flags = SA_RESTART;
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal_number, &action, nullptr);
#endif
}

void interrupt_handling_finished() { g_finished.store(true); }

}  // namespace sb::inspect
