#pragma once

#include <string>

#include "track/model.h"

namespace sb {

// The names of the files of one build, made from the route name and the
// train number only.
inline std::string line_description_name(const Builder& b) { return b.route_name + "_linea.txt"; }
inline std::string train_description_name(const Builder& b) {
  return b.route_name + "_" + b.train_number + "-.txt";
}
inline std::string notes_name(const Builder& b) {
  return b.route_name + "_" + b.train_number + "_" + "note.txt";
}
inline std::string slowdown_order_name(const Builder& b) {
  return b.route_name + "_" + b.train_number + "_" + "rallentamenti.txt";
}
inline std::string train_card_name(const Builder& b) {
  return b.route_name + "_" + b.train_number + "_" + "scheda_treno.txt";
}
inline std::string plan_file_name(const Builder& b) { return b.route_name + "_linea.dat"; }
inline std::string station_file_name(const Builder& b) {
  return b.route_name + "_" + b.train_number + ".sim";
}
inline std::string cell_file_name(const Builder& b) {
  return b.route_name + "_" + b.train_number + ".dat";
}

inline constexpr const char* kBuiltInRouteName = "Sarvena_Lucredo";
inline constexpr const char* kBuiltInTrainNumber = "20573-2";

}  // namespace sb
