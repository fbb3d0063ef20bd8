#include "track/memorizza_percorso.h"

#include <string>

#include "driver/fatal_report.h"
#include "output/output_step.h"
#include "track/finishing_pass.h"
#include "train/memorizza_dati.h"

namespace sb {

void clear_stations(Builder& b) {
  for (Station& s : b.stations) s = Station{};
}

void memorizza_percorso(Builder& b, int32_t j) {
  b.j = j;
  b.error_number = 0;
  clear_stations(b);
  memorizza_dati(b);
  // Without cells there is no model to finish or write.
  if (!b.cells_allocated()) errore(b, std::to_string(b.error_number));
  finishing_pass(b);
  output_step(b);
}

}  // namespace sb
