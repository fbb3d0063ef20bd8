// Runs a program and writes its peak resident memory (VmHWM, in kB) into a
// file: the figure wait4 gives for a child.
//
//   peak_memory OUT_FILE PROGRAM [ARGUMENT...]
//
// A process takes on the peak of the process that started it when it
// starts its program, so a program started straight from a large one (the
// benchmark) shows that one's peak; started from this small one, it shows
// its own. The program's output is thrown away; a program that does not
// exit with status 0 is a failure (exit status 1).

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

extern char** environ;

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: peak_memory OUT_FILE PROGRAM [ARGUMENT...]\n");
    return 1;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  if (::posix_spawn(&pid, argv[2], &actions, nullptr, argv + 2, environ) != 0) {
    std::fprintf(stderr, "peak_memory: cannot start %s\n", argv[2]);
    return 1;
  }
  int status = 0;
  rusage usage{};
  if (::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "peak_memory: %s failed\n", argv[2]);
    return 1;
  }
  std::FILE* out = std::fopen(argv[1], "w");
  if (!out || std::fprintf(out, "%ld\n", usage.ru_maxrss) < 0 || std::fclose(out) != 0) {
    std::fprintf(stderr, "peak_memory: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
