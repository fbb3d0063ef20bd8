#pragma once

#include <cstdio>
#include <exception>
#include <string>
#include <string_view>

#include "base/shown_text.h"

namespace sb {

// The last guard of a program's main: runs body and returns its status; an
// exception that nothing below caught (a fault of the program, or memory
// running out) becomes one line "PROGRAM: internal error: WHAT" on err and
// the status given, instead of an abort with no word.
template <typename Body>
int run_with_last_guard(std::string_view program, int internal_error_status, std::FILE* err,
                        Body&& body) noexcept {
  std::string what;
  try {
    return body();
  } catch (const std::exception& e) {
    what = e.what();
  } catch (...) {
    what = "an exception of unknown type";
  }
  try {
    const std::string line =
        std::string(program) + ": internal error: " + shown_path(what) + "\n";
    std::fwrite(line.data(), 1, line.size(), err);
  } catch (...) {
    std::fputs("internal error\n", err);
  }
  return internal_error_status;
}

}  // namespace sb
