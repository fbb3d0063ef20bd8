#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace sb {

// Names each case of a parameterised test after the case's `what`, so that a
// failure reads "signal_at_position_0" instead of the parameter's raw bytes.
// Letters and digits stay; every run of other characters becomes one "_".
struct NamedByWhat {
  template <class Param>
  std::string operator()(const ::testing::TestParamInfo<Param>& info) const {
    std::string name;
    for (const char c : std::string(info.param.what)) {
      if (std::isalnum(static_cast<unsigned char>(c))) {
        name += c;
      } else if (!name.empty() && name.back() != '_') {
        name += '_';
      }
    }
    while (!name.empty() && name.back() == '_') name.pop_back();
    return name.empty() ? "case_" + std::to_string(info.index) : name;
  }
};

}  // namespace sb
