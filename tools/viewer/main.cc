// scenario_inspect: shows the compiled files of a built scenario.

#include <cstdio>
#include <string>
#include <vector>

#include "base/last_guard.h"
#include "platform/file_system.h"
#include "tools/viewer/viewer_program.h"

int main(int argc, char** argv) {
  return sb::run_with_last_guard("scenario_inspect", 1, stderr, [&] {
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    sb::DiskFileSystem files;
    std::string out;
    std::string err;
    const int status = sb::inspect::run_inspect(files, args, out, err);
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fwrite(err.data(), 1, err.size(), stderr);
    return status;
  });
}
