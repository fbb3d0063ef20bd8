#include "output/compiled_layout.h"
#include "testing/text_and_bytes.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace sb {
namespace {

Cell sample_cell() {
  Cell c;
  c.kind = signal;
  c.value1 = 0x0102;
  c.value2 = -2;
  c.value3 = 0x7FFF;
  c.value4 = -32768;
  c.signal_time = 200;
  c.approach_code = 81;
  c.montagna_type = 3;
  c.line_speed = 30;
  c.gradient = 255;
  c.adhesion = 7;
  return c;
}

Station sample_station(std::string name) {
  Station s;
  s.kind = 2;
  s.from_m = 0x01020304;
  s.to_m = -1;
  s.position_m = 97000;
  s.flag1 = 1;
  s.name = std::move(name);
  s.int1 = 610;
  s.int2 = -3;
  s.int3 = 10;
  s.int4 = 20;
  s.int5 = 30;
  s.byte1 = 0xAA;
  s.byte2 = 0xBB;
  s.byte3 = 0xCC;
  s.byte4 = 0xDD;
  s.time_s = 36725;
  return s;
}

// 87 stations, a few of them named, as a file image.
std::string sample_station_image() {
  std::array<Station, kStationCount> stations{};
  stations[1] = sample_station("Vallemora");
  stations[80] = sample_station("Bivio \xC8st");
  stations[kRouteEntry].name = "Sarvena_Lucredo";
  stations[kTrainEntry].name = "20573-2";
  return encode_station_file(stations);
}

std::string encode_cell_bytes(const Cell& cell) {
  std::string out(kCellRecordSize, '\0');
  EXPECT_EQ(encode_cell(cell, out.data()), out.data() + kCellRecordSize);
  return out;
}

TEST(CompiledLayout, CellRecordIsPackedLittleEndian) {
  const std::string record = encode_cell_bytes(sample_cell());
  EXPECT_EQ(record, bytes({1, 0x02, 0x01, 0xFE, 0xFF, 0xFF, 0x7F, 0x00, 0x80, 200, 81, 3, 30,
                           255, 7}));

  size_t offset = 0;
  Decoded<Cell> decoded = decode_cell(record, offset);
  ASSERT_TRUE(decoded) << decoded.error().message;
  EXPECT_EQ(offset, kCellRecordSize);
  EXPECT_EQ(encode_cell_bytes(decoded.value()), record);
}

TEST(CompiledLayout, StationRecordIsPackedWithCountedName) {
  const Station station = sample_station("Ab");
  std::string record(station_record_size(station), '\0');
  EXPECT_EQ(encode_station(station, record.data()), record.data() + record.size());
  EXPECT_EQ(record, bytes({2,    4,    3,    2,    1,    0xFF, 0xFF, 0xFF, 0xFF, 0xE8,
                           0x7A, 0x01, 0x00, 1,    2,    0,    'A',  'b',  0x62, 0x02,
                           0xFD, 0xFF, 10,   0,    20,   0,    30,   0,    0xAA, 0xBB,
                           0xCC, 0xDD, 0x75, 0x8F, 0x00, 0x00}));

  size_t offset = 0;
  Decoded<Station> decoded = decode_station(record, offset);
  ASSERT_TRUE(decoded) << decoded.error().message;
  EXPECT_EQ(offset, record.size());
  EXPECT_EQ(decoded.value().name, "Ab");
  EXPECT_EQ(decoded.value().time_s, 36725);
}

TEST(CompiledLayout, UnusedStationRecordIs34ZeroBytes) {
  std::string record(kStationRecordFixedSize, 'x');
  encode_station(Station{}, record.data());
  EXPECT_EQ(record, std::string(34, '\0'));
}

TEST(CompiledLayout, StationFileRoundTrips) {
  const std::string image = sample_station_image();
  EXPECT_EQ(image.size(), 2958u + 9 + 9 + 15 + 7);
  Decoded<std::vector<Station>> decoded = decode_station_file(image);
  ASSERT_TRUE(decoded) << decoded.error().message;
  ASSERT_EQ(decoded.value().size(), static_cast<size_t>(kStationCount));
  EXPECT_EQ(decoded.value()[80].name, "Bivio \xC8st");
  EXPECT_EQ(encode_station_file(decoded.value()), image);
}

TEST(CompiledLayout, OverlongNameIsCutToWhatTheCountCanHold) {
  std::array<Station, kStationCount> stations{};
  stations[5].name = std::string(kMaxStationNameLength + 10, 'n');
  const std::string image = encode_station_file(stations);
  EXPECT_EQ(image.size(), 2958u + kMaxStationNameLength);
  Decoded<std::vector<Station>> decoded = decode_station_file(image);
  ASSERT_TRUE(decoded) << decoded.error().message;
  EXPECT_EQ(decoded.value()[5].name.size(), kMaxStationNameLength);
}

// Every truncation of a file gives an error inside the bytes read, never a
// crash or a silent success.
TEST(CompiledLayout, EveryTruncatedStationFileIsRefused) {
  const std::string image = sample_station_image();
  for (size_t size = 0; size < image.size(); ++size) {
    Decoded<std::vector<Station>> decoded = decode_station_file(image.substr(0, size));
    ASSERT_FALSE(decoded) << size;
    EXPECT_LE(decoded.error().offset, size);
  }
}

TEST(CompiledLayout, DecodeErrorsNameRecordFieldAndOffset) {
  const std::string image = sample_station_image();
  // Record 1 starts at 34 and its name of 9 characters at 34 + 16.
  Decoded<std::vector<Station>> cut = decode_station_file(image.substr(0, 34 + 16 + 4));
  ASSERT_FALSE(cut);
  EXPECT_EQ(cut.error().offset, 34u + 16);
  EXPECT_EQ(cut.error().message, "station 1: name needs 9 bytes, 4 left");

  // A corrupt count that claims more characters than the file holds.
  std::string corrupt = image;
  corrupt[34 + 14] = '\xFF';
  corrupt[34 + 15] = '\xFF';
  Decoded<std::vector<Station>> claimed = decode_station_file(corrupt);
  ASSERT_FALSE(claimed);
  EXPECT_EQ(claimed.error().offset, 34u + 16);

  Decoded<std::vector<Station>> trailing = decode_station_file(image + "zz");
  ASSERT_FALSE(trailing);
  EXPECT_EQ(trailing.error().offset, image.size());
  EXPECT_EQ(trailing.error().message, "2 bytes after the last of 87 station records");
}

TEST(CompiledLayout, CellFileRoundTripsAndRefusesAPartialRecord) {
  std::vector<Cell> cells(4);
  cells[3] = sample_cell();
  const std::string image = encode_cell_file(cells);
  ASSERT_EQ(image.size(), 4 * kCellRecordSize);
  EXPECT_EQ(image.substr(45), encode_cell_bytes(sample_cell()));

  Decoded<std::vector<Cell>> decoded = decode_cell_file(image);
  ASSERT_TRUE(decoded) << decoded.error().message;
  EXPECT_EQ(encode_cell_file(decoded.value()), image);

  Decoded<std::vector<Cell>> cut = decode_cell_file(image.substr(0, 45 + 6));
  ASSERT_FALSE(cut);
  EXPECT_EQ(cut.error().offset, 45u + 5);
  EXPECT_EQ(cut.error().message, "cell 3: value3 needs 2 bytes, 1 left");
}

std::string plan_bytes(const std::vector<PlanElement>& elements) {
  std::string out;
  for (const PlanElement& e : elements) {
    char buffer[10];
    out.append(buffer, encode_plan_element(e, buffer));
  }
  return out;
}

TEST(CompiledLayout, PlanElementsAreTagged) {
  EXPECT_EQ(plan_bytes({{0, 0}}), bytes({0, 0}));
  EXPECT_EQ(plan_bytes({{2, -2}}), bytes({2, 0, 0xFE, 0xFF}));
  EXPECT_EQ(plan_bytes({{5, 1.0}}), bytes({5, 0, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
  for (uint16_t tag : {0, 2, 5}) {
    EXPECT_EQ(plan_element_size(tag), plan_bytes({{tag, 1}}).size());
  }
}

// The track plan keeps its points already encoded; its blocks must read back
// through the file layout as the same points.
TEST(CompiledLayout, TrackPlanBlocksDecodeAsPlanFile) {
  TrackPlan plan;
  plan.allocate(5);
  plan.push_integer(0, 0);
  plan.push_integer(0, 1);
  plan.push(0.25, 2.5);
  plan.push(-1e-3, 3.75);
  const std::string zeros(2 * plan.unset_count(), '\0');
  const std::string file = std::string(plan.x_block()) + zeros + std::string(plan.y_block()) + zeros;

  Decoded<PlanFile> decoded = decode_plan_file(file);
  ASSERT_TRUE(decoded) << decoded.error().message;
  const PlanFile& p = decoded.value();
  ASSERT_EQ(p.x.size(), 6u);
  ASSERT_EQ(p.y.size(), 6u);
  EXPECT_EQ(p.y_offset, plan.x_block().size() + zeros.size());
  for (int32_t i = 0; i <= 5; ++i) {
    const TrackPlan::Point point = plan.point(i);
    const uint16_t tag = point.state == TrackPlan::State::unset     ? TrackPlan::kUnsetTag
                         : point.state == TrackPlan::State::integer ? TrackPlan::kIntegerTag
                                                                    : TrackPlan::kRealTag;
    EXPECT_EQ(p.x[i].tag, tag) << i;
    EXPECT_EQ(p.y[i].tag, tag) << i;
    EXPECT_EQ(p.x[i].value, point.x) << i;
    EXPECT_EQ(p.y[i].value, point.y) << i;
  }
}

TEST(CompiledLayout, CorruptPlanFilesAreRefusedWithOffsets) {
  const std::string good = plan_bytes({{2, 0}, {5, 1.5}, {0, 0}, {2, 0}, {5, 2.5}, {0, 0}});
  ASSERT_TRUE(decode_plan_file(good));

  struct Case {
    std::string file;
    size_t offset;
    std::string message;
  };
  std::string unknown_tag = good;
  unknown_tag[4] = 7;
  const Case cases[] = {
      {unknown_tag, 4, "plan element 1: unknown tag 7"},
      {good.substr(0, 4 + 2 + 3), 6, "plan element 1: float64 value needs 8 bytes, 3 left"},
      {good.substr(0, 1), 0, "plan element 0: tag needs 2 bytes, 1 left"},
      {good + bytes({0, 0}), good.size() + 2,
       "odd number of elements (7): the x and y blocks differ in length"},
  };
  for (const Case& c : cases) {
    Decoded<PlanFile> decoded = decode_plan_file(c.file);
    ASSERT_FALSE(decoded) << c.message;
    EXPECT_EQ(decoded.error().offset, c.offset) << c.message;
    EXPECT_EQ(decoded.error().message, c.message);
  }
}

TEST(CompiledLayout, EmptyFilesDecode) {
  EXPECT_TRUE(decode_cell_file(""));
  Decoded<PlanFile> plan = decode_plan_file("");
  ASSERT_TRUE(plan);
  EXPECT_TRUE(plan.value().x.empty());
  EXPECT_FALSE(decode_station_file(""));
}

}  // namespace
}  // namespace sb
