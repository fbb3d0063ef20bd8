#pragma once

#include <cstdint>

#include "track/model.h"

namespace sb {

// Thrown by end_with_fatal_report to end the run at once; the program's
// entry point turns it into the process exit.
struct FatalReport {
  int32_t number;
};

// The fatal error report: shows " Errore n. " followed by the number in a
// message box with one OK button, keeps the answer in message_result and
// ends the run. Never returns.
[[noreturn]] void end_with_fatal_report(Builder& b, int32_t number);

}  // namespace sb
