// Holds a folder's lock, as a build writing there does, for the given
// number of milliseconds: a script starts it to see what a second run does
// while the folder is taken (the Windows program under Wine, where no
// other tool can take the folder's named mutex).

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/file_system.h"
#include "platform/folder_lock.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: hold_folder_lock DIR MILLISECONDS\n");
    return 2;
  }
  sb::DiskFileSystem files;
  const auto hold = sb::lock_folder(files, argv[1], sb::LockMode::exclusive, {});
  if (!hold) {
    std::fprintf(stderr, "hold_folder_lock: the folder cannot be locked\n");
    return 1;
  }
  std::printf("holding\n");
  std::fflush(stdout);
  std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[2])));
  return 0;
}
