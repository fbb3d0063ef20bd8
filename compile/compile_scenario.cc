#include "compile/compile_scenario.h"

#include "compile/read_descriptions.h"
#include "output/output_step.h"
#include "track/error_numbers.h"
#include "track/fatal_report.h"
#include "track/finishing_pass.h"

namespace sb {

void clear_stations(Builder& b) {
  for (Station& s : b.stations) s = Station{};
}

void compile_scenario(Builder& b, bool with_track_plan) {
  b.with_track_plan = with_track_plan;
  b.error_number = error::none;
  clear_stations(b);
  // The plan's file is written as the line is read where the disk allows,
  // else while the train is read; the plan is complete once the line is.
  stream_plan_file(b);
  read_descriptions(b, true, plan_file_laid);
  // Without cells there is no model to finish or write.
  if (!b.cells_allocated()) end_with_fatal_report(b, b.error_number);
  finishing_pass(b);
  output_step(b);
}

void check_scenario(Builder& b, bool with_train) {
  b.with_track_plan = true;
  b.collect_problems = true;
  b.error_number = error::none;
  clear_stations(b);
  read_descriptions(b, with_train);
  finishing_pass(b);
}

}  // namespace sb
