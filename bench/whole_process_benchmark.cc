// The whole-process pair of the build benchmark.
//
// Each round starts, as processes of their own:
//   - the built-in build as a user starts it: scenario_builder without
//     arguments, from a copy in a folder of its own, which it builds in;
//   - the maximal build as a user starts it: scenario_builder --line --train
//     with the maximal scenario's descriptions, from a copy in a second folder;
//   - the floor of each: floor_writer doing what that build does to the disk
//     (the same files, names, sizes and order, each written into a temporary
//     renamed over it, the same files and folders synced, and the same
//     deletions), recorded from a first build;
//   - the start-up alone: scenario_builder --version, and floor_writer with
//     nothing to do.
// Each pair runs twice a round: without syncs, both programs started with
// bench/without_syncs.cc preloaded, so that a sync returns at once (the
// pair the build's cost is judged by: the work beside the writing), and as
// they are, each waiting for its syncs (the disk's share, reported). A
// build and its floor run back to back, in turn first, so that the median
// of the rounds' ratios follows the machine's load less than the medians
// do. A process's time runs from posix_spawn to the return of
// wait4. After the rounds, each program runs once more under peak_memory,
// for its peak resident memory (VmHWM): a process started straight from
// this one would show this one's.

#include "bench/whole_process_benchmark.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

#include "base/file_names.h"
#include "bench/bench_support.h"
#include "bench/maximal_scenario.h"
#include "driver/run.h"
#include "scenario/built_in_names.h"

extern char** environ;

namespace sb::bench {

namespace {

constexpr int kWarmUpRounds = 3;
std::string g_builder = SCENARIO_BUILDER_EXE;
std::string g_floor = FLOOR_WRITER_EXE;

// An environment for the processes started: this process's own, with a
// library added to what is preloaded, or none.
class Environment {
 public:
  explicit Environment(const std::string& preload = {}) {
    constexpr std::string_view kPreload = "LD_PRELOAD=";
    std::string preloaded = preload;
    for (char** variable = environ; *variable; ++variable) {
      const std::string_view v = *variable;
      if (!preload.empty() && v.starts_with(kPreload)) {
        preloaded.append(":").append(v.substr(kPreload.size()));
      } else {
        variables_.emplace_back(v);
      }
    }
    if (!preload.empty()) variables_.push_back(std::string(kPreload).append(preloaded));
    for (std::string& variable : variables_) pointers_.push_back(variable.data());
    pointers_.push_back(nullptr);
  }
  Environment(const Environment&) = delete;
  Environment& operator=(const Environment&) = delete;

  char* const* get() const { return pointers_.data(); }

 private:
  std::vector<std::string> variables_;
  std::vector<char*> pointers_;
};

// A program and its arguments, ready to start.
class Command {
 public:
  Command() = default;
  explicit Command(std::vector<std::string> words) : words_(std::move(words)) {
    for (std::string& word : words_) argv_.push_back(word.data());
    argv_.push_back(nullptr);
  }
  Command(const Command&) = delete;
  Command& operator=(const Command&) = delete;
  Command(Command&& other) noexcept { *this = std::move(other); }
  Command& operator=(Command&& other) noexcept {
    // The strings' buffers move with them (the vector's elements do not
    // move), so the pointers stay good.
    words_ = std::move(other.words_);
    argv_ = std::move(other.argv_);
    return *this;
  }

  const std::string& program() const { return words_.front(); }
  const std::vector<std::string>& words() const { return words_; }
  char* const* argv() const { return argv_.data(); }

 private:
  std::vector<std::string> words_;
  std::vector<char*> argv_;
};


// Starts the command with its output thrown away and waits for it: the
// seconds it took. A process that does not exit with status 0 stops the
// benchmark.
double run_process(const Command& command, char* const* environment = environ) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const int error = ::posix_spawn(&pid, command.program().c_str(), &actions, nullptr,
                                  command.argv(), environment);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) fail("cannot start " + command.program());
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) fail("cannot wait for " + command.program());
  const auto end = std::chrono::steady_clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    fail(command.program() + " ended with status " + std::to_string(status));
  }
  return std::chrono::duration<double>(end - start).count();
}

// The file system a folder lies on, from the mount table:
// "ext4 (/dev/vda, mounted at /)".
std::string file_system_of(const std::string& folder) {
  std::error_code ec;
  const std::string path = std::filesystem::canonical(folder, ec).string();
  std::ifstream in("/proc/self/mountinfo");
  std::string line, mount, type, source;
  while (std::getline(in, line)) {
    // id parent major:minor root mount-point options [optional...] - type source ...
    std::istringstream fields(line);
    std::string id, parent, device, root, mount_point, field;
    fields >> id >> parent >> device >> root >> mount_point;
    while (fields >> field && field != "-") {
    }
    std::string this_type, this_source;
    fields >> this_type >> this_source;
    const bool holds = mount_point == "/" || path == mount_point ||
                       path.starts_with(mount_point + "/");
    // Of mounts on the same point, the last one listed is the one seen.
    if (holds && mount_point.size() >= mount.size()) {
      mount = mount_point;
      type = this_type;
      source = this_source;
    }
  }
  if (type.empty()) return "an unknown file system";
  return type + " (" + source + ", mounted at " + mount + ")";
}

// The program, copied into `folder`: started without --dir, it builds there.
std::string copy_program(const std::string& program, const std::string& folder) {
  const std::string copy = folder + "/" + std::filesystem::path(program).filename().string();
  std::error_code ec;
  std::filesystem::copy_file(program, copy, ec);
  if (ec) fail("cannot copy " + program + " to " + folder + ": " + ec.message());
  return copy;
}

// The compiled files a build left in the folder, name by name.
std::vector<std::string> compiled_files(const std::string& folder) {
  std::vector<std::string> contents;
  for (const std::string& name :
       {plan_file_name(kBuiltInRouteName),
        station_file_name(kBuiltInRouteName, kBuiltInTrainNumber),
        cell_file_name(kBuiltInRouteName, kBuiltInTrainNumber)}) {
    contents.push_back(read_bytes(folder + "/" + name));
  }
  return contents;
}

// The peak resident memory of the command, in kB, run by peak_memory.
long peak_memory_kb(const Command& command, const std::string& scratch_file) {
  std::vector<std::string> words{PEAK_MEMORY_EXE, scratch_file};
  words.insert(words.end(), command.words().begin(), command.words().end());
  run_process(Command(std::move(words)));
  std::ifstream in(scratch_file);
  long kb = -1;
  if (!(in >> kb)) fail("peak_memory wrote no figure");
  return kb;
}

struct Pair {
  std::vector<double> build, floor;
  long build_peak_kb = 0, floor_peak_kb = 0;
};

// One scenario: the program as a user starts it in its folder, and its floor.
class ProcessScenario {
 public:
  ProcessScenario(const std::string& folder, const std::vector<std::string>& arguments)
      : folder_(folder), arguments_(arguments) {
    std::filesystem::create_directory(folder_);
    std::vector<std::string> words{copy_program(g_builder, folder_)};
    words.insert(words.end(), arguments.begin(), arguments.end());
    build_ = Command(std::move(words));
  }

  // Runs the build once in this process, noting what it does to the disk,
  // for the floor; then once as a process, which must write the same files.
  void record_floor() {
    DiskFileSystem disk;
    RecordingFileSystem recording(disk);
    BenchPlatform platform(folder_, recording);
    const int status = run_program(platform, arguments_);
    if (status != kBuilt) fail("the build ended with status " + std::to_string(status));
    const std::vector<std::string> expected = compiled_files(folder_);
    run_process(build_);
    if (compiled_files(folder_) != expected) {
      fail("scenario_builder as a process wrote other files than the build in this one");
    }
    std::vector<std::string> words{g_floor};
    for (const FileOperation& op : recording.operations()) {
      switch (op.kind) {
        case FileOperation::write:
          words.push_back((op.synced ? "s:" : "w:") + std::to_string(op.size) + ":" + op.path);
          ++written_;
          bytes_ += op.size;
          synced_ += op.synced;
          break;
        case FileOperation::sync_folder:
          words.push_back("f:" + op.path);
          ++folder_syncs_;
          break;
        case FileOperation::remove:
          words.push_back("d:" + op.path);
          ++deleted_;
          break;
      }
    }
    floor_ = Command(std::move(words));
  }

  // The build and its floor, back to back, the build first or second.
  void run_pair(Pair* into, bool build_first, const Environment& environment) {
    const double first = run_process(build_first ? build_ : floor_, environment.get());
    const double second = run_process(build_first ? floor_ : build_, environment.get());
    if (!into) return;
    into->build.push_back(build_first ? first : second);
    into->floor.push_back(build_first ? second : first);
  }

  void measure_peak_memory(Pair& into) const {
    into.build_peak_kb = peak_memory_kb(build_, folder_ + "/peak_memory");
    into.floor_peak_kb = peak_memory_kb(floor_, folder_ + "/peak_memory");
  }

  size_t written() const { return written_; }
  size_t deleted() const { return deleted_; }
  size_t bytes() const { return bytes_; }
  size_t synced() const { return synced_; }
  size_t folder_syncs() const { return folder_syncs_; }

 private:
  std::string folder_;
  std::vector<std::string> arguments_;
  Command build_;
  Command floor_;
  size_t written_ = 0, deleted_ = 0, bytes_ = 0, synced_ = 0, folder_syncs_ = 0;
};

// What a scenario's build does to the disk, for the summary.
struct Footprint {
  size_t written = 0, deleted = 0, bytes = 0, synced = 0, folder_syncs = 0;

  static Footprint of(const ProcessScenario& scenario) {
    return {scenario.written(), scenario.deleted(), scenario.bytes(), scenario.synced(),
            scenario.folder_syncs()};
  }
};

struct Results {
  // Without syncs (the goal's pair), and with them.
  Pair builtin, maximal, builtin_synced, maximal_synced, start_up;
  Footprint builtin_footprint, maximal_footprint;
  std::string file_system, load_before, load_after;
  bool done = false;
};
Results g_results;

void BM_WholeProcess(benchmark::State& state) {
  Results& r = g_results;
  r.load_before = load_average();
  TempFolder root("process");
  r.file_system = root.path() + " on " + file_system_of(root.path());

  const std::string sources = root.path() + "/sources";
  std::filesystem::create_directory(sources);
  const MaximalScenario scenario = make_maximal_scenario();
  const std::string line_file = sources + "/maximal_linea.txt";
  const std::string train_file = sources + "/maximal_treno.txt";
  write_text(line_file, scenario.line_description);
  write_text(train_file, scenario.train_description);

  ProcessScenario builtin(root.path() + "/builtin", {});
  ProcessScenario maximal(root.path() + "/maximal", {"--line", line_file, "--train", train_file});
  builtin.record_floor();
  maximal.record_floor();
  const Command version({g_builder, "--version"});
  const Command idle_floor({g_floor});
  const Environment as_they_are;
  const Environment without_syncs(WITHOUT_SYNCS_LIBRARY);

  auto round = [&](bool record, bool build_first) {
    builtin.run_pair(record ? &r.builtin : nullptr, build_first, without_syncs);
    maximal.run_pair(record ? &r.maximal : nullptr, build_first, without_syncs);
    builtin.run_pair(record ? &r.builtin_synced : nullptr, build_first, as_they_are);
    maximal.run_pair(record ? &r.maximal_synced : nullptr, build_first, as_they_are);
    const double builder_start = run_process(version);
    const double floor_start = run_process(idle_floor);
    if (record) {
      r.start_up.build.push_back(builder_start);
      r.start_up.floor.push_back(floor_start);
    }
  };
  for (int i = 0; i < kWarmUpRounds; ++i) round(false, i % 2 == 0);
  int n = 0;
  for (auto _ : state) round(true, n++ % 2 == 0);

  builtin.measure_peak_memory(r.builtin);
  maximal.measure_peak_memory(r.maximal);
  r.builtin_footprint = Footprint::of(builtin);
  r.maximal_footprint = Footprint::of(maximal);
  r.load_after = load_average();
  r.done = true;
  state.counters["builtin_ratio"] = median_of_ratios(r.builtin.build, r.builtin.floor);
  state.counters["maximal_ratio"] = median_of_ratios(r.maximal.build, r.maximal.floor);
  state.counters["builtin_synced_ratio"] =
      median_of_ratios(r.builtin_synced.build, r.builtin_synced.floor);
  state.counters["maximal_synced_ratio"] =
      median_of_ratios(r.maximal_synced.build, r.maximal_synced.floor);
}

void print_times(const char* title, const Pair& pair, const char* target) {
  std::printf("  %s\n", title);
  std::printf("    %-32s %s\n", "whole process", time_row(pair.build).c_str());
  std::printf("    %-32s %s\n", "floor_writer", time_row(pair.floor).c_str());
  std::printf("    %-32s %9.2f\n", "ratio of the medians", median(pair.build) / median(pair.floor));
  std::printf("    %-32s %9.2f%s\n", "median of the rounds' ratios",
              median_of_ratios(pair.build, pair.floor), target);
}

void print_scenario(const char* title, const Footprint& footprint, const Pair& unsynced,
                    const Pair& synced) {
  std::printf("%s: %zu files written (%zu bytes; %zu of them synced), %zu folder syncs, "
              "%zu deleted\n",
              title, footprint.written, footprint.bytes, footprint.synced, footprint.folder_syncs,
              footprint.deleted);
  print_times("without syncs (both preloaded with without_syncs)", unsynced, "   (target <= 1.3)");
  print_times("with syncs (as they are)", synced, "");
  std::printf("  %-34s %9.1f MB  (floor_writer %.1f MB)\n", "peak resident memory (VmHWM)",
              unsynced.build_peak_kb / 1024.0, unsynced.floor_peak_kb / 1024.0);
}

}  // namespace

bool take_whole_process_flag(const char* argument) {
  const std::string_view a = argument;
  for (auto [flag, program] : {std::pair{std::string_view("--builder="), &g_builder},
                               std::pair{std::string_view("--floor="), &g_floor}}) {
    if (a.starts_with(flag)) {
      *program = std::filesystem::absolute(a.substr(flag.size())).string();
      return true;
    }
  }
  return false;
}

void register_whole_process_benchmark(int rounds) {
  benchmark::RegisterBenchmark("whole_process/alternated_pairs", BM_WholeProcess)
      ->Iterations(rounds)
      ->Unit(benchmark::kMillisecond);
}

void print_whole_process_summary() {
  const Results& r = g_results;
  if (!r.done) return;
  std::printf("\nWhole process as a user starts it, against floor_writer: medians of %zu "
              "alternated pairs (after %d warm-up rounds)\n",
              r.builtin.build.size(), kWarmUpRounds);
  std::printf("scenario_builder: %s\nfloor_writer: %s\n", g_builder.c_str(), g_floor.c_str());
  std::printf("folder: %s\n", r.file_system.c_str());
  std::printf("load average before: %s, after: %s\n\n", r.load_before.c_str(),
              r.load_after.c_str());
  print_scenario("built-in scenario (no arguments)", r.builtin_footprint, r.builtin,
                 r.builtin_synced);
  std::printf("\n");
  print_scenario("maximal scenario (--line, --train)", r.maximal_footprint, r.maximal,
                 r.maximal_synced);
  std::printf("\nstart-up alone:\n");
  std::printf("  %-34s %s\n", "scenario_builder --version", time_row(r.start_up.build).c_str());
  std::printf("  %-34s %s\n", "floor_writer, nothing to write", time_row(r.start_up.floor).c_str());
}

}  // namespace sb::bench
