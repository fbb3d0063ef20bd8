// The library's folders form one stack: a source includes headers of its own
// folder and of folders on lower ranks only. Tests may include anything.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "testing/temp_dir.h"

namespace sb {
namespace {

namespace fs = std::filesystem;

// The rank of each library folder, lowest first; the README's layout table
// and CMakeLists.txt list them in this order.
const std::map<std::string, int> kRanks = {
    {"base", 1},   {"scenario", 2}, {"platform", 3},  {"track", 4},
    {"reading", 5}, {"line", 6},    {"train", 6},     {"output", 7},
    {"documents", 7}, {"compile", 8}, {"driver", 9},
};

bool is_source(const fs::path& file) {
  const std::string name = file.filename().string();
  const std::string ext = file.extension().string();
  if (ext != ".cc" && ext != ".h") return false;
  return name.size() < 8 || name.compare(name.size() - 8, 8, "_test.cc") != 0;
}

// The folder a quoted include names ("track/model.h" gives "track"), or
// empty for a header in no folder.
std::string included_folder(const std::string& line) {
  const std::string directive = "#include \"";
  if (line.rfind(directive, 0) != 0) return {};
  const size_t slash = line.find('/', directive.size());
  if (slash == std::string::npos) return {};
  return line.substr(directive.size(), slash - directive.size());
}

// Every include under `root` that points up the stack or sideways within a
// rank, as "folder/file:line: includes \"...\"".
std::vector<std::string> include_violations(const fs::path& root) {
  std::vector<std::string> found;
  for (const auto& [folder, rank] : kRanks) {
    if (!fs::is_directory(root / folder)) continue;
    for (const auto& entry : fs::directory_iterator(root / folder)) {
      if (!entry.is_regular_file() || !is_source(entry.path())) continue;
      std::ifstream in(entry.path());
      std::string line;
      for (int number = 1; std::getline(in, line); ++number) {
        const std::string target = included_folder(line);
        if (target.empty() || target == folder) continue;
        const auto it = kRanks.find(target);
        if (it != kRanks.end() && it->second < rank) continue;
        found.push_back(folder + "/" + entry.path().filename().string() + ":" +
                        std::to_string(number) + ": " + line);
      }
    }
  }
  return found;
}

TEST(LayerStack, EveryIncludePointsDown) {
  const std::vector<std::string> found = include_violations(SCENARIO_SOURCE_DIR);
  EXPECT_TRUE(found.empty()) << ::testing::PrintToString(found);
}

TEST(LayerStack, NamesEachIncludeUpOrSidewaysWithItsLine) {
  TempDir root;
  for (const char* folder : {"track", "line", "base"}) fs::create_directory(root.file(folder));
  write_file_bytes(root.file("track/cells.cc"),
                   "#include \"track/cells.h\"\n#include \"base/rounding.h\"\n"
                   "#include \"driver/run.h\"\n");
  write_file_bytes(root.file("line/reader.h"), "#pragma once\n#include \"train/train_reader.h\"\n");
  write_file_bytes(root.file("base/names.h"), "#include \"testing/fake_platform.h\"\n");
  // Tests may include anything; system headers are not folders of the stack.
  write_file_bytes(root.file("line/reader_test.cc"), "#include \"driver/run.h\"\n");
  write_file_bytes(root.file("base/names.cc"), "#include <gtest/gtest.h>\n");

  std::vector<std::string> found = include_violations(root.path());
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (std::vector<std::string>{
                       "base/names.h:1: #include \"testing/fake_platform.h\"",
                       "line/reader.h:2: #include \"train/train_reader.h\"",
                       "track/cells.cc:3: #include \"driver/run.h\"",
                   }));
}

}  // namespace
}  // namespace sb
