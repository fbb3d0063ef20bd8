#include "scenario/timetable_rows.h"

namespace sb {

// Placeholder until the full timetable lands: the rows known so far.
std::span<const std::string_view> built_in_timetable_rows() {
  static constexpr std::string_view kRows[] = {
      " |  30 |  30 |     0    |  30 |SARVENA S.M.N.              |21.55           |     |",
      " | 115 | 105 |    1.000 | 105 |deviatoio uscita            |                |     |",
      " |     |     |    5.200 |     |SARVENA CASTELLO            |      22.04     |     |",
      " |     |     |   26.200 |     |VAIANO                      |22.26+     22.27|     |",
      " |     |     |          |     |CASTIGLIONE PEPOLI          |                |     |",
      " |     |     |   96.600 |     |LUCREDO C.LE                |23.26           |     |",
  };
  return kRows;
}

}  // namespace sb
