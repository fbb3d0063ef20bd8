#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sb::bench {

// The largest scenario the descriptions can hold that still builds without a
// recorded problem: the longest line (1000000 m), a curve record every 50 m
// up to the last plan point curves may reach, a gradient, a speed and an
// adhesion row every 50 m up to the last position the cells take, all 80
// montagna spans, 39 stations and 39 indication boards (together the most
// the station table holds), a slowdown every 50 km, and a signal or a
// max-speed board on every other cell that may take an object.
struct MaximalScenario {
  // The model's extent: the line plus 7000 m.
  static constexpr int32_t track_extent_m = 1007000;
  // The curve records in file order, for laying the same plan without the
  // reader; curvature in radians per metre, negative for left-hand curves.
  struct Curve {
    int32_t start = 0;
    int32_t length = 0;
    double curvature = 0;
  };
  std::vector<Curve> curve_list;

  std::string line_description;
  std::string train_description;
  // What the descriptions hold, for the benchmark's report.
  int32_t curves = 0;
  int32_t gradients = 0;
  int32_t signals = 0;
  int32_t speed_boards = 0;
  int32_t indication_boards = 0;
  int32_t stations = 0;
  int32_t slowdowns = 0;
  int32_t montagna_spans = 0;
};

MaximalScenario make_maximal_scenario();

}  // namespace sb::bench
