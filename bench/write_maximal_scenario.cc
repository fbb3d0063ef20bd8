// Writes the maximal scenario's line and train descriptions into a folder:
//   write_maximal_scenario DIR
//   scenario_builder --dir OUT --line DIR/maximal_linea.txt --train DIR/maximal_treno.txt

#include <cstdio>
#include <string>

#include "bench/maximal_scenario.h"

namespace {

bool write(const std::string& path, const std::string& text) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: write_maximal_scenario DIR\n");
    return 3;
  }
  const std::string dir = argv[1];
  const sb::bench::MaximalScenario scenario = sb::bench::make_maximal_scenario();
  if (!write(dir + "/maximal_linea.txt", scenario.line_description) ||
      !write(dir + "/maximal_treno.txt", scenario.train_description)) {
    std::perror(dir.c_str());
    return 3;
  }
  return 0;
}
