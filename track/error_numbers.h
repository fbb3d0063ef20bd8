#pragma once

#include <cstdint>

namespace sb {

// Every number a build records in error_number (or shows in the fatal
// report), as the README's table lists them. Numbers 14 and 23 are not used.
namespace error {
enum Number : int32_t {
  none = 0,
  line_too_long = 1,
  chainage_off_grid = 2,
  repetition_start_off_grid = 3,
  repetition_end_off_grid = 4,
  repetition_codes_unknown = 5,
  board_cell_taken = 6,
  code_cell_taken = 7,
  station_off_grid = 8,
  platform_length_off_grid = 9,
  too_many_stations = 10,
  signal_before_warning_taken = 11,
  before_slowdown_start_taken = 12,
  through_slowdown_taken = 13,
  beyond_cells = 15,
  signal_taken = 16,
  warning_board_taken = 17,
  start_board_taken = 18,
  end_board_taken = 19,
  lead_boards_taken = 20,
  speed_board_taken = 21,
  platforms_too_close = 22,
  stop_marker_at_start = 24,
  unreadable = 25,
  outside_cells = 26,
  too_many_montagna_spans = 27,
  slowdown_end_not_after_start = 28,
  gradient_out_of_range = 29,
  missing_line_description = 101,
  no_general_section = 102,
  plan_refused = 103,
  header_slots_taken = 1250,
  code_slots_taken = 1251,
};
}  // namespace error

}  // namespace sb
