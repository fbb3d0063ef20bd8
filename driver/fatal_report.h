#pragma once

#include <string>

#include "track/model.h"

namespace sb {

// Thrown by errore to end the run at once; the program's entry point turns
// it into the process exit.
struct FatalReport {
  std::string number;
};

// The fatal error report: shows " Errore n. " followed by `a` in a message
// box with one OK button, keeps the answer in message_result and ends the
// run. Never returns.
[[noreturn]] void errore(Builder& b, const std::string& a);

}  // namespace sb
