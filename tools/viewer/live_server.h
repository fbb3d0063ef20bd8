#pragma once

#include <memory>
#include <string>

#include "tools/viewer/live_state.h"

namespace sb::inspect {

// Serves the page of a watch on the loopback address, and nothing else:
//   GET /            the page, with the state at the time of the request
//   GET /state.json  the state (state.json?build=N leaves out page data
//                    the page already shows)
//   GET /events      a stream of server-sent events, one "build" event with
//                    the generation on connecting and after every change
// A request whose Host header is not 127.0.0.1:PORT or localhost:PORT is
// answered 403 and nothing more.
class LiveServer {
 public:
  LiveServer();
  ~LiveServer();
  LiveServer(const LiveServer&) = delete;
  LiveServer& operator=(const LiveServer&) = delete;

  // Listens on 127.0.0.1:port, or on a free port when port is 0, and
  // answers on threads of its own until stop(). Empty when it listens,
  // else why it cannot.
  std::string start(int port);
  // The port listened on.
  int port() const;
  // Makes `state` the one served and tells every open page.
  void publish(LiveState state);
  // Closes the port and every open stream; waits for the threads.
  void stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace sb::inspect
