#include "driver/error_messages.h"

#include <algorithm>

#include "base/concat.h"
#include "base/file_names.h"
#include "base/shown_text.h"
#include "track/diagnostics.h"
#include "track/error_numbers.h"

namespace sb {

namespace {

struct Explanation {
  int32_t number;
  const char* text;
};

constexpr Explanation kExplanations[] = {
    {1, "the line length is above 1000000 m"},
    {2, "a chainage system's first or second value is not a multiple of 50"},
    {3, "the start of signal repetition is not a multiple of 50"},
    {4, "the end of signal repetition is not a multiple of 50"},
    {5, "the signal repetition key names neither 4 nor 9 codes"},
    {6, "an indication board stands on a cell that is already taken"},
    {7, "a code point (abbattimento) stands on a cell that is already taken"},
    {8, "a station position is not a multiple of 50"},
    {9, "a platform length is not a multiple of 100"},
    {10, "too many stations and indication boards for the 80 entries they share"},
    {11, "a signal before a slowdown warning board has no free cell for its code point"},
    {12, "no free cell for a code point before a slowdown start"},
    {13, "no free cell for a code point inside a slowdown or before the first signal after it"},
    {15, "a row's position lies past the 7000 m the model keeps beyond the line's end"},
    {16, "a signal stands on a cell that is already taken"},
    {17, "a slowdown's warning board falls on a cell that is already taken"},
    {18, "a slowdown's start board falls on a cell that is already taken"},
    {19, "a slowdown's end board falls on a cell that is already taken"},
    {20, "a slowdown's lead boards fall on cells that are already taken"},
    {21, "a max-speed board stands on a cell that is already taken"},
    {22, "a platform begins less than 350 m after the previous station's platform end"},
    {24, "a stop marker would fall at the start of the line (platform end at 100 m or less)"},
    {25, "the description could not be read: a record is cut short, a value is not a number "
         "or does not fit its field, the line length is missing, or the file is unreadable"},
    {26, "a position lies outside the line's cells"},
    {27, "more than 80 montagna spans"},
    {28, "a slowdown does not end after its start"},
    {29, "a gradient lies outside -100 to 155"},
    {101, "the line description file does not exist"},
    {102, "the line description has no [generale] section"},
    {103, "a curve cannot be laid into the track plan"},
    {1250, "the header slots of cell 1 or of station entry 85 are already taken"},
    {1251, "the code slots of cell 1 or of station entry 85 are already taken"},
};

}  // namespace

std::string explain_builder_error(int32_t error_number) {
  for (const Explanation& e : kExplanations) {
    if (e.number == error_number) return e.text;
  }
  return "unknown problem";
}

namespace {

// What the run calls a description file: the author's path, or the built-in
// text with the option that would replace it when the author gave only the
// other one.
struct Naming {
  std::string name;
  bool built_in = false;
  std::string hint;
};

Naming naming_of(const Builder& b, const std::string& file, const DescriptionSources& sources) {
  const bool line = file == line_description_name(b.route_name);
  const std::optional<std::string>& own = line ? sources.line_path : sources.train_path;
  const std::optional<std::string>& other = line ? sources.train_path : sources.line_path;
  if (own) return {shown_path(*own), false, ""};
  Naming naming{line ? "built-in line description" : "built-in train description", true, ""};
  if (other) naming.hint = line ? "give your own with --line" : "give your own with --train";
  return naming;
}

// "path:line:column" for a file of the author's; words for a built-in text;
// empty when the problem lies in no description.
std::string location_of(const Builder& b, const std::string& file, int32_t line_number,
                        int32_t column, const DescriptionSources& sources, std::string& hint) {
  if (file.empty()) return {};
  const Naming naming = naming_of(b, file, sources);
  hint = naming.hint;
  std::string where = naming.name;
  if (line_number <= 0) return where;
  const char* const line_mark = naming.built_in ? ", line " : ":";
  const char* const column_mark = naming.built_in ? ", column " : ":";
  where.append(line_mark).append(std::to_string(line_number));
  if (column > 0) where.append(column_mark).append(std::to_string(column));
  return where;
}

std::string error_text(int32_t error_number, const std::string& reason, const std::string& hint) {
  std::string line;
  if (error_number == error::unreadable && !reason.empty()) {
    line += "the description could not be read";
  } else {
    line += explain_builder_error(error_number);
  }
  if (!reason.empty()) line += ": " + reason;
  if (!hint.empty()) line += " (" + hint + ")";
  return line;
}

std::string error_line(const std::string& where, int32_t error_number, const std::string& reason,
                       const std::string& hint) {
  return (where.empty() ? "error: " : where + ": error: ") +
         error_text(error_number, reason, hint);
}

// What the warnings of one kind are about, for the count of those not listed.
const char* kind_summary(WarningKind kind) {
  switch (kind) {
    case WarningKind::unknown_key: return "keys that are no key of their description";
    case WarningKind::no_records: return "descriptions without records";
    case WarningKind::row_shape: return "rows with more or fewer values than their key takes";
    case WarningKind::beyond_line_end: return "rows beyond the line's end";
    case WarningKind::off_grid: return "positions off the 50 m grid";
    case WarningKind::out_of_order: return "profile rows out of order";
    case WarningKind::utf8_text: return "texts written in UTF-8";
    case WarningKind::implausible_value: return "values outside what trains and lines use";
    case WarningKind::repeated_record: return "records given again";
    case WarningKind::text_too_long: return "texts longer than an entry keeps";
    case WarningKind::dropped_value: return "values dropped or overwritten";
    case WarningKind::names_disagree: return "description names that disagree with the names built";
    case WarningKind::count: break;
  }
  return "";
}

}  // namespace

std::string located_problem(const Builder& b, const DescriptionSources& sources) {
  std::string hint;
  const std::string where =
      location_of(b, b.stop_file, b.stop_line, b.stop_column, sources, hint);
  return error_line(where, b.error_number, b.stop_reason, hint);
}

std::string located_diagnostic(const Builder& b, const Diagnostic& d,
                               const DescriptionSources& sources) {
  std::string hint;
  const std::string where = location_of(b, d.file, d.line, d.column, sources, hint);
  if (d.error) return error_line(where, d.error_number, d.text, hint);
  return (where.empty() ? "" : where + ": ") + "warning: " + d.text;
}

std::string diagnostic_message(const Diagnostic& d) {
  return d.error ? error_text(d.error_number, d.text, "") : d.text;
}

int unlisted_errors(const Builder& b) {
  const std::vector<Diagnostic>& list = b.diagnostics.list();
  const auto listed =
      std::count_if(list.begin(), list.end(), [](const Diagnostic& d) { return d.error; });
  return b.diagnostics.error_count() - static_cast<int>(listed);
}

namespace {

// Per kind of warning listed only in part: how many more there are.
std::vector<std::string> unlisted_counts(const Builder& b) {
  std::vector<std::string> counts;
  for (size_t k = 0; k < static_cast<size_t>(WarningKind::count); ++k) {
    const auto kind = static_cast<WarningKind>(k);
    const int unlisted = b.diagnostics.unlisted(kind);
    if (unlisted == 0) continue;
    counts.push_back(std::to_string(unlisted) + " more " +
                     (unlisted == 1 ? "warning" : "warnings") + " of " + kind_summary(kind) +
                     " not listed (the first " + std::to_string(Diagnostics::kListedPerKind) +
                     " are)");
  }
  return counts;
}

}  // namespace

std::vector<std::string> diagnostic_lines(const Builder& b, const DescriptionSources& sources) {
  std::vector<std::string> lines;
  for (const Diagnostic& d : b.diagnostics.list()) {
    lines.push_back(located_diagnostic(b, d, sources));
  }
  for (const std::string& count : unlisted_counts(b)) lines.push_back("warning: " + count);
  return lines;
}

std::vector<LocatedProblem> located_problems(const Builder& b, const DescriptionSources& sources) {
  std::vector<LocatedProblem> problems;
  for (const Diagnostic& d : b.diagnostics.list()) {
    const Naming naming = d.file.empty() ? Naming{} : naming_of(b, d.file, sources);
    const int32_t line = naming.name.empty() ? 0 : std::max(d.line, 0);
    problems.push_back({d.error, naming.name, line, line > 0 ? std::max(d.column, 0) : 0,
                        d.error ? error_text(d.error_number, d.text, naming.hint) : d.text});
  }
  for (std::string& count : unlisted_counts(b)) problems.push_back({false, "", 0, 0, count});
  return problems;
}

std::string problem_count(const Builder& b) {
  const int errors = b.diagnostics.error_count();
  const int warnings = b.diagnostics.warning_count();
  std::string count = std::to_string(errors) + (errors == 1 ? " error, " : " errors, ") +
                      std::to_string(warnings) + (warnings == 1 ? " warning" : " warnings");
  if (const int unlisted = unlisted_errors(b); unlisted > 0) {
    count += concat({" (", std::to_string(unlisted), unlisted == 1 ? " error" : " errors",
                     " not listed: at most ", std::to_string(kListedErrorsPerNumber),
                     " of each error number are)"});
  }
  return count;
}

std::string problem_numbers(const Builder& b) {
  return "error_number=" + std::to_string(b.error_number) +
         " error_position_m=" + std::to_string(b.error_position_m);
}

}  // namespace sb
