#include "scenario/timetable_rows.h"

namespace sb {

// The run of train 20573.2: the 19 stations with their arrival, departure or
// passing times, the speed-limit points (limit, running speed, running speed
// again in the fourth cell), tunnel mouths and the viaduct. The name of the
// station at 57.000 runs on to a second row without chainage or time.
std::span<const std::string_view> built_in_timetable_rows() {
  static constexpr std::string_view kRows[] = {
      " |  30 |  30 |     0    |  30 |SARVENA S.M.N.              |21.55           |     |",
      " | 115 | 105 |    1.000 | 105 |deviatoio uscita            |                |     |",
      " |     |     |    2.600 |     |SARVENA RIFREDI             |21.59      22.00|     |",
      " |     |     |    4.000 |     |P.M. SARVENA NORD           |      22.02     |     |",
      " |     |     |    5.200 |     |SARVENA CASTELLO            |      22.04     |     |",
      " | 140 |     |    5.600 |     |deviatoio Castello          |                |     |",
      " |     |     |    6.600 |     |ZAMBRA                      |      22.05     |     |",
      " |     |     |    8.800 |     |SESTO SARVENTINO            |22.07      22.08|     |",
      " |     |     |   11.200 |     |CALENZANO                   |22.10      22.11|     |",
      " |     |     |   13.500 |     |P.M. CAPALLE                |      22.13     |     |",
      " | 100 |  90 |   15.100 |  90 |bivio Prato                 |                |     |",
      " |     |     |   16.350 |     |PRATO                       |22.17      22.18|     |",
      " |     |     |   26.200 |     |VAIANO                      |22.26+     22.27|     |",
      " |     |     |   31.600 |     |VERNIO                      |22.34      22.35|     |",
      " | 150 | 140 |   33.000 | 140 |uscita Vernio               |                |     |",
      " | 160 | 150 |   36.800 | 150 |ponte Bisenzio              |                |     |",
      " |     |     |   37.250 |     |imbocco galleria Appennino  |                |     |",
      " |     |     |   46.500 |     |P.C. PRECEDENZE             |      22.42     |     |",
      " | 120 | 110 |   54.550 | 110 |galleria Appennino          |                |     |",
      " |     |     |   55.750 |     |uscita galleria Appennino   |                |     |",
      " |     |     |   57.000 |     |S.BENEDETTO SAMBRO -        |22.48      22.49|     |",
      " |     |     |          |     |CASTIGLIONE PEPOLI          |                |     |",
      " | 100 |  90 |   59.000 |  90 |curva Sambro                |                |     |",
      " |     |     |   61.400 |     |GRIZZANA                    |22.54     22.54+|     |",
      " |     |     |   66.400 |     |MONZUNO-VADO                |22.59      23.00|     |",
      " |  75 |  60 |   69.800 |  60 |curva Setta                 |                |     |",
      " |     |     |   70.250 |     |viadotto Setta              |                |     |",
      " |     |     |   72.600 |     |imbocco galleria Monzuno    |                |     |",
      " |     |     |   75.000 |     |PIAN DI SETTA               |      23.07     |     |",
      " | 130 | 120 |   77.000 | 120 |uscita Setta                |                |     |",
      " |     |     |   81.800 |     |PONTE RENO                  |23.11      23.12|     |",
      " | 110 | 100 |   84.000 | 100 |curva Reno                  |                |     |",
      " |  90 |  80 |   90.600 |  80 |bivio Lucredo               |                |     |",
      " |     |     |   92.200 |     |LUCREDO S.RUFFILLO          |23.19      23.20|     |",
      " |  30 |  30 |   95.950 |  30 |deviatoio ingresso          |                |     |",
      " |     |     |   96.600 |     |LUCREDO C.LE                |23.26           |     |",
  };
  return kRows;
}

}  // namespace sb
