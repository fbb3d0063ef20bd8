#include "tools/viewer/authored_rows.h"

#include <charconv>
#include <string_view>

#include "tools/viewer/description_recovery.h"
#include "tools/viewer/text_encoding.h"

namespace sb::inspect {

namespace {

constexpr std::string_view kListed[] = {"segnale",  "rallentamento", "indicatori_vmax",
                                        "montagna", "abbattimento",  "curva"};

int64_t number_after(std::string_view text, size_t comma) {
  size_t at = comma + 1;
  while (at < text.size() && text[at] == ' ') ++at;
  int64_t value = 0;
  std::from_chars(text.data() + at, text.data() + text.size(), value);
  return value;
}

}  // namespace

AuthoredRows authored_rows(const ScenarioFiles& scenario) {
  AuthoredRows rows;
  for (std::string_view key : kListed) rows[std::string(key)];
  const RecoveredDescriptions recovered = recover_descriptions(scenario);
  for (const std::string* text : {&recovered.line_text, &recovered.train_text}) {
    size_t start = 0;
    while (start < text->size()) {
      size_t end = text->find('\n', start);
      if (end == std::string::npos) end = text->size();
      std::string_view line(text->data() + start, end - start);
      start = end + 1;
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      const size_t comma = line.find(',');
      if (comma == std::string_view::npos) continue;
      for (std::string_view key : kListed) {
        if (line.starts_with(key)) rows[std::string(key)].push_back(windows_1252_to_utf8(std::string(line)));
      }
    }
  }
  return rows;
}

std::vector<CurveRow> curve_rows(const AuthoredRows& rows) {
  std::vector<CurveRow> curves;
  const auto found = rows.find("curva");
  if (found == rows.end()) return curves;
  for (const std::string& row : found->second) {
    // "curvas2,  1000,  400": side, class, start, length.
    const size_t first = row.find(',');
    const size_t second = row.find(',', first + 1);
    if (first != 7 || second == std::string::npos) continue;
    CurveRow curve;
    curve.side = row[5];
    curve.curve_class = row[6] - '0';
    curve.from_m = number_after(row, first);
    curve.to_m = curve.from_m + number_after(row, second);
    curves.push_back(curve);
  }
  return curves;
}

}  // namespace sb::inspect
