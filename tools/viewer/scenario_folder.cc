#include "tools/viewer/scenario_folder.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "base/file_names.h"
#include "platform/system_error.h"

namespace sb::inspect {

namespace {

bool ends_with(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string without_end(const std::string& text, size_t length) {
  return text.substr(0, text.size() - length);
}

// The route of a train file stem "<route>_<train>": the longest route that
// has a plan file and leaves a train number after it.
std::optional<ScenarioName> split_stem(const std::string& stem,
                                       const std::vector<std::string>& routes) {
  std::optional<ScenarioName> best;
  for (const std::string& route : routes) {
    if (stem.size() <= route.size() + 1 || stem.compare(0, route.size(), route) != 0 ||
        stem[route.size()] != '_') {
      continue;
    }
    if (!best || route.size() > best->route.size()) {
      best = ScenarioName{route, stem.substr(route.size() + 1)};
    }
  }
  return best;
}

}  // namespace

std::vector<std::string> disk_folder_listing(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code error;
  for (std::filesystem::directory_iterator it(dir, error), end; !error && it != end;
       it.increment(error)) {
    names.push_back(it->path().filename().string());
  }
  if (error) throw FileError("list", dir, error.value());
  return names;
}

std::vector<ScenarioName> scenarios_among(std::vector<std::string> names,
                                          const std::optional<std::string>& route,
                                          const std::optional<std::string>& train) {
  std::sort(names.begin(), names.end());
  const std::string plan_end = plan_file_name("");
  std::vector<std::string> routes;
  for (const std::string& name : names) {
    if (ends_with(name, plan_end)) routes.push_back(without_end(name, plan_end.size()));
  }
  std::vector<ScenarioName> found;
  for (const std::string& name : names) {
    if (!ends_with(name, ".sim")) continue;
    const std::string stem = without_end(name, 4);
    if (!std::binary_search(names.begin(), names.end(), stem + ".dat")) continue;
    const std::optional<ScenarioName> scenario = split_stem(stem, routes);
    if (!scenario || (route && scenario->route != *route) ||
        (train && scenario->train != *train)) {
      continue;
    }
    found.push_back(*scenario);
  }
  return found;
}

}  // namespace sb::inspect
