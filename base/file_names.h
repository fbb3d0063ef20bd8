#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace sb {

// The names of the files of one build, made from the route name and the
// train number only.

inline std::string line_description_name(std::string_view route_name) {
  return std::string(route_name) + "_linea.txt";
}
inline std::string plan_file_name(std::string_view route_name) {
  return std::string(route_name) + "_linea.dat";
}

namespace file_names_detail {
inline std::string train_file_name(std::string_view route_name, std::string_view train_number,
                                   std::string_view suffix) {
  std::string name;
  name.reserve(route_name.size() + train_number.size() + suffix.size() + 1);
  name.append(route_name).append("_").append(train_number).append(suffix);
  return name;
}
}  // namespace file_names_detail

inline std::string train_description_name(std::string_view route_name,
                                          std::string_view train_number) {
  return file_names_detail::train_file_name(route_name, train_number, "-.txt");
}
inline std::string notes_name(std::string_view route_name, std::string_view train_number) {
  return file_names_detail::train_file_name(route_name, train_number, "_note.txt");
}
inline std::string slowdown_order_name(std::string_view route_name,
                                       std::string_view train_number) {
  return file_names_detail::train_file_name(route_name, train_number, "_rallentamenti.txt");
}
inline std::string train_card_name(std::string_view route_name, std::string_view train_number) {
  return file_names_detail::train_file_name(route_name, train_number, "_scheda_treno.txt");
}
inline std::string station_file_name(std::string_view route_name,
                                     std::string_view train_number) {
  return file_names_detail::train_file_name(route_name, train_number, ".sim");
}
inline std::string cell_file_name(std::string_view route_name, std::string_view train_number) {
  return file_names_detail::train_file_name(route_name, train_number, ".dat");
}

// A file is written under a temporary name beside it, NAME + "." + 16 hex
// digits + ".partial", and renamed over NAME once whole.
inline constexpr size_t kTemporaryNameRandomDigits = 16;
inline constexpr std::string_view kTemporaryNameSuffix = ".partial";
inline std::string temporary_name(std::string_view path, std::string_view random_digits) {
  std::string name;
  name.reserve(path.size() + 1 + random_digits.size() + kTemporaryNameSuffix.size());
  name.append(path).append(".").append(random_digits).append(kTemporaryNameSuffix);
  return name;
}

// What a temporary name adds to the final name it stands for. A run takes
// one tag for all its temporaries, so that the next run can find what a
// killed one left: every name that ends with temporary_name_end(tag).
inline constexpr size_t kTemporaryNameExtraLength =
    1 + kTemporaryNameRandomDigits + kTemporaryNameSuffix.size();
inline std::string temporary_name_end(std::string_view tag) { return temporary_name("", tag); }

// The record a run keeps in the folder while it writes there: which working
// copies it put there and which temporaries it is publishing, so that the
// next run can finish what a killed one left. Written, like every file,
// under a temporary name first.
inline constexpr std::string_view kPublishRecordName = "scenario_builder.publishing";

// The longest name a file of one run takes in its folder, temporary names
// included, for this route name and train number. Every name above counts
// here, so that a route and a number that pass scenario_name_problem fit
// every file a run creates.
size_t longest_file_name(std::string_view route_name, std::string_view train_number);

// The longest file name the system allows (NAME_MAX bytes), and on Windows
// the longest whole path the ANSI file calls take (MAX_PATH, less its
// terminating NUL).
inline constexpr size_t kLongestFileName = 255;
#ifdef _WIN32
inline constexpr size_t kLongestPath = 259;
#else
inline constexpr size_t kLongestPath = 0;  // no limit on the whole path
#endif

// Why a route name (`option` "--route") or a train number ("--number") given
// on a command line cannot name files: it is empty, or holds a character a
// file name may not hold on one of the two platforms (a folder separator,
// / \ : * ? " < > |, a control character or DEL). Empty when it can.
std::string file_name_value_problem(std::string_view option, std::string_view value);

// The same, and whether the route name and train number of the run leave
// every file name of a run in `directory` within what the system allows;
// the message gives the longest value that fits. Both programs check their
// --route and --number with it.
std::string scenario_name_problem(std::string_view option, std::string_view value,
                                  std::string_view route_name, std::string_view train_number,
                                  std::string_view directory);

}  // namespace sb
