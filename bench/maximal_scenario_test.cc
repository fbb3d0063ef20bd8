#include "bench/maximal_scenario.h"

#include <gtest/gtest.h>

#include <map>

#include "base/file_names.h"
#include "compile/compile_scenario.h"
#include "output/compiled_layout.h"
#include "scenario/built_in_names.h"
#include "testing/fake_platform.h"
#include "testing/in_memory_build.h"

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

}  // namespace
}  // namespace sb::bench
