#include "tools/language_server/record_meanings.h"

#include <array>

#include "base/windows_1252.h"

namespace sb::lsp {

namespace {

const std::vector<RecordMeaning> kRecords = {
    {Description::line,
     "[generale]",
     R"(`lunghezza percorso`)",
     {"lunghezza percorso"},
     {{"length", R"(the line length in metres, 1 to 1000000)", 0, {4, 0}}},
     {{R"(length)",
       R"(station entry 84; at most 1000000 (error 1); sets the cells and the track plan (length + 7000 m))"}}},
    {Description::line,
     "[generale]",
     R"(`progressiva chilometrica uno`/`due`/`tre`)",
     {"progressiva chilometrica uno", "progressiva chilometrica due",
      "progressiva chilometrica tre"},
     {{"first", R"(the chainage system's first value (a multiple of 50))", 0, {4, 0}},
      {"second", R"(its second value (a multiple of 50))", 0, {4, 0}},
      {"third", R"(its third value (1 adds 100 to the second))", 0, {4, 0}}},
     {{R"(first, second, third)",
       R"(station entries 81 to 83, ordered by the first values (largest in 81); a third value of 1 adds 100 to the second; first and second must be multiples of 50 (error 2))"}}},
    {Description::line,
     "[generale]",
     R"(`sfondo uno`/`due`/`tre`)",
     {"sfondo uno", "sfondo due", "sfondo tre"},
     {{"selector", R"(a background selector)", 0, {4, 0}}},
     {{R"(selector)",
       R"(station entry 85 `from_m`, `position_m`, `to_m`: passed to the simulator unchanged)"}}},
    {Description::line,
     "[generale]",
     R"(`ripetizione segnali 4 codici` (or 9))",
     {"ripetizione segnali 4 codici", "ripetizione segnali 9 codici"},
     {{"start",
       R"(where signal repetition starts, metres from the line's origin (a multiple of 50))",
       0,
       {4, 0}},
      {"end", R"(where it ends (a multiple of 50; 0: none))", 0, {4, 0}}},
     {{R"(start, end)",
       R"(station entry 86 with the number of codes (0 when the end is 0); multiples of 50 (errors 3, 4); a key without 4 or 9 is error 5)"}}},
    {Description::line,
     "[curve]",
     R"(`curvas`/`curvad` + class)",
     {"curvas1", "curvas2", "curvas3", "curvas4", "curvas5", "curvas6", "curvad1", "curvad2",
      "curvad3", "curvad4", "curvad5", "curvad6"},
     {{"start", R"(where the curve starts, metres from the line's origin)", 0, {2, 0}},
      {"length", R"(the curve's length in metres)", 0, {2, 0}}},
     {{R"(start, length)",
       R"(the track plan only: straight up to start, then a curve of the class's curvature (1: 0.0001 to 6: 0.003 per metre), left for `s`; a key without a class digit is error 103)"}}},
    {Description::line,
     "[pendenze]",
     R"(`pendenza`)",
     {"pendenza"},
     {{"position",
       R"(where the gradient ends, metres from the line's origin (rising from row to row))",
       0,
       {2, 0}},
      {"gradient",
       R"(the gradient in per mille, -60 to 60 on real lines (-100 to 155 fits the cell))",
       0,
       {3, 0}}},
     {{R"(position, gradient)",
       R"(the cells from the previous row's cell up to position / 50 keep the previous gradient + 100 (one byte); -100 to 155 (error 29))"}}},
    {Description::line,
     "[montagne]",
     R"(`montagna`)",
     {"montagna"},
     {{"start", R"(where the span starts, metres from the line's origin)", 0, {3, 0}},
      {"end", R"(where it ends, metres from the line's origin)", 0, {2, 0}},
      {"type", R"(the span's type (above 10: with markers))", 0, {2, 0}}},
     {{R"(start, end, type)",
       R"(the cells from start / 50 to end / 50 - 1 get the type (its low byte); a type above 10 is type - 10 with a `montagna_marker` on every fourth empty cell; a span starting at most 150 m after the previous one's end becomes type 3; at most 80 spans (error 27))"}}},
    {Description::line,
     "[cartelli]",
     R"(`indicatori_vmax`)",
     {"indicatori_vmax"},
     {{"position", R"(metres from the line's origin)", 0, {2, 0}},
      {"vas", R"(side s speed a, km/h)", 0, {2, 0}},
      {"vbs", R"(side s speed b, km/h)", 0, {2, 0}},
      {"vcs", R"(side s speed c, km/h)", 0, {2, 0}},
      {"stripes s", R"(side s stripes)", 0, {2, 0}},
      {"vad", R"(side d speed a, km/h (empty: 0))", 0, {2, 0}},
      {"vbd", R"(side d speed b, km/h (empty: 0))", 0, {2, 0}},
      {"vcd", R"(side d speed c, km/h (empty: 0))", 0, {2, 0}},
      {"stripes d", R"(side d stripes)", 0, {2, 0}}},
     {{R"(position, vas vbs vcs, stripes s, vad vbd vcd, stripes d)",
       R"(one `speed_board` cell: value1..3 = side s speed × 20 + side d speed / 5 (rounded), value4 = stripes s × 10 + stripes d; empty side-d values read 0; a taken cell is error 21)"}}},
    {Description::line,
     "[indicazioni]",
     R"(`cartello_indicatore`)",
     {"cartello_indicatore"},
     {{"position", R"(metres from the line's origin)", 0, {2, 0}},
      {"text", R"(the board's text, as written to the line end or the next comma (Windows-1252))",
       0, kText}},
     {{R"(position, text)",
       R"(an `indication_board` cell pointing to station entry 80, 79, ... which keeps the text as written; a taken cell is error 6)"}}},
    {Description::train,
     "[generale]",
     R"(`numero vetture`)",
     {"numero vetture"},
     {{"cars", R"(the number of cars, 1 to 30 on real trains)", 0, {4, 0}}},
     {{R"(cars)", R"(station entry 84 `position_m`)"}}},
    {Description::train,
     "[generale]",
     R"(`percentuale massa frenata`)",
     {"percentuale massa frenata"},
     {{"percent", R"(the braked mass in per cent, 30 to 250 on real trains)", 0, {4, 0}}},
     {{R"(percent)", R"(station entry 84 `from_m`)"}}},
    {Description::train,
     "[generale]",
     R"(`sabbia`)",
     {"sabbia"},
     {{"sand", R"(the sand supply)", 0, {4, 0}}},
     {{R"(sand)", R"(station entry 86 `int1` (16 bits): passed to the simulator unchanged)"}}},
    {Description::train,
     "[generale]",
     R"(`orologio`)",
     {"orologio"},
     {{"hours minutes seconds",
       R"(the clock at the start, three numbers separated by blanks (0 to 23, 0 to 59, 0 to 59))",
       0,
       {4, 0}}},
     {{R"(hours minutes seconds)", R"(station entry 86 `int3`, `int4`, `int5` (16 bits each))"}}},
    {Description::train,
     "[vel_limite]",
     R"(`velocita`)",
     {"velocita"},
     {{"position", R"(where the speed starts, metres from the line's origin)", 0, {-1, 8, 3}},
      {"speed",
       R"(the line speed in km/h from here on, 5 to 300 and a multiple of 5)",
       0,
       {-1, 6}}},
     {{R"(position, speed)",
       R"(`line_speed` of the cells from position / 50 on: the speed / 5, rounded, in one byte (a speed above 1277 or below -2 fails, error 25))"}}},
    {Description::train,
     "[aderenze]",
     R"(`aderenza`)",
     {"aderenza"},
     {{"position", R"(where the adhesion starts, metres from the line's origin)", 0, {-1, 8, 3}},
      {"value", R"(the adhesion in per cent from here on, 1 to 100)", 0, {-1, 6}}},
     {{R"(position, value)",
       R"(`adhesion` of the cells from position / 50 on: the low 8 bits of the value)"}}},
    {Description::train,
     "[stazioni]",
     R"(`stazione`)",
     {"stazione"},
     {{"position",
       R"(the platform's stopping point, metres from the line's origin (a multiple of 50))",
       0,
       {-1, 8}},
      {"kind", R"(the station's kind (below 25: a stop))", 1, {-1, 3}},
      {"platform length", R"(in metres, a multiple of 100, 100 to 1000 on real lines)", 2, {-1, 5}},
      {"flag1", R"(a flag)", 3, {-1, 3}},
      {"byte4", R"(a flag)", 4, {-1, 2}},
      {"end extension", R"(not 0: the platform end moves 50 m on)", 5, {-1, 2}},
      {"int1", R"(a number for the simulator)", 6, {-1, 3}},
      {"int2", R"(a number for the simulator)", 6, {-1, 0}},
      {"byte1", R"(a number for the simulator)", 7, {-1, 0}},
      {"int3", R"(a number for the simulator)", 8, {-1, 3}},
      {"int4", R"(a number for the simulator)", 8, {-1, 0}},
      {"int5", R"(a number for the simulator)", 8, {-1, 0}},
      {"byte2", R"(a number for the simulator)", 9, {-1, 5}},
      {"hours", R"(the timetable's hour, 0 to 23)", 10, {-1, 4}},
      {"minutes", R"(the timetable's minutes, 0 to 59)", 10, {-1, 2}},
      {"seconds", R"(the timetable's seconds, 0 to 59)", 10, {-1, 2}},
      {"name", R"(the station's name, as written to the line end or the next comma (Windows-1252))",
       11, kText}},
     {{R"(1 position)", R"(the entry's `position_m`; a multiple of 50 (error 8))"},
      {R"(2 kind)",
       R"(`kind` (8 bits). Kinds 5, 6: platform from position - length to position + 150, no approach codes; 7, 8: position ± length; others: position ± length / 2. Below 25: a `stop_marker` (value1 = the entry's number) in cell `to_m` / 50 - 1 (error 24 at cell 1 or below) and, except 5 and 6, approach codes 81 to 84 in the four cells before it; 25 and above: neither)"},
      {R"(3 platform length)",
       R"(gives `from_m` and `to_m` (above); a multiple of 100 (error 9); not stored. Platforms closer than 350 m to the previous one are error 22)"},
      {R"(4 flag)", R"(`flag1`: passed to the simulator unchanged)"},
      {R"(5 flag)",
       R"(`byte4`: kept for a platform of 600 m or more, else 0; 0 for the first station)"},
      {R"(6 end extension)",
       R"(`byte3`: not 0 moves the platform end 50 m on (kinds other than 5 to 8); 0 for kinds 5 to 8 and for the first station)"},
      {R"(7, 8)", R"(`int1`, `int2` (16 bits): passed to the simulator unchanged)"},
      {R"(9)", R"(`byte1` (8 bits): passed to the simulator unchanged)"},
      {R"(10, 11, 12)", R"(`int3`, `int4`, `int5` (16 bits): passed to the simulator unchanged)"},
      {R"(13)", R"(`byte2` (8 bits): passed to the simulator unchanged)"},
      {R"(14, 15, 16 hours, minutes, seconds)",
       R"(`time_s` = (hours × 60 + minutes) × 60 + seconds)"},
      {R"(17 name)", R"(`name`, the rest of the field as written (Windows-1252))"},
      {R"()",
       R"(at most 78 stations with no board texts: stations and board texts share entries 1 to 80 (error 10))"}}},
    {Description::train,
     "[segnali]",
     R"(`segnale`)",
     {"segnale"},
     {{"posizione", R"(where the signal stands, metres from the line's origin)", 0, {-1, 8}},
      {"sx", R"(side s signal type)", 1, {-1, 4}},
      {"s1", R"(side s digit 1)", 2, {-1, 2}},
      {"s2", R"(side s digit 2)", 2, {-1, 2}},
      {"s3", R"(side s digit 3)", 2, {-1, 3}},
      {"rapp", R"(the repetition digit)", 3, {-1, 2}},
      {"dx", R"(side d signal type)", 1, {-1, 5}},
      {"d1", R"(side d digit 1)", 2, {-1, 3}},
      {"d2", R"(side d digit 2)", 2, {-1, 0}},
      {"d3", R"(side d digit 3)", 2, {-1, 0}},
      {"tempo", R"(the signal's time)", 4, {1, 0}}},
     {{R"(posizione)",
       R"(a `signal` cell (a taken cell is error 16); approach codes (sx × 3 + dx) × 10 + k in the cells 2, 4, 6, 8 before it)"},
      {R"(sx, dx)", R"(value4 = rapp × 10 + sx × 3 + dx; sx = 2 also keeps the time)"},
      {R"(s1 s2 s3, d1 d2 d3)",
       R"(value1..3 = s × 10 + d (each side's digits): passed to the simulator unchanged)"},
      {R"(rapp)", R"(value4's tens (above))"},
      {R"(tempo)",
       R"(`signal_time` (low 8 bits) when sx is 2, else 0; 1 to 100 is raised to 101)"}}},
    {Description::train,
     "[rallentamenti]",
     R"(`rallentamento`)",
     {"rallentamento"},
     {{"x", R"(where the slowdown starts, metres from the line's origin)", 0, {-1, 8}},
      {"v", R"(the slowdown's speed, km/h)", 0, {-1, 6}},
      {"l", R"(its length in metres)", 0, {-1, 5}},
      {"f_tt", R"(a flag of the start and end boards)", 1, {-1, 2}},
      {"f_ta", R"(not 0: lead boards before the warning board)", 2, {-1, 3}},
      {"d_v", R"(not 0: a second speed on the boards)", 3, {-1, 4}}},
     {{R"(x, v, l)", R"(a `slowdown_start` cell at x and a `slowdown_end` cell at x + l (not after the start: error 28), both with value1 = v; a `slowdown_warning` with value1 = v 1200 m before x when x is above 1500; taken cells are errors 17 to 19)"},
      {R"(f_tt)", R"(value3 of the start and end cells)"},
      {R"(f_ta)",
       R"(not 0 (and x above 1500): four `slowdown_lead` cells, 1 to 4, counting down from the cell before the warning board (taken: error 20))"},
      {R"(d_v)",
       R"(not 0: value2 of the start, end and warning cells (and the leads' number in theirs))"}}},
    {Description::train,
     "[codici]",
     R"(`abbattimento`)",
     {"abbattimento"},
     {{"position", R"(metres from the line's origin)", 0, {2, 0}},
      {"code", R"(the code point's code, 16 bits (below 1: a code cut))", 0, {1, 0}}},
     {{R"(position, code)",
       R"(cell position / 50: a `code_point` with value1 = code (16 bits) when code ≥ 1, else a `code_cut`; a taken cell is error 7)"}}},
};

const std::vector<BriefRow> kBriefRows = {
    {Description::line, R"(`lunghezza percorso`)",
     R"(line length in metres, at most 1000000 (required))"},
    {Description::line, R"(`progressiva chilometrica uno` / `due` / `tre`)",
     R"(three integers each: chainage systems)"},
    {Description::line, R"(`sfondo uno` / `due` / `tre`)",
     R"(one integer each: background selectors)"},
    {Description::line, R"(`ripetizione segnali 4 codici` (or `9`))",
     R"(start, end of signal repetition (multiples of 50))"},
    {Description::line, R"(`curvas1`..`curvas6`, `curvad1`..`curvad6`)",
     R"(start, length: a left (`s`) or right (`d`) curve of class 1 (radius 10000 m) to 6 (about 333 m))"},
    {Description::line, R"(`pendenza`)", R"(position, gradient in per mille (rising positions))"},
    {Description::line, R"(`montagna`)", R"(start, end, type (above 10: with markers))"},
    {Description::line, R"(`indicatori_vmax`)",
     R"(position, speeds a b c and stripes for side s, then for side d)"},
    {Description::line, R"(`cartello_indicatore`)", R"(position, text)"},
    {Description::train, R"(`numero vetture`, `percentuale massa frenata`, `sabbia`)",
     R"(one number each)"},
    {Description::train, R"(`orologio`)", R"(hours minutes seconds (separated by blanks))"},
    {Description::train, R"(`aderenza`, `velocita`)", R"(position, value (from this position on))"},
    {Description::train, R"(`stazione`)",
     R"(position, kind, platform length, 13 numbers, then the name)"},
    {Description::train, R"(`rallentamento`)", R"(start, speed, length, f_tt, f_ta, d_v)"},
    {Description::train, R"(`segnale`)",
     R"(position, sx, s1, s2, s3, rapp, dx, d1, d2, d3, tempo)"},
    {Description::train, R"(`abbattimento`)", R"(position, code value (below 1: a code cut))"},
};

constexpr std::array<std::string_view, 7> kLineSections = {
    "[generale]", "[curve]", "[pendenze]", "[montagne]", "[cartelli]", "[indicazioni]", "[fine]"};
constexpr std::array<std::string_view, 8> kTrainSections = {
    "[generale]",      "[aderenze]", "[vel_limite]", "[stazioni]",
    "[rallentamenti]", "[segnali]",  "[codici]",     "[fine]"};

std::string_view trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool same_without_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (windows_1252_lower(static_cast<unsigned char>(a[i])) !=
        windows_1252_lower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::span<const RecordMeaning> record_meanings() { return kRecords; }
std::span<const BriefRow> brief_rows() { return kBriefRows; }

const RecordMeaning* record_of_key(Description description, std::string_view key) {
  key = trimmed(key);
  for (const RecordMeaning& record : kRecords) {
    if (record.description != description) continue;
    for (std::string_view k : record.keys) {
      if (same_without_case(k, key)) return &record;
    }
  }
  return nullptr;
}

std::string builder_table_markdown() {
  std::string table = "| Record | Value | What the builder does with it |\n|---|---|---|\n";
  for (const RecordMeaning& record : kRecords) {
    bool first = true;
    for (const EffectRow& row : record.effects) {
      table.append("| ").append(first ? record.readme_cell : "").append(first ? " | " : "| ");
      table.append(row.values).append(row.values.empty() ? "| " : " | ");
      table.append(row.effect).append(" |\n");
      first = false;
    }
  }
  return table;
}

std::string brief_table_markdown(Description description) {
  std::string table = "| Key | Values |\n|---|---|\n";
  for (const BriefRow& row : kBriefRows) {
    if (row.description != description) continue;
    table.append("| ").append(row.keys).append(" | ").append(row.values).append(" |\n");
  }
  return table;
}

std::span<const std::string_view> section_headings(Description description) {
  if (description == Description::line) return kLineSections;
  return kTrainSections;
}

}  // namespace sb::lsp
