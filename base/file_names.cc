#include "base/file_names.h"

#include <algorithm>
#include <initializer_list>

#include "base/shown_text.h"

namespace sb {

size_t longest_file_name(std::string_view route, std::string_view number) {
  size_t longest = 0;
  for (const std::string& name :
       {line_description_name(route), plan_file_name(route), train_description_name(route, number),
        notes_name(route, number), slowdown_order_name(route, number),
        train_card_name(route, number), station_file_name(route, number),
        cell_file_name(route, number), std::string(kPublishRecordName)}) {
    longest = std::max(longest, name.size());
  }
  const std::string temporary_digits(kTemporaryNameRandomDigits, '0');
  return temporary_name(std::string(longest, 'x'), temporary_digits).size();
}

namespace {

// A character no file name may hold on one of the two platforms: a folder
// separator would put the files outside the folder asked for, and the others
// are refused by Windows. Refused on both, so a scenario builds the same
// everywhere.
bool unfit_for_file_name(char c) {
  constexpr std::string_view kRefused = "/\\:*?\"<>|";
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F || kRefused.find(c) != std::string_view::npos;
}

}  // namespace

std::string file_name_value_problem(std::string_view option, std::string_view value) {
  const std::string name(option);
  if (value.empty()) return "option " + name + " needs a non-empty value";
  if (std::ranges::any_of(value, unfit_for_file_name)) {
    return "option " + name +
           " names files: its value may not hold / \\ : * ? \" < > |, control characters or DEL";
  }
  return {};
}

std::string scenario_name_problem(std::string_view option, std::string_view value,
                                  std::string_view route, std::string_view number,
                                  std::string_view directory) {
  if (std::string problem = file_name_value_problem(option, value); !problem.empty()) {
    return problem;
  }
  const std::string name(option);
  // What the longest name adds to the value is what the value may not use.
  const size_t longest = longest_file_name(route, number);
  const size_t added = longest - value.size();
  if (longest > kLongestFileName) {
    return "option " + name + " names files: its value may be at most " +
           std::to_string(kLongestFileName - std::min(added, kLongestFileName)) +
           " bytes long here, as the longest file name of a run adds " + std::to_string(added) +
           " bytes to it and the system allows " + std::to_string(kLongestFileName) + " (" +
           std::to_string(value.size()) + " given)";
  }
  const size_t path = directory.size() + 1 + longest;
  if (kLongestPath != 0 && path > kLongestPath) {
    const size_t spare = kLongestPath - std::min(kLongestPath, path - value.size());
    return "option " + name + " names files: in the folder " + shown_path(directory) +
           " its value may be at most " + std::to_string(spare) +
           " bytes long, as the longest path of a run's files may be " +
           std::to_string(kLongestPath) + " bytes (" + std::to_string(value.size()) + " given)";
  }
  return {};
}

}  // namespace sb
