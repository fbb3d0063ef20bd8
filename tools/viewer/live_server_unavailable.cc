// The server of --serve where no HTTP library is built in (the Windows
// build, for now): it never listens, and says so.

#include "tools/viewer/live_server.h"

namespace sb::inspect {

struct LiveServer::Impl {};

LiveServer::LiveServer() = default;
LiveServer::~LiveServer() = default;

std::string LiveServer::start(int) {
  return "--serve is not available in this build (the Windows programs watch and build, "
         "and write the page with --html); run --watch without --serve";
}

int LiveServer::port() const { return 0; }
void LiveServer::publish(LiveState) {}
void LiveServer::stop() {}

}  // namespace sb::inspect
