#include "track/fatal_report.h"

#include <string>

#include "platform/platform.h"

namespace sb {

void end_with_fatal_report(Builder& b, int32_t number) {
  b.message_result = b.platform->show_message(" Errore n. " + std::to_string(number));
  throw FatalReport{number};
}

}  // namespace sb
