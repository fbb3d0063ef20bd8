#include "driver/scenario_names.h"

#include <optional>
#include <string_view>

#include "base/concat.h"
#include "base/file_names.h"
#include "base/shown_text.h"
#include "scenario/built_in_names.h"

namespace sb {

namespace {

constexpr std::string_view kLineSuffix = "_linea.txt";
constexpr std::string_view kTrainSuffix = "-.txt";

std::string_view file_name_of(std::string_view path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// What a file name holds before `suffix`, when it ends with it and that part
// could be a name of the run's files.
std::optional<std::string> stem_of(const std::optional<std::string>& path,
                                   std::string_view suffix, std::string_view option) {
  if (!path) return std::nullopt;
  const std::string_view name = file_name_of(*path);
  if (name.size() <= suffix.size() || !name.ends_with(suffix)) return std::nullopt;
  std::string stem(name.substr(0, name.size() - suffix.size()));
  if (!file_name_value_problem(option, stem).empty()) return std::nullopt;
  return stem;
}

}  // namespace

ScenarioNames scenario_names(const Options& options) {
  ScenarioNames names;
  const std::optional<std::string> line_route =
      stem_of(options.line_file, kLineSuffix, "--route");
  if (options.route_name) {
    names.route_name = *options.route_name;
    if (line_route && *line_route != names.route_name) {
      names.disagreements.push_back(concat(
          {shown_path(*options.line_file), " is named for route `", shown_text(*line_route),
           "`, but --route names `", shown_text(names.route_name),
           "`: the files are named for `", shown_text(names.route_name), "`"}));
    }
  } else if (line_route) {
    names.route_name = *line_route;
    names.route_from_file = true;
  } else {
    names.route_name = kBuiltInRouteName;
  }

  // A train description's name holds the route and the number, joined by
  // "_", which either may hold too: it is read against the route built.
  const std::optional<std::string> train_stem =
      stem_of(options.train_file, kTrainSuffix, "--number");
  const std::string route_prefix = names.route_name + "_";
  std::optional<std::string> train_number;
  if (train_stem && train_stem->size() > route_prefix.size() &&
      train_stem->starts_with(route_prefix)) {
    train_number = train_stem->substr(route_prefix.size());
  }
  if (options.train_number) {
    names.train_number = *options.train_number;
  } else if (train_number) {
    names.train_number = *train_number;
    names.number_from_file = true;
  } else {
    names.train_number = kBuiltInTrainNumber;
  }
  if (train_stem && (!train_number || *train_number != names.train_number)) {
    const std::string expected = train_description_name(names.route_name, names.train_number);
    names.disagreements.push_back(concat(
        {shown_path(*options.train_file), " is not named for route `",
         shown_text(names.route_name), "` and train `", shown_text(names.train_number),
         "` (", shown_path(expected), "): the files are named for them"}));
  }
  return names;
}

}  // namespace sb
