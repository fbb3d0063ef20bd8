#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/rounding.h"
#include "track/diagnostics.h"
#include "track/track_plan.h"

namespace sb {

class FileSystem;
class FolderTransaction;
class Platform;

// What a 50 m cell holds. Kinds 7, 8 and 9 are not used.
enum CellKind : uint8_t {
  empty = 0,
  signal = 1,
  slowdown_end = 2,
  slowdown_start = 3,
  slowdown_warning = 4,
  slowdown_lead = 5,
  speed_board = 6,
  stop_marker = 10,
  montagna_marker = 11,
  code_point = 12,
  code_cut = 13,
  indication_board = 14,
};

// One 50 m cell of the line. The meaning of value1..value4 depends on kind;
// the last four bytes are the line profile at the cell and never change
// when objects are placed.
struct Cell {
  uint8_t kind = empty;
  int16_t value1 = 0;
  int16_t value2 = 0;
  int16_t value3 = 0;
  int16_t value4 = 0;
  uint8_t signal_time = 0;
  uint8_t approach_code = 0;
  uint8_t montagna_type = 0;
  uint8_t line_speed = 0;
  uint8_t gradient = 0;
  uint8_t adhesion = 0;
};

// The longest name an entry of the station table keeps: the station file
// stores its count in 16 bits, and cuts a longer name there.
inline constexpr size_t kMaxStationNameLength = 0xFFFF;

// One entry of the station table: a station (1 up), an indication board's
// text (80 down) or a header record (81..86). Names hold Windows-1252 bytes.
struct Station {
  uint8_t kind = 0;
  int32_t from_m = 0;
  int32_t to_m = 0;
  int32_t position_m = 0;
  uint8_t flag1 = 0;
  std::string name;
  int16_t int1 = 0;
  int16_t int2 = 0;
  int16_t int3 = 0;
  int16_t int4 = 0;
  int16_t int5 = 0;
  uint8_t byte1 = 0;
  uint8_t byte2 = 0;
  uint8_t byte3 = 0;
  uint8_t byte4 = 0;
  int32_t time_s = 0;
};

// A place in a description's text: 1-based line and column (bytes); 0 when
// not known.
struct TextLocation {
  int32_t line = 0;
  int32_t column = 0;
};

constexpr int kStationCount = 87;
constexpr int kMontagnaCapacity = 80;
// Header entries of the station table.
constexpr int kChainageThreeEntry = 81;
constexpr int kChainageTwoEntry = 82;
constexpr int kChainageOneEntry = 83;
constexpr int kTrainDataEntry = 84;
constexpr int kRouteEntry = 85;
constexpr int kTrainEntry = 86;
// The first entry that receives an indication board's text; boards count down.
constexpr int kFirstBoardSlot = 80;

// The state shared by every operation of one build: the names, the track
// model (cells, station table, montagna lists, track plan) and the error
// variables. Subsystems operate on it through free
// functions taking a Builder&.
struct Builder {
  explicit Builder(Platform& platform_in);

  // How the user is told about problems, where files live and how they are
  // reached (the platform's file system unless a build protects some files).
  Platform* platform;
  FileSystem* files;
  std::string directory;
  // The run's writes into the folder, when it holds the folder's lock (a
  // build, an export); without one (tests, a check, a build in memory) files
  // are replaced one by one through `files`.
  FolderTransaction* transaction = nullptr;

  std::string route_name;
  std::string train_number;
  // Whether the build lays and writes the track plan.
  bool with_track_plan = false;
  // Whether the compiled files are written even when a problem was recorded
  // (--keep-going). Without it a build with a problem writes none, so the
  // files of an earlier good build stay as they were.
  bool keep_going = false;
  // Whether a warning holds the compiled files back as a recorded problem
  // does (--strict), for scripts that take a warning for a mistake.
  bool strict = false;
  // Whether the train description must make a scenario: one without a
  // general section or without a station is then an error rather than a
  // warning. A build without --keep-going and a check ask for it; a reading
  // of fragments does not.
  bool scenario_required = false;
  int32_t track_extent_m = 0;
  int32_t cell_count = 0;
  // Indices 0..cell_count once the line reader has met the line length;
  // empty until then.
  std::vector<Cell> cells;
  std::array<Station, kStationCount> stations{};
  std::array<int32_t, kMontagnaCapacity + 1> montagna_start_m{};
  std::array<int32_t, kMontagnaCapacity + 1> montagna_end_m{};
  int32_t montagna_count = 0;
  TrackPlan track_plan;
  // Station entry for the next indication-board text; set by the line
  // reader, used by the train reader to keep stations below the boards.
  int32_t board_slot = kFirstBoardSlot;

  int32_t error_number = 0;
  int32_t error_position_m = 0;
  int32_t message_result = 0;

  // Where a reader stopped on a problem: the description's file name and the
  // 1-based line and column of the row's key, or of the value that could not
  // be read (0 when not known).
  std::string stop_file;
  int32_t stop_line = 0;
  int32_t stop_column = 0;
  // What else is known of the problem, for the user: why a description
  // could not be read (error 25), the value refused, what holds a slot.
  std::string stop_reason;
  // The train description's row that placed each signal and slowdown start,
  // by cell (empty until the train reader places one), so that a problem
  // the finishing pass finds names the row behind it.
  std::vector<TextLocation> object_rows;
  // Whether problems are collected rather than stopping the reading (a
  // check): each error is listed in `diagnostics` as it is recorded, the
  // row that caused it is left out and the error variables are cleared for
  // the next row.
  bool collect_problems = false;
  // The warnings of the reading and, when collecting, every error.
  Diagnostics diagnostics;
  // The bytes of the compiled files the output step wrote.
  int64_t compiled_bytes = 0;

  bool cells_allocated() const { return !cells.empty(); }
  // The full path of a file of this build.
  std::string path(const std::string& name) const;
};

// Lists the problem now recorded in the error variables and stop_* as an
// error of b.diagnostics.
void list_recorded_error(Builder& b);

// The cell that holds a point object at position p: p / 50 + 1, rounded
// half to even (1025 and 1075 both give 22).
inline int64_t cell_index_of(int64_t position_m) {
  return round_half_even(static_cast<double>(position_m) / 50.0 + 1.0);
}

// A cell may receive an object when it is empty or holds only a montagna marker.
inline bool is_free(const Cell& cell) {
  return cell.kind == empty || cell.kind == montagna_marker;
}

// Whether index i addresses a cell of the allocated model.
inline bool in_cells(const Builder& b, int64_t i) {
  return i >= 0 && i <= b.cell_count && b.cells_allocated();
}

}  // namespace sb
