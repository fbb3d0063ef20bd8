#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/viewer/scenario_picture.h"

namespace sb::inspect {

// The rows an author writes most, as descriptions that build the scenario's
// files write them ("segnale,    1050,   2, 5, ..."), in UTF-8, by key:
// "segnale", "rallentamento", "indicatori_vmax", "montagna", "abbattimento",
// and every curve key ("curvas2") under "curva". Positions come back on the
// 50 m grid, as --descriptions writes them.
using AuthoredRows = std::map<std::string, std::vector<std::string>>;
AuthoredRows authored_rows(const ScenarioFiles& scenario);

// A curve row read back: `side` 's' (left) or 'd' (right), the class digit
// 1 to 6, and the stretch it covers.
struct CurveRow {
  int64_t from_m = 0;
  int64_t to_m = 0;
  char side = 's';
  int curve_class = 1;
};
std::vector<CurveRow> curve_rows(const AuthoredRows& rows);

}  // namespace sb::inspect
