#include "line/line_reader.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <utility>

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

constexpr int32_t kLongestLine = 1000000;
// The model runs this far beyond the line's end.
constexpr int32_t kExtentBeyondLine = 7000;
// Curves may not lay a plan point above this index.
constexpr int64_t kLastCurvePoint = 1000000;
constexpr int kGeneralBlockCommentSkips = 10;
constexpr int32_t kGradientOffset = 100;
constexpr int32_t kLowestGradient = -100;
constexpr int32_t kHighestGradient = 155;
// A record's position plus this margin must lie within the cells.
constexpr int32_t kRowMargin = 100;
// The steepest gradients (per mille) of the simulator's lines; steeper ones
// are taken as written but are almost always a typing mistake.
constexpr int32_t kSteepestPlausibleGradient = 60;

// The keys as the format writes them, for "did you mean": those of the
// general block, and those of the records after it.
constexpr std::string_view kGeneralKeys[] = {
    "lunghezza percorso",  "progressiva chilometrica uno", "progressiva chilometrica due",
    "progressiva chilometrica tre", "sfondo uno", "sfondo due", "sfondo tre",
    "ripetizione segnali 4 codici", "ripetizione segnali 9 codici",
};
constexpr std::string_view kRecordKeys[] = {
    "pendenza", "montagna", "indicatori_vmax", "cartello_indicatore",
    "curvas1",  "curvas2",  "curvas3",         "curvas4", "curvas5", "curvas6",
    "curvad1",  "curvad2",  "curvad3",         "curvad4", "curvad5", "curvad6",
};
constexpr DescriptionWords kLineWords{"line description", kRecordKeys};

// The curvature (change of heading per metre, radians) a curve key selects by
// the first class digit it contains, testing 1 to 6 in that order; 0 when it
// has none.
double curvature_of(std::string_view key) {
  static constexpr std::array<std::pair<char, double>, 6> kClasses = {{
      {'1', 0.0001}, {'2', 0.0002}, {'3', 0.0004}, {'4', 0.001}, {'5', 0.002}, {'6', 0.003},
  }};
  for (const auto& [digit, curvature] : kClasses) {
    if (contains(key, digit)) return curvature;
  }
  return 0;
}

// What the record tests find in a key (all ignoring case), worked out
// once per distinct key and remembered.
struct LineKeyTests {
  KeyKind kind;
  bool gradient = false;
  bool curve = false;
  bool montagna = false;
  bool speed_board = false;
  bool indication_board = false;
  // Signed; 0 for a curve key without a class digit.
  double curvature = 0;
};

class LineReader : public DescriptionReading {
 public:
  LineReader(Builder& b, std::string file_name, std::string_view text)
      : DescriptionReading(b, std::move(file_name), text, kLineWords) {}

  void run();

 private:
  static LineKeyTests classify(std::string_view key);

  bool find_general_section();
  bool read_general_block();
  bool read_general_record(std::string_view key);
  bool read_line_length();
  void allocate_cells();
  int32_t length_with_thousands(int32_t length) const;
  void read_chainage(int entry);
  bool read_signal_repetition(std::string_view key);
  void start_records();
  Flow read_record(const LineKeyTests& key);
  Flow gradient();
  Flow curve(double curvature);
  Flow montagna();
  Flow speed_board();
  Flow indication_board();
  void end_steps();

  void write_gradients_until(int64_t limit);
  Flow lay_curve_record(int32_t start, int32_t length, double curvature);
  void check_curve_overlap(int32_t start, int64_t end_m);
  int64_t plan_cursor() const { return b_.track_plan.size(); }

  KeyTestCache<LineKeyTests> key_cache_;
  // The line of the first "lunghezza percorso" row, 0 before it; whether
  // the cells of the last length read are still to be allocated.
  int32_t length_line_ = 0;
  bool cells_pending_ = false;
  int32_t gradient_cursor_ = 0;
  int32_t previous_gradient_ = 0;
  ProfileOrder gradient_order_;
  // The curve read so far that reaches furthest along the plan: its key (a
  // view into the text, shown only in a warning), its line (0 before the
  // first curve) and where it ends.
  std::string_view furthest_curve_key_;
  int32_t furthest_curve_line_ = 0;
  int64_t furthest_curve_end_m_ = 0;
};

void LineReader::run() {
  if (const std::string utf16 = utf16_reason(); !utf16.empty()) {
    refuse_because(error::no_general_section, utf16, true);
    return;
  }
  if (text().empty()) {
    failure_of_whole_file();
    throw ReadFailure("the line description is empty");
  }
  check_byte_order_mark();
  if (!find_general_section()) {
    // The whole file is where it is missing.
    refuse_because(error::no_general_section,
                   "no field of the file holds \"[generale]\"" + line_end_hint(), true);
    return;
  }
  bool block_read = false;
  try {
    block_read = read_general_block();
  } catch (...) {
    allocate_cells();
    throw;
  }
  allocate_cells();
  if (!block_read) return;
  if (!b_.cells_allocated()) {
    std::string reason = "the general block has no \"lunghezza percorso\" record";
    if (contains_ignoring_case(text(), "numero vetture")) {
      reason += " (this looks like a train description: give it with --train)";
    }
    throw ReadFailure(reason + line_end_hint());
  }
  order_chainages(b_);
  start_records();
  const Flow flow = read_records(key_cache_, classify,
                                 [this](const LineKeyTests& key) { return read_record(key); });
  if (flow == Flow::stop) return;
  end_steps();
}

// Fields before "[generale]" are passed over; a file whose only such field
// is its last has no general block.
bool LineReader::find_general_section() {
  for (;;) {
    const std::string_view field = read_key();
    if (fields_.at_end()) return false;
    if (contains_ignoring_case(field, "[generale]")) return true;
  }
}

bool LineReader::read_general_block() {
  for (;;) {
    if (fields_.at_end()) return true;
    std::string_view key = read_key();
    if (fields_.at_end()) return true;
    for (int i = 0; i < kGeneralBlockCommentSkips && contains(key, "-"); ++i) key = read_key();
    try {
      if (!read_general_record(key)) return false;
    } catch (const ReadFailure& failure) {
      // Without the line length nothing after it can be checked.
      if (!collecting() || length_line_ == 0) throw;
      list_failure(failure.what());
      fields_.skip_rest_of_line();
    }
    // A section line ends the block.
    if (!key.starts_with('-') && contains(key, "[") && contains(key, "]")) return true;
  }
}

// Runs every general test on the key; false when the reading stops.
bool LineReader::read_general_record(std::string_view key) {
  bool matched = false;
  const bool length = contains_ignoring_case(key, "percorso") &&
                      contains_ignoring_case(key, "lunghezza");
  const bool known = length || contains(key, "progressiva") || contains(key, "sfondo") ||
                     (contains(key, "segnali") && contains(key, "ripetizione"));
  if (known) refuse_semicolons();
  if (length) {
    matched = true;
    if (!read_line_length()) return false;
  }
  // The chainage, background and repetition keys are matched with case.
  const bool chainage = contains(key, "progressiva");
  if (chainage && contains(key, "tre")) read_chainage(kChainageThreeEntry);
  if (chainage && contains(key, "due")) read_chainage(kChainageTwoEntry);
  if (chainage && contains(key, "uno")) read_chainage(kChainageOneEntry);
  const bool background = contains(key, "sfondo");
  if (background && contains(key, "uno")) {
    b_.stations[kRouteEntry].from_m = fields_.read_field_number();
  }
  if (background && contains(key, "due")) {
    b_.stations[kRouteEntry].position_m = fields_.read_field_number();
  }
  if (background && contains(key, "tre")) {
    b_.stations[kRouteEntry].to_m = fields_.read_field_number();
  }
  const bool repetition = contains(key, "segnali") && contains(key, "ripetizione");
  if (repetition && !read_signal_repetition(key)) return false;
  matched = matched || repetition ||
            ((chainage || background) &&
             (contains(key, "tre") || contains(key, "due") || contains(key, "uno")));
  const bool section = contains(key, "[") && contains(key, "]");
  if (!matched && !section && !key.empty() && !contains(key, '-')) warn_unknown_key(kGeneralKeys);
  if (matched) check_row_end();
  return true;
}

bool LineReader::read_line_length() {
  int32_t length = fields_.read_field_number();
  b_.stations[kTrainDataEntry].to_m = length;
  if (length > kLongestLine) {
    // Without cells nothing after it can be checked either.
    refuse_value(error::line_too_long, b_.error_position_m, 1,
                 "lunghezza percorso is " + std::to_string(length) + " m, at most " +
                     std::to_string(kLongestLine) + " m");
    return false;
  }
  if (const int32_t meant = length_with_thousands(length); meant > 0) {
    // The likely cause of every problem after it: said first, where it stands.
    fail_at(value_location(1),
            concat({"lunghezza percorso reads as ", std::to_string(length),
                    " m followed by further keys (`", shown_text(fields_.rest_of_line()),
                    "`): a thousands separator? write the length as ", std::to_string(meant)}));
    // A check goes on with the length meant.
    length = meant;
    b_.stations[kTrainDataEntry].to_m = length;
    fields_.skip_rest_of_line();
  }
  if (length < 0) throw ReadFailure("negative line length");
  if (length_line_ != 0) {
    warn(WarningKind::repeated_record, row(), [&] {
      return "`lunghezza percorso` is given again (first on line " +
             std::to_string(length_line_) + "): the last one read sets the line's length";
    });
  } else {
    length_line_ = row().line;
  }
  b_.track_extent_m = length + kExtentBeyondLine;
  b_.cell_count = static_cast<int32_t>(round_half_even(b_.track_extent_m / 50.0));
  cells_pending_ = true;
  return true;
}

// The cells and the plan of the line's length, allocated once the general
// block is read: a length given again replaces the earlier one before
// anything uses them, so a row costs no more than its reading.
void LineReader::allocate_cells() {
  if (!cells_pending_) return;
  cells_pending_ = false;
  b_.cells.assign(static_cast<size_t>(b_.cell_count) + 1, Cell{});
  if (b_.with_track_plan) b_.track_plan.allocate(b_.track_extent_m);
}

// "52,000" reads as a 52 m line and then the key "000": every row after it
// lies beyond so short a line. The length meant, when the rest of the row
// is groups of three digits; 0 otherwise.
int32_t LineReader::length_with_thousands(int32_t length) const {
  if (length <= 0 || length >= 1000) return 0;
  std::string_view rest = fields_.rest_of_line();
  int64_t joined = length;
  bool grouped = false;
  const auto is_digit = [](char c) { return c >= '0' && c <= '9'; };
  while (rest.size() >= 3 && std::all_of(rest.begin(), rest.begin() + 3, is_digit)) {
    const std::string_view after = rest.substr(3);
    const size_t next = after.find_first_not_of(" \t");
    if (next != std::string_view::npos && after[next] != ',') break;
    joined = joined * 1000 + std::stoi(std::string(rest.substr(0, 3)));
    grouped = true;
    if (next == std::string_view::npos || joined > kLongestLine) break;
    rest = after.substr(next + 1);
    rest.remove_prefix(std::min(rest.find_first_not_of(" \t"), rest.size()));
  }
  if (!grouped || joined > kLongestLine) return 0;
  return static_cast<int32_t>(joined);
}

void LineReader::read_chainage(int entry) {
  Station& s = b_.stations[entry];
  s.from_m = fields_.read_field_number();
  s.to_m = fields_.read_field_number();
  s.position_m = fields_.read_field_number();
}

bool LineReader::read_signal_repetition(std::string_view key) {
  Station& s = b_.stations[kTrainEntry];
  s.from_m = fields_.read_field_number();
  s.to_m = fields_.read_field_number();
  const auto off_grid = [&](int32_t value, const char* what) {
    return concat({what, " ", std::to_string(value), " is not a multiple of 50 (",
                   nearest_multiples(value, 50), ")"});
  };
  const int32_t kept_position = b_.error_position_m;
  if (s.from_m % 50 != 0) {
    return refuse_value(error::repetition_start_off_grid, kept_position, 1,
                        off_grid(s.from_m, "start")) == Flow::skip_row;
  }
  if (s.to_m % 50 != 0) {
    return refuse_value(error::repetition_end_off_grid, kept_position, 2,
                        off_grid(s.to_m, "end")) == Flow::skip_row;
  }
  if (contains(key, "4")) {
    s.position_m = 4;
  } else if (contains(key, "9")) {
    s.position_m = 9;
  } else {
    return refuse_value(error::repetition_codes_unknown, kept_position, 0,
                        concat({"`", key_text(),
                                "` holds neither 4 nor 9: write `ripetizione segnali 4 codici` "
                                "or `ripetizione segnali 9 codici`"})) == Flow::skip_row;
  }
  if (s.to_m == 0) s.position_m = 0;
  return true;
}

void LineReader::start_records() {
  b_.montagna_count = 0;
  b_.board_slot = kFirstBoardSlot;
  gradient_cursor_ = 0;
  previous_gradient_ = 0;
  if (b_.with_track_plan) {
    b_.track_plan.push_integer(0, 0);
    b_.track_plan.push_integer(0, 1);
  }
}

// All tests ignore case.
LineKeyTests LineReader::classify(std::string_view key) {
  std::string lower_key(key);
  to_lower_ascii(lower_key);
  const std::string_view lower = lower_key;
  LineKeyTests t;
  t.gradient = contains(lower, "pendenza");
  t.curve = contains(lower, "curva");
  t.montagna = contains(lower, "montagna");
  t.speed_board = contains(lower, "indicatori_v");
  t.indication_board = contains(lower, "indicat") && contains(lower, "cartello");
  t.curvature = curvature_of(lower);
  if (contains(lower, "s")) t.curvature = -t.curvature;
  // A comment is skipped when at most two come in a row.
  t.kind = kind_of_key(key, t.gradient || t.curve || t.montagna || t.speed_board ||
                                t.indication_board);
  t.kind.values = 2 * t.gradient + 2 * t.curve + 3 * t.montagna + 9 * t.speed_board +
                  2 * t.indication_board;
  return t;
}

// Every test runs on the key, in this order; a key that passes several reads
// each of their records.
Flow LineReader::read_record(const LineKeyTests& key) {
  Flow flow = Flow::go_on;
  if (key.gradient) flow = gradient();
  if (flow == Flow::go_on && key.curve && b_.with_track_plan) flow = curve(key.curvature);
  if (flow == Flow::go_on && key.montagna) flow = montagna();
  if (flow == Flow::go_on && key.speed_board) flow = speed_board();
  if (flow == Flow::go_on && key.indication_board) flow = indication_board();
  const bool read = key.gradient || (key.curve && b_.with_track_plan) || key.montagna ||
                    key.speed_board || key.indication_board;
  if (flow == Flow::go_on && read) check_row_end();
  return flow;
}

// Writes the gradient in force into the cell at the cursor and on while the
// cursor is below `limit`: at least one cell, never past the cells.
void LineReader::write_gradients_until(int64_t limit) {
  write_profile(gradient_cursor_, limit, static_cast<uint8_t>(previous_gradient_ + kGradientOffset),
                &Cell::gradient);
}

Flow LineReader::gradient() {
  const int32_t p = fields_.read_field_number();
  const int32_t g = fields_.read_field_number();
  if (const Flow flow = check_position(p, kRowMargin); flow != Flow::go_on) return flow;
  if (g < kLowestGradient || g > kHighestGradient) {
    return refuse_value(error::gradient_out_of_range, p, 2,
                        concat({"gradient ", std::to_string(g),
                                " (a cell keeps the gradient plus 100 in one byte)"}));
  }
  const int64_t n = round_half_even(p / 50.0);
  check_on_grid(p, n * 50);
  check_rising(p, gradient_order_);
  check_plausible(g, -kSteepestPlausibleGradient, kSteepestPlausibleGradient, "gradient");
  if (n > 0) write_gradients_until(n);
  previous_gradient_ = g;
  return Flow::go_on;
}

Flow LineReader::curve(double curvature) {
  const int32_t start = fields_.read_field_number();
  const int32_t length = fields_.read_field_number();
  if (const Flow flow = check_position(start, kRowMargin); flow != Flow::go_on) return flow;
  if (curvature == 0) {
    return refuse_value(error::plan_refused, b_.error_position_m, 0,
                        concat({"`", key_text(), "` has no class digit 1 to 6 (curvas1 to "
                                "curvas6 turn left, curvad1 to curvad6 right)"}));
  }
  check_span_end(int64_t{start} + length);
  check_curve_overlap(start, int64_t{start} + length);
  return lay_curve_record(start, length, curvature);
}

// The plan is laid once, in the file's order: a curve that begins before an
// earlier one ends leaves that one in place up to its end, and is laid only
// from there on, if at all.
void LineReader::check_curve_overlap(int32_t start, int64_t end_m) {
  if (furthest_curve_line_ > 0 && start < furthest_curve_end_m_) {
    warn(WarningKind::dropped_value, row(), [&] {
      return concat(
          {"`", key_text(), "` from ", std::to_string(start), " m begins before `",
           shown_text(furthest_curve_key_), "` of line ", std::to_string(furthest_curve_line_),
           " ends at ", std::to_string(furthest_curve_end_m_),
           " m: the track plan is laid in the file's order, so the earlier curve holds to its "
           "end and this one is ",
           end_m > furthest_curve_end_m_
               ? "laid only from " + std::to_string(furthest_curve_end_m_) + " m on"
               : std::string("not laid at all")});
    });
  }
  if (furthest_curve_line_ == 0 || end_m > furthest_curve_end_m_) {
    furthest_curve_key_ = row_key();
    furthest_curve_line_ = row().line;
    furthest_curve_end_m_ = end_m;
  }
}

// Lays the track straight up to the curve's start and then the curve up to
// start + length, both clipped at point track_extent_m - 2. A point above
// 1000000 is refused once it has been laid.
Flow LineReader::lay_curve_record(int32_t start, int32_t length, double curvature) {
  const int64_t last_point = b_.track_extent_m - 2;
  const int64_t straight_end = std::min<int64_t>(start, last_point);
  const int64_t curve_end = std::min<int64_t>(int64_t{start} + length, last_point);
  TrackPlan& plan = b_.track_plan;
  const auto past_plan = [&] {
    return refuse_value(error::plan_refused, b_.error_position_m, 1,
                        concat({"the track plan passes point ", std::to_string(kLastCurvePoint),
                                " at the curve from ", std::to_string(start), " m, ",
                                std::to_string(length), " m long; curves end by 1000000 m"}));
  };
  plan.lay_straight(std::min(straight_end, kLastCurvePoint));
  if (plan_cursor() > kLastCurvePoint) return past_plan();
  plan.lay_curve(std::min(curve_end, kLastCurvePoint), curvature);
  if (plan_cursor() > kLastCurvePoint) return past_plan();
  return Flow::go_on;
}

Flow LineReader::montagna() {
  const int32_t start_m = fields_.read_field_number();
  const int32_t end_m = fields_.read_field_number();
  int32_t type = fields_.read_field_number();
  if (const Flow flow = check_position(start_m, kRowMargin); flow != Flow::go_on) return flow;
  // The span covers the cells from start_m / 50 to end_m / 50 - 1, rounded.
  check_on_grid(start_m, round_half_even(start_m / 50.0) * 50);
  check_on_grid(end_m, round_half_even(end_m / 50.0) * 50);
  check_span_end(end_m);
  place_montagna(b_, start_m, end_m, type);
  return after_placement(start_m, [&] {
    if (b_.error_number != error::too_many_montagna_spans) return outside_reason();
    return concat({"span ", std::to_string(b_.montagna_count + 1), ": at most ",
                   std::to_string(kMontagnaCapacity), " montagna spans"});
  });
}

Flow LineReader::speed_board() {
  std::array<int32_t, 9> v{};
  for (int32_t& value : v) value = fields_.read_field_number();
  if (const Flow flow = check_position(v[0], kRowMargin); flow != Flow::go_on) return flow;
  check_on_grid(v[0], (cell_index_of(v[0]) - 1) * 50);
  const int64_t cell = cell_index_of(v[0]);
  const std::string occupant = in_cells(b_, cell) && is_free(b_.cells[cell]) ? std::string()
                                                                             : occupant_of(cell);
  place_speed_boards(b_, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]);
  if (b_.error_number == error::none) note_object(cell);
  return after_placement(v[0], [&] { return occupant.empty() ? outside_reason() : occupant; });
}

// The board's text takes the next station entry from 80 downwards; its cell
// points to that entry.
Flow LineReader::indication_board() {
  const int32_t p = fields_.read_field_number();
  const std::string_view text = fields_.read_text();
  const TextLocation text_at = last_field();
  if (const Flow flow = check_position(p, kRowMargin); flow != Flow::go_on) return flow;
  const int64_t i = cell_index_of(p);
  check_on_grid(p, (i - 1) * 50);
  check_text_length(text, text_at);
  check_text_encoding(text, text_at);
  if (!in_cells(b_, i) || !is_free(b_.cells[i])) {
    return refuse_value(error::board_cell_taken, p, 1, occupant_of(i));
  }
  // Entry 0 is never used: an 81st text has nowhere to go.
  if (b_.board_slot < 1) {
    return refuse_value(error::too_many_stations, p, 0,
                        "an 81st indication board: the 80 entries are taken");
  }
  note_object(i);
  Cell& cell = b_.cells[i];
  cell.kind = CellKind::indication_board;
  cell.value1 = static_cast<int16_t>(b_.board_slot);
  b_.stations[b_.board_slot].name.assign(text);
  --b_.board_slot;
  return Flow::go_on;
}

// The rest of the line keeps the last gradient (the last three cells keep
// 0) and the plan runs on straight to point track_extent_m - 2.
void LineReader::end_steps() {
  write_gradients_until(int64_t{b_.cell_count} - 2);
  if (b_.with_track_plan) {
    b_.track_plan.lay_straight(int64_t{b_.track_extent_m} - 2);
    // The plan is complete: its values are computed while the train is read.
    b_.track_plan.compute_laid_points();
  }
}

}  // namespace

void read_line_description(Builder& b) {
  b.stations[kRouteEntry].name = b.route_name;
  b.stations[kTrainEntry].name = b.train_number;
  const std::string name = line_description_name(b.route_name);
  const std::string path = b.path(name);
  if (!b.files->exists(path)) {
    b.error_number = error::missing_line_description;
    b.stop_file = name;
    b.stop_line = 0;
    return;
  }
  read_and_delete_description<LineReader>(b, name);
}

namespace {

struct Chainage {
  int32_t first = 0;
  int32_t second = 0;
  int32_t third = 0;
};

Chainage chainage_of(const Station& s) { return {s.from_m, s.to_m, s.position_m}; }

}  // namespace

void order_chainages(Builder& b) {
  const Chainage t = chainage_of(b.stations[kChainageThreeEntry]);
  const Chainage d = chainage_of(b.stations[kChainageTwoEntry]);
  const Chainage u = chainage_of(b.stations[kChainageOneEntry]);
  // Entries 81, 82, 83 in that order; all zero unless a rule below applies.
  std::array<Chainage, 3> order{};
  if (int64_t{t.first} + d.first + u.first != 0) {
    if (t.first > d.first && t.first > u.first) {
      order = d.first > u.first ? std::array{t, d, u} : std::array{t, u, d};
    } else if (d.first > t.first && d.first > u.first) {
      order = t.first > u.first ? std::array{d, t, u} : std::array{d, u, t};
    } else if (u.first > t.first && u.first > d.first) {
      order = t.first > d.first ? std::array{u, t, d} : std::array{u, d, t};
    }
  } else {
    if (t.second > 0) order = {t, d, u};
    if (d.second > 0) order = {d, t, u};
    if (u.second > 0) order = {u, d, t};
  }
  for (int i = 0; i < 3; ++i) {
    Chainage& c = order[i];
    // Wraps like the 32-bit slot it lands in.
    if (c.third == 1) c.second = static_cast<int32_t>(int64_t{c.second} + 100);
    Station& s = b.stations[kChainageThreeEntry + i];
    s.from_m = c.first;
    s.to_m = c.second;
    s.position_m = c.third;
  }
}

}  // namespace sb
