#include "train/train_reader.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/file_names.h"
#include "base/shown_text.h"
#include "platform/file_system.h"
#include "reading/description_reading.h"
#include "reading/field_reader.h"
#include "reading/text_match.h"
#include "track/error_numbers.h"
#include "track/placement.h"

namespace sb {

namespace {

// A row's position plus this margin must lie within the cells; a station
// needs room for its platform.
constexpr int32_t kRowMargin = 100;
constexpr int32_t kStationMargin = 800;
constexpr int32_t kPlatformGap = 350;

// The keys as the format writes them, for "did you mean".
constexpr std::string_view kTrainKeys[] = {
    "numero vetture", "percentuale massa frenata", "sabbia", "orologio", "aderenza",
    "velocita",       "stazione",                  "rallentamento", "segnale", "abbattimento",
};
constexpr DescriptionWords kTrainWords{"train description", kTrainKeys};

// What the simulator's trains and timetables use; a value outside is taken
// as written but is almost always a typing mistake. The README gives why.
constexpr int64_t kFewestCars = 1, kMostCars = 30;
constexpr int64_t kLowestBrakedMass = 30, kHighestBrakedMass = 250;
constexpr int64_t kLowestSpeed = 5, kHighestSpeed = 300;
constexpr int64_t kLowestAdhesion = 1, kHighestAdhesion = 100;
constexpr int64_t kShortestPlatform = 100, kLongestPlatform = 1000;

// The cells a slowdown from x, `length` m long, takes: its warning board
// (none up to 1500 m), its start and end boards and, when f_ta is not 0 and
// it has a warning board, the four lead cells from h down.
struct SlowdownCells {
  int64_t warning = -1;
  int64_t start = 0;
  int64_t end = 0;
  int64_t lead = -1;
  // In the order the placement tests them.
  std::vector<int64_t> all() const {
    std::vector<int64_t> cells;
    if (warning >= 0) cells.push_back(warning);
    cells.push_back(start);
    cells.push_back(end);
    if (lead >= 0) {
      for (int64_t k = 0; k < 4; ++k) cells.push_back(lead - k);
    }
    return cells;
  }
};

SlowdownCells slowdown_cells(int32_t x, int32_t length, int32_t f_ta) {
  constexpr int64_t kNoWarningUpTo = 1500, kWarningDistance = 1200;
  SlowdownCells cells;
  cells.start = cell_index_of(x);
  cells.end = cell_index_of(int64_t{x} + length);
  if (x > kNoWarningUpTo) {
    cells.warning = cell_index_of(int64_t{x} - kWarningDistance);
    if (f_ta != 0) cells.lead = round_half_even((int64_t{x} - kWarningDistance) / 50.0);
  }
  return cells;
}

// Whether value fits the integer type T.
template <typename T>
bool fits(int64_t value) {
  return value >= std::numeric_limits<T>::min() && value <= std::numeric_limits<T>::max();
}

// What the row tests find in a key (all ignoring case), worked out once
// per distinct key and remembered.
struct TrainKeyTests {
  KeyKind kind;
  // Some test matched: the key is a row's.
  bool row = false;
  bool braked_mass = false;
  bool cars = false;
  bool speed = false;
  bool adhesion = false;
  bool clock = false;
  bool sand = false;
  bool signal = false;
  bool slowdown = false;
  bool code_point = false;
  bool station = false;
};

class TrainReader : public DescriptionReading {
 public:
  TrainReader(Builder& b, std::string file_name, std::string_view text)
      : DescriptionReading(b, std::move(file_name), text, kTrainWords) {}

  void run();

 private:
  static TrainKeyTests classify(std::string_view key);

  Flow read_row(const TrainKeyTests& key);
  Flow read_row_values(const TrainKeyTests& key);
  void check_clock_time(int64_t hours, int64_t minutes, int64_t seconds);
  void check_chainages();
  Flow speed_row();
  Flow adhesion_row();
  Flow signal_row();
  Flow slowdown_row();
  Flow code_point_row();
  Flow station_row();
  Flow place_station(int32_t n, int32_t platform_length);
  void warn_dropped_flag(int32_t n, int32_t platform_length);
  void write_speed(int64_t limit);
  Flow refuse_unusable_train(bool general_found);
  std::string too_close_reason(int32_t n, int64_t from_m) const;
  std::string too_many_stations_reason() const;
  std::string slowdown_refusal(int32_t x, int32_t length, int32_t f_ta) const;
  void end_steps();

  int32_t number32() { return fields_.read_number(); }
  int16_t number16();
  uint8_t number8();
  uint8_t previous_speed_code();

  KeyTestCache<TrainKeyTests> key_cache_;
  int32_t station_number_ = 1;
  int32_t speed_cursor_ = 0;
  int32_t previous_speed_ = 0;
  // Where the value of previous_speed_ stands in the description.
  TextLocation previous_speed_at_;
  int32_t adhesion_cursor_ = 0;
  int32_t previous_adhesion_ = 0;
  ProfileOrder speed_order_;
  ProfileOrder adhesion_order_;
  bool row_read_ = false;
  // The line of each station row read, by station entry.
  std::array<int32_t, kStationCount> station_lines_{};
};

void TrainReader::run() {
  if (const std::string utf16 = utf16_reason(); !utf16.empty()) {
    failure_of_whole_file();
    throw ReadFailure(utf16);
  }
  check_byte_order_mark();
  // Rows count only after the first field that names the general section.
  bool general_found = false;
  while (!fields_.at_end() && !general_found) {
    general_found = contains_ignoring_case(read_key(), "[generale]");
  }
  const Flow flow = read_records(key_cache_, classify,
                                 [this](const TrainKeyTests& key) { return read_row(key); });
  if (flow == Flow::stop) return;
  if (refuse_unusable_train(general_found) == Flow::stop) return;
  end_steps();
}

// A train without a general section or without a station cannot be a
// scenario (no cars, no timetable, nothing to stop at): an error where one
// is required, a warning otherwise (--keep-going builds it as it stands).
Flow TrainReader::refuse_unusable_train(bool general_found) {
  if (b_.error_number != error::none) return Flow::go_on;
  const bool stations = station_number_ > 1;
  if (row_read_ && stations) return Flow::go_on;
  if (!b_.scenario_required) {
    if (!row_read_) warn_no_records(general_found);
    return Flow::go_on;
  }
  std::string reason = !row_read_ ? no_records_reason(general_found)
                                  : "the train description has no `stazione` row: a train "
                                    "needs at least one station";
  return refuse_because(error::unreadable, std::move(reason), true) == Flow::stop
             ? Flow::stop
             : Flow::go_on;
}

int16_t TrainReader::number16() {
  const int32_t value = fields_.read_number();
  if (!fits<int16_t>(value)) throw ReadFailure("does not fit 16 bits: " + std::to_string(value));
  return static_cast<int16_t>(value);
}

uint8_t TrainReader::number8() {
  const int32_t value = fields_.read_number();
  if (!fits<uint8_t>(value)) throw ReadFailure("does not fit 0 to 255: " + std::to_string(value));
  return static_cast<uint8_t>(value);
}

// A cell keeps a line speed as its fifth, rounded, in one byte. The speed is
// checked only here, when it is stored, so a failure names its own
// "velocita" row rather than the row being read.
uint8_t TrainReader::previous_speed_code() {
  const int64_t fifth = round_half_even(previous_speed_ / 5.0);
  if (!fits<uint8_t>(fifth)) {
    fail_at(previous_speed_at_,
            "speed " + std::to_string(previous_speed_) + " does not fit a cell");
    // A check has listed it; the cells get no speed from it.
    previous_speed_ = 0;
    return 0;
  }
  return static_cast<uint8_t>(fifth);
}

// Writes the speed of the last "velocita" row into the cells from the cursor
// on while the cursor is below `limit`, at least one cell; nothing (and no
// check) once the cursor has reached the last cell.
void TrainReader::write_speed(int64_t limit) {
  if (speed_cursor_ >= b_.cell_count) return;
  write_profile(speed_cursor_, limit, previous_speed_code(), &Cell::line_speed);
}


// Every key test ignores case.
TrainKeyTests TrainReader::classify(std::string_view key) {
  std::string lower_key(key);
  to_lower_ascii(lower_key);
  const std::string_view lower = lower_key;
  TrainKeyTests t;
  t.braked_mass = contains(lower, "frenata") && contains(lower, "massa");
  t.cars = contains(lower, "vetture");
  t.speed = contains(lower, "velocit");
  t.adhesion = contains(lower, "aderenza");
  t.clock = contains(lower, "orologio");
  t.sand = contains(lower, "sabbia");
  t.signal = contains(lower, "segnale");
  t.slowdown = contains(lower, "rallentamento");
  t.code_point = contains(lower, "abbattimento");
  t.station = contains(lower, "stazione");
  t.row = t.braked_mass || t.cars || t.speed || t.adhesion || t.clock || t.sand || t.signal ||
          t.slowdown || t.code_point || t.station;
  // A comment is skipped when at most two come in a row.
  t.kind = kind_of_key(key, t.row);
  t.kind.values = t.braked_mass + t.cars + 2 * t.speed + 2 * t.adhesion + 3 * t.clock + t.sand +
                  11 * t.signal + 6 * t.slowdown + 2 * t.code_point + 17 * t.station;
  return t;
}

Flow TrainReader::read_row(const TrainKeyTests& key) {
  if (!key.row) return Flow::go_on;
  row_read_ = true;
  const Flow flow = read_row_values(key);
  if (flow == Flow::go_on) check_row_end(key.clock);
  return flow;
}

// Every test runs on the key, in this order; a key that passes several reads
// each of their rows.
Flow TrainReader::read_row_values(const TrainKeyTests& key) {
  Station& train = b_.stations[kTrainDataEntry];
  Station& clock = b_.stations[kTrainEntry];
  if (key.braked_mass) {
    train.from_m = number32();
    check_plausible(train.from_m, kLowestBrakedMass, kHighestBrakedMass, "braked mass");
  }
  if (key.cars) {
    train.position_m = number32();
    check_plausible(train.position_m, kFewestCars, kMostCars, "number of cars");
  }
  Flow flow = Flow::go_on;
  if (key.speed) flow = speed_row();
  if (flow == Flow::go_on && key.adhesion) flow = adhesion_row();
  if (flow != Flow::go_on) return flow;
  if (key.clock) {
    clock.int3 = number16();
    clock.int4 = number16();
    clock.int5 = number16();
    check_clock_time(clock.int3, clock.int4, clock.int5);
  }
  if (key.sand) clock.int1 = number16();
  if (key.signal) flow = signal_row();
  if (flow == Flow::go_on && key.slowdown) flow = slowdown_row();
  if (flow == Flow::go_on && key.code_point) flow = code_point_row();
  if (flow == Flow::go_on && key.station) flow = station_row();
  return flow;
}

// A profile row's value holds from its own cell t = x / 50 on; the cells
// before t get the previous row's value. A speed whose fifth does not fit a
// byte fails only when it is written (at a later speed row or in the end
// steps), so a row beyond the cells still ends the reading with 15 first.
Flow TrainReader::speed_row() {
  const int32_t x = number32();
  const int32_t v = number32();
  const TextLocation v_at = last_field();
  if (const Flow flow = check_position(x, kRowMargin); flow != Flow::go_on) return flow;
  const int64_t t = round_half_even(x / 50.0);
  check_on_grid(x, t * 50);
  check_rising(x, speed_order_);
  check_plausible(v, kLowestSpeed, kHighestSpeed, "speed");
  if (v % 5 != 0) {
    warn(WarningKind::implausible_value, row(), [&] {
      return "speed " + std::to_string(v) + " is not a multiple of 5: the cells keep " +
             std::to_string(5 * round_half_even(v / 5.0)) + " km/h";
    });
  }
  if (t > 0) write_speed(t);
  previous_speed_ = v;
  previous_speed_at_ = v_at;
  return Flow::go_on;
}

// The adhesion byte keeps the low 8 bits of the value as written.
Flow TrainReader::adhesion_row() {
  const int32_t x = number32();
  const int32_t a = number32();
  if (const Flow flow = check_position(x, kRowMargin); flow != Flow::go_on) return flow;
  const int64_t t = round_half_even(x / 50.0);
  check_on_grid(x, t * 50);
  check_rising(x, adhesion_order_);
  check_plausible(a, kLowestAdhesion, kHighestAdhesion, "adhesion");
  if (t > 0) {
    write_profile(adhesion_cursor_, t, static_cast<uint8_t>(previous_adhesion_), &Cell::adhesion);
  }
  previous_adhesion_ = a;
  return Flow::go_on;
}

Flow TrainReader::signal_row() {
  std::array<int32_t, 11> v{};
  for (int32_t& value : v) value = number32();
  if (const Flow flow = check_position(v[0], kRowMargin); flow != Flow::go_on) return flow;
  check_on_grid(v[0], (cell_index_of(v[0]) - 1) * 50);
  int32_t time_s = v[10];
  const int64_t cell = cell_index_of(v[0]);
  const std::string occupant = in_cells(b_, cell) && is_free(b_.cells[cell]) ? std::string()
                                                                             : occupant_of(cell);
  place_signal(b_, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], time_s);
  // The finishing pass names this row for a code point it cannot place.
  if (b_.error_number == error::none) note_object(cell);
  return after_placement(v[0], [&] {
    if (!occupant.empty()) return occupant;
    return outside_reason() + ": a signal needs the 400 m before it for its approach marks";
  });
}

Flow TrainReader::slowdown_row() {
  std::array<int32_t, 6> v{};
  for (int32_t& value : v) value = number32();
  if (const Flow flow = check_position(v[0], kRowMargin); flow != Flow::go_on) return flow;
  check_on_grid(v[0], (cell_index_of(v[0]) - 1) * 50);
  check_span_end(int64_t{v[0]} + v[2]);
  const std::string refusal = slowdown_refusal(v[0], v[2], v[4]);
  place_slowdown(b_, v[0], v[1], v[2], v[3], v[4], v[5]);
  if (b_.error_number == error::none) {
    const SlowdownCells cells = slowdown_cells(v[0], v[2], v[4]);
    // The finishing pass names this row for a code point it cannot place.
    for (const int64_t cell : cells.all()) note_object(cell);
  }
  // A slowdown whose end is not after its start is refused for its length.
  const int quoted = b_.error_number == error::slowdown_end_not_after_start ? 3 : 1;
  return after_placement(v[0], quoted, [&] { return refusal; });
}

// Why a slowdown at x, `length` m long, with lead boards when f_ta is not 0,
// would be refused, tested as its placement tests it; worked out before it
// is placed, since a refused slowdown may leave boards behind.
std::string TrainReader::slowdown_refusal(int32_t x, int32_t length, int32_t f_ta) const {
  const SlowdownCells cells = slowdown_cells(x, length, f_ta);
  for (const int64_t cell : cells.all()) {
    if (!in_cells(b_, cell)) return outside_reason();
  }
  if (cells.end <= cells.start) {
    return concat({"length ", std::to_string(length), " m puts its end board into cell ",
                   std::to_string(cells.end), ", not after its start board's cell ",
                   std::to_string(cells.start), ": a slowdown is at least 50 m long"});
  }
  for (const int64_t cell : cells.all()) {
    if (!is_free(b_.cells[cell])) return occupant_of(cell);
  }
  return {};
}

// A code point lies in cell p / 50 (no 1 added); a value below 1 cuts the code.
// The value must fit 16 bits only when it is stored, as a code point's value1.
Flow TrainReader::code_point_row() {
  const int32_t p = number32();
  const int32_t n = number32();
  if (const Flow flow = check_position(p, kRowMargin); flow != Flow::go_on) return flow;
  const int64_t c = round_half_even(p / 50.0);
  check_on_grid(p, c * 50);
  if (!in_cells(b_, c) || !is_free(b_.cells[c])) {
    return refuse_value(error::code_cell_taken, p, 1, occupant_of(c));
  }
  Cell& cell = b_.cells[c];
  if (n >= 1) {
    if (!fits<int16_t>(n)) throw ReadFailure("does not fit 16 bits: " + std::to_string(n));
    cell.kind = code_point;
    cell.value1 = static_cast<int16_t>(n);
  } else {
    cell.kind = code_cut;
  }
  note_object(c);
  return Flow::go_on;
}

// Fills the next station entry field by field, checking as it goes.
Flow TrainReader::station_row() {
  const int32_t n = station_number_;
  // Only a line with 80 board texts leaves no entry even for the first
  // station; nothing may overwrite a board's text.
  if (n >= b_.board_slot) return refuse_value(error::too_many_stations, b_.error_position_m, 0, too_many_stations_reason());
  Station& e = b_.stations[n];
  e.position_m = number32();
  if (const Flow flow = check_position(e.position_m, kStationMargin); flow != Flow::go_on) {
    return flow;
  }
  station_lines_[n] = row().line;
  if (e.position_m % 50 != 0) {
    return refuse_value(error::station_off_grid, e.position_m, 1,
                        concat({"position ", std::to_string(e.position_m), " (",
                                nearest_multiples(e.position_m, 50), ")"}));
  }
  e.kind = number8();
  const int32_t platform_length = number32();
  if (platform_length % 100 != 0) {
    return refuse_value(error::platform_length_off_grid, e.position_m, 3,
                        concat({"platform length ", std::to_string(platform_length), " (",
                                nearest_multiples(platform_length, 100), ")"}));
  }
  e.flag1 = number8();
  e.byte4 = number8();
  e.byte3 = number8();
  e.int1 = number16();
  e.int2 = number16();
  e.byte1 = number8();
  e.int3 = number16();
  e.int4 = number16();
  e.int5 = number16();
  e.byte2 = number8();
  const int64_t hours = number32();
  const int64_t minutes = number32();
  const int64_t seconds = number32();
  const std::string_view name = fields_.read_text();
  e.name.assign(name);
  check_text_length(name, last_field());
  check_text_encoding(name, last_field());
  check_plausible(platform_length, kShortestPlatform, kLongestPlatform, "platform length");
  if (hours != 0 || minutes != 0 || seconds != 0) check_clock_time(hours, minutes, seconds);
  const int64_t time_s = (hours * 60 + minutes) * 60 + seconds;
  if (!fits<int32_t>(time_s)) throw ReadFailure("time of day does not fit 32 bits");
  e.time_s = static_cast<int32_t>(time_s);
  return place_station(n, platform_length);
}

// The station's fifth value, a flag, is kept only for a platform of
// kLongPlatform metres or more and never for the first station: a flag set
// there is dropped.
void TrainReader::warn_dropped_flag(int32_t n, int32_t platform_length) {
  const Station& e = b_.stations[n];
  if (e.byte4 == 0 || (platform_length >= kLongPlatform && n != 1)) return;
  warn(WarningKind::dropped_value, value_location(5), [&] {
    const std::string why =
        n == 1 ? std::string("the first station keeps none")
               : concat({"only a platform of ", std::to_string(kLongPlatform),
                         " m or more keeps it, and this one has ",
                         std::to_string(platform_length), " m"});
    return concat({"the flag ", std::to_string(e.byte4), " in the fifth value of `", key_text(),
                   "` for `", shown_text(e.name), "` is dropped: ", why});
  });
}

// The platform's extent by station kind, then the stop marker with its
// approach codes, the spacing from the previous platform and the count.
Flow TrainReader::place_station(int32_t n, int32_t platform_length) {
  Station& e = b_.stations[n];
  const int64_t position = e.position_m;
  const int64_t length = platform_length;
  int64_t from_m = position - length / 2;
  int64_t to_m = position + length / 2 + (e.byte3 != 0 ? 50 : 0);
  if (e.kind == 5 || e.kind == 6) {
    from_m = position - length;
    to_m = position + 150;
    e.byte3 = 0;
  } else if (e.kind == 7 || e.kind == 8) {
    from_m = position - length;
    to_m = position + length;
    e.byte3 = 0;
  }
  if (!fits<int32_t>(from_m) || !fits<int32_t>(to_m)) {
    throw ReadFailure("platform extent does not fit 32 bits");
  }
  e.from_m = static_cast<int32_t>(from_m);
  e.to_m = static_cast<int32_t>(to_m);
  warn_dropped_flag(n, platform_length);
  if (platform_length < kLongPlatform) e.byte4 = 0;
  if (n == 1) {
    e.byte3 = 0;
    e.byte4 = 0;
  }

  if (e.kind < kFirstKindWithoutStop) {
    const int64_t marker = to_m / 50 - 1;
    if (marker > b_.cell_count) {
      return refuse_value(error::outside_cells, e.position_m, 3,
                          concat({"the platform ends at ", std::to_string(to_m),
                                  " m, beyond the line's cells (up to ",
                                  std::to_string(int64_t{50} * b_.cell_count), " m)"}));
    }
    if (e.kind != 5 && e.kind != 6) {
      for (int k = 1; k <= kApproachMarkCount; ++k) {
        const int64_t c = marker - k;
        if (c > 1) b_.cells[c].approach_code = static_cast<uint8_t>(kFirstStationApproachCode + k);
      }
    }
    if (marker <= 1) {
      return refuse_value(error::stop_marker_at_start, b_.error_position_m, 1,
                          concat({"the platform of `", shown_text(e.name), "` ends at ",
                                  std::to_string(to_m), " m; a stop marker needs it to end "
                                  "at 150 m or later"}));
    }
    b_.cells[marker].kind = stop_marker;
    b_.cells[marker].value1 = static_cast<int16_t>(n);
  }

  if (n > 1 && from_m - kPlatformGap < b_.stations[n - 1].to_m) {
    return refuse_value(error::platforms_too_close, e.position_m, 1, too_close_reason(n, from_m));
  }
  station_number_ = n + 1;
  if (station_number_ >= b_.board_slot) {
    return refuse_value(error::too_many_stations, b_.error_position_m, 0,
                        too_many_stations_reason());
  }
  return Flow::go_on;
}

// Which rule a station too close to the one before breaks: a duplicate, a
// row out of order, or the 350 m between two platforms.
std::string TrainReader::too_close_reason(int32_t n, int64_t from_m) const {
  const Station& e = b_.stations[n];
  const Station& before = b_.stations[n - 1];
  const std::string other = concat({"`", shown_text(before.name), "` at ",
                                    std::to_string(before.position_m), " m (line ",
                                    std::to_string(station_lines_[n - 1]), ")"});
  if (e.position_m == before.position_m) {
    return concat({"duplicate: `", shown_text(e.name), "` stands where ", other, " stands"});
  }
  if (e.position_m < before.position_m) {
    return concat({"out of order: `", shown_text(e.name), "` at ", std::to_string(e.position_m),
                   " m comes after ", other, "; station rows go in rising order of position"});
  }
  return concat({"the platform of `", shown_text(e.name), "` begins at ", std::to_string(from_m),
                 " m, ", std::to_string(from_m - before.to_m), " m after the platform of ", other,
                 " ends at ", std::to_string(before.to_m), " m; at least ",
                 std::to_string(kPlatformGap), " m are needed"});
}

std::string TrainReader::too_many_stations_reason() const {
  const int boards = kFirstBoardSlot - b_.board_slot;
  return concat({"station ", std::to_string(station_number_), ": ", std::to_string(boards),
                 " indication boards of the line and the stations share 80 entries, so at "
                 "most ", std::to_string(std::max(0, b_.board_slot - 2)), " stations fit"});
}

// A time of day: hours, minutes and seconds on a 24-hour clock.
void TrainReader::check_clock_time(int64_t hours, int64_t minutes, int64_t seconds) {
  check_plausible(hours, 0, 23, "hour");
  check_plausible(minutes, 0, 59, "minute");
  check_plausible(seconds, 0, 59, "second");
}

// The last speed and adhesion hold to cell cell_count - 3; then the
// chainage systems of the line must stand on the 50 m grid.
void TrainReader::end_steps() {
  const int64_t limit = int64_t{b_.cell_count} - 2;
  write_speed(limit);
  write_profile(adhesion_cursor_, limit, static_cast<uint8_t>(previous_adhesion_),
                &Cell::adhesion);
  check_chainages();
}

void TrainReader::check_chainages() {
  for (int entry = kChainageThreeEntry; entry <= kChainageOneEntry; ++entry) {
    const Station& s = b_.stations[entry];
    if (s.from_m % 50 != 0 || s.to_m % 50 != 0) {
      b_.error_number = error::chainage_off_grid;
      // The values come from the line description's chainage rows.
      b_.stop_file = line_description_name(b_.route_name);
      b_.stop_line = 0;
      b_.stop_column = 0;
      b_.stop_reason.clear();
    }
  }
  if (b_.error_number == error::chainage_off_grid && collecting()) {
    list_recorded_error(b_);
    b_.error_number = error::none;
  }
}

}  // namespace

void read_train_description(Builder& b) {
  read_and_delete_description<TrainReader>(b, train_description_name(b.route_name, b.train_number));
}

}  // namespace sb
