#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sb::inspect {

// The names (not paths) of the files directly in a folder. Throws FileError
// when the folder cannot be read.
using FolderListing = std::function<std::vector<std::string>(const std::string& dir)>;
std::vector<std::string> disk_folder_listing(const std::string& dir);

// One built scenario: "<route>_<train>.dat", "<route>_<train>.sim" and
// "<route>_linea.dat".
struct ScenarioName {
  std::string route;
  std::string train;
  bool operator==(const ScenarioName&) const = default;
};

// The scenarios whose three files are all among `names`, in name order,
// keeping those that match the route and train when they are given. A
// train file name may fit several routes ("A_B_1" is route "A" or "A_B");
// the longest route with a plan file beside wins.
std::vector<ScenarioName> scenarios_among(std::vector<std::string> names,
                                          const std::optional<std::string>& route,
                                          const std::optional<std::string>& train);

}  // namespace sb::inspect
