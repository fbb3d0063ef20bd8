#include "output/output_step.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "base/file_names.h"
#include "output/competition_codes.h"
#include "output/compiled_layout.h"
#include "platform/file_system.h"
#include "track/error_numbers.h"
#include "track/fatal_report.h"

namespace sb {

namespace {

// Marker values the simulator expects in the header slots.
constexpr int16_t kRouteEntryMarker = 610;
constexpr int16_t kHeaderCellMarker = 5121;
// The cell whose value1 and value2 carry the header values (position 0).
constexpr size_t kHeaderCell = 1;

// Stores the two markers and the two competition codes in their reserved
// slots, ending the run with 1250 or 1251 when a slot is already taken.
void fill_header_slots(Builder& b) {
  // A model too short to have cell 1 has no room for the header either.
  if (b.cells.size() <= kHeaderCell) end_with_fatal_report(b, error::header_slots_taken);
  Station& route = b.stations[kRouteEntry];
  Cell& header = b.cells[kHeaderCell];
  if (route.int1 != 0 || header.value1 != 0) end_with_fatal_report(b, error::header_slots_taken);
  route.int1 = kRouteEntryMarker;
  header.value1 = kHeaderCellMarker;
  if (route.time_s != 0 || header.value2 != 0) end_with_fatal_report(b, error::code_slots_taken);
  route.time_s = competition_code_st(b);
  header.value2 = competition_code_og(b);
}

// The x block and the y block, each followed by its unset elements (2 zero
// bytes each). The blocks are handed to the file system as they are kept,
// never copied: the plan of a long line is tens of megabytes.
void write_plan_file(Builder& b) {
  const TrackPlan& plan = b.track_plan;
  // The line reader allocates the plan with the cells, so it is missing only
  // in a model built some other way. Such a plan has no elements, and its
  // file is written empty rather than left over from an earlier build.
  const size_t unset = static_cast<size_t>(std::max(plan.unset_count(), 0));
  const std::string zeros(2 * unset, '\0');
  const std::array<std::string_view, 4> chunks{plan.x_block(), zeros, plan.y_block(), zeros};
  b.files->replace_file(b.path(plan_file_name(b.route_name)), chunks);
}

void write_station_file(Builder& b) {
  b.files->replace_file(b.path(station_file_name(b.route_name, b.train_number)), encode_station_file(b.stations));
}

void write_cell_file(Builder& b) {
  b.files->replace_file(b.path(cell_file_name(b.route_name, b.train_number)), encode_cell_file(b.cells));
}

}  // namespace

void output_step(Builder& b) {
  fill_header_slots(b);
  // A build without the plan leaves an earlier plan file as it was.
  if (b.with_track_plan) write_plan_file(b);
  write_station_file(b);
  write_cell_file(b);
}

}  // namespace sb
