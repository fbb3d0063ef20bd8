#include "bench/maximal_scenario.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace sb::bench {

namespace {

constexpr int32_t kLineLength = 1000000;
// The model runs 7000 m beyond the line; 50 m cells 0..cell_count.
constexpr int32_t kCellCount = MaximalScenario::track_extent_m / 50;
// The last position a row may have: its position plus 100 m within the cells.
constexpr int32_t kLastRowPosition = 50 * kCellCount - 100;
// Curves may not lay a plan point above 1000000; the last one ends below it.
constexpr int32_t kCurveLength = 50;
constexpr int32_t kLastCurveStart = 1000000 - 2 * kCurveLength;

constexpr int32_t kStationSpacing = 25000;
constexpr int32_t kStations = 39;
// With 39 board texts (entries 80 down to 42) 39 stations fit below them.
constexpr int32_t kIndicationBoards = 39;
constexpr int32_t kBoardOffset = 5000;
constexpr int32_t kSlowdownSpacing = 50000;
constexpr int32_t kSlowdownOffset = 15000;
constexpr int32_t kSlowdownLength = 600;
constexpr int32_t kMontagnaSpans = 80;
constexpr int32_t kMontagnaSpacing = 12500;
// The first cell a signal or board may take: its approach marks 100 to
// 400 m before it stay inside the cells, and the first station's stop
// marker (cell 9) stays clear.
constexpr int32_t kFirstObjectCell = 12;

int32_t cell_of(int32_t position) { return position / 50 + 1; }
int32_t position_of(int32_t cell) { return 50 * (cell - 1); }

// Appends one description line: the key, then each value after ", ", then
// CR LF.
class Lines {
 public:
  explicit Lines(size_t expected_bytes) { text_.reserve(expected_bytes); }

  void line(std::string_view text) {
    text_.append(text);
    text_.append("\r\n");
  }
  void record(std::string_view key, std::initializer_list<int32_t> values,
              std::string_view trailing_text = {}) {
    text_.append(key);
    for (int32_t v : values) {
      text_.append(", ");
      char digits[16];
      const auto end = std::to_chars(digits, digits + sizeof digits, v).ptr;
      text_.append(digits, end);
    }
    if (!trailing_text.empty()) {
      text_.append(", ");
      text_.append(trailing_text);
    }
    text_.append("\r\n");
  }
  std::string take() { return std::move(text_); }

 private:
  std::string text_;
};

// Which cells the placed objects of the train and line take, so that every
// other cell can receive a signal or a max-speed board.
struct CellPlan {
  std::vector<bool> reserved = std::vector<bool>(kCellCount + 1, false);
  std::vector<int32_t> slowdown_starts;
  std::vector<int32_t> signals_after_slowdowns;

  void reserve(int32_t first, int32_t last) {
    for (int32_t i = first; i <= last; ++i) reserved[i] = true;
  }
};

int32_t station_position(int32_t n) { return kStationSpacing * (n - 1); }
int32_t board_position(int32_t k) { return kStationSpacing * k + kBoardOffset; }

CellPlan plan_cells() {
  CellPlan plan;
  plan.reserve(0, kFirstObjectCell - 1);
  // Stop markers: the first station (kind 8, 500 m) ends 500 m on, the
  // others (kind 2, 400 m) 200 m on; the marker is the cell before the end.
  for (int32_t n = 2; n <= kStations; ++n) {
    const int32_t marker = (station_position(n) + 200) / 50 - 1;
    plan.reserve(marker, marker);
  }
  for (int32_t k = 0; k < kIndicationBoards; ++k) {
    const int32_t cell = cell_of(board_position(k));
    plan.reserve(cell, cell);
  }
  // A slowdown keeps 50 cells before its start and 15 after its end for
  // its boards and the code points of the finishing pass; one signal
  // stands 10 cells after the end, so that the pass marks the cell before it.
  for (int32_t x = kSlowdownOffset; x + kSlowdownLength + 2000 < kLastRowPosition;
       x += kSlowdownSpacing) {
    const int32_t start = cell_of(x);
    const int32_t end = cell_of(x + kSlowdownLength);
    plan.reserve(start - 50, end + 15);
    plan.slowdown_starts.push_back(x);
    plan.signals_after_slowdowns.push_back(end + 10);
  }
  return plan;
}

void general_block(Lines& out) {
  out.line("[generale]");
  out.record("lunghezza percorso", {kLineLength});
  out.record("progressiva chilometrica uno", {0, 0, 0});
  out.record("progressiva chilometrica due", {0, 0, 0});
  out.record("progressiva chilometrica tre", {0, 0, 0});
  out.record("sfondo uno", {0});
  out.record("sfondo due", {1});
  out.record("sfondo tre", {0});
  out.record("ripetizione segnali 4 codici", {1050, 999500});
}

// Curves back to back, left and right in turn, through the six classes.
void curves(Lines& out, std::vector<MaximalScenario::Curve>& list) {
  static constexpr double kCurvatures[] = {0.0001, 0.0002, 0.0004, 0.001, 0.002, 0.003};
  out.line("[curve]");
  int32_t count = 0;
  for (int32_t start = 0; start <= kLastCurveStart; start += kCurveLength, ++count) {
    const bool left = count % 2 == 0;
    const int32_t class_index = (count / 2) % 6;
    char key[] = "curvas1";
    key[5] = left ? 's' : 'd';
    key[6] = static_cast<char>('1' + class_index);
    out.record(key, {start, kCurveLength});
    const double curvature = kCurvatures[class_index];
    list.push_back({start, kCurveLength, left ? -curvature : curvature});
  }
}

int32_t gradients(Lines& out) {
  out.line("[pendenze]");
  int32_t count = 0;
  for (int32_t p = 0; p <= kLastRowPosition; p += 50, ++count) {
    out.record("pendenza", {p, (p / 50) % 25 - 12});
  }
  return count;
}

// Spans of 1000 m, with and without markers, types 1 and 2.
int32_t montagna_spans(Lines& out) {
  static constexpr int32_t kTypes[] = {11, 12, 1, 2};
  out.line("[montagne]");
  for (int32_t k = 0; k < kMontagnaSpans; ++k) {
    const int32_t start = kMontagnaSpacing * k + 2000;
    out.record("montagna", {start, start + 1000, kTypes[k % 4]});
  }
  return kMontagnaSpans;
}

void speed_board(Lines& out, int32_t cell) {
  const int32_t s = 60 + 5 * (cell % 25);
  const int32_t stripes = cell % 3;
  if (cell % 4 == 0) {
    // Side d left empty, read as 0.
    char row[160];
    const int n = std::snprintf(row, sizeof row, "indicatori_vmax, %d, %d, %d, %d, %d,  ,  ,  , 0",
                                position_of(cell), s, s + 10, s + 15, stripes);
    out.line(std::string_view(row, static_cast<size_t>(n)));
    return;
  }
  out.record("indicatori_vmax", {position_of(cell), s, s + 10, s + 15, stripes, s + 5, s + 15,
                                 s + 20, 2 - stripes});
}

void signal(Lines& out, int32_t cell) {
  static constexpr int32_t kTimes[] = {0, 215, 240};
  out.record("segnale", {position_of(cell), 1 + cell % 2, 2 + cell % 4, cell % 7, cell % 5,
                         cell % 2, cell % 3, cell % 4, cell % 2, 0, kTimes[cell % 3]});
}

}  // namespace

MaximalScenario make_maximal_scenario() {
  MaximalScenario scenario;
  const CellPlan cells = plan_cells();

  // Every free cell from the first usable one to the last a row may name
  // holds a signal or a max-speed board, in turn.
  std::vector<int32_t> signal_cells;
  std::vector<int32_t> board_cells;
  bool next_is_signal = true;
  for (int32_t i = kFirstObjectCell; i <= cell_of(kLastRowPosition); ++i) {
    if (cells.reserved[i]) continue;
    (next_is_signal ? signal_cells : board_cells).push_back(i);
    next_is_signal = !next_is_signal;
  }

  Lines line(2'400'000);
  general_block(line);
  curves(line, scenario.curve_list);
  scenario.curves = static_cast<int32_t>(scenario.curve_list.size());
  scenario.gradients = gradients(line);
  scenario.montagna_spans = montagna_spans(line);
  line.line("[cartelli]");
  for (int32_t cell : board_cells) speed_board(line, cell);
  scenario.speed_boards = static_cast<int32_t>(board_cells.size());
  line.line("[indicazioni]");
  for (int32_t k = 0; k < kIndicationBoards; ++k) {
    char text[48];
    const int n = std::snprintf(text, sizeof text, "(GALLERIA )(NUMERO %2d)", k + 1);
    line.record("cartello_indicatore", {board_position(k)},
                std::string_view(text, static_cast<size_t>(n)));
  }
  scenario.indication_boards = kIndicationBoards;
  line.line("[fine]");
  scenario.line_description = line.take();

  Lines train(3'200'000);
  train.line("[generale]");
  train.record("numero vetture", {8});
  train.record("percentuale massa frenata", {125});
  train.record("sabbia", {300});
  train.line("orologio,    5              56            40 ");
  train.line("[aderenze]");
  for (int32_t p = 0; p <= kLastRowPosition; p += 50) train.record("aderenza", {p, 70 + (p / 50) % 31});
  train.line("[vel_limite]");
  for (int32_t p = 0; p <= kLastRowPosition; p += 50) train.record("velocita", {p, 30 + 5 * ((p / 50) % 27)});
  train.line("[stazioni]");
  for (int32_t n = 1; n <= kStations; ++n) {
    char name[32];
    const int len = std::snprintf(name, sizeof name, "STAZIONE %02d", n);
    const int32_t minutes = 6 * 60 + 10 * n;
    const bool first = n == 1;
    // Every fifth station is passed without a stop (kind 27).
    const int32_t kind = first ? 8 : (n % 5 == 0 ? 27 : 2);
    train.record("stazione",
                 {station_position(n), kind, first ? 500 : 400, n % 2, 0, 0, 4, 1, 1, 2, 1, 1,
                  first ? 1 : 50, minutes / 60, minutes % 60, 0},
                 std::string_view(name, static_cast<size_t>(len)));
  }
  train.line("[rallentamenti]");
  for (int32_t x : cells.slowdown_starts) train.record("rallentamento", {x, 30, kSlowdownLength, 0, 1, 30});
  scenario.slowdowns = static_cast<int32_t>(cells.slowdown_starts.size());
  train.line("[segnali]");
  // In rising order of position, the slowdowns' own signals among the rest.
  std::vector<int32_t> all_signals = signal_cells;
  all_signals.insert(all_signals.end(), cells.signals_after_slowdowns.begin(),
                     cells.signals_after_slowdowns.end());
  std::sort(all_signals.begin(), all_signals.end());
  for (int32_t cell : all_signals) signal(train, cell);
  scenario.signals = static_cast<int32_t>(all_signals.size());
  train.line("[codici]");
  train.line("[fine]");
  scenario.train_description = train.take();
  scenario.stations = kStations;
  return scenario;
}

}  // namespace sb::bench
