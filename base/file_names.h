#pragma once

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

}  // namespace sb
