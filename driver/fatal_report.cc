#include "driver/fatal_report.h"

#include "platform/platform.h"

namespace sb {

void errore(Builder& b, const std::string& a) {
  b.message_result = b.platform->show_message(" Errore n. " + a);
  throw FatalReport{a};
}

}  // namespace sb
