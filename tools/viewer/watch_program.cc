#include "tools/viewer/watch_program.h"

#include <cstdio>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "base/shown_text.h"
#include "driver/scenario_names.h"
#include "tools/viewer/live_server.h"
#include "tools/viewer/live_state.h"
#include "tools/viewer/viewer_program.h"

namespace sb::inspect {

namespace {

constexpr std::string_view kBuilderPrefix = "scenario_builder: ";
constexpr std::string_view kPrefix = "scenario_inspect: ";

// The platform the watch's builds run on: the program's own, less the
// waiting label (a watch builds again and again), with the builder's
// messages under this program's name and kept per build for the page.
class WatchPlatform : public Platform {
 public:
  explicit WatchPlatform(Platform& inner) : inner_(inner) {}

  std::string program_directory() override { return inner_.program_directory(); }
  std::string join_path(const std::string& dir, const std::string& name) override {
    return inner_.join_path(dir, name);
  }
  void show_waiting_window() override {}
  void close_waiting_window() override {}
  int32_t show_message(const std::string& text) override {
    report(text);
    return 1;
  }
  void report(const std::string& line) override {
    const bool builder = line.starts_with(kBuilderPrefix);
    const std::string text = builder ? line.substr(kBuilderPrefix.size()) : line;
    reported_.push_back(text);
    inner_.report(std::string(kPrefix) + text);
    std::fflush(stderr);
  }
  void print(const std::string& text) override {
    inner_.print(text);
    std::fflush(stdout);
  }
  FileSystem& file_system() override { return inner_.file_system(); }

  // What was reported since the last call.
  std::vector<std::string> take_reported() { return std::exchange(reported_, {}); }

 private:
  Platform& inner_;
  std::vector<std::string> reported_;
};

std::string watched_names(const Options& o) {
  if (o.line_file && o.train_file) return shown_path(*o.line_file) + " and " + shown_path(*o.train_file);
  return shown_path(o.line_file ? *o.line_file : *o.train_file);
}

// Follows the builds of a watch and keeps the state a served page shows.
class WatchPublisher {
 public:
  WatchPublisher(WatchPlatform& platform, const Options& options, LiveServer* server)
      : platform_(platform), server_(server) {
    directory_ = options.directory.value_or(platform.program_directory());
    // The names the builds take: from the options, else from the
    // descriptions' working names, as the builder names them.
    const ScenarioNames names = scenario_names(options);
    route_ = names.route_name;
    train_ = names.train_number;
    // Until a save builds, the page shows the build already in the folder.
    std::string problem;
    if (auto data = read_page_data(problem)) {
      state_.page_data = std::move(*data);
      state_.has_build = true;
    } else {
      state_.page_data = no_build_page_data();
    }
    if (server_ != nullptr) server_->publish(state_);
  }

  void after_build(const CheckedBuild& outcome) {
    const std::vector<std::string> reported = platform_.take_reported();
    if (server_ == nullptr) return;
    ++state_.generation;
    state_.last_save_built = outcome.built;
    state_.problems = outcome.problems;
    if (outcome.built) {
      std::string problem;
      if (auto data = read_page_data(problem)) {
        state_.page_data = std::move(*data);
        state_.has_build = true;
        ++state_.build;
      } else {
        state_.problems.push_back({true, "", 0, 0, "the build cannot be read back: " + problem});
      }
    } else if (outcome.status != kBuiltWithProblem) {
      // The check found nothing, the build still failed (a file that could
      // not be written, say): what it said is the problem.
      for (const std::string& line : reported) {
        if (line.starts_with("warning: ") || line.find(": warning: ") != std::string::npos) continue;
        state_.problems.push_back({true, "", 0, 0, line});
      }
    }
    server_->publish(state_);
  }

 private:
  std::optional<std::string> read_page_data(std::string& problem) {
    auto read = read_built_scenario(platform_.file_system(), directory_, route_, train_);
    if (auto* why = std::get_if<std::string>(&read)) {
      problem = *why;
      return std::nullopt;
    }
    return page_data_text(std::get<ScenarioFiles>(read));
  }

  WatchPlatform& platform_;
  LiveServer* server_;
  std::string directory_;
  std::string route_;
  std::string train_;
  LiveState state_;
};

}  // namespace

int run_watch(Platform& platform, const WatchOptions& options, const StopRequest& stop,
              const WatchTiming& timing) {
  WatchPlatform watch_platform(platform);
  LiveServer server;
  if (options.serve_port) {
    const std::string problem = server.start(*options.serve_port);
    if (!problem.empty()) {
      watch_platform.report(problem);
      return kCannotServe;
    }
  }
  WatchPublisher publisher(watch_platform, options.build, options.serve_port ? &server : nullptr);
  watch_platform.report("watching " + watched_names(options.build) +
                        ": every save is checked and built (Ctrl-C stops)");
  if (options.serve_port) {
    watch_platform.print("serving the page on http://127.0.0.1:" + std::to_string(server.port()) +
                         "/\n");
  }
  watch_descriptions(watch_platform, options.build, stop,
                     [&](const CheckedBuild& outcome) { publisher.after_build(outcome); }, timing);
  server.stop();
  watch_platform.report("stopped watching");
  return kInspected;
}

}  // namespace sb::inspect
