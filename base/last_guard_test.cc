#include "base/last_guard.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <new>
#include <stdexcept>
#include <string>

namespace sb {
namespace {

// What run_with_last_guard writes, and the status it returns.
struct Guarded {
  int status;
  std::string err;
};

template <typename Body>
Guarded guarded(Body&& body) {
  std::FILE* err = std::tmpfile();
  const int status = run_with_last_guard("prog", 3, err, body);
  std::rewind(err);
  std::string text;
  for (int c; (c = std::fgetc(err)) != EOF;) text += static_cast<char>(c);
  std::fclose(err);
  return {status, text};
}

TEST(LastGuard, PassesTheStatusThrough) {
  const Guarded g = guarded([] { return 1; });
  EXPECT_EQ(g.status, 1);
  EXPECT_EQ(g.err, "");
}

TEST(LastGuard, AnEscapedExceptionBecomesOneEscapedLineAndTheStatus) {
  const Guarded typed = guarded([]() -> int { throw std::runtime_error("bad \x1B[2J value"); });
  EXPECT_EQ(typed.status, 3);
  EXPECT_EQ(typed.err, "prog: internal error: bad \\x1B[2J value\n");

  const Guarded memory = guarded([]() -> int { throw std::bad_alloc(); });
  EXPECT_EQ(memory.status, 3);
  EXPECT_EQ(memory.err, "prog: internal error: std::bad_alloc\n");

  const Guarded untyped = guarded([]() -> int { throw 42; });
  EXPECT_EQ(untyped.err, "prog: internal error: an exception of unknown type\n");
}

}  // namespace
}  // namespace sb
