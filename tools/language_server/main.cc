// scenario_language_server: the builder's checks, field meanings and layout
// for an editor, over the Language Server Protocol on standard input and
// output.

#include <cstdio>
#include <iostream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "tools/language_server/language_server.h"
#include "tools/language_server/transport.h"

namespace {

size_t read_input(char* buffer, size_t size) {
#ifdef _WIN32
  const int got = _read(0, buffer, static_cast<unsigned>(size));
#else
  ssize_t got;
  do {
    got = read(0, buffer, size);
  } while (got < 0 && errno == EINTR);
#endif
  return got > 0 ? static_cast<size_t>(got) : 0;
}

// Whether the client has sent more than the reader holds. A file always
// reads as ready, so only a pipe, a socket or a terminal is asked.
bool input_waiting() {
#ifdef _WIN32
  return false;
#else
  struct stat input_stat {};
  if (fstat(0, &input_stat) != 0 || S_ISREG(input_stat.st_mode)) return false;
  pollfd input{0, POLLIN, 0};
  return poll(&input, 1, 0) > 0;
#endif
}

void write_output(const nlohmann::json& message) {
  const std::string frame =
      sb::lsp::framed(message.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
  std::fwrite(frame.data(), 1, frame.size(), stdout);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) {
    const std::string arg = argv[1];
    if (arg == "--version") {
      std::printf("scenario_language_server %s\n", SCENARIO_VERSION);
      return 0;
    }
    if (arg != "--stdio") {
      std::printf(
          "usage: scenario_language_server [--stdio | --version]\n"
          "A language server for the scenario builder's line and train descriptions: an\n"
          "editor starts it and speaks the Language Server Protocol on its standard input\n"
          "and output.\n");
      return arg == "-h" || arg == "--help" ? 0 : 2;
    }
  }
#ifdef _WIN32
  // The frames count bytes: no CR may be added or taken away.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  sb::lsp::LanguageServer server(write_output, std::cerr);
  sb::lsp::MessageReader reader(read_input, std::cerr);
  while (const std::optional<std::string> body = reader.next()) {
    server.handle_body(*body);
    if (server.exit_requested()) return server.exit_status();
    // A check runs once the client has nothing more to say, so that typing
    // fast checks the last version only.
    if (!reader.message_buffered() && !input_waiting()) server.check_changed_documents();
  }
  return server.exit_status();
}
