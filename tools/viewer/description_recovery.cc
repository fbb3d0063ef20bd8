#include "tools/viewer/description_recovery.h"

#include "tools/viewer/recovery_rows.h"

namespace sb::inspect {

namespace recovery {

std::string after_comma(int64_t value, int pad) {
  std::string text = ",";
  text.append(static_cast<size_t>(pad), ' ').append(std::to_string(value));
  return text;
}

std::string aligned(int64_t value, int width) {
  std::string number = std::to_string(value);
  const size_t w = static_cast<size_t>(width);
  if (number.size() < w) number.insert(0, w - number.size(), ' ');
  return "," + number;
}

bool text_field_keeps(std::string_view text) {
  if (text.find_first_of(",\n") != std::string_view::npos) return false;
  return text.empty() || (text.front() != ' ' && text.front() != '\t');
}

std::vector<ProfileRow> profile_rows(const std::vector<Cell>& cells, uint8_t Cell::*field,
                                     std::string_view what, DescriptionText& text) {
  const int64_t count = cell_count_of(cells);
  const auto at = [&](int64_t k) { return int{cells[static_cast<size_t>(k)].*field}; };
  std::vector<ProfileRow> rows{{0, at(0)}};
  for (int64_t k = 1; k <= count - 3; ++k) {
    if (at(k) != at(k - 1)) rows.push_back({k * 50, at(k)});
  }
  // Only a row standing at cell cell_count - 2 reaches it.
  if (at(count - 2) != 0) rows.push_back({(count - 2) * 50, at(count - 2)});
  for (int64_t k = count - 1; k <= count; ++k) {
    if (at(k) != 0) {
      text.problem(std::string(what) + " " + std::to_string(at(k)) + " in cell " +
                   std::to_string(k) + ", which no row reaches");
    }
  }
  return rows;
}

}  // namespace recovery

RecoveredDescriptions recover_descriptions(const ScenarioFiles& scenario, int64_t search_budget) {
  RecoveredDescriptions recovered;
  recovery::DescriptionText line(recovered.unbuildable, recovered.unsettled);
  recovery::recover_line(scenario, line);
  recovered.line_text = line.take();
  recovery::DescriptionText train(recovered.unbuildable, recovered.unsettled);
  recovery::SearchBudget budget(search_budget);
  recovery::recover_train(scenario, train, budget);
  if (budget.spent()) {
    recovered.unsettled.push_back("the searches stopped at their limit of " +
                                  std::to_string(search_budget) +
                                  " steps of work; the rows written are those found by then");
  }
  recovered.train_text = train.take();
  return recovered;
}

}  // namespace sb::inspect
