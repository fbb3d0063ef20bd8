#include "output/output_step.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "base/file_names.h"
#include "output/compiled_layout.h"
#include "scenario/built_in_names.h"
#include "testing/case_names.h"
#include "testing/fake_platform.h"
#include "testing/in_memory_build.h"
#include "testing/text_and_bytes.h"
#include "track/error_numbers.h"
#include "track/fatal_report.h"

namespace sb {
namespace {

// The model of the built-in line (length 97000) after a complete reading:
// 2081 empty cells and a plan of 104001 points, the last two unset.
class OutputStep : public ::testing::Test, protected InMemoryBuild {
 protected:
  static constexpr int32_t kExtent = 104000;

  OutputStep() {
    b.stations[kRouteEntry].name = b.route_name;
    b.stations[kTrainEntry].name = b.train_number;
    b.track_extent_m = kExtent;
    b.cell_count = 2080;
    b.cells.assign(2081, Cell{});
    b.track_plan.allocate(kExtent);
    b.track_plan.push_integer(0, 0);
    b.track_plan.push_integer(0, 1);
    for (int32_t m = 2; m <= kExtent - 2; ++m) b.track_plan.push(m * 0.001, m);
  }

  bool has_compiled_file() {
    return has_file(plan_file_name(b.route_name)) || has_file(station_file_name(b.route_name, b.train_number)) ||
           has_file(cell_file_name(b.route_name, b.train_number));
  }
};

// Station records 0..84 are unused (34 bytes each), so record 85 starts at
// 85 * 34 and its name (the route name) holds 15 characters.
constexpr size_t kRouteRecord = 85 * 34;
constexpr size_t kRouteNameLength = 15;

TEST_F(OutputStep, CellFileCarriesMarkerAndOgCode) {
  b.cells[2080] = Cell{indication_board, 80, 0, 0, 0, 0, 0, 1, 24, 103, 5};
  output_step(b);

  const std::string& cells = file(cell_file_name(b.route_name, b.train_number));
  ASSERT_EQ(cells.size(), 31215u);
  EXPECT_EQ(cells.substr(16, 2), bytes({0x01, 0x14}));
  EXPECT_EQ(read_le<int16_t>(cells, 18), 2271);  // og code of the built-in names
  EXPECT_EQ(cells.substr(15 * 2080),
            bytes({14, 80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 24, 103, 5}));
}

TEST_F(OutputStep, StationFileCarriesMarkerAndStCode) {
  output_step(b);

  const std::string& stations = file(station_file_name(b.route_name, b.train_number));
  ASSERT_EQ(stations.size(), 2958u + kRouteNameLength + 7);
  EXPECT_EQ(stations.substr(0, kRouteRecord), std::string(kRouteRecord, '\0'));
  EXPECT_EQ(stations.substr(kRouteRecord + 14, 2 + kRouteNameLength),
            bytes({15, 0}) + "Sarvena_Lucredo");
  EXPECT_EQ(stations.substr(kRouteRecord + 16 + kRouteNameLength, 2), bytes({0x62, 0x02}));
  EXPECT_EQ(read_le<int32_t>(stations, kRouteRecord + 30 + kRouteNameLength), 33012);

  Decoded<std::vector<Station>> decoded = decode_station_file(stations);
  ASSERT_TRUE(decoded) << decoded.error().message;
  EXPECT_EQ(decoded.value()[kTrainEntry].name, "20573-2");
}

TEST_F(OutputStep, PlanFileIsXBlockThenYBlock) {
  output_step(b);

  const std::string& plan = file(plan_file_name(b.route_name));
  ASSERT_EQ(plan.size(), 2079964u);
  EXPECT_EQ(plan.substr(0, 8), bytes({2, 0, 0, 0, 2, 0, 0, 0}));
  EXPECT_EQ(plan.substr(1039982, 8), bytes({2, 0, 0, 0, 2, 0, 1, 0}));
  // Metres L - 1 and L of each block are unset.
  EXPECT_EQ(plan.substr(1039978, 4), std::string(4, '\0'));
  EXPECT_EQ(plan.substr(plan.size() - 4), std::string(4, '\0'));
  // Metre 2 of the y block: tag 5 and the double 2.0.
  EXPECT_EQ(read_le<uint16_t>(plan, 1039982 + 8), 5);
  EXPECT_EQ(read_le<double>(plan, 1039982 + 10), 2.0);

  Decoded<PlanFile> decoded = decode_plan_file(plan);
  ASSERT_TRUE(decoded) << decoded.error().message;
  EXPECT_EQ(decoded.value().y_offset, 1039982u);
  EXPECT_EQ(decoded.value().x.size(), static_cast<size_t>(kExtent + 1));
  EXPECT_EQ(decoded.value().x[kExtent - 2].value, (kExtent - 2) * 0.001);
}

TEST_F(OutputStep, WritesPlanThenStationsThenCells) {
  output_step(b);
  EXPECT_EQ(replacements_in(platform.files.log),
            (std::vector<std::string>{"write " + platform.file(plan_file_name(b.route_name)),
                                      "write " + platform.file(station_file_name(b.route_name, b.train_number)),
                                      "write " + platform.file(cell_file_name(b.route_name, b.train_number))}));
}

TEST_F(OutputStep, OlderLongerFilesAreReplacedWhole) {
  const std::string old(3'000'000, 'x');
  for (const std::string& name : {plan_file_name(b.route_name), station_file_name(b.route_name, b.train_number), cell_file_name(b.route_name, b.train_number)}) {
    platform.files.files[platform.file(name)] = old;
  }
  output_step(b);
  EXPECT_EQ(file(plan_file_name(b.route_name)).size(), 2079964u);
  EXPECT_EQ(file(station_file_name(b.route_name, b.train_number)).size(), 2980u);
  EXPECT_EQ(file(cell_file_name(b.route_name, b.train_number)).size(), 31215u);
  EXPECT_EQ(file(cell_file_name(b.route_name, b.train_number)).find('x'), std::string::npos);
}

TEST_F(OutputStep, WithoutPlanTheOldPlanFileStays) {
  b.with_track_plan = false;
  platform.files.files[platform.file(plan_file_name(b.route_name))] = "earlier plan";
  output_step(b);
  EXPECT_EQ(file(plan_file_name(b.route_name)), "earlier plan");
  EXPECT_TRUE(has_file(station_file_name(b.route_name, b.train_number)));
  EXPECT_TRUE(has_file(cell_file_name(b.route_name, b.train_number)));
}

TEST_F(OutputStep, PlanNeverAllocatedIsWrittenEmpty) {
  b.track_plan = TrackPlan{};
  output_step(b);
  EXPECT_EQ(file(plan_file_name(b.route_name)), "");
  EXPECT_EQ(file(cell_file_name(b.route_name, b.train_number)).size(), 31215u);
}

TEST_F(OutputStep, PlanCutShortIsPaddedWithUnsetElements) {
  b.track_plan.allocate(kExtent);
  b.track_plan.push_integer(0, 0);
  b.track_plan.push_integer(0, 1);
  b.track_plan.push(0.5, 2);
  output_step(b);

  const std::string& plan = file(plan_file_name(b.route_name));
  // Three set points (4 + 4 + 10 bytes) and 103998 unset ones per block.
  ASSERT_EQ(plan.size(), 2 * (18 + 2 * 103998u));
  Decoded<PlanFile> decoded = decode_plan_file(plan);
  ASSERT_TRUE(decoded) << decoded.error().message;
  EXPECT_EQ(decoded.value().y.size(), static_cast<size_t>(kExtent + 1));
  EXPECT_EQ(decoded.value().y[2].value, 2.0);
  EXPECT_EQ(decoded.value().y[3].tag, TrackPlan::kUnsetTag);
}

struct TakenSlot {
  const char* what;
  void (*take)(Builder&);
  int32_t number;
};

// Shown for the case in test listings instead of its bytes.
void PrintTo(const TakenSlot& c, std::ostream* os) { *os << c.what; }

class OutputStepTakenSlot : public OutputStep, public ::testing::WithParamInterface<TakenSlot> {};

TEST_P(OutputStepTakenSlot, EndsTheRunBeforeAnyCompiledFile) {
  GetParam().take(b);
  try {
    output_step(b);
    FAIL() << "no fatal report";
  } catch (const FatalReport& report) {
    EXPECT_EQ(report.number, GetParam().number);
  }
  EXPECT_EQ(platform.messages,
            std::vector<std::string>{" Errore n. " + std::to_string(GetParam().number)});
  EXPECT_FALSE(has_compiled_file());
  if (GetParam().number == error::code_slots_taken) {
    // The markers were stored before the second check.
    EXPECT_EQ(b.stations[kRouteEntry].int1, 610);
    EXPECT_EQ(b.cells[1].value1, 5121);
  }
}

INSTANTIATE_TEST_SUITE_P(
    OutputStep, OutputStepTakenSlot,
    ::testing::Values(
        TakenSlot{"signal at position 0",
                  [](Builder& b) { b.cells[1] = Cell{signal, 11, 22, 33, 4}; }, error::header_slots_taken},
        TakenSlot{"code point of the finishing pass in cell 1",
                  [](Builder& b) { b.cells[1] = Cell{code_point, 180}; }, error::header_slots_taken},
        TakenSlot{"route entry int1", [](Builder& b) { b.stations[kRouteEntry].int1 = 1; },
                  error::header_slots_taken},
        TakenSlot{"no cell 1", [](Builder& b) { b.cells.resize(1); }, error::header_slots_taken},
        TakenSlot{"cell 1 value2 only", [](Builder& b) { b.cells[1].value2 = 7; }, error::code_slots_taken},
        TakenSlot{"route entry time_s", [](Builder& b) { b.stations[kRouteEntry].time_s = 9; },
                  error::code_slots_taken}),
    NamedByWhat());

}  // namespace
}  // namespace sb
