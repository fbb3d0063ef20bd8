// The server of --serve, on cpp-httplib (Debian's libcpp-httplib-dev).

#include "tools/viewer/live_server.h"

#include <httplib.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <limits>
#include <mutex>
#include <thread>

namespace sb::inspect {

namespace {

constexpr const char* kLoopback = "127.0.0.1";
// An open stream says something at least this often, so that a page that
// went away is noticed and its thread freed.
constexpr auto kStreamHeartbeat = std::chrono::seconds(15);
// Each open page holds a thread for its stream.
constexpr size_t kThreads = 16;

uint64_t build_asked(const httplib::Request& request) {
  const std::string value = request.get_param_value("build");
  if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos) {
    return std::numeric_limits<uint64_t>::max();
  }
  try {
    return std::stoull(value);
  } catch (const std::out_of_range&) {
    return std::numeric_limits<uint64_t>::max();
  }
}

// Sends `text` as it is. The library compresses a plain body when the
// browser accepts it, and its brotli takes tens of seconds over the maximal
// scenario's 7 MB page; a body given with its length goes uncompressed,
// which over the loopback interface is also the fastest.
void send_as_is(httplib::Response& response, std::string text, const char* type) {
  auto body = std::make_shared<const std::string>(std::move(text));
  response.set_content_provider(
      body->size(), type, [body](size_t offset, size_t length, httplib::DataSink& sink) {
        return sink.write(body->data() + offset, length);
      });
}

std::string cannot_listen(int port, int error_number) {
  const std::string where = std::string(kLoopback) + ":" + std::to_string(port);
  if (error_number == EADDRINUSE) {
    return "--serve: port " + std::to_string(port) + " on " + kLoopback +
           " is taken by another program: choose another with --serve PORT, or give --serve "
           "alone for a free one";
  }
  return "--serve: cannot listen on " + where + ": " +
         (error_number != 0 ? std::strerror(error_number) : "the system refused it");
}

// What is served before anything is published: a page without a build.
std::shared_ptr<const LiveState> first_state() {
  LiveState state;
  state.page_data = no_build_page_data();
  return std::make_shared<const LiveState>(std::move(state));
}

}  // namespace

struct LiveServer::Impl {
  httplib::Server server;
  std::thread thread;
  int port = 0;

  std::mutex mutex;
  std::condition_variable changed;
  std::shared_ptr<const LiveState> state = first_state();
  bool stopping = false;

  std::shared_ptr<const LiveState> current() {
    std::lock_guard lock(mutex);
    return state;
  }

  void set_up();
  bool stream_next(uint64_t& last_sent, httplib::DataSink& sink);
};

void LiveServer::Impl::set_up() {
  // SO_REUSEADDR alone: the library's default adds SO_REUSEPORT, which would
  // let a second watch share a port that is taken.
  server.set_socket_options([](socket_t socket) {
    int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  server.new_task_queue = [] { return new httplib::ThreadPool(kThreads); };
  server.set_keep_alive_timeout(1);
  // A browser busy drawing a long line reads the page's megabytes slowly;
  // the library's 5 s would cut them off.
  server.set_write_timeout(std::chrono::seconds(60));
  server.set_default_headers({{"Cache-Control", "no-store"},
                              {"X-Content-Type-Options", "nosniff"},
                              {"Referrer-Policy", "no-referrer"}});
  server.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
    if (loopback_host(request.get_header_value("Host"), port)) {
      return httplib::Server::HandlerResponse::Unhandled;
    }
    response.status = 403;
    response.set_content("this page is served only as http://127.0.0.1:" + std::to_string(port) +
                             "/ or http://localhost:" + std::to_string(port) + "/\n",
                         "text/plain; charset=utf-8");
    return httplib::Server::HandlerResponse::Handled;
  });
  server.Get("/", [this](const httplib::Request&, httplib::Response& response) {
    send_as_is(response, live_page(*current()), "text/html; charset=utf-8");
  });
  server.Get("/state.json", [this](const httplib::Request& request, httplib::Response& response) {
    send_as_is(response, live_state_json(*current(), build_asked(request)),
               "application/json; charset=utf-8");
  });
  server.Get("/events", [this](const httplib::Request&, httplib::Response& response) {
    auto last_sent = std::make_shared<uint64_t>(std::numeric_limits<uint64_t>::max());
    response.set_chunked_content_provider(
        "text/event-stream", [this, last_sent](size_t, httplib::DataSink& sink) {
          return stream_next(*last_sent, sink);
        });
  });
}

// Waits for a state the stream has not announced, or for the heartbeat, and
// writes it; false ends the stream.
bool LiveServer::Impl::stream_next(uint64_t& last_sent, httplib::DataSink& sink) {
  std::unique_lock lock(mutex);
  changed.wait_for(lock, kStreamHeartbeat,
                   [&] { return stopping || state->generation != last_sent; });
  if (stopping) return false;
  const uint64_t generation = state->generation;
  lock.unlock();
  const std::string event = generation == last_sent
                                ? std::string(": still watching\n\n")
                                : "event: build\ndata: " + std::to_string(generation) + "\n\n";
  last_sent = generation;
  return sink.write(event.data(), event.size());
}

LiveServer::LiveServer() : impl_(std::make_unique<Impl>()) {}

LiveServer::~LiveServer() { stop(); }

std::string LiveServer::start(int port) {
  impl_->set_up();
  errno = 0;
  if (port == 0) {
    impl_->port = impl_->server.bind_to_any_port(kLoopback);
    if (impl_->port < 0) return cannot_listen(0, errno);
  } else {
    if (!impl_->server.bind_to_port(kLoopback, port)) return cannot_listen(port, errno);
    impl_->port = port;
  }
  impl_->thread = std::thread([this] { impl_->server.listen_after_bind(); });
  // stop() only stops a server that runs: wait for it to.
  for (int waited_ms = 0; !impl_->server.is_running() && waited_ms < 5000; ++waited_ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return "";
}

int LiveServer::port() const { return impl_->port; }

void LiveServer::publish(LiveState state) {
  {
    std::lock_guard lock(impl_->mutex);
    impl_->state = std::make_shared<const LiveState>(std::move(state));
  }
  impl_->changed.notify_all();
}

void LiveServer::stop() {
  {
    std::lock_guard lock(impl_->mutex);
    impl_->stopping = true;
  }
  impl_->changed.notify_all();
  if (impl_->thread.joinable()) {
    impl_->server.stop();
    impl_->thread.join();
  }
}

}  // namespace sb::inspect
