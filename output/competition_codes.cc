#include "output/competition_codes.h"

#include <array>
#include <string_view>

#include "base/windows_1252.h"

namespace sb {

namespace {

constexpr size_t kCodeLength = 25;
// Makes every code string at least 26 characters long, so positions 1..25
// always exist however short the names are.
constexpr std::string_view kCodePad = "kkllmmnnooppqqrrssttuuvvww";

// Characters 1..25 of: train number + route name, lower-cased, + pad.
std::array<unsigned char, kCodeLength> code_characters(std::string_view train_number,
                                                      std::string_view route_name) {
  std::array<unsigned char, kCodeLength> code{};
  size_t length = 0;
  auto append = [&](std::string_view text, bool lower) {
    for (size_t i = 0; i < text.size() && length < kCodeLength; ++i) {
      const auto c = static_cast<unsigned char>(text[i]);
      code[length++] = lower ? windows_1252_lower(c) : c;
    }
  };
  append(train_number, true);
  append(route_name, true);
  append(kCodePad, false);
  return code;
}

}  // namespace

int16_t competition_code_og(std::string_view train_number, std::string_view route_name) {
  int32_t sum = 0;
  for (unsigned char c : code_characters(train_number, route_name)) sum += c;
  return static_cast<int16_t>(sum);  // at most 25 * 255
}

int32_t competition_code_st(std::string_view train_number, std::string_view route_name) {
  const auto code = code_characters(train_number, route_name);
  int32_t sum = 0;
  for (size_t i = 0; i < code.size(); ++i) sum += static_cast<int32_t>(i + 1) * code[i];
  return sum;
}

int16_t competition_code_og(const Builder& b) {
  return competition_code_og(b.stations[kTrainEntry].name, b.stations[kRouteEntry].name);
}

int32_t competition_code_st(const Builder& b) {
  return competition_code_st(b.stations[kTrainEntry].name, b.stations[kRouteEntry].name);
}

}  // namespace sb
