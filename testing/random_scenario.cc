#include "testing/random_scenario.h"

#include <algorithm>
#include <array>
#include <random>
#include <set>
#include <vector>

#include "base/file_names.h"
#include "base/rounding.h"
#include "compile/compile_scenario.h"
#include "testing/in_memory_build.h"
#include "tools/viewer/viewer_program.h"
#include "track/fatal_report.h"

namespace sb::dense {

namespace {

// Board texts and station names a reader keeps as written: blanks at the
// end, a lone CR inside or at the end, quotes, a "-", nothing at all.
constexpr std::array<const char*, 10> kTexts = {
    "(GALLERIA)",   "PASSO  ",   "BIVIO\rNORD", "FINE\r",        "\"QUOTED\"",
    "P.M. A-B",     "",          "X",           "LUNGO NOME  X ", "VIA\tTAB"};

class Draw {
 public:
  explicit Draw(uint64_t seed) : rng_(seed) {}

  int64_t between(int64_t low, int64_t high) {
    return std::uniform_int_distribution<int64_t>(low, high)(rng_);
  }
  bool chance(int percent) { return between(0, 99) < percent; }
  template <typename T, size_t N>
  const T& one_of(const std::array<T, N>& items) {
    return items[static_cast<size_t>(between(0, N - 1))];
  }
  std::mt19937_64& engine() { return rng_; }

 private:
  std::mt19937_64 rng_;
};

int64_t cell_of(int64_t position_m) { return round_half_even(position_m / 50.0 + 1); }

std::string row(const std::string& key, std::initializer_list<int64_t> values) {
  std::string text = key;
  for (int64_t v : values) text += ", " + std::to_string(v);
  return text;
}

// Cells the drawn objects claim, so that most rows find their cells free.
class Claims {
 public:
  explicit Claims(int64_t cell_count) : taken_(static_cast<size_t>(cell_count) + 1, false) {}

  bool free(std::initializer_list<int64_t> cells) const {
    for (int64_t c : cells) {
      if (c < 0 || c >= static_cast<int64_t>(taken_.size()) || taken_[static_cast<size_t>(c)]) {
        return false;
      }
    }
    return true;
  }
  void claim(std::initializer_list<int64_t> cells) {
    for (int64_t c : cells) taken_[static_cast<size_t>(c)] = true;
  }

 private:
  std::vector<bool> taken_;
};

struct Generator {
  Draw draw;
  int64_t length_m;
  int64_t cell_count;
  Claims claims;
  std::vector<std::string> line_rows;
  // Train rows other than stations, each with its position, and stations.
  std::vector<std::pair<int64_t, std::string>> object_rows;
  std::vector<std::string> station_rows;

  explicit Generator(uint64_t seed)
      : draw(seed),
        length_m(50 * draw.between(160, 400)),
        cell_count(round_half_even((length_m + 7000) / 50.0)),
        claims(cell_count) {}

  // A position for a point object: on the grid mostly, sometimes 25 m off
  // it (where the rounding decides the cell), now and then anywhere.
  int64_t object_position(int64_t low, int64_t high) {
    int64_t p = 50 * draw.between(low / 50, high / 50);
    if (draw.chance(20)) p += 25;
    else if (draw.chance(5)) p += draw.between(1, 49);
    return p;
  }
  int64_t last_object_m() const { return length_m + 5000; }

  void line() {
    line_rows = {"[generale]", row("lunghezza percorso", {length_m}),
                 row("ripetizione segnali 9 codici", {1000, length_m - 1000}), "[curve]"};
    for (int64_t at = draw.between(0, 2000); at < length_m; at += draw.between(300, 4000)) {
      const int64_t curve_length = draw.between(1, 30) * 10;
      line_rows.push_back(std::string("curva") + (draw.chance(50) ? "s" : "d") +
                          std::to_string(draw.between(1, 6)) + ", " + std::to_string(at) + ", " +
                          std::to_string(curve_length));
    }
    line_rows.push_back("[pendenze]");
    int64_t gradient = 0;
    for (int64_t at = 0; at < length_m; at += 50 * draw.between(2, 40)) {
      // Some rows repeat the gradient before them.
      if (!draw.chance(20)) gradient = draw.between(-30, 30);
      line_rows.push_back(row("pendenza", {at, gradient}));
    }
    montagna_spans();
    speed_boards();
    indication_boards();
    line_rows.push_back("[fine]");
  }

  void montagna_spans() {
    line_rows.push_back("[montagne]");
    int64_t at = draw.between(0, 40) * 50;
    for (int n = 0; n < 12 && at < length_m; ++n) {
      const int64_t end = at + 50 * draw.between(2, 40);
      int64_t type = draw.between(1, 3);
      if (draw.chance(50)) type += 10;
      line_rows.push_back(row("montagna", {at, end, type}));
      at = end + 50 * draw.between(1, 30);
    }
  }

  void speed_boards() {
    line_rows.push_back("[cartelli]");
    const int64_t count = length_m / 500;
    for (int64_t n = 0; n < count; ++n) {
      const int64_t p = object_position(1000, last_object_m());
      const int64_t c = cell_of(p);
      if (!claims.free({c})) continue;
      claims.claim({c});
      std::string text = "indicatori_vmax, " + std::to_string(p);
      for (int side = 0; side < 2; ++side) {
        const bool empty = draw.chance(30);
        for (int k = 0; k < 3; ++k) {
          text += empty ? std::string(", ") : ", " + std::to_string(5 * draw.between(6, 32));
        }
        text += ", " + std::to_string(draw.between(0, 3));
      }
      line_rows.push_back(text);
    }
  }

  void indication_boards() {
    line_rows.push_back("[indicazioni]");
    const int64_t count = draw.between(0, 5);
    for (int64_t n = 0; n < count; ++n) {
      const int64_t p = object_position(1000, last_object_m());
      const int64_t c = cell_of(p);
      if (!claims.free({c})) continue;
      claims.claim({c});
      line_rows.push_back("cartello_indicatore, " + std::to_string(p) + ", " +
                          draw.one_of(kTexts));
    }
  }

  void profiles(std::vector<std::string>& rows) {
    int64_t at = 0;
    while (at < length_m) {
      rows.push_back(row("aderenza", {at, draw.between(40, 120)}));
      at += 50 * draw.between(4, 80);
    }
    at = 0;
    while (at < length_m) {
      rows.push_back(row("velocita", {at, 5 * draw.between(6, 32)}));
      at += 50 * draw.between(4, 80);
    }
  }

  void stations() {
    static constexpr std::array<int64_t, 10> kKinds = {1, 2, 3, 5, 6, 7, 8, 12, 25, 27};
    int64_t previous_to = -1000000;
    int64_t at = 50 * draw.between(0, 60);
    const int64_t count = draw.between(0, 10);
    for (int64_t n = 0; n < count && at < length_m; ++n) {
      const int64_t kind = draw.one_of(kKinds);
      const int64_t platform = 100 * draw.between(2, 8);
      const int64_t end_flag = draw.between(0, 1);
      int64_t from = at - platform / 2;
      int64_t to = at + platform / 2 + (end_flag ? 50 : 0);
      if (kind == 5 || kind == 6) from = at - platform, to = at + 150;
      if (kind == 7 || kind == 8) from = at - platform, to = at + platform;
      if (from - 350 < previous_to || to <= 100) {
        at += 50 * draw.between(4, 40);
        continue;
      }
      previous_to = to;
      std::string text = row("stazione", {at, kind, platform, draw.between(0, 1),
                                          draw.between(0, 1), end_flag, draw.between(0, 4),
                                          draw.between(0, 2), draw.between(0, 1),
                                          draw.between(0, 4), draw.between(0, 2),
                                          draw.between(0, 1), draw.between(0, 90),
                                          draw.between(5, 22), draw.between(0, 59),
                                          draw.between(0, 59)});
      std::string name = draw.one_of(kTexts);
      station_rows.push_back(text + ", " + name);
      at = to + platform + 50 * draw.between(7, 60);
    }
  }

  void slowdowns() {
    const int64_t count = length_m / 3000 + 1;
    for (int64_t n = 0; n < count; ++n) {
      const int64_t x = object_position(1000, length_m - 2000);
      const int64_t l = 50 * draw.between(2, 30);
      const int64_t s = cell_of(x), e = cell_of(x + l), w = cell_of(x - 1200);
      const int64_t h = round_half_even((x - 1200) / 50.0);
      const bool warned = x > 1500;
      const bool lead = warned && draw.chance(50);
      if (e <= s || !claims.free({s, e})) continue;
      if (warned && !claims.free({w})) continue;
      if (lead && (h == w || !claims.free({h, h - 1, h - 2, h - 3}))) continue;
      claims.claim({s, e});
      if (warned) claims.claim({w});
      if (lead) claims.claim({h, h - 1, h - 2, h - 3});
      const int64_t speed = 5 * draw.between(2, 30);
      const int64_t d_v = draw.chance(50) ? speed : 0;
      object_rows.push_back(
          {x, row("rallentamento", {x, speed, l, draw.between(0, 3), lead ? 1 : 0, d_v})});
    }
  }

  void signals() {
    const int64_t count = length_m / 200;
    for (int64_t n = 0; n < count; ++n) {
      const int64_t p = object_position(500, last_object_m());
      const int64_t c = cell_of(p);
      if (!claims.free({c})) continue;
      claims.claim({c});
      int64_t sx = draw.between(0, 2), dx = draw.between(0, 2);
      // Sides beyond 8 keep only their last digit in value4 but all of
      // them in the approach codes.
      if (draw.chance(3)) sx = draw.between(-40, 90), dx = draw.between(-5, 40);
      static constexpr std::array<int64_t, 5> kTimes = {0, 0, 50, 150, 240};
      object_rows.push_back(
          {p, row("segnale", {p, sx, draw.between(0, 9), draw.between(0, 9), draw.between(0, 9),
                              draw.between(0, 3), dx, draw.between(0, 9), draw.between(0, 9),
                              draw.between(0, 9), draw.one_of(kTimes)})});
    }
  }

  void code_points() {
    static constexpr std::array<int64_t, 5> kCodes = {0, 120, 180, 270, 75};
    const int64_t count = draw.between(0, 6);
    for (int64_t n = 0; n < count; ++n) {
      const int64_t p = 50 * draw.between(30, last_object_m() / 50);
      const int64_t c = round_half_even(p / 50.0);
      if (!claims.free({c})) continue;
      claims.claim({c});
      object_rows.push_back({p, row("abbattimento", {p, draw.one_of(kCodes)})});
    }
  }

  // Objects roughly by position, some swapped, with the stations (in
  // their own order) spread among them.
  std::vector<std::string> train() {
    std::vector<std::string> rows = {"[generale]", row("numero vetture", {draw.between(3, 12)}),
                                     row("percentuale massa frenata", {draw.between(60, 140)}),
                                     row("sabbia", {draw.between(0, 3)}),
                                     "orologio, " + std::to_string(draw.between(5, 20)) + " " +
                                         std::to_string(draw.between(0, 59)) + " 0"};
    profiles(rows);
    stations();
    slowdowns();
    signals();
    code_points();
    std::sort(object_rows.begin(), object_rows.end());
    for (size_t i = 1; i < object_rows.size(); ++i) {
      if (draw.chance(25)) std::swap(object_rows[i - 1], object_rows[i]);
    }
    size_t next_station = 0;
    for (const auto& [position, text] : object_rows) {
      while (next_station < station_rows.size() && draw.chance(5)) {
        rows.push_back(station_rows[next_station++]);
      }
      rows.push_back(text);
    }
    while (next_station < station_rows.size()) rows.push_back(station_rows[next_station++]);
    rows.push_back("[fine]");
    return rows;
  }
};

std::string text_of(const std::vector<std::string>& rows) {
  std::string text;
  for (const std::string& r : rows) text += r + "\r\n";
  return text;
}

// The lines of a text, each with its CR LF.
std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find("\r\n", at);
    end = end == std::string::npos ? text.size() : end + 2;
    lines.push_back(text.substr(at, end - at));
    at = end;
  }
  return lines;
}

void give(InMemoryBuild& build, const RandomScenario& s) {
  build.file(line_description_name(build.b.route_name)) = s.line_text;
  build.file(train_description_name(build.b.route_name, build.b.train_number)) = s.train_text;
}

// Whether the texts build with no problem recorded.
bool builds_cleanly(const RandomScenario& s) {
  InMemoryBuild build;
  give(build, s);
  try {
    compile_scenario(build.b, true);
  } catch (const FatalReport&) {
    return false;
  }
  return build.b.error_number == 0;
}

// Takes out the rows a check of the texts lists errors for; false when it
// lists none that names a row.
bool drop_refused_rows(RandomScenario& s) {
  InMemoryBuild build;
  give(build, s);
  build.b.diagnostics.keep_errors_per_number(Diagnostics::kEveryError);
  check_scenario(build.b);
  std::set<int32_t> line_rows, train_rows;
  const std::string line_name = line_description_name(build.b.route_name);
  for (const Diagnostic& d : build.b.diagnostics.list()) {
    if (!d.error || d.line <= 0) continue;
    (d.file == line_name ? line_rows : train_rows).insert(d.line);
  }
  if (line_rows.empty() && train_rows.empty()) return false;
  const auto drop = [](std::string& text, const std::set<int32_t>& numbers) {
    std::vector<std::string> lines = lines_of(text);
    std::string kept;
    for (size_t i = 0; i < lines.size(); ++i) {
      if (numbers.count(static_cast<int32_t>(i + 1)) == 0) kept += lines[i];
    }
    text = kept;
  };
  drop(s.line_text, line_rows);
  drop(s.train_text, train_rows);
  return true;
}

}  // namespace

uint64_t seed_of_input(std::string_view bytes) {
  uint64_t seed = 14695981039346656037ull;
  for (const char c : bytes) seed = (seed ^ static_cast<uint8_t>(c)) * 1099511628211ull;
  return seed;
}

RandomScenario draw_dense_scenario(uint64_t seed) {
  Generator g(seed);
  g.line();
  RandomScenario s;
  s.seed = seed;
  s.line_text = text_of(g.line_rows);
  s.train_text = text_of(g.train());
  return s;
}

RandomScenario dense_scenario_that_builds(uint64_t seed) {
  RandomScenario s = draw_dense_scenario(seed);
  for (int round = 0; round < 6; ++round) {
    if (builds_cleanly(s)) {
      s.builds = true;
      return s;
    }
    if (!drop_refused_rows(s)) break;
  }
  return s;
}

std::string round_trip_failure(const RandomScenario& s) {
  InMemoryBuild build;
  give(build, s);
  compile_scenario(build.b, true);
  const std::string out_dir = "/descriptions";
  const std::vector<std::string> args = {"--descriptions", out_dir, "--dir",
                                         build.platform.directory};
  std::string out, err;
  const int status =
      inspect::run_inspect(build.platform.files, args, out, err, [&](const std::string&) {
        return std::vector<std::string>{
            cell_file_name(build.b.route_name, build.b.train_number),
            station_file_name(build.b.route_name, build.b.train_number),
            plan_file_name(build.b.route_name)};
      });
  if (status == inspect::kInspected) return "";
  return "status " + std::to_string(status) + "\n" + err;
}

}  // namespace sb::dense
