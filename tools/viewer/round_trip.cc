#include "tools/viewer/round_trip.h"

#include <algorithm>
#include <array>

#include "base/file_names.h"
#include "base/shown_text.h"
#include "compile/compile_scenario.h"
#include "driver/error_messages.h"
#include "output/compiled_layout.h"
#include "platform/memory_platform.h"
#include "track/fatal_report.h"

namespace sb::inspect {

namespace {

constexpr const char* kCellFields[kCellRecordSize] = {
    "kind",   "value1",        "value1",        "value2",        "value2",
    "value3", "value3",        "value4",        "value4",        "signal_time",
    "approach_code", "montagna_type", "line_speed", "gradient", "adhesion"};

std::string byte_pair(std::string_view original, std::string_view rebuilt, size_t offset) {
  const auto byte = [offset](std::string_view bytes) {
    return offset < bytes.size() ? std::to_string(static_cast<uint8_t>(bytes[offset]))
                                 : std::string("none");
  };
  return "byte " + byte(original) + " in the file, " + byte(rebuilt) + " rebuilt";
}

std::string cell_place(size_t offset) {
  const size_t cell = offset / kCellRecordSize;
  return "cell " + std::to_string(cell) + " (object at " +
         std::to_string((static_cast<int64_t>(cell) - 1) * 50) + " m), field " +
         kCellFields[offset % kCellRecordSize];
}

// The field of a station record at `within` bytes from its start.
std::string station_field(const Station& s, size_t within) {
  const size_t n = s.name.size();
  if (within < 1) return "kind";
  if (within < 5) return "from_m";
  if (within < 9) return "to_m";
  if (within < 13) return "position_m";
  if (within < 14) return "flag1";
  if (within < 16 + n) return "name";
  static constexpr std::array<const char*, 5> kInts = {"int1", "int2", "int3", "int4", "int5"};
  if (within < 26 + n) return kInts[(within - 16 - n) / 2];
  static constexpr std::array<const char*, 4> kBytes = {"byte1", "byte2", "byte3", "byte4"};
  if (within < 30 + n) return kBytes[within - 26 - n];
  return "time_s";
}

std::string station_place(std::string_view bytes, size_t offset) {
  size_t at = 0;
  for (int entry = 0; entry < kStationCount; ++entry) {
    const size_t begin = at;
    Decoded<Station> station = decode_station(bytes, at);
    if (!station) break;
    if (offset < at) {
      return "entry " + std::to_string(entry) + ", field " +
             station_field(station.value(), offset - begin);
    }
  }
  return "after the last entry";
}

std::string plan_place(std::string_view bytes, size_t offset) {
  size_t at = 0;
  size_t y_start = 0;
  int64_t element = 0;
  Decoded<PlanFile> whole = decode_plan_file(bytes);
  if (whole) y_start = whole.value().y_offset;
  while (at < bytes.size()) {
    const size_t begin = at;
    if (!decode_plan_element(bytes, at)) break;
    if (begin == y_start && whole) element = 0;
    if (offset < at) {
      return std::string(begin >= y_start && whole ? "y" : "x") + " of metre " +
             std::to_string(element);
    }
    ++element;
  }
  return "after the last element";
}

// "FILE: N bytes differ, the first at offset O (PLACE): ..." or nothing.
void compare(const std::string& name, std::string_view original, std::string_view rebuilt,
             std::string (*place)(std::string_view, size_t), std::vector<std::string>& out) {
  if (original == rebuilt) return;
  const size_t common = std::min(original.size(), rebuilt.size());
  size_t first = common;
  size_t differing = std::max(original.size(), rebuilt.size()) - common;
  for (size_t i = 0; i < common; ++i) {
    if (original[i] == rebuilt[i]) continue;
    first = std::min(first, i);
    ++differing;
  }
  std::string line = shown_path(name) + ": " + std::to_string(differing) +
                     " bytes differ, the first at offset " +
                     std::to_string(first) + " (" + place(original, first) + "): " +
                     byte_pair(original, rebuilt, first);
  if (original.size() != rebuilt.size()) {
    line += "; " + std::to_string(original.size()) + " bytes in the file, " +
            std::to_string(rebuilt.size()) + " rebuilt";
  }
  out.push_back(std::move(line));
}

std::string cell_place_of(std::string_view, size_t offset) { return cell_place(offset); }

}  // namespace

RoundTrip rebuild_and_compare(const std::string& route_name, const std::string& train_number,
                              const RecoveredDescriptions& descriptions,
                              const CompiledBytes& original) {
  MemoryPlatform platform;
  Builder b(platform);
  b.directory = platform.program_directory();
  b.route_name = route_name;
  b.train_number = train_number;
  // The files are wanted even when the build records a problem.
  b.keep_going = true;
  platform.files.files[b.path(line_description_name(route_name))] = descriptions.line_text;
  platform.files.files[b.path(train_description_name(route_name, train_number))] =
      descriptions.train_text;
  RoundTrip result;
  try {
    compile_scenario(b, true);
  } catch (const FatalReport& report) {
    result.error_number = report.number;
    result.build_problem = "the build of the descriptions ended with error " +
                           std::to_string(report.number) + ": " +
                           explain_builder_error(report.number);
    return result;
  }
  if (b.error_number != 0) {
    result.error_number = b.error_number;
    result.build_problem = "the build of the descriptions records error " +
                           std::to_string(b.error_number) + " (" +
                           explain_builder_error(b.error_number) + ") at " +
                           std::to_string(b.error_position_m) + " m, line " +
                           std::to_string(b.stop_line) + " of " + shown_path(b.stop_file);
  }
  const auto rebuilt = [&](const std::string& name) -> std::string {
    const auto found = platform.files.files.find(b.path(name));
    return found == platform.files.files.end() ? std::string() : found->second;
  };
  compare(plan_file_name(route_name), original.plan, rebuilt(plan_file_name(route_name)),
          plan_place, result.differences);
  compare(station_file_name(route_name, train_number), original.stations,
          rebuilt(station_file_name(route_name, train_number)), station_place,
          result.differences);
  compare(cell_file_name(route_name, train_number), original.cells,
          rebuilt(cell_file_name(route_name, train_number)), cell_place_of, result.differences);
  return result;
}

}  // namespace sb::inspect
