#include <algorithm>
#include <array>
#include <optional>

#include "tools/viewer/recovery_rows.h"

namespace sb::inspect::recovery {

namespace {

constexpr int64_t kExtentBeyondLine = 7000;
constexpr int kGradientOffset = 100;
// The change of heading per metre of the curve classes 1 to 6.
constexpr std::array<double, 6> kCurvatures = {0.0001, 0.0002, 0.0004, 0.001, 0.002, 0.003};
// A span starting this close after the previous one's end is joined: type 3.
constexpr int64_t kJoinedSpanGap = 150;
constexpr uint8_t kJoinedSpanType = 3;
constexpr int kMarkerEvery = 4;

const Cell& cell_at(const std::vector<Cell>& cells, int64_t i) {
  return cells[static_cast<size_t>(i)];
}

// ---- General block ----------------------------------------------------------

struct Chainage {
  int32_t first = 0;
  int32_t second = 0;
  int32_t third = 0;
};

Chainage chainage_in(const Station& s) { return {s.from_m, s.to_m, s.position_m}; }

std::string chainage_row(const char* which, const Chainage& c) {
  return std::string("progressiva chilometrica ") + which + after_comma(c.first, 4) +
         after_comma(c.second, 4) + after_comma(c.third, 4);
}

// The three rows that the reader orders into entries 81 to 83 as they are:
// the largest first value goes to 81, and with all first values 0 the
// second values choose.
void chainage_rows(const std::vector<Station>& stations, DescriptionText& text) {
  std::array<Chainage, 3> stored = {chainage_in(stations[kChainageThreeEntry]),
                                    chainage_in(stations[kChainageTwoEntry]),
                                    chainage_in(stations[kChainageOneEntry])};
  // The reader adds 100 to the second value of a system whose third is 1.
  std::array<Chainage, 3> read = stored;
  for (Chainage& c : read) {
    if (c.third == 1) c.second = static_cast<int32_t>(int64_t{c.second} - 100);
  }
  const auto [a, b, c] = read;
  const bool all_zero = std::all_of(stored.begin(), stored.end(), [](const Chainage& s) {
    return s.first == 0 && s.second == 0 && s.third == 0;
  });
  Chainage uno = c, due = b, tre = a;
  if (all_zero) {
    uno = due = tre = {};
  } else if (int64_t{a.first} + b.first + c.first != 0) {
    if (!(a.first > b.first && b.first >= c.first)) {
      text.problem("chainage systems 81 to 83 are not in the order the reader gives them");
    }
    // Equal first values in 82 and 83: the reader puts "uno" before "due".
    if (b.first == c.first) std::swap(uno, due);
  } else {
    // "uno" with a second value above 0 decides last: 81 uno, 82 due, 83 tre.
    uno = a;
    due = b;
    tre = c;
    if (a.second <= 0) {
      text.problem("chainage systems with first values 0 and no second value above 0 in 81");
    }
  }
  text.line(chainage_row("uno", uno));
  text.line(chainage_row("due", due));
  text.line(chainage_row("tre", tre));
}

void repetition_row(const Station& train, DescriptionText& text) {
  int32_t codes = train.position_m;
  if (train.to_m == 0) {
    if (codes != 0) text.problem("signal repetition without an end has " + std::to_string(codes) + " codes");
    codes = 4;
  } else if (codes != 4 && codes != 9) {
    text.problem("signal repetition with " + std::to_string(codes) + " codes (4 or 9)");
    codes = 4;
  }
  text.line("ripetizione segnali " + std::to_string(codes) + " codici" +
            after_comma(train.from_m, 4) + after_comma(train.to_m, 4));
}

void general_block(const ScenarioFiles& s, DescriptionText& text) {
  const Station& route = s.stations[kRouteEntry];
  text.line("[generale]");
  text.line("lunghezza percorso" + after_comma(s.stations[kTrainDataEntry].to_m, 4));
  chainage_rows(s.stations, text);
  text.line("sfondo uno" + after_comma(route.from_m, 4));
  text.line("sfondo due" + after_comma(route.position_m, 4));
  text.line("sfondo tre" + after_comma(route.to_m, 4));
  repetition_row(s.stations[kTrainEntry], text);
}

// ---- Curves -----------------------------------------------------------------

// Plan points as the recurrence sees them.
struct Step {
  double x0, y0, x1, y1;
};

// The signed curvature that laid a point from the two before it: 0 straight
// on, else the class whose first-order rotation gives exactly its bits;
// nullopt when none does. `hint` is tried first: curves run for many metres.
std::optional<double> curvature_of(const Step& p, double x, double y, double hint) {
  const double dx = p.x1 - p.x0;
  const double dy = p.y1 - p.y0;
  if (p.x1 + (p.x1 - p.x0) == x && p.y1 + (p.y1 - p.y0) == y) return 0.0;
  const auto fits = [&](double k) {
    return p.x1 + (dx + k * dy) == x && p.y1 + (dy - k * dx) == y;
  };
  if (hint != 0 && fits(hint)) return hint;
  for (double magnitude : kCurvatures) {
    if (fits(magnitude)) return magnitude;
    if (fits(-magnitude)) return -magnitude;
  }
  return std::nullopt;
}

std::string curve_key(double curvature) {
  const double magnitude = curvature < 0 ? -curvature : curvature;
  const auto found = std::find(kCurvatures.begin(), kCurvatures.end(), magnitude);
  const int digit = static_cast<int>(found - kCurvatures.begin()) + 1;
  return std::string("curva") + (curvature < 0 ? "s" : "d") + std::to_string(digit);
}

// Whether the plan has the shape of a complete reading: the two integer
// start points (0, 0) and (0, 1), computed points up to extent - 2, the last
// two unset.
// A plan of another length than the line's was named with the cells, by
// files_of_other_builds.
bool plan_has_build_shape(const PlanFile& plan, int64_t extent, DescriptionText& text) {
  if (static_cast<int64_t>(plan.x.size()) != extent + 1) return false;
  if (plan.y.size() != plan.x.size()) {
    text.problem("the plan holds " + std::to_string(plan.x.size()) + " x and " +
                 std::to_string(plan.y.size()) + " y values");
    return false;
  }
  const auto is = [&](int64_t i, uint16_t tag) {
    return plan.x[static_cast<size_t>(i)].tag == tag && plan.y[static_cast<size_t>(i)].tag == tag;
  };
  const bool start = is(0, TrackPlan::kIntegerTag) && is(1, TrackPlan::kIntegerTag) &&
                     plan.x[0].value == 0 && plan.y[0].value == 0 && plan.x[1].value == 0 &&
                     plan.y[1].value == 1;
  int64_t computed_to = 1;
  while (computed_to + 1 <= extent - 2 && is(computed_to + 1, TrackPlan::kRealTag)) ++computed_to;
  int64_t unset_from = computed_to + 1;
  while (unset_from <= extent && is(unset_from, TrackPlan::kUnsetTag)) ++unset_from;
  if (!start || unset_from <= extent) {
    text.problem("the plan is not the shape a reading of a line gives");
    return false;
  }
  if (computed_to < extent - 2) {
    // A reading that stopped early leaves the rest unset; only a build
    // kept going past its problem (--keep-going) writes such a plan.
    text.unsettled("half-built: the plan's points end at metre " + std::to_string(computed_to) +
                   ", where the reading of the line description stopped (a build that recorded "
                   "a problem and was kept going)");
    return false;
  }
  return true;
}

// One row per run of points laid with the same curvature: a record at
// `start` lays its first curve point at start + 1.
void curve_rows(const PlanFile& plan, int64_t extent, DescriptionText& text) {
  text.line("[curve]");
  if (!plan_has_build_shape(plan, extent, text)) return;
  double run_curvature = 0;
  int64_t run_first = 0;
  const auto close_run = [&](int64_t end) {
    if (run_curvature == 0) return;
    text.line(curve_key(run_curvature) + after_comma(run_first - 1, 2) +
              after_comma(end - run_first, 2));
  };
  Step step{plan.x[0].value, plan.y[0].value, plan.x[1].value, plan.y[1].value};
  for (int64_t i = 2; i <= extent - 2; ++i) {
    const double x = plan.x[static_cast<size_t>(i)].value;
    const double y = plan.y[static_cast<size_t>(i)].value;
    const std::optional<double> curvature = curvature_of(step, x, y, run_curvature);
    if (!curvature) {
      text.problem("plan point " + std::to_string(i) +
                   " follows neither the straight track nor a curve class");
      return;
    }
    if (*curvature != run_curvature) {
      close_run(i);
      run_curvature = *curvature;
      run_first = i;
    }
    step = {step.x1, step.y1, x, y};
  }
  close_run(extent - 1);
}

// ---- Gradients --------------------------------------------------------------

void gradient_rows(const std::vector<Cell>& cells, DescriptionText& text) {
  text.line("[pendenze]");
  for (const ProfileRow& row : profile_rows(cells, &Cell::gradient, "gradient byte", text)) {
    text.line("pendenza" + after_comma(row.position_m, 2) +
              after_comma(row.value - kGradientOffset, 3));
  }
}

// ---- Montagna spans ---------------------------------------------------------

struct Span {
  int64_t first = 0;
  int64_t last = 0;
  uint8_t type = 0;
  bool markers = false;
};

// Splits the cells first..last of one montagna type into spans: markers
// stand on every fourth cell of a span with markers, counted from its first
// cell, unless an object holds the cell; an empty cell where a marker
// belongs, or a marker out of step, starts another span.
class SpanSplitter {
 public:
  SpanSplitter(const std::vector<Cell>& cells, DescriptionText& text)
      : cells_(cells), text_(text) {}

  void split(int64_t first, int64_t last, uint8_t type, std::vector<Span>& spans) {
    int64_t s = first;
    while (s <= last) {
      const int64_t marker = next_marker(s, last);
      if (marker < 0) {
        spans.push_back({s, last, type, false});
        return;
      }
      int64_t start = marker - (kMarkerEvery - 1);
      // Objects may hold the earlier marker places of the same span.
      while (start - kMarkerEvery >= s && is_taken(start - 1)) start -= kMarkerEvery;
      if (start < s) {
        text_.problem("montagna marker in cell " + std::to_string(marker) +
                      " is not on the fourth cell of a span");
        spans.push_back({s, last, type, false});
        return;
      }
      if (start > s) spans.push_back({s, start - 1, type, false});
      s = flagged_span(start, last, type, spans);
    }
  }

 private:
  bool is_marker(int64_t i) const { return cell_at(cells_, i).kind == montagna_marker; }
  // An object stands where a marker may have been.
  bool is_taken(int64_t i) const {
    const uint8_t kind = cell_at(cells_, i).kind;
    return kind != empty && kind != montagna_marker;
  }

  int64_t next_marker(int64_t from, int64_t last) const {
    for (int64_t i = from; i <= last; ++i) {
      if (is_marker(i)) return i;
    }
    return -1;
  }

  // The span with markers from `start`; returns where the next one begins.
  int64_t flagged_span(int64_t start, int64_t last, uint8_t type, std::vector<Span>& spans) {
    for (int64_t i = start; i <= last; ++i) {
      const bool marker_place = (i - start + 1) % kMarkerEvery == 0;
      if (marker_place && cell_at(cells_, i).kind == empty) {
        spans.push_back({start, i - 1, type, true});
        return i;
      }
      if (!marker_place && is_marker(i)) {
        const int64_t next = i - (kMarkerEvery - 1);
        spans.push_back({start, std::max(next - 1, start), type, true});
        return std::max(next, start + 1);
      }
    }
    spans.push_back({start, last, type, true});
    return last + 1;
  }

  const std::vector<Cell>& cells_;
  DescriptionText& text_;
};

std::vector<Span> montagna_spans(const std::vector<Cell>& cells, DescriptionText& text) {
  std::vector<Span> spans;
  SpanSplitter splitter(cells, text);
  const int64_t count = cell_count_of(cells);
  for (int64_t i = 0; i <= count;) {
    const uint8_t type = cell_at(cells, i).montagna_type;
    int64_t last = i;
    while (last + 1 <= count && cell_at(cells, last + 1).montagna_type == type) ++last;
    if (type != 0) {
      splitter.split(i, last, type, spans);
    } else {
      for (int64_t k = i; k <= last; ++k) {
        if (cell_at(cells, k).kind == montagna_marker) {
          text.problem("montagna marker in cell " + std::to_string(k) + " outside any span");
        }
      }
    }
    i = last + 1;
  }
  return spans;
}

// The type as written: above 10 asks for markers; an unmarked type above
// 10 is only reached through the low 8 bits of a negative one.
int64_t written_type(const Span& span) {
  if (span.markers) return int64_t{span.type} + 10;
  return span.type <= 10 ? span.type : int64_t{span.type} - 256;
}

void montagna_rows(const std::vector<Cell>& cells, DescriptionText& text) {
  text.line("[montagne]");
  std::optional<int64_t> previous_end_m;
  for (const Span& span : montagna_spans(cells, text)) {
    const int64_t start_m = span.first * 50;
    const int64_t end_m = (span.last + 1) * 50;
    if (previous_end_m && span.type != kJoinedSpanType &&
        start_m - *previous_end_m <= kJoinedSpanGap) {
      text.comment("a span of no cells: the next span keeps its own type this close after the last");
      text.line("montagna" + after_comma(start_m, 3) + after_comma(start_m - 200, 2) +
                after_comma(0, 2));
    }
    text.line("montagna" + after_comma(start_m, 3) + after_comma(end_m, 2) +
              after_comma(written_type(span), 2));
    previous_end_m = end_m;
  }
}

// ---- Boards -----------------------------------------------------------------

// value = side-s speed / 5 * 100 + side-d speed / 5.
void split_speeds(int16_t value, int64_t& side_s, int64_t& side_d) {
  const int64_t v = value;
  const int64_t hundreds = v >= 0 ? v / 100 : -((-v + 99) / 100);
  side_s = hundreds * 5;
  side_d = (v - hundreds * 100) * 5;
}

// A side whose three speeds are 0 is written empty.
std::string side_fields(const std::array<int64_t, 3>& speeds, int64_t stripes) {
  const bool none = speeds[0] == 0 && speeds[1] == 0 && speeds[2] == 0;
  std::string fields;
  for (int64_t speed : speeds) fields += none ? ",  " : after_comma(speed, 2);
  return fields + after_comma(stripes, 2);
}

void speed_board_rows(const std::vector<Cell>& cells, DescriptionText& text) {
  text.line("[cartelli]");
  // A board a stop marker was written over keeps all but its value1.
  const std::vector<UnderMarker> under = under_stop_markers(cells);
  for (size_t i = 0; i < cells.size(); ++i) {
    Cell c = cells[i];
    if (under[i] == UnderMarker::speed_board) {
      c.value1 = 0;
    } else if (c.kind != speed_board) {
      continue;
    }
    std::array<int64_t, 3> side_s{}, side_d{};
    const int16_t values[3] = {c.value1, c.value2, c.value3};
    for (int k = 0; k < 3; ++k) split_speeds(values[k], side_s[k], side_d[k]);
    const int64_t v4 = c.value4;
    const int64_t stripes_s = v4 >= 0 ? v4 / 10 : -((-v4 + 9) / 10);
    const int64_t stripes_d = v4 - stripes_s * 10;
    text.line("indicatori_vmax" + after_comma(position_of_cell(static_cast<int64_t>(i)), 2) +
              side_fields(side_s, stripes_s) + side_fields(side_d, stripes_d));
  }
}

// The boards take their text entries from 80 down in the order they are
// read, so the rows go by entry.
void indication_board_rows(const ScenarioFiles& s, DescriptionText& text) {
  text.line("[indicazioni]");
  for (const BoardRow& board : indication_boards(s, &text)) {
    const std::string& board_text = s.stations[static_cast<size_t>(board.entry)].name;
    if (!text_field_keeps(board_text)) {
      text.problem("the text of board entry " + std::to_string(board.entry) +
                   " holds a comma, a line feed or a leading blank");
    }
    if (board.hidden) text.comment("a stop marker is written over this board later");
    text.line("cartello_indicatore" + after_comma(position_of_cell(board.cell), 2) + ",   " +
              board_text);
  }
}

}  // namespace

void recover_line(const ScenarioFiles& s, DescriptionText& text) {
  general_block(s, text);
  for (std::string& mismatch : files_of_other_builds(s)) text.problem(std::move(mismatch));
  const int64_t extent = int64_t{s.stations[kTrainDataEntry].to_m} + kExtentBeyondLine;
  curve_rows(s.plan, extent, text);
  if (cell_count_of(s.cells) >= 3) {
    gradient_rows(s.cells, text);
    montagna_rows(s.cells, text);
    speed_board_rows(s.cells, text);
    indication_board_rows(s, text);
  }
  text.line("[fine]");
}

}  // namespace sb::inspect::recovery
