#pragma once

#include <optional>
#include <string>
#include <vector>

#include "track/diagnostics.h"
#include "track/model.h"

namespace sb {

// A plain-language explanation of a builder error number.
std::string explain_builder_error(int32_t error_number);

// How this run names its two descriptions in messages: the path the author
// gave (--line, --train), as typed, or none for a built-in text.
struct DescriptionSources {
  std::optional<std::string> line_path;
  std::optional<std::string> train_path;
};

// The problem recorded in b, located in the author's own file, in the form
// editors and log parsers jump to: "PATH:LINE:COL: error: explanation:
// detail". A built-in text is named as such ("built-in train description,
// line 23"), with a hint when the author gave only the other description.
std::string located_problem(const Builder& b, const DescriptionSources& sources);

// One warning or error of b.diagnostics in the same form, "PATH:LINE:COL:
// warning: what happens".
std::string located_diagnostic(const Builder& b, const Diagnostic& d,
                               const DescriptionSources& sources);

// What one warning or error of b.diagnostics says, without its place and
// kind: the text after "warning: " or "error: " of located_diagnostic.
std::string diagnostic_message(const Diagnostic& d);

// Every problem of b.diagnostics in the order found, then, per kind of
// warning listed only in part, how many more there are.
std::vector<std::string> diagnostic_lines(const Builder& b, const DescriptionSources& sources);

// One problem of b.diagnostics in parts, for a page that lays them out
// itself: the file as the lines above name it (the author's path, "built-in
// line description", or empty when the problem lies in no description), the
// line and column (0 when not known) and what the lines say after "error: "
// or "warning: ".
struct LocatedProblem {
  bool error = false;
  std::string file;
  int32_t line = 0;
  int32_t column = 0;
  std::string message;
  bool operator==(const LocatedProblem&) const = default;
};

// The problems of diagnostic_lines, in the same order, in parts.
std::vector<LocatedProblem> located_problems(const Builder& b, const DescriptionSources& sources);

// How many errors of one error number a terminal lists.
inline constexpr size_t kListedErrorsPerNumber = Diagnostics::kListedErrorsPerNumber;

// How many errors of b.diagnostics diagnostic_lines leaves out.
int unlisted_errors(const Builder& b);

// "2 errors, 5 warnings": everything b.diagnostics counted, and how many
// errors were left out of the list.
std::string problem_count(const Builder& b);

// The last line of standard error of a build that recorded a problem:
// "error_number=N error_position_m=M".
std::string problem_numbers(const Builder& b);

}  // namespace sb
