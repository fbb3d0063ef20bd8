#include "output/output_step.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_names.h"
#include "output/competition_codes.h"
#include "output/compiled_layout.h"
#include "track/build_files.h"
#include "track/error_numbers.h"
#include "track/fatal_report.h"

namespace sb {

namespace {

// Marker values the simulator expects in the header slots.
constexpr int16_t kRouteEntryMarker = 610;
constexpr int16_t kHeaderCellMarker = 5121;
// The cell whose value1 and value2 carry the header values (position 0).
constexpr size_t kHeaderCell = 1;

// Ends the run with the fatal report `number`, saying what holds the slot.
[[noreturn]] void slot_taken(Builder& b, int32_t number, const std::string& what) {
  b.stop_file.clear();
  b.stop_line = 0;
  b.stop_column = 0;
  b.stop_reason = what;
  end_with_fatal_report(b, number);
}

// What a cell holds, for a message.
std::string held_by(const Cell& cell) {
  return "holds an object of kind " + std::to_string(cell.kind) + " with values " +
         std::to_string(cell.value1) + " and " + std::to_string(cell.value2);
}

// Stores the two markers and the two competition codes in their reserved
// slots, ending the run with 1250 or 1251 when a slot is already taken.
void fill_header_slots(Builder& b) {
  // A model too short to have cell 1 has no room for the header either.
  if (b.cells.size() <= kHeaderCell) {
    slot_taken(b, error::header_slots_taken, "the line has no cell 1");
  }
  Station& route = b.stations[kRouteEntry];
  Cell& header = b.cells[kHeaderCell];
  if (header.value1 != 0) {
    slot_taken(b, error::header_slots_taken, "cell 1 (0 to 50 m) " + held_by(header));
  }
  if (route.int1 != 0) slot_taken(b, error::header_slots_taken, "station entry 85 is taken");
  route.int1 = kRouteEntryMarker;
  header.value1 = kHeaderCellMarker;
  if (header.value2 != 0) {
    slot_taken(b, error::code_slots_taken, "cell 1 (0 to 50 m) " + held_by(header));
  }
  if (route.time_s != 0) slot_taken(b, error::code_slots_taken, "station entry 85 is taken");
  route.time_s = competition_code_st(b);
  header.value2 = competition_code_og(b);
}

// The images of the station file and the cell file, and the zeros of the
// plan's unset elements, while the set is published.
struct CompiledImages {
  std::string stations;
  std::string cells;
  std::string unset_zeros;
};

}  // namespace

// Without --keep-going, a plan that does not reach the line's end is never
// published: its file is written as the plan of a whole line.
void stream_plan_file(Builder& b) {
  if (!b.transaction || !b.with_track_plan || b.collect_problems) return;
  b.transaction->stream_ahead(plan_file_name(b.route_name), b.track_plan.file_stream(!b.keep_going));
}

namespace {

// Whether the plan as the line left it is the plan output_step writes.
bool plan_file_wanted(const Builder& b) {
  if (!b.transaction || !b.with_track_plan || !b.track_plan.allocated()) return false;
  if (b.collect_problems) return false;
  if (b.error_number != error::none && !b.keep_going) return false;
  return !(b.strict && b.diagnostics.warning_count() > 0);
}

}  // namespace

void plan_file_laid(Builder& b) {
  const bool wanted = plan_file_wanted(b);
  if (b.transaction && b.transaction->writing_ahead()) {
    if (wanted) {
      b.track_plan.seal();
    } else {
      b.transaction->discard_ahead();
    }
    return;
  }
  if (!wanted) return;
  const TrackPlan& plan = b.track_plan;
  std::string unset_zeros(2 * static_cast<size_t>(std::max(plan.unset_count(), 0)), '\0');
  b.transaction->write_ahead(
      plan_file_name(b.route_name), [&plan, zeros = std::move(unset_zeros)] {
        return std::vector<std::string_view>{plan.x_block(), zeros, plan.y_block(), zeros};
      });
}

void output_step(Builder& b) {
  fill_header_slots(b);
  // The outcome is known now: a recorded problem holds the files back, and
  // with --strict so does a warning.
  if (b.error_number != error::none && !b.keep_going) return;
  if (b.strict && b.diagnostics.warning_count() > 0) return;
  // The plan's x block and y block, each followed by its unset elements (2
  // zero bytes each), are handed over as they are kept, never copied: the
  // plan of a long line is tens of megabytes.
  // A plan file streamed while the line was read has been told of its end
  // (plan_file_laid); this makes sure of it before the publish waits for it.
  b.track_plan.seal();
  const TrackPlan& plan = b.track_plan;
  // The line reader allocates the plan with the cells, so it is missing only
  // in a model built some other way. Such a plan has no elements, and its
  // file is written empty rather than left over from an earlier build.
  CompiledImages images;
  images.unset_zeros.assign(2 * static_cast<size_t>(std::max(plan.unset_count(), 0)), '\0');
  images.stations = encode_station_file(b.stations);
  images.cells = encode_cell_file(b.cells);
  const std::array<std::string_view, 4> plan_chunks{plan.x_block(), images.unset_zeros,
                                                     plan.y_block(), images.unset_zeros};
  const std::string_view station_chunk = images.stations;
  const std::string_view cell_chunk = images.cells;
  std::vector<FolderTransaction::Published> set;
  // A build without the plan leaves an earlier plan file as it was.
  if (b.with_track_plan) set.push_back({plan_file_name(b.route_name), plan_chunks});
  set.push_back({station_file_name(b.route_name, b.train_number), {&station_chunk, 1}});
  set.push_back({cell_file_name(b.route_name, b.train_number), {&cell_chunk, 1}});
  publish_build_files(b, set);
  for (const FolderTransaction::Published& file : set) {
    for (std::string_view chunk : file.chunks) b.compiled_bytes += static_cast<int64_t>(chunk.size());
  }
}

}  // namespace sb
