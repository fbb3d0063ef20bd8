#include "tools/viewer/scenario_picture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "base/rounding.h"
#include "tools/viewer/authored_rows.h"
#include "tools/viewer/cell_meaning.h"
#include "tools/viewer/text_encoding.h"

namespace sb::inspect {

namespace {

// ---- Page layout (SVG user units, y down) ---------------------------------

constexpr double kWidth = 1400;
constexpr double kLeft = 90;    // room for the left axis labels
constexpr double kRight = 90;   // room for the right axis labels
constexpr double kPlanTop = 90;
constexpr double kPlanMaxHeight = 640;
constexpr double kProfileHeight = 330;
// Station names stand in rows between the panels; longer ones are cut.
constexpr size_t kShortNameLength = 24;
constexpr double kNameFontSize = 10;
constexpr double kNameRowHeight = 17;
// Below the plan's axis title, above the rows of names.
constexpr double kGapBase = 56;
constexpr double kLegendHeight = 150;
constexpr double kPanelWidth = kWidth - kLeft - kRight;

const char* const kTrackColour = "#333333";
const char* const kSignalColour = "#d62728";
const char* const kSlowdownColour = "#ff7f0e";
const char* const kSpeedBoardColour = "#1f77b4";
const char* const kIndicationColour = "#9467bd";
const char* const kGradientColour = "#2ca02c";
const char* const kSpeedColour = "#1f77b4";
const char* const kAdhesionColour = "#8c564b";
const char* const kMontagnaColours[4] = {"none", "#c7e9c0", "#fff1a8", "#dadaeb"};
const char* const kPlatformColour = "#455a64";
const char* const kCurveColour = "#00838f";
// The slowdown band: a light solid fill with a red edge. Patterns, opacity
// and halos are drawn differently by the common renderers, so the picture
// uses none of them.
const char* const kSlowdownBand = "fill=\"#f7c9c9\" stroke=\"#d62728\" stroke-width=\"0.8\"";
const char* const kLabelBox = "fill=\"white\" stroke=\"#999999\" stroke-width=\"0.6\"";

// Two decimals, which keep a quarter of a pixel exact, a trailing zero
// dropped: 90.0, 140.25, 115.2.
std::string num(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  std::string out = text;
  if (out.back() == '0') out.pop_back();
  return out == "-0.0" ? "0.0" : out;
}

// A tick step of 1, 2 or 5 times a power of ten giving about `count` ticks.
double nice_step(double range, double count) {
  if (!(range > 0)) return 1;
  const double rough = range / count;
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  for (double factor : {1.0, 2.0, 5.0}) {
    if (factor * power >= rough) return factor * power;
  }
  return 10 * power;
}

std::string tick_label(double value) {
  char text[32];
  const double rounded = std::round(value);
  if (std::fabs(value - rounded) < 1e-9) {
    std::snprintf(text, sizeof text, "%.0f", rounded == 0 ? 0.0 : rounded);
  } else {
    std::snprintf(text, sizeof text, "%g", value);
  }
  return text;
}

// The middle of the pixel a coordinate falls in.
double pixel_middle(double v) { return std::floor(v) + 0.5; }

// librsvg and Chromium put pixel centres on half coordinates, ImageMagick's
// renderer on whole ones: what one draws sharp, the other smears over two
// pixels. A level or upright stroke `width` wide (a whole number) whose
// edges stand a quarter of a pixel before a pixel edge comes out alike in
// both, each drawing one side sharp and the other soft. With width 0 this
// places the end of a stroke.
double on_both_grids(double v, double width) {
  const double offset = std::fmod(0.75 + width / 2, 1.0);
  return std::round(v - offset) + offset;
}

class Svg {
 public:
  void add(const std::string& element) { body_ += element + "\n"; }
  // A thin level or upright line stands in the middle of a pixel row or
  // column, sharp where pixel centres are on half coordinates.
  void line(double x1, double y1, double x2, double y2, const std::string& style) {
    if (x1 == x2) x1 = x2 = pixel_middle(x1);
    if (y1 == y2) y1 = y2 = pixel_middle(y1);
    add("<line x1=\"" + num(x1) + "\" y1=\"" + num(y1) + "\" x2=\"" + num(x2) + "\" y2=\"" +
        num(y2) + "\" " + style + "/>");
  }
  // A stroke of level and upright pieces, two units wide, drawn alike by
  // both kinds of renderer (see on_both_grids): solid, or in dashes of `on`
  // units with gaps of `off` (whole numbers keep the dash ends placed too).
  void level_stroke(const std::vector<std::pair<double, double>>& points, const std::string& style,
                    double on = 0, double off = 0) {
    constexpr double kStrokeWidth = 2;
    std::vector<std::pair<double, double>> placed;
    for (const auto& [x, y] : points) {
      placed.emplace_back(on_both_grids(x, kStrokeWidth), on_both_grids(y, kStrokeWidth));
    }
    stroke_path(placed, "stroke-width=\"2\" " + style, on, off);
  }
  // An upright line one unit wide from `top` down to `bottom`, drawn alike
  // by both kinds of renderer, solid or dashed as level_stroke.
  void upright_line(double x, double top, double bottom, const std::string& style, double on = 0,
                    double off = 0) {
    x = on_both_grids(x, 1);
    stroke_path({{x, on_both_grids(top, 0)}, {x, on_both_grids(bottom, 0)}},
                "stroke-width=\"1\" " + style, on, off);
  }
  // Dashes drawn as pieces of one path: renderers lay out a dash pattern
  // each in its own way, ImageMagick's far from the others. A dash goes on
  // round a corner of the line.
  void dashes(const std::vector<std::pair<double, double>>& points, double on, double off,
              const std::string& style) {
    std::string path;
    auto go = [&path](char command, double x, double y) {
      path += command;
      path += num(x);
      path += ',';
      path += num(y);
    };
    bool drawing = true;
    bool pen_down = false;  // within a dash, at the end of what is drawn of it
    double left = on;       // of the current dash or gap
    for (size_t i = 1; i < points.size(); ++i) {
      const auto [x1, y1] = points[i - 1];
      const auto [x2, y2] = points[i];
      const double length = std::hypot(x2 - x1, y2 - y1);
      for (double done = 0; done < length - 1e-9;) {
        const double step = std::min(left, length - done);
        if (drawing) {
          if (!pen_down) go('M', x1 + (x2 - x1) * done / length, y1 + (y2 - y1) * done / length);
          go('L', x1 + (x2 - x1) * (done + step) / length, y1 + (y2 - y1) * (done + step) / length);
          pen_down = true;
        }
        done += step;
        left -= step;
        if (left <= 1e-9) {
          drawing = !drawing;
          pen_down = false;
          left = drawing ? on : off;
        }
      }
    }
    if (!path.empty()) add("<path d=\"" + path + "\" fill=\"none\" " + style + "/>");
  }
  void stroke_path(const std::vector<std::pair<double, double>>& points, const std::string& style,
                   double on, double off) {
    if (on > 0) {
      dashes(points, on, off, style);
    } else {
      polyline(points, style);
    }
  }
  // A box's edges stand on pixel middles: on pixel edges ImageMagick's
  // renderer would fill one pixel more than the others. A box without an
  // outline says so: that renderer would draw one.
  void rect(double x, double y, double w, double h, const std::string& style) {
    const bool outlined = style.find("stroke=") != std::string::npos;
    const double left = std::round(x) + 0.5;
    const double top = std::round(y) + 0.5;
    const double right = std::round(x + std::max(w, 0.0)) + 0.5;
    const double bottom = std::round(y + std::max(h, 0.0)) + 0.5;
    add("<rect x=\"" + num(left) + "\" y=\"" + num(top) + "\" width=\"" + num(right - left) +
        "\" height=\"" + num(bottom - top) + "\" " + style +
        (outlined ? "" : " stroke=\"none\"") + "/>");
  }
  void circle(double x, double y, double r, const std::string& style) {
    add("<circle cx=\"" + num(x) + "\" cy=\"" + num(y) + "\" r=\"" + num(r) + "\" " + style + "/>");
  }
  // `utf8` is escaped here. Every text names its one font and no outline
  // itself: ImageMagick's renderer inherits neither from the root, and would
  // fall back to another font drawn with an outline.
  void text(double x, double y, const std::string& utf8, const std::string& style) {
    add("<text x=\"" + num(x) + "\" y=\"" + num(y) + "\" " + kTextFont + " " + style + ">" +
        xml_escaped(utf8) + "</text>");
  }
  // A text on a white box that hides what lies under it; `width` is the
  // text's estimated width.
  static constexpr const char* kTextFont = "font-family=\"DejaVu Sans\" stroke=\"none\"";

  void boxed_text(double left, double baseline, double width, double font_size,
                  const std::string& utf8, const std::string& style) {
    rect(left - 2, baseline - font_size, width + 4, font_size + 4, kLabelBox);
    text(left, baseline, utf8, "font-size=\"" + num(font_size) + "\" " + style);
  }
  // Each point once, as a reader would expect: a step line ends on its last
  // cell's point again.
  void polyline(const std::vector<std::pair<double, double>>& points, const std::string& style) {
    if (points.size() < 2) return;
    std::string list;
    std::string last;
    for (const auto& [x, y] : points) {
      std::string point = num(x) + "," + num(y) + " ";
      if (point == last) continue;
      list += point;
      last = std::move(point);
    }
    add("<polyline points=\"" + list + "\" fill=\"none\" " + style + "/>");
  }
  // The height is a whole number of pixels: a renderer would round it and
  // scale the drawing to fit, and ImageMagick's then strokes a polyline
  // with a stray chord back across it.
  std::string document(double drawn_height) const {
    const double height = std::ceil(drawn_height);
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + num(kWidth) + "\" height=\"" +
           num(height) + "\" viewBox=\"0 0 " + num(kWidth) + " " + num(height) +
           "\" font-family=\"DejaVu Sans, Arial, sans-serif\" font-size=\"12\">\n"
           // A pixel beyond each edge: ImageMagick's renderer would leave the
           // half-covered first row and column see-through.
           "<rect x=\"-1\" y=\"-1\" width=\"" + num(kWidth + 2) + "\" height=\"" + num(height + 2) +
           "\" fill=\"white\"/>\n" +
           body_ + "</svg>\n";
  }

 private:
  std::string body_;
};

// A marker shape centred on (x, y).
void marker(Svg& svg, double x, double y, char shape, const char* colour, double size = 4) {
  const std::string fill = std::string("fill=\"") + colour + "\" stroke=\"white\" stroke-width=\"0.8\"";
  switch (shape) {
    case 'o':
      svg.circle(x, y, size, fill);
      break;
    case 's':
      svg.rect(x - size, y - size, 2 * size, 2 * size, fill);
      break;
    case 'd':
      svg.add("<polygon points=\"" + num(x) + "," + num(y - size * 1.3) + " " + num(x + size) +
              "," + num(y) + " " + num(x) + "," + num(y + size * 1.3) + " " + num(x - size) + "," +
              num(y) + "\" " + fill + "/>");
      break;
    default:  // triangle
      svg.add("<polygon points=\"" + num(x) + "," + num(y - size * 1.2) + " " + num(x + size) +
              "," + num(y + size * 0.8) + " " + num(x - size) + "," + num(y + size * 0.8) + "\" " +
              fill + "/>");
  }
}

// ---- What the picture shows ------------------------------------------------

struct PointObject {
  int64_t position_m = 0;
  uint8_t kind = empty;
};

struct StationMark {
  int64_t position_m = 0;
  int64_t platform_from_m = 0;
  int64_t platform_to_m = 0;
  std::string name;        // UTF-8
  std::string short_name;  // UTF-8, at most kShortNameLength characters
  bool stops = true;
};

struct Slowdown {
  int64_t from_m = 0;
  int64_t to_m = 0;
  int speed_kmh = 0;
};

struct Scene {
  std::string title;
  int64_t line_length_m = 0;
  std::vector<PlanPoint> plan;
  // The plan is drawn turned a quarter clockwise: the starting direction
  // points right (see turn_plan_if_wider).
  bool plan_turned = false;
  std::vector<PointObject> objects;
  std::vector<StationMark> stations;
  std::vector<Slowdown> slowdowns;
  std::vector<CurveRow> curves;
  std::span<const Cell> cells;
};

// The plan's bounding box in metres, with room around it for the labels
// and a sensible frame for a straight line.
struct Bounds {
  double min_x = 0, min_y = 0, max_x = 1, max_y = 1;
  double width() const { return max_x - min_x; }
  double height() const { return max_y - min_y; }
};

Bounds framed_bounds(const std::vector<PlanPoint>& plan) {
  Bounds b;
  if (!plan.empty()) {
    b.min_x = b.max_x = plan[0].x;
    b.min_y = b.max_y = plan[0].y;
    for (const PlanPoint& p : plan) {
      b.min_x = std::min(b.min_x, p.x);
      b.max_x = std::max(b.max_x, p.x);
      b.min_y = std::min(b.min_y, p.y);
      b.max_y = std::max(b.max_y, p.y);
    }
  }
  const double margin = std::max({b.width(), b.height(), 1000.0}) * 0.08;
  b.min_x -= margin;
  b.max_x += margin;
  b.min_y -= margin;
  b.max_y += margin;
  return b;
}

// The page units per metre that fit the bounds into the panel.
double scale_for(const Bounds& b) {
  return std::min(kPanelWidth / b.width(), kPlanMaxHeight / b.height());
}

Scene make_scene(const ScenarioFiles& files) {
  Scene scene;
  scene.cells = files.cells;
  scene.plan = plan_points(files.plan);
  // Coordinates no line reaches would only squash the drawing to a dot.
  constexpr double kFarthest = 1e8;
  std::erase_if(scene.plan, [](const PlanPoint& p) {
    return std::fabs(p.x) > kFarthest || std::fabs(p.y) > kFarthest;
  });
  scene.plan_turned = turn_plan_if_wider(scene.plan);
  scene.line_length_m = scenario_line_length_m(files);
  // Stations fill the table from entry 1; board texts (names only) count
  // down from entry 80.
  for (size_t i = 1; i < files.stations.size() && i < static_cast<size_t>(kFirstBoardSlot); ++i) {
    const Station& s = files.stations[i];
    if (!is_used(s) || is_board_text(s)) continue;
    std::string short_name = s.name.size() <= kShortNameLength
                                 ? s.name
                                 : s.name.substr(0, kShortNameLength - 3) + "...";
    scene.stations.push_back({s.position_m, s.from_m, s.to_m, windows_1252_to_utf8(s.name),
                              windows_1252_to_utf8(short_name), station_stops(s)});
  }
  scene.curves = curve_rows(authored_rows(files));
  std::optional<Slowdown> open_slowdown;
  for (size_t i = 0; i < files.cells.size(); ++i) {
    const Cell& cell = files.cells[i];
    if (cell.kind == empty || cell.kind == montagna_marker) continue;
    const int64_t position = object_position_m(static_cast<int64_t>(i));
    scene.objects.push_back({position, cell.kind});
    if (cell.kind == slowdown_start) {
      open_slowdown = Slowdown{position, position, cell.value1};
    } else if (cell.kind == slowdown_end && open_slowdown) {
      open_slowdown->to_m = position;
      scene.slowdowns.push_back(*open_slowdown);
      open_slowdown.reset();
    }
  }
  return scene;
}

// The plan point at or just before metre `m`; nullopt without points.
std::optional<PlanPoint> plan_point_at(const std::vector<PlanPoint>& plan, int64_t m) {
  if (plan.empty()) return std::nullopt;
  auto after = std::upper_bound(plan.begin(), plan.end(), m,
                                [](int64_t metre, const PlanPoint& p) { return metre < p.metre; });
  return after == plan.begin() ? plan.front() : *(after - 1);
}

// ---- Plan view --------------------------------------------------------------

// Maps plan metres to the page with one scale for both axes.
struct PlanFrame {
  double min_x = 0, min_y = 0, max_x = 1, max_y = 1;  // metres, with margins
  double scale = 1;                                   // page units per metre
  double left = kLeft, top = kPlanTop, width = kPanelWidth, height = kPlanMaxHeight;

  double page_x(double x) const { return left + (x - min_x) * scale; }
  double page_y(double y) const { return top + height - (y - min_y) * scale; }
};

PlanFrame plan_frame(const std::vector<PlanPoint>& plan) {
  const Bounds b = framed_bounds(plan);
  PlanFrame f;
  f.min_x = b.min_x;
  f.min_y = b.min_y;
  f.max_x = b.max_x;
  f.max_y = b.max_y;
  f.scale = scale_for(b);
  // Centre the equal-scale frame in the panel's width; the height shrinks.
  f.width = b.width() * f.scale;
  f.height = b.height() * f.scale;
  f.left = kLeft + (kPanelWidth - f.width) / 2;
  return f;
}

void draw_plan_axes(Svg& svg, const PlanFrame& f, bool turned) {
  svg.rect(f.left, f.top, f.width, f.height, "fill=\"#fbfbfb\" stroke=\"#999\"");
  const double step = nice_step(std::max(f.max_x - f.min_x, f.max_y - f.min_y), 10);
  const std::string grid = "stroke=\"#e4e4e4\" stroke-width=\"1\"";
  for (double x = std::ceil(f.min_x / step) * step; x <= f.max_x; x += step) {
    svg.line(f.page_x(x), f.top, f.page_x(x), f.top + f.height, grid);
    svg.text(f.page_x(x), f.top + f.height + 16, tick_label(x / 1000),
             "text-anchor=\"middle\" fill=\"#444\"");
  }
  for (double y = std::ceil(f.min_y / step) * step; y <= f.max_y; y += step) {
    svg.line(f.left, f.page_y(y), f.left + f.width, f.page_y(y), grid);
    // Turned, the vertical axis is x, which grows downwards.
    const double value = turned ? -y : y;
    svg.text(f.left - 6, f.page_y(y) + 4, tick_label(value / 1000),
             "text-anchor=\"end\" fill=\"#444\"");
  }
  svg.text(f.left + f.width / 2, f.top + f.height + 36,
           turned ? "y (km): along the starting direction, right (the plan is turned)"
                  : "x (km): across the starting direction, right positive",
           "text-anchor=\"middle\" fill=\"#222\"");
  svg.text(f.left, f.top - 6,
           turned ? "x (km, left axis): across the starting direction, down positive"
                  : "y (km, left axis): along the starting direction, up",
           "fill=\"#222\"");
  svg.text(f.left + 8, f.top + 18, "Plan view (equal scale)", "font-weight=\"bold\" fill=\"#222\"");
}

// Spans as a wide band under the track, in their type's colour.
void draw_plan_spans(Svg& svg, const PlanFrame& f, const Scene& scene) {
  const size_t count = std::min(scene.cells.size(), static_cast<size_t>(scene.line_length_m / 50 + 1));
  for (const ProfileRun& run : profile_runs(scene.cells.first(count))) {
    const int type = scene.cells[run.first].montagna_type;
    if (type < 1 || type > 3) continue;
    std::vector<std::pair<double, double>> band;
    const int64_t to = profile_position_m(static_cast<int64_t>(run.last) + 1);
    for (int64_t m = profile_position_m(static_cast<int64_t>(run.first)); m <= to; m += 25) {
      const auto p = plan_point_at(scene.plan, m);
      if (p) band.emplace_back(f.page_x(p->x), f.page_y(p->y));
    }
    if (band.size() == 1) band.push_back(band.front());
    svg.polyline(band, "stroke=\"" + std::string(kMontagnaColours[type]) +
                           "\" stroke-width=\"9\" stroke-linecap=\"butt\"");
  }
}

// Each station's platform, its stopping stretch, as a wide band under the
// track.
void draw_plan_platforms(Svg& svg, const PlanFrame& f, const Scene& scene) {
  for (const StationMark& station : scene.stations) {
    std::vector<std::pair<double, double>> band;
    const int64_t from = std::max<int64_t>(station.platform_from_m, 0);
    for (int64_t m = from; m <= station.platform_to_m; m += 25) {
      const auto p = plan_point_at(scene.plan, m);
      if (p) band.emplace_back(f.page_x(p->x), f.page_y(p->y));
    }
    if (band.size() == 1) band.push_back(band.front());
    svg.polyline(band, "stroke=\"" + std::string(kPlatformColour) +
                           "\" stroke-width=\"7\" stroke-linecap=\"butt\"");
  }
}

// The track up to the line's end, then the run-out the plan carries beyond
// it, dashed.
void draw_plan_track(Svg& svg, const PlanFrame& f, const Scene& scene) {
  std::vector<std::pair<double, double>> line;
  std::vector<std::pair<double, double>> run_out;
  const auto& plan = scene.plan;
  for (size_t i = 0; i < plan.size(); ++i) {
    // Every 25 m is far finer than a page unit at any readable scale.
    if (plan[i].metre % 25 != 0 && i + 1 != plan.size()) continue;
    const std::pair<double, double> point{f.page_x(plan[i].x), f.page_y(plan[i].y)};
    if (plan[i].metre <= scene.line_length_m) line.push_back(point);
    if (plan[i].metre >= scene.line_length_m) run_out.push_back(point);
  }
  svg.dashes(run_out, 6, 4, "stroke=\"#999\" stroke-width=\"1.2\"");
  svg.polyline(line, "stroke=\"" + std::string(kTrackColour) + "\" stroke-width=\"2\"");
  if (!run_out.empty()) {
    const auto [x, y] = run_out.back();
    svg.text(x + 6, y + 4, "run-out beyond the line end", "font-size=\"9\" fill=\"#777\"");
  }
}

struct ObjectStyle {
  char shape;
  const char* colour;
};

std::optional<ObjectStyle> plan_style(uint8_t kind) {
  switch (kind) {
    case signal: return ObjectStyle{'t', kSignalColour};
    case slowdown_warning:
    case slowdown_start:
    case slowdown_end: return ObjectStyle{'s', kSlowdownColour};
    case speed_board: return ObjectStyle{'d', kSpeedBoardColour};
    case indication_board: return ObjectStyle{'s', kIndicationColour};
    default: return std::nullopt;
  }
}

// The unit normal of the track on the page at metre m, pointing to the
// right of the direction of travel.
std::pair<double, double> page_normal(const PlanFrame& f, const Scene& scene, int64_t m) {
  constexpr int64_t kReach = 300;
  const auto a = plan_point_at(scene.plan, m - kReach);
  const auto b = plan_point_at(scene.plan, m + kReach);
  if (!a || !b) return {1, 0};
  const double dx = f.page_x(b->x) - f.page_x(a->x);
  const double dy = f.page_y(b->y) - f.page_y(a->y);
  const double length = std::hypot(dx, dy);
  if (!(length > 0)) return {1, 0};
  return {-dy / length, dx / length};
}

// A station name on the page: where its anchor lies and the box it covers.
struct Label {
  double distance = 0;  // from the station's dot
  double x = 0;
  double baseline = 0;
  const char* anchor = "start";
  double left = 0, top = 0, right = 0, bottom = 0;

  // Closer than a few units counts as touching: two names in one row
  // would read as one.
  bool overlaps(const Label& o) const {
    constexpr double kPadding = 6;
    return left < o.right + kPadding && o.left < right + kPadding && top < o.bottom + kPadding &&
           o.top < bottom + kPadding;
  }
};

constexpr double kLabelFontSize = 11;
// The width of a character of the labels' capitals, in font sizes.
constexpr double kCharacterWidth = 0.7;

// The name placed `distance` page units off the track on one side, at right
// angles to the track; text below the track hangs from that point, text
// above it sits on it.
Label label_beside(double px, double py, std::pair<double, double> normal, double side,
                   double distance, size_t characters) {
  const double nx = side * normal.first;
  const double ny = side * normal.second;
  Label label;
  label.distance = distance;
  label.x = px + nx * distance;
  const double y = py + ny * distance;
  label.anchor = nx > 0.4 ? "start" : nx < -0.4 ? "end" : "middle";
  label.baseline = ny > 0.4 ? y + 9 : ny < -0.4 ? y : y + 4;
  const double width = kCharacterWidth * kLabelFontSize * static_cast<double>(characters);
  label.left = nx > 0.4 ? label.x : nx < -0.4 ? label.x - width : label.x - width / 2;
  label.right = label.left + width;
  label.top = label.baseline - kLabelFontSize;
  label.bottom = label.baseline + 3;
  return label;
}

// What a name must not cover: the track, the station dots and the names
// already placed.
struct Obstacles {
  std::vector<std::pair<double, double>> points;  // track and dots, page units
  std::vector<Label> labels;
  Label frame;  // the plan's panel: a name leaves it only where no place inside is left

  // Names covered weigh more than a stretch of track under a name.
  int cost(const Label& label) const {
    int cost = 0;
    for (const auto& [x, y] : points) {
      if (x > label.left - 2 && x < label.right + 2 && y > label.top - 2 && y < label.bottom + 2) {
        ++cost;
      }
    }
    for (const Label& other : labels) {
      if (label.overlaps(other)) cost += 1000;
    }
    if (label.left < frame.left + 2 || label.right > frame.right - 2 || label.top < frame.top + 2 ||
        label.bottom > frame.bottom - 2) {
      cost += 100000;
    }
    return cost;
  }
};

// Tries both sides of the track at growing distances, the preferred side
// first, and takes the place that covers least.
Label place_label(double px, double py, std::pair<double, double> normal, double preferred_side,
                  size_t characters, const Obstacles& obstacles) {
  std::optional<Label> best;
  int best_cost = 0;
  for (double distance : {9.0, 18.0, 30.0, 44.0, 60.0}) {
    for (double side : {preferred_side, -preferred_side}) {
      const Label label = label_beside(px, py, normal, side, distance, characters);
      const int cost = obstacles.cost(label) + static_cast<int>(distance);
      if (!best || cost < best_cost) {
        best = label;
        best_cost = cost;
      }
    }
  }
  return *best;
}

// A kilometre mark on the track: its dot and the box of its label.
struct ChainageMark {
  double x = 0;
  double y = 0;
  std::string text;
  Label box;
};

// Small chainage marks along the track, so positions can be read off; the
// station names keep off their labels.
std::vector<ChainageMark> plan_chainage(const PlanFrame& f, const Scene& scene) {
  std::vector<ChainageMark> marks;
  const double step = nice_step(static_cast<double>(scene.line_length_m), 10);
  const double plan_end = scene.plan.empty() ? 0 : static_cast<double>(scene.plan.back().metre);
  // Past the plan's end every mark would stand on its last point.
  for (double m = step; m < scene.line_length_m && m <= plan_end; m += step) {
    const auto p = plan_point_at(scene.plan, static_cast<int64_t>(m));
    ChainageMark mark;
    mark.x = f.page_x(p->x);
    mark.y = f.page_y(p->y);
    mark.text = "km " + tick_label(m / 1000);
    mark.box.left = mark.x + 4;
    mark.box.right = mark.x + 6 + 6 * static_cast<double>(mark.text.size());
    mark.box.top = mark.y + 4;
    mark.box.bottom = mark.y + 17;
    marks.push_back(mark);
  }
  return marks;
}

// Drawn over the track and its objects: a dot ringed in white, tied to its
// label by a short tick.
void draw_plan_chainage(Svg& svg, const std::vector<ChainageMark>& marks) {
  for (const ChainageMark& mark : marks) {
    svg.add("<line x1=\"" + num(mark.x) + "\" y1=\"" + num(mark.y) + "\" x2=\"" + num(mark.x + 4) +
            "\" y2=\"" + num(mark.y + 6) + "\" stroke=\"#555\" stroke-width=\"1\"/>");
    svg.circle(mark.x, mark.y, 3, "fill=\"#555\" stroke=\"white\" stroke-width=\"1\"");
    svg.text(mark.x + 5, mark.y + 14, mark.text, "font-size=\"9\" fill=\"#444\"");
  }
}

void draw_station_labels(Svg& svg, const PlanFrame& f, const Scene& scene,
                         const std::vector<Label>& kept_clear) {
  Obstacles obstacles;
  obstacles.labels = kept_clear;
  obstacles.frame.left = f.left;
  obstacles.frame.right = f.left + f.width;
  obstacles.frame.top = f.top;
  obstacles.frame.bottom = f.top + f.height;
  for (const PlanPoint& p : scene.plan) {
    if (p.metre % 20 == 0) obstacles.points.emplace_back(f.page_x(p.x), f.page_y(p.y));
  }
  for (size_t i = 0; i < scene.stations.size(); ++i) {
    const StationMark& station = scene.stations[i];
    const auto p = plan_point_at(scene.plan, station.position_m);
    if (!p) continue;
    // Sides alternate, so that neighbours start apart.
    const Label label = place_label(f.page_x(p->x), f.page_y(p->y),
                                    page_normal(f, scene, station.position_m),
                                    i % 2 == 0 ? 1.0 : -1.0, station.name.size(), obstacles);
    obstacles.labels.push_back(label);
    // A name set away from its dot is tied to it by a thin line.
    if (label.distance > 10) {
      const auto normal = page_normal(f, scene, station.position_m);
      const double side = (label.x - f.page_x(p->x)) * normal.first +
                                  (label.baseline - f.page_y(p->y)) * normal.second >
                              0
                          ? 1.0
                          : -1.0;
      const double reach = label.distance - 3;
      svg.line(f.page_x(p->x) + side * normal.first * 5, f.page_y(p->y) + side * normal.second * 5,
               f.page_x(p->x) + side * normal.first * reach,
               f.page_y(p->y) + side * normal.second * reach, "stroke=\"#888\" stroke-width=\"0.7\"");
    }
    svg.boxed_text(label.left, label.baseline, label.right - label.left, kLabelFontSize,
                   station.name, "fill=\"black\"");
  }
}

void draw_plan_objects(Svg& svg, const PlanFrame& f, const Scene& scene,
                       const std::vector<Label>& chainage) {
  for (const PointObject& object : scene.objects) {
    const auto style = plan_style(object.kind);
    const auto p = plan_point_at(scene.plan, object.position_m);
    if (!style || !p) continue;
    marker(svg, f.page_x(p->x), f.page_y(p->y), style->shape, style->colour, 3.5);
  }
  for (size_t i = 0; i < scene.stations.size(); ++i) {
    const StationMark& station = scene.stations[i];
    const auto p = plan_point_at(scene.plan, station.position_m);
    if (!p) continue;
    const double x = f.page_x(p->x);
    const double y = f.page_y(p->y);
    svg.circle(x, y, 4.5,
               station.stops ? "fill=\"black\" stroke=\"white\""
                             : "fill=\"white\" stroke=\"black\" stroke-width=\"1.5\"");
  }
  draw_station_labels(svg, f, scene, chainage);
}

double draw_plan(Svg& svg, const Scene& scene) {
  const PlanFrame f = plan_frame(scene.plan);
  draw_plan_axes(svg, f, scene.plan_turned);
  if (scene.plan.empty()) {
    svg.text(f.left + f.width / 2, f.top + f.height / 2, "the plan file has no set points",
             "text-anchor=\"middle\" fill=\"#a00\"");
  }
  draw_plan_spans(svg, f, scene);
  draw_plan_platforms(svg, f, scene);
  draw_plan_track(svg, f, scene);
  const std::vector<ChainageMark> chainage = plan_chainage(f, scene);
  std::vector<Label> kept_clear;
  for (const ChainageMark& mark : chainage) kept_clear.push_back(mark.box);
  draw_plan_objects(svg, f, scene, kept_clear);
  draw_plan_chainage(svg, chainage);
  return f.top + f.height;
}

// ---- Profile ----------------------------------------------------------------

struct ProfileFrame {
  double top = 0;
  double length_m = 1;
  double gradient_limit = 5;  // the left axis runs from -limit to +limit
  double speed_limit = 20;    // the right axis runs from 0 to limit

  double page_x(double m) const { return kLeft + std::clamp(m / length_m, 0.0, 1.0) * kPanelWidth; }
  double gradient_y(double g) const {
    return top + kProfileHeight * (0.5 - std::clamp(g / gradient_limit, -1.0, 1.0) / 2);
  }
  double speed_y(double v) const {
    return top + kProfileHeight * (1 - std::clamp(v / speed_limit, 0.0, 1.0));
  }
};

// The cells whose profile applies inside the line.
size_t profile_cell_count(const Scene& scene) {
  const auto inside = static_cast<size_t>(scene.line_length_m / 50 + 1);
  return std::min(scene.cells.size(), inside);
}

ProfileFrame profile_frame(const Scene& scene, double top) {
  ProfileFrame f;
  f.top = top;
  f.length_m = static_cast<double>(scene.line_length_m);
  int max_gradient = 0;
  int max_speed = 0;
  for (size_t i = 0; i < profile_cell_count(scene); ++i) {
    const Cell& cell = scene.cells[i];
    max_gradient = std::max(max_gradient, std::abs(gradient_per_mille(cell)));
    max_speed = std::max({max_speed, line_speed_kmh(cell), int{cell.adhesion}});
  }
  f.gradient_limit = std::max(5.0, std::ceil(max_gradient / 5.0) * 5);
  f.speed_limit = std::max(20.0, std::ceil(max_speed / 20.0) * 20);
  return f;
}

void draw_profile_background(Svg& svg, const ProfileFrame& f) {
  svg.rect(kLeft, f.top, kPanelWidth, kProfileHeight, "fill=\"#fbfbfb\"");
}

void draw_profile_axes(Svg& svg, const ProfileFrame& f) {
  svg.rect(kLeft, f.top, kPanelWidth, kProfileHeight, "fill=\"none\" stroke=\"#999\"");
  const std::string grid = "stroke=\"#e4e4e4\" stroke-width=\"1\"";
  const double step_m = nice_step(f.length_m, 20);
  for (double m = 0; m <= f.length_m + 1e-6; m += step_m) {
    svg.line(f.page_x(m), f.top, f.page_x(m), f.top + kProfileHeight, grid);
    svg.text(f.page_x(m), f.top + kProfileHeight + 16, tick_label(m / 1000),
             "text-anchor=\"middle\" fill=\"#444\"");
  }
  svg.text(kLeft + kPanelWidth / 2, f.top + kProfileHeight + 36, "position along the line (km)",
           "text-anchor=\"middle\" fill=\"#222\"");
  const double g_step = nice_step(2 * f.gradient_limit, 8);
  for (double g = -f.gradient_limit; g <= f.gradient_limit + 1e-9; g += g_step) {
    svg.line(kLeft - 4, f.gradient_y(g), kLeft, f.gradient_y(g), "stroke=\"#444\"");
    svg.text(kLeft - 7, f.gradient_y(g) + 4, tick_label(g),
             "text-anchor=\"end\" fill=\"" + std::string(kGradientColour) + "\"");
  }
  const double zero_y = pixel_middle(f.gradient_y(0));
  svg.dashes({{kLeft, zero_y}, {kLeft + kPanelWidth, zero_y}}, 4, 3, "stroke=\"#aaa\"");
  const double v_step = nice_step(f.speed_limit, 8);
  for (double v = 0; v <= f.speed_limit + 1e-9; v += v_step) {
    const double x = kLeft + kPanelWidth;
    svg.line(x, f.speed_y(v), x + 4, f.speed_y(v), "stroke=\"#444\"");
    svg.text(x + 7, f.speed_y(v) + 4, tick_label(v),
             "fill=\"" + std::string(kSpeedColour) + "\"");
  }
  const double below = f.top + kProfileHeight + 36;
  svg.text(kLeft - 8, below, "gradient (\u2030)",
           "text-anchor=\"end\" fill=\"" + std::string(kGradientColour) + "\"");
  svg.text(kWidth - 4, below, "line speed (km/h), adhesion",
           "text-anchor=\"end\" fill=\"" + std::string(kSpeedColour) + "\"");
  svg.text(kLeft + 8, f.top + 18, "Profile along the line", "font-weight=\"bold\" fill=\"#222\"");
}

void draw_montagna(Svg& svg, const ProfileFrame& f, const Scene& scene) {
  const size_t count = profile_cell_count(scene);
  for (const ProfileRun& run : profile_runs(scene.cells.first(count))) {
    const int type = scene.cells[run.first].montagna_type;
    if (type < 1 || type > 3) continue;
    const double x1 = f.page_x(static_cast<double>(profile_position_m(run.first)));
    const double x2 = f.page_x(static_cast<double>(profile_position_m(run.last + 1)));
    svg.rect(x1, f.top, x2 - x1, kProfileHeight,
             "fill=\"" + std::string(kMontagnaColours[type]) + "\"");
  }
}

// Platforms along the panel's top edge.
void draw_profile_platforms(Svg& svg, const ProfileFrame& f, const Scene& scene) {
  for (const StationMark& station : scene.stations) {
    const double x1 = f.page_x(static_cast<double>(station.platform_from_m));
    const double x2 = f.page_x(static_cast<double>(station.platform_to_m));
    svg.rect(x1, f.top + 1, std::max(x2 - x1, 2.0), 5, "fill=\"" + std::string(kPlatformColour) + "\"");
  }
}

// The curvature along a strip above the signals, as a step line: left
// curves (curvas) above its axis, right ones (curvad) below, farther for a
// smaller radius. A level stroke is drawn alike by the common renderers.
constexpr double kCurveStripFromFoot = 56;
constexpr double kCurveStepPerClass = 3;

void draw_profile_curves(Svg& svg, const ProfileFrame& f, const Scene& scene) {
  const double axis = f.top + kProfileHeight - kCurveStripFromFoot;
  std::vector<std::pair<double, double>> points{{f.page_x(0), axis}};
  auto to = [&points](double x, double y) {
    if (points.back().second == y) {
      points.back().first = std::max(points.back().first, x);
      if (points.size() >= 2 && points[points.size() - 2].second == y) points.pop_back();
      points.emplace_back(x, y);
      return;
    }
    points.emplace_back(points.back().first, y);
    points.emplace_back(std::max(points.back().first, x), y);
  };
  for (const CurveRow& curve : scene.curves) {
    if (curve.from_m >= scene.line_length_m) continue;
    const double offset = kCurveStepPerClass * curve.curve_class;
    const double y = curve.side == 's' ? axis - offset : axis + offset;
    to(f.page_x(static_cast<double>(curve.from_m)), axis);
    to(f.page_x(static_cast<double>(curve.from_m)), y);
    to(f.page_x(static_cast<double>(curve.to_m)), y);
    to(f.page_x(static_cast<double>(curve.to_m)), axis);
  }
  to(f.page_x(f.length_m), axis);
  svg.level_stroke(points, "stroke=\"" + std::string(kCurveColour) + "\"");
}

void draw_slowdowns(Svg& svg, const ProfileFrame& f, const Scene& scene) {
  for (const Slowdown& s : scene.slowdowns) {
    const double x1 = f.page_x(static_cast<double>(s.from_m));
    const double x2 = f.page_x(static_cast<double>(s.to_m));
    svg.rect(x1, f.top, std::max(x2 - x1, 2.0), kProfileHeight, kSlowdownBand);
  }
}

// Drawn over the profile's lines, which would cross them, each in the
// first row where it touches no label before it.
void draw_slowdown_labels(Svg& svg, const ProfileFrame& f, const Scene& scene) {
  constexpr double kFontSize = 11;
  std::vector<double> row_end;
  for (const Slowdown& s : scene.slowdowns) {
    const std::string text = "slowdown " + std::to_string(s.speed_kmh) + " km/h";
    const double width = 0.65 * kFontSize * static_cast<double>(text.size());
    // After the band, or before it where the panel ends.
    const double left =
        std::min(f.page_x(static_cast<double>(s.to_m)) + 4, kLeft + kPanelWidth - width - 4);
    size_t row = 0;
    while (row < row_end.size() && row_end[row] + 8 > left) ++row;
    if (row == row_end.size()) row_end.push_back(0);
    row_end[row] = left + width;
    svg.boxed_text(left, f.top + 36 + 18 * static_cast<double>(row % 8), width, kFontSize, text,
                   "font-weight=\"bold\" fill=\"#b71c1c\"");
  }
}

// A step line of one profile value per cell.
template <class ValueOf, class YOf>
std::vector<std::pair<double, double>> step_line(const ProfileFrame& f, std::span<const Cell> cells,
                                                 ValueOf value_of, YOf y_of) {
  std::vector<std::pair<double, double>> points;
  for (size_t i = 0; i < cells.size(); ++i) {
    const double y = y_of(value_of(cells[i]));
    if (i > 0 && value_of(cells[i]) == value_of(cells[i - 1]) && i + 1 != cells.size()) continue;
    const double x = f.page_x(static_cast<double>(profile_position_m(static_cast<int64_t>(i))));
    if (!points.empty()) points.emplace_back(x, points.back().second);
    points.emplace_back(x, y);
  }
  if (!points.empty()) points.emplace_back(f.page_x(f.length_m), points.back().second);
  return points;
}

void draw_profile_lines(Svg& svg, const ProfileFrame& f, const Scene& scene) {
  const auto cells = scene.cells.first(profile_cell_count(scene));
  auto gradient_y = [&](double g) { return f.gradient_y(g); };
  auto speed_y = [&](double v) { return f.speed_y(v); };
  svg.level_stroke(step_line(f, cells, [](const Cell& c) { return c.adhesion; }, speed_y),
                   "stroke=\"" + std::string(kAdhesionColour) + "\"", 5, 3);
  svg.level_stroke(step_line(f, cells, line_speed_kmh, speed_y),
                   "stroke=\"" + std::string(kSpeedColour) + "\"");
  svg.level_stroke(step_line(f, cells, gradient_per_mille, gradient_y),
                   "stroke=\"" + std::string(kGradientColour) + "\"");
}

// Where the names above the profile go: each station's name centred on
// its line in the first row where it touches no name before it.
struct NameRows {
  std::vector<int> row_of;  // by station
  std::vector<double> left_of;
  int count = 0;
};

double name_width(const StationMark& station) {
  return kCharacterWidth * kNameFontSize * static_cast<double>(station.short_name.size());
}

NameRows profile_name_rows(const Scene& scene) {
  ProfileFrame f;
  f.length_m = static_cast<double>(scene.line_length_m);
  NameRows rows;
  std::vector<double> row_end;
  for (const StationMark& station : scene.stations) {
    const double width = name_width(station);
    const double left = std::clamp(f.page_x(static_cast<double>(station.position_m)) - width / 2,
                                   4.0, kWidth - 4 - width);
    size_t row = 0;
    while (row < row_end.size() && row_end[row] + 8 > left) ++row;
    if (row == row_end.size()) row_end.push_back(0);
    row_end[row] = left + width;
    rows.row_of.push_back(static_cast<int>(row));
    rows.left_of.push_back(left);
  }
  rows.count = static_cast<int>(row_end.size());
  return rows;
}

void draw_profile_stations(Svg& svg, const ProfileFrame& f, const Scene& scene) {
  const NameRows rows = profile_name_rows(scene);
  for (size_t i = 0; i < scene.stations.size(); ++i) {
    const StationMark& station = scene.stations[i];
    const double x = f.page_x(static_cast<double>(station.position_m));
    // Solid where the train stops, dashed where it passes.
    svg.upright_line(x, f.top, f.top + kProfileHeight, "stroke=\"#333\"", station.stops ? 0 : 2, 3);
    // Names above the panel, the nearest row first, tied to their line.
    const double baseline = f.top - 8 - kNameRowHeight * rows.row_of[i];
    svg.line(x, baseline + 3, x, f.top, "stroke=\"#888\" stroke-width=\"0.6\"");
    svg.boxed_text(rows.left_of[i], baseline, name_width(station), kNameFontSize,
                   station.short_name, "fill=\"black\"");
  }
}

void draw_profile_objects(Svg& svg, const ProfileFrame& f, const Scene& scene) {
  // Signals and boards as marks along the foot of the panel.
  const double y = f.top + kProfileHeight - 22;
  for (const PointObject& object : scene.objects) {
    const auto style = plan_style(object.kind);
    if (!style || object.position_m > scene.line_length_m) continue;
    const double row = object.kind == signal ? 0 : -10;
    marker(svg, f.page_x(static_cast<double>(object.position_m)), y + row, style->shape,
           style->colour, 3);
  }
}

double draw_profile(Svg& svg, const Scene& scene, double top) {
  const ProfileFrame f = profile_frame(scene, top);
  draw_profile_background(svg, f);
  draw_montagna(svg, f, scene);
  draw_slowdowns(svg, f, scene);
  draw_profile_axes(svg, f);
  draw_profile_curves(svg, f, scene);
  draw_profile_platforms(svg, f, scene);
  draw_profile_lines(svg, f, scene);
  draw_profile_stations(svg, f, scene);
  draw_profile_objects(svg, f, scene);
  draw_slowdown_labels(svg, f, scene);
  return top + kProfileHeight;
}

// ---- Legend -----------------------------------------------------------------

// What each mark of the picture is, in the descriptions' words: the kind
// and the key of the row that puts it there.
void draw_legend(Svg& svg, double top) {
  double x = kLeft;
  double y = top + 20;
  auto item = [&](const std::string& label, auto draw) {
    draw(x + 8, y - 4);
    svg.text(x + 20, y, label, "font-size=\"11\" fill=\"#222\"");
    x += 30 + 6.4 * static_cast<double>(label.size());
  };
  auto next_row = [&] {
    x = kLeft;
    y += 24;
  };
  item("stop (stazione)", [&](double cx, double cy) { svg.circle(cx, cy, 4.5, "fill=\"black\""); });
  item("passed", [&](double cx, double cy) {
    svg.circle(cx, cy, 4.5, "fill=\"white\" stroke=\"black\" stroke-width=\"1.5\"");
  });
  item("platform", [&](double cx, double cy) {
    svg.rect(cx - 8, cy - 3, 16, 5, "fill=\"" + std::string(kPlatformColour) + "\"");
  });
  item("signal (segnale)", [&](double cx, double cy) { marker(svg, cx, cy, 't', kSignalColour); });
  item("speed board (indicatori_vmax)", [&](double cx, double cy) { marker(svg, cx, cy, 'd', kSpeedBoardColour); });
  next_row();
  item("slowdown boards: warning, start, end",
       [&](double cx, double cy) { marker(svg, cx, cy, 's', kSlowdownColour); });
  item("indication board (cartello_indicatore)",
       [&](double cx, double cy) { marker(svg, cx, cy, 's', kIndicationColour); });
  item("slowdown", [&](double cx, double cy) { svg.rect(cx - 8, cy - 6, 16, 12, kSlowdownBand); });
  next_row();
  auto stroke = [&](const char* colour, double dash) {
    return [&svg, colour, dash](double cx, double cy) {
      svg.level_stroke({{cx - 8, cy}, {cx + 8, cy}}, std::string("stroke=\"") + colour + "\"", dash,
                       3);
    };
  };
  item("gradient (pendenza, left)", stroke(kGradientColour, 0));
  item("line speed (velocita, right)", stroke(kSpeedColour, 0));
  item("adhesion (aderenza, right)", stroke(kAdhesionColour, 5));
  next_row();
  item("curve: curvas (left) up, curvad down",
       [&](double cx, double cy) {
         svg.level_stroke({{cx - 8, cy}, {cx - 4, cy}, {cx - 4, cy - 5}, {cx + 1, cy - 5}, {cx + 1, cy},
                           {cx + 8, cy}},
                          "stroke=\"" + std::string(kCurveColour) + "\"");
       });
  // What the files keep of a span is its type: the description's tipo (less
  // 10 when it asks for markers), or 3 for a span that begins within 150 m
  // of the previous one's end. The built-in line marks its tunnels so.
  const char* const span_meanings[] = {
      "", "montagna type 1 (tipo 1, 11): tunnel, long ones",
      "montagna type 2 (tipo 2, 12): tunnel, short ones",
      "montagna type 3: joined to the span before, or tipo 3"};
  for (int type = 1; type <= 3; ++type) {
    if (type != 2) next_row();
    item(span_meanings[type], [&, type](double cx, double cy) {
      svg.rect(cx - 8, cy - 6, 16, 12, "fill=\"" + std::string(kMontagnaColours[type]) + "\"");
    });
  }
}

}  // namespace

bool turn_plan_if_wider(std::vector<PlanPoint>& plan) {
  const Bounds b = framed_bounds(plan);
  const Bounds turned{b.min_y, b.min_x, b.max_y, b.max_x};
  if (scale_for(turned) <= 1.25 * scale_for(b)) return false;
  for (PlanPoint& p : plan) p = {p.metre, p.y, -p.x};
  return true;
}

std::string scenario_title(const ScenarioFiles& files) {
  auto name_in = [&](int entry, const std::string& fallback) {
    const bool stored = files.stations.size() > static_cast<size_t>(entry) &&
                        !files.stations[static_cast<size_t>(entry)].name.empty();
    return windows_1252_to_utf8(stored ? files.stations[static_cast<size_t>(entry)].name
                                       : fallback);
  };
  return "Route " + name_in(kRouteEntry, files.route_name) + ", train " +
         name_in(kTrainEntry, files.train_number);
}

int64_t scenario_line_length_m(const ScenarioFiles& files) {
  const bool has_header = files.stations.size() > static_cast<size_t>(kTrainDataEntry);
  const int64_t stored = has_header ? files.stations[kTrainDataEntry].to_m : 0;
  if (stored > 0) return stored;
  return std::max<int64_t>(50, static_cast<int64_t>(files.cells.size()) * 50);
}

std::vector<std::string> files_of_other_builds(const ScenarioFiles& files) {
  std::vector<std::string> mismatches;
  if (files.stations.size() <= kTrainDataEntry) return mismatches;
  // A build makes the cells and the plan from the line's length, 7000 m
  // beyond it: 50 m a cell, one point a metre.
  const int64_t extent = int64_t{files.stations[kTrainDataEntry].to_m} + 7000;
  const int64_t cells = static_cast<int64_t>(round_half_even(static_cast<double>(extent) / 50)) + 1;
  if (static_cast<int64_t>(files.cells.size()) != cells) {
    mismatches.push_back("the cell file has " + std::to_string(files.cells.size()) +
                         " cells; the line length gives " + std::to_string(cells));
  }
  if (static_cast<int64_t>(files.plan.x.size()) != extent + 1) {
    mismatches.push_back("the plan holds " + std::to_string(files.plan.x.size()) +
                         " points; the line length gives " + std::to_string(extent + 1));
  }
  return mismatches;
}

std::vector<std::string> scenario_warnings(const ScenarioFiles& files) {
  std::vector<std::string> warnings;
  for (const std::string& mismatch : files_of_other_builds(files)) {
    warnings.push_back("the files are not of one build: " + mismatch);
  }
  const Scene scene = make_scene(files);
  if (scene.stations.empty()) warnings.push_back("the station table holds no station");
  const int64_t plan_end = scene.plan.empty() ? 0 : scene.plan.back().metre;
  if (plan_end < scene.line_length_m) {
    warnings.push_back("the plan covers " + std::to_string(plan_end) + " m of the " +
                       std::to_string(scene.line_length_m) + " m line");
  }
  return warnings;
}

std::string scenario_svg(const ScenarioFiles& files) {
  const Scene scene = make_scene(files);
  Svg svg;
  svg.text(kLeft, 36, scenario_title(files), "font-size=\"22\" font-weight=\"bold\" fill=\"#111\"");
  svg.text(kLeft, 60,
           "line length " + tick_label(static_cast<double>(scene.line_length_m) / 1000) + " km, " +
               std::to_string(scene.stations.size()) + " stations; built by scenario_builder, drawn by scenario_inspect",
           "font-size=\"13\" fill=\"#555\"");
  std::string warnings;
  for (const std::string& warning : scenario_warnings(files)) {
    warnings += (warnings.empty() ? "Warning: " : "; ") + warning;
  }
  if (!warnings.empty()) svg.text(kLeft, 78, warnings, "font-size=\"13\" font-weight=\"bold\" fill=\"#b00020\"");
  const double plan_bottom = draw_plan(svg, scene);
  const double gap = kGapBase + kNameRowHeight * profile_name_rows(scene).count;
  const double profile_bottom = draw_profile(svg, scene, plan_bottom + gap);
  draw_legend(svg, profile_bottom + 50);
  return svg.document(profile_bottom + 50 + kLegendHeight);
}

}  // namespace sb::inspect
