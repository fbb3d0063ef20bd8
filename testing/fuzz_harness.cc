#include "testing/fuzz_harness.h"

#include <cstdio>
#include <cstdlib>
#include <set>

#include "base/file_names.h"
#include "compile/compile_scenario.h"
#include "compile/read_descriptions.h"
#include "driver/error_messages.h"
#include "line/line_reader.h"
#include "line/line_writer.h"
#include "output/compiled_layout.h"
#include "platform/system_error.h"
#include "reading/field_reader.h"
#include "scenario/built_in_names.h"
#include "testing/fake_platform.h"
#include "testing/in_memory_build.h"
#include "track/error_numbers.h"
#include "track/fatal_report.h"
#include "track/finishing_pass.h"
#include "train/train_reader.h"

namespace sb::fuzzing {

namespace {

// Every number a build can leave in error_number.
const std::set<int32_t> kKnownErrors = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,   10,  11,  12,
                                        13, 15, 16, 17, 18, 19, 20, 21, 22, 24,  25,  26,  27,
                                        28, 29, 101, 102, 103};

void require(bool holds, const char* rule) {
  if (holds) return;
  std::fprintf(stderr, "broken after the run: %s\n", rule);
  std::abort();
}

// An in-memory build of the built-in route.
struct Bench : InMemoryBuild {
  bool has(const std::string& path) { return platform.files.exists(path); }
  // The two descriptions where a build reads them.
  void give(std::string_view line_text, std::string_view train_text) {
    platform.files.files[line_path()] = std::string(line_text);
    platform.files.files[train_path()] = std::string(train_text);
  }
};

// What must hold of any model the readers leave behind.
void check_model(const Builder& b) {
  require(kKnownErrors.count(b.error_number) == 1, "error_number is one the builder knows");
  require(b.montagna_count >= 0 && b.montagna_count <= kMontagnaCapacity,
          "montagna_count within the lists");
  require(b.board_slot >= 0 && b.board_slot <= kFirstBoardSlot, "board_slot within the table");
  if (b.cells_allocated()) {
    require(b.cells.size() == static_cast<size_t>(b.cell_count) + 1,
            "cells hold indices 0..cell_count");
    require(b.cell_count == round_half_even(b.track_extent_m / 50.0),
            "cell_count follows the track extent");
  }
  if (b.track_plan.allocated()) {
    require(b.track_plan.extent() == b.track_extent_m, "the plan spans the track");
    require(b.track_plan.size() <= b.track_plan.extent() + 1, "no plan point past the extent");
  }
}

void check_compiled_files(Bench& bench) {
  Builder& b = bench.b;
  const auto& files = bench.platform.files.files;
  const auto cell_file = files.find(b.path(cell_file_name(b.route_name, b.train_number)));
  const auto station_file = files.find(b.path(station_file_name(b.route_name, b.train_number)));
  const auto plan_file = files.find(b.path(plan_file_name(b.route_name)));
  require(cell_file != files.end() && station_file != files.end() && plan_file != files.end(),
          "a build that ends normally writes the three compiled files");
  require(cell_file->second.size() == kCellRecordSize * b.cells.size(),
          "the cell file holds every cell");
  require(decode_station_file(station_file->second).ok(), "the station file reads back");
  // Each block: the set points as kept, then 2 bytes per unset point.
  const TrackPlan& plan = b.track_plan;
  require(plan_file->second.size() == plan.x_block().size() + plan.y_block().size() +
                                          4 * static_cast<size_t>(plan.unset_count()),
          "the plan file holds every point");
  require(!bench.has(bench.line_path()), "the line description is gone after the build");
  require(b.cells[1].value1 == 5121 && b.stations[kRouteEntry].int1 == 610,
          "the header markers are in place");
}

}  // namespace

std::pair<std::string_view, std::string_view> split_pair(std::string_view input) {
  const size_t at = input.find(kPairSeparator);
  if (at == std::string_view::npos) return {input, {}};
  return {input.substr(0, at), input.substr(at + 1)};
}

const std::string& fixed_line_description() {
  static const std::string text = [] {
    Bench bench;
    write_line_description(bench.b);
    return bench.platform.files.read_file(bench.line_path());
  }();
  return text;
}

Outcome read_line_only(std::string_view line_text) {
  Bench bench;
  Builder& b = bench.b;
  b.with_track_plan = true;
  bench.platform.files.files[bench.line_path()] = std::string(line_text);
  Outcome outcome;
  try {
    read_line_description(b);
  } catch (const ReadFailure&) {
    outcome.read_failure = true;
  }
  check_model(b);
  if (!outcome.read_failure && b.error_number != error::missing_line_description) {
    require(!bench.has(bench.line_path()), "the line reader deletes what it read");
  }
  // The end steps complete the plan up to point track_extent_m - 2.
  if (!outcome.read_failure && (b.error_number == error::none || b.error_number == error::beyond_cells)) {
    require(b.track_plan.size() == b.track_extent_m - 1, "a finished line has its whole plan");
  }
  outcome.error_number = b.error_number;
  outcome.error_position_m = b.error_position_m;
  return outcome;
}

Outcome read_train_after_line(std::string_view train_text) {
  Bench bench;
  Builder& b = bench.b;
  // The plan plays no part in the train's reading; leaving it out keeps each
  // run short.
  b.with_track_plan = false;
  bench.give(fixed_line_description(), train_text);
  read_descriptions(b);
  check_model(b);
  require(b.cells_allocated(), "the fixed line gives cells");
  require(!bench.has(bench.line_path()), "the line description is deleted");
  require(!bench.has(bench.train_path()), "the train description is deleted in every outcome");
  Outcome outcome;
  outcome.error_number = b.error_number;
  outcome.error_position_m = b.error_position_m;
  outcome.read_failure = b.error_number == error::unreadable;
  return outcome;
}

Outcome build_from_pair(std::string_view input) {
  const auto [line_text, train_text] = split_pair(input);
  Bench bench;
  Builder& b = bench.b;
  bench.give(line_text, train_text);
  // The compiled files are checked whatever the model holds.
  b.keep_going = true;
  Outcome outcome;
  try {
    compile_scenario(b, true);
  } catch (const FatalReport& report) {
    outcome.fatal = true;
    outcome.fatal_number = report.number;
  }
  check_model(b);
  if (!outcome.fatal) check_compiled_files(bench);
  outcome.error_number = b.error_number;
  outcome.error_position_m = b.error_position_m;
  outcome.read_failure = b.error_number == error::unreadable;
  return outcome;
}

namespace {

// The first error a check listed, or nullptr.
const Diagnostic* first_error(const Diagnostics& diagnostics) {
  for (const Diagnostic& d : diagnostics.list()) {
    if (d.error) return &d;
  }
  return nullptr;
}

const Diagnostic* last_error(const Diagnostics& diagnostics) {
  const Diagnostic* last = nullptr;
  for (const Diagnostic& d : diagnostics.list()) {
    if (d.error) last = &d;
  }
  return last;
}

// A build's reading and finishing pass with the stopping policy.
struct BuildReading {
  int32_t reading_error = 0;
  int32_t reading_position = 0;
  std::string stop_file;
  int32_t stop_line = 0;
  int32_t final_error = 0;
};

BuildReading read_as_a_build(std::string_view line_text, std::string_view train_text) {
  Bench bench;
  Builder& b = bench.b;
  bench.give(line_text, train_text);
  read_descriptions(b);
  BuildReading reading{b.error_number, b.error_position_m, b.stop_file, b.stop_line, 0};
  finishing_pass(b);
  reading.final_error = b.error_number;
  return reading;
}

}  // namespace

CheckOutcome check_pair(std::string_view input) {
  const auto [line_text, train_text] = split_pair(input);
  Bench bench;
  Builder& b = bench.b;
  bench.give(line_text, train_text);
  check_scenario(b);
  check_model(b);
  for (const std::string& entry : bench.platform.files.log) {
    require(entry.rfind("write ", 0) != 0, "a check writes nothing");
  }
  const Diagnostics& diagnostics = b.diagnostics;
  size_t listed_bytes = 0;
  for (const std::string& line : diagnostic_lines(b, {})) listed_bytes += line.size();
  // Each error names a row (or the whole file) and takes a bounded line;
  // warnings are capped per kind.
  require(listed_bytes <= 512 * (static_cast<size_t>(diagnostics.error_count()) +
                                 static_cast<size_t>(WarningKind::count) *
                                     (Diagnostics::kListedPerKind + 1)) +
                              2 * input.size(),
          "a check's output is bounded");
  require(static_cast<size_t>(diagnostics.error_count()) <= input.size() + 2,
          "at most one error per field");

  const BuildReading build = read_as_a_build(line_text, train_text);
  const Diagnostic* first = first_error(diagnostics);
  CheckOutcome outcome;
  outcome.errors = diagnostics.error_count();
  outcome.warnings = diagnostics.warning_count();
  outcome.first_error = first ? first->error_number : 0;
  outcome.build_error = build.final_error;
  if (build.reading_error != 0) {
    require(first != nullptr, "a check lists the error the build's reading stopped on");
    // A row that runs past the cells (15) lets a build go on: a line's into
    // the train, a train's into its end steps (the chainage check, 2). A
    // later problem then replaces the 15, and the check lists it too.
    if (first->error_number == error::beyond_cells) {
      bool listed = false;
      for (const Diagnostic& d : diagnostics.list()) {
        listed = listed || (d.error && d.error_number == build.reading_error);
      }
      require(listed, "after a row past the cells, the build's error is listed too");
    } else {
      require(first->error_number == build.reading_error, "the first error is the build's");
      require(first->position_m == build.reading_position, "at the build's position");
      require(first->file == build.stop_file && first->line == build.stop_line,
              "in the build's row");
    }
  } else {
    const Diagnostic* last = last_error(diagnostics);
    require((last ? last->error_number : 0) == build.final_error,
            "with a clean reading the last error listed is the build's");
  }
  return outcome;
}

}  // namespace sb::fuzzing
