#include "bench/maximal_scenario.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "base/file_names.h"
#include "compile/compile_scenario.h"
#include "output/compiled_layout.h"
#include "scenario/built_in_names.h"
#include "testing/fake_platform.h"
#include "testing/in_memory_build.h"
#include "testing/temp_dir.h"

namespace sb::bench {
namespace {

// The benchmark measures a whole build only if the maximal scenario builds
// without a problem and fills the model as its description says.
TEST(MaximalScenario, BuildsWithoutAProblemAndFillsTheModel) {
  const MaximalScenario scenario = make_maximal_scenario();
  InMemoryBuild build;
  Builder& b = build.b;
  build.platform.files.files[build.line_path()] = scenario.line_description;
  build.platform.files.files[build.train_path()] = scenario.train_description;

  compile_scenario(b, true);

  ASSERT_EQ(b.error_number, 0) << b.error_position_m << " " << b.stop_file << ":" << b.stop_line;
  EXPECT_EQ(b.cell_count, 20140);
  EXPECT_EQ(b.track_plan.size(), MaximalScenario::track_extent_m - 1);
  EXPECT_EQ(b.montagna_count, scenario.montagna_spans);
  EXPECT_EQ(b.board_slot, 80 - scenario.indication_boards);

  std::map<int, int> kinds;
  for (const Cell& cell : b.cells) ++kinds[cell.kind];
  EXPECT_EQ(kinds[signal], scenario.signals);
  EXPECT_EQ(kinds[speed_board], scenario.speed_boards);
  EXPECT_EQ(kinds[indication_board], scenario.indication_boards);
  EXPECT_EQ(kinds[slowdown_start], scenario.slowdowns);
  EXPECT_EQ(kinds[slowdown_end], scenario.slowdowns);
  // Every fifth station is passed without a stop marker.
  EXPECT_EQ(kinds[stop_marker], scenario.stations - scenario.stations / 5);

  const auto& files = build.platform.files.files;
  EXPECT_EQ(files.at(b.path(plan_file_name(b.route_name))).size(), 20u * MaximalScenario::track_extent_m - 36);
  EXPECT_EQ(files.at(b.path(cell_file_name(b.route_name, b.train_number))).size(), kCellRecordSize * 20141);
  EXPECT_FALSE(files.count(b.path(line_description_name(b.route_name))));
  EXPECT_FALSE(files.count(b.path(train_description_name(b.route_name, b.train_number))));
}

// The program itself, started on descriptions of megabytes, keeps its large
// buffers and the plan in memory of its own (large pages, its own operator
// new): what it writes must be what the library writes in memory, for a
// whole build and for one that stops early with --keep-going.
TEST(MaximalScenario, TheProgramWritesWhatTheLibraryWrites) {
  const MaximalScenario scenario = make_maximal_scenario();
  // A curve key without a class digit, halfway along the line: the plan
  // stops there and the rest of its points stay unset.
  std::string stopped_line = scenario.line_description;
  const size_t halfway = stopped_line.find("curvas", stopped_line.rfind("curva") / 2);
  ASSERT_NE(halfway, std::string::npos);
  stopped_line.replace(halfway, 7, "curvasX");
  struct Case {
    const char* name;
    std::string line;
    int status;
  };
  for (const Case& c : {Case{"whole", scenario.line_description, 0},
                        Case{"stopped halfway", stopped_line, 1}}) {
    SCOPED_TRACE(c.name);
    InMemoryBuild build;
    build.b.keep_going = true;
    build.platform.files.files[build.line_path()] = c.line;
    build.platform.files.files[build.train_path()] = scenario.train_description;
    compile_scenario(build.b, true);

    TempDir dir;
    write_file_bytes(dir.file("line.txt"), c.line);
    write_file_bytes(dir.file("train.txt"), scenario.train_description);
    const std::string command = std::string("'") + SCENARIO_BUILDER_EXE + "' --keep-going --dir '" +
                                dir.file("out") + "' --line '" + dir.file("line.txt") +
                                "' --train '" + dir.file("train.txt") + "' 2>/dev/null";
    const int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), c.status);
    for (const std::string& name :
         {plan_file_name(kBuiltInRouteName), station_file_name(kBuiltInRouteName, kBuiltInTrainNumber),
          cell_file_name(kBuiltInRouteName, kBuiltInTrainNumber)}) {
      // Compared as a flag, not printed: the plan is 20 MB.
      EXPECT_TRUE(read_file_bytes(dir.file("out/" + name)) == build.file(name)) << name;
    }
  }
}

}  // namespace
}  // namespace sb::bench
