// The whole build against the cost of writing its files.
//
// One benchmark run times, interleaved round by round after a warm-up:
//   - the whole build of the built-in scenario, through the real disk file
//     system, in a temporary folder (the program's folder of the build);
//   - the whole build of the maximal scenario (bench/maximal_scenario.h) the
//     way the program builds its built-in one: its two descriptions written
//     into the folder, read back, deleted, the compiled files written;
//   - the floor of each: the same files (same names, sizes and order) written
//     into the same folder with plain POSIX calls, each in one write, with
//     the same replace-by-rename, and the same descriptions deleted;
//   - the track-plan recurrence of the maximal line alone, in memory already
//     written to, and the first touch of as much fresh memory as the plan
//     takes (what a build pays on top when its plan memory is new).
// Neither side syncs a file or a folder. It prints the median of every
// time, the ratios build / floor, and the peak resident memory of the
// maximal build as a user runs it (--line, --train), taken in a child process, against the
// size of the compiled files it writes.
//
//   build_benchmark [--rounds=N] [--builder=PATH] [--floor=PATH] [Google Benchmark flags]
//
// --builder and --floor time another scenario_builder and floor_writer in
// the whole-process pair (another commit's, or linked otherwise).

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "base/file_names.h"
#include "bench/bench_support.h"
#include "bench/maximal_scenario.h"
#include "bench/whole_process_benchmark.h"
#include "compile/compile_scenario.h"
#include "driver/run.h"
#include "platform/file_system.h"
#include "platform/platform.h"
#include "scenario/built_in_names.h"
#include "track/model.h"
#include "track/track_plan.h"

namespace sb::bench {

namespace {

constexpr int kWarmUpRounds = 3;
int g_rounds = 31;

// ---- The floor ------------------------------------------------------------

// The same file operations as a build, with plain POSIX calls: each file
// written beside its place in one write from one buffer, then renamed over it.
// Nothing is synced, on either side of the pair.
class Floor {
 public:
  explicit Floor(const std::vector<FileOperation>& operations) {
    std::copy_if(operations.begin(), operations.end(), std::back_inserter(operations_),
                 [](const FileOperation& op) { return op.kind != FileOperation::sync_folder; });
    size_t largest = 0;
    for (const FileOperation& op : operations_) {
      largest = std::max(largest, op.size);
      partial_paths_.push_back(op.path + ".partial");
    }
    bytes_.assign(largest, 'x');
  }

  void run() const {
    for (size_t i = 0; i < operations_.size(); ++i) {
      const FileOperation& op = operations_[i];
      if (op.kind == FileOperation::remove) {
        if (::unlink(op.path.c_str()) != 0) fail("unlink " + op.path);
        continue;
      }
      const char* partial = partial_paths_[i].c_str();
      const int fd = ::open(partial, O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd < 0) fail("open " + partial_paths_[i]);
      size_t done = 0;
      while (done < op.size) {
        const ssize_t n = ::write(fd, bytes_.data() + done, op.size - done);
        if (n <= 0) fail("write " + partial_paths_[i]);
        done += static_cast<size_t>(n);
      }
      if (::close(fd) != 0) fail("close " + partial_paths_[i]);
      if (::rename(partial, op.path.c_str()) != 0) fail("rename " + op.path);
    }
  }

  size_t bytes_written() const {
    size_t total = 0;
    for (const FileOperation& op : operations_) total += op.size;
    return total;
  }
  size_t files_written() const {
    return static_cast<size_t>(
        std::count_if(operations_.begin(), operations_.end(),
                      [](const FileOperation& op) { return op.kind != FileOperation::remove; }));
  }
  size_t files_deleted() const { return operations_.size() - files_written(); }
  // The bytes of the files still there at the end: the build's output.
  size_t bytes_kept() const {
    size_t total = 0;
    for (size_t i = 0; i < operations_.size(); ++i) {
      const FileOperation& op = operations_[i];
      const bool deleted_later =
          std::any_of(operations_.begin() + static_cast<ptrdiff_t>(i) + 1, operations_.end(),
                      [&](const FileOperation& later) {
                        return later.kind == FileOperation::remove && later.path == op.path;
                      });
      if (op.kind != FileOperation::remove && !deleted_later) total += op.size;
    }
    return total;
  }

 private:
  std::vector<FileOperation> operations_;
  std::vector<std::string> partial_paths_;
  std::vector<char> bytes_;
};

// ---- The builds -----------------------------------------------------------

[[noreturn]] void fail_build(int status, const std::string& report) {
  fail("the build ended with status " + std::to_string(status) + ": " + report);
}

// The whole program on the platform: the command line, the build, the exit
// status.
void run_whole_program(BenchPlatform& platform, const std::vector<std::string>& args) {
  const int status = run_program(platform, args);
  if (status != kBuilt) fail_build(status, platform.last_report());
}

// What the program does for its built-in scenario, with the maximal content
// in place of the built-in lines: write the two descriptions into the
// program's folder, then compile_scenario reads them back, deletes them
// and writes the compiled files.
void build_from_descriptions(BenchPlatform& platform, const MaximalScenario& scenario) {
  Builder b(platform);
  b.directory = platform.program_directory();
  b.route_name = kBuiltInRouteName;
  b.train_number = kBuiltInTrainNumber;
  b.files->replace_file(b.path(line_description_name(b.route_name)), scenario.line_description);
  b.files->replace_file(b.path(train_description_name(b.route_name, b.train_number)), scenario.train_description);
  compile_scenario(b, true);
  if (b.error_number != 0) {
    fail_build(kBuiltWithProblem, "error_number " + std::to_string(b.error_number));
  }
}

// One scenario's build in its own folder, and the floor made from what a
// first build wrote.
class Scenario {
 public:
  using Build = std::function<void(BenchPlatform&)>;

  Scenario(const char* tag, Build build)
      : folder_(tag), build_(std::move(build)), platform_(folder_.path(), unsynced_) {}

  const std::string& folder() const { return folder_.path(); }

  // A first build through a recording file system gives the floor.
  void record_floor() {
    RecordingFileSystem recording(unsynced_);
    BenchPlatform platform(folder_.path(), recording);
    build_(platform);
    floor_ = std::make_unique<Floor>(recording.operations());
  }

  void build() { build_(platform_); }
  void floor() const { floor_->run(); }
  const Floor& floor_plan() const { return *floor_; }

 private:
  TempFolder folder_;
  Build build_;
  DiskFileSystem disk_;
  UnsyncedFileSystem unsynced_{disk_};
  BenchPlatform platform_;
  std::unique_ptr<Floor> floor_;
};

// The plan of the maximal line, laid exactly as the line reader lays it.
// With `background` false the values are computed on this thread, when the
// blocks are asked for: the recurrence alone.
void lay_plan(const MaximalScenario& scenario, TrackPlan& plan, bool background) {
  plan.set_background(background);
  plan.allocate(MaximalScenario::track_extent_m);
  plan.push_integer(0, 0);
  plan.push_integer(0, 1);
  for (const MaximalScenario::Curve& curve : scenario.curve_list) {
    plan.lay_straight(curve.start);
    plan.lay_curve(int64_t{curve.start} + curve.length, curve.curvature);
  }
  plan.lay_straight(MaximalScenario::track_extent_m - 2);
}

// Two blocks of the maximal plan's size, taken new, written every 10 bytes
// and given back, as a build's plan blocks are.
void touch_fresh_plan_memory() {
  constexpr size_t kBlock = 10 * (size_t{MaximalScenario::track_extent_m} + 1);
  for (int block = 0; block < 2; ++block) {
    PlanBlock memory(kBlock);
    for (size_t i = 0; i < kBlock; i += 10) memory.get()[i] = 5;
    benchmark::DoNotOptimize(memory.get());
  }
}

// The recurrence alone must be the work the build does: its x block is the
// start of the plan file.
void check_plan_matches(const MaximalScenario& scenario, const std::string& plan_file) {
  TrackPlan plan;
  lay_plan(scenario, plan, true);
  const std::string bytes = read_bytes(plan_file);
  if (bytes.compare(0, plan.x_block().size(), plan.x_block()) != 0) {
    fail("the recurrence alone does not give the plan file's x block");
  }
}

// ---- Measuring ------------------------------------------------------------

double seconds_of(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Samples {
  std::vector<double> builtin_build, builtin_floor, maximal_build, maximal_floor, recurrence,
      fresh_plan_memory;
};

// VmHWM and VmRSS of this process, in kB.
long status_kb(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field));
  }
  return -1;
}

struct PeakMemory {
  long before_build_kb = -1;
  long peak_kb = -1;
};

// The maximal build as a user runs it (scenario_builder --line --train) in
// a fresh process of this program: its own peak resident set, and what the
// process held before building.
PeakMemory peak_memory_of_maximal_build(const std::string& folder,
                                        const std::vector<std::string>& args) {
  char exe[4096];
  const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0) fail("cannot find this program");
  exe[n] = '\0';
  std::string command = std::string(exe) + " --peak-memory-child " + folder;
  for (const std::string& arg : args) command += " " + arg;
  std::FILE* child = ::popen(command.c_str(), "r");
  if (!child) fail("cannot start the child build");
  PeakMemory peak;
  if (std::fscanf(child, "%ld %ld", &peak.before_build_kb, &peak.peak_kb) != 2) {
    fail("the child build reported nothing");
  }
  if (::pclose(child) != 0) fail("the child build failed");
  return peak;
}

int peak_memory_child(int argc, char** argv) {
  // argv: program --peak-memory-child FOLDER ARGS...
  DiskFileSystem disk;
  BenchPlatform platform(argv[2], disk);
  std::vector<std::string> args(argv + 3, argv + argc);
  const long before = status_kb("VmHWM:");
  const int status = run_program(platform, args);
  std::printf("%ld %ld\n", before, status_kb("VmHWM:"));
  return status;
}

struct Results {
  Samples samples;
  size_t builtin_bytes = 0, maximal_bytes = 0, maximal_output_bytes = 0;
  size_t builtin_files = 0, maximal_files = 0, maximal_deleted = 0, builtin_deleted = 0;
  PeakMemory peak;
  std::string load_before, load_after;
  bool done = false;
};
Results g_results;

void BM_WholeBuild(benchmark::State& state) {
  Results& r = g_results;
  r.load_before = load_average();

  const MaximalScenario scenario = make_maximal_scenario();
  TempFolder sources("sources");
  const std::string line_file = sources.path() + "/maximal_linea.txt";
  const std::string train_file = sources.path() + "/maximal_treno.txt";
  write_text(line_file, scenario.line_description);
  write_text(train_file, scenario.train_description);

  Scenario builtin("builtin", [](BenchPlatform& platform) { run_whole_program(platform, {}); });
  Scenario maximal("maximal", [&](BenchPlatform& platform) {
    build_from_descriptions(platform, scenario);
  });
  builtin.record_floor();
  maximal.record_floor();
  check_plan_matches(scenario, maximal.folder() + "/Sarvena_Lucredo_linea.dat");

  TrackPlan plan;
  auto round = [&](Samples* into, bool build_first) {
    auto timed = [&](std::vector<double>* out, const std::function<void()>& work) {
      const double s = seconds_of(work);
      if (into) out->push_back(s);
    };
    auto pair = [&](Scenario& s, std::vector<double>* build, std::vector<double>* floor) {
      if (build_first) {
        timed(build, [&] { s.build(); });
        timed(floor, [&] { s.floor(); });
      } else {
        timed(floor, [&] { s.floor(); });
        timed(build, [&] { s.build(); });
      }
    };
    Samples& x = into ? *into : r.samples;
    pair(builtin, &x.builtin_build, &x.builtin_floor);
    pair(maximal, &x.maximal_build, &x.maximal_floor);
    timed(&x.recurrence, [&] {
      lay_plan(scenario, plan, false);
      benchmark::DoNotOptimize(plan.x_block().data());
    });
    timed(&x.fresh_plan_memory, [&] { touch_fresh_plan_memory(); });
  };

  for (int i = 0; i < kWarmUpRounds; ++i) round(nullptr, i % 2 == 0);
  int n = 0;
  for (auto _ : state) round(&r.samples, n++ % 2 == 0);

  r.builtin_bytes = builtin.floor_plan().bytes_written();
  r.builtin_files = builtin.floor_plan().files_written();
  r.builtin_deleted = builtin.floor_plan().files_deleted();
  r.maximal_bytes = maximal.floor_plan().bytes_written();
  r.maximal_files = maximal.floor_plan().files_written();
  r.maximal_deleted = maximal.floor_plan().files_deleted();
  r.maximal_output_bytes = maximal.floor_plan().bytes_kept();
  TempFolder peak_folder("peak");
  r.peak = peak_memory_of_maximal_build(peak_folder.path(),
                                        {"--line", line_file, "--train", train_file});
  r.load_after = load_average();
  r.done = true;

  const Samples& s = r.samples;
  auto ms = [](const std::vector<double>& v) { return median(v) * 1e3; };
  state.counters["builtin_build_ms"] = ms(s.builtin_build);
  state.counters["builtin_floor_ms"] = ms(s.builtin_floor);
  state.counters["builtin_ratio"] = median(s.builtin_build) / median(s.builtin_floor);
  state.counters["maximal_build_ms"] = ms(s.maximal_build);
  state.counters["maximal_floor_ms"] = ms(s.maximal_floor);
  state.counters["maximal_ratio"] = median(s.maximal_build) / median(s.maximal_floor);
  state.counters["recurrence_ms"] = ms(s.recurrence);
  state.counters["fresh_plan_memory_ms"] = ms(s.fresh_plan_memory);
  state.counters["maximal_peak_MB"] = r.peak.peak_kb / 1024.0;
}

// The ratio of the medians, and the median of the ratios of each round (a
// build and its floor run back to back, so they share the machine's load).
void ratio_rows(const std::vector<double>& build, const std::vector<double>& floor) {
  std::printf("  %-34s %9.2f   (target <= 1.5)\n", "ratio build / floor", median(build) / median(floor));
  std::printf("  %-34s %9.2f\n", "median of the rounds' ratios", median_of_ratios(build, floor));
}

void print_summary() {
  const Results& r = g_results;
  if (!r.done) return;
  const Samples& s = r.samples;
  std::printf("\nWhole build against writing its files: medians of %zu interleaved rounds "
              "(after %d warm-up rounds)\n",
              s.builtin_build.size(), kWarmUpRounds);
  std::printf("load average before: %s, after: %s\n\n", r.load_before.c_str(),
              r.load_after.c_str());
  auto row = [](const char* name, const std::vector<double>& v) {
    std::vector<double> sorted = v;
    std::sort(sorted.begin(), sorted.end());
    std::printf("  %-34s %9.3f ms  (min %.3f, max %.3f)\n", name, median(v) * 1e3,
                sorted.front() * 1e3, sorted.back() * 1e3);
  };
  std::printf("built-in scenario: %zu files written (%zu bytes), %zu deleted\n", r.builtin_files,
              r.builtin_bytes, r.builtin_deleted);
  row("whole build", s.builtin_build);
  row("floor (POSIX writes)", s.builtin_floor);
  ratio_rows(s.builtin_build, s.builtin_floor);
  std::printf("\n");
  std::printf("maximal scenario: %zu files written (%zu bytes), %zu deleted\n", r.maximal_files,
              r.maximal_bytes, r.maximal_deleted);
  row("whole build", s.maximal_build);
  row("floor (POSIX writes)", s.maximal_floor);
  ratio_rows(s.maximal_build, s.maximal_floor);
  row("track-plan recurrence alone", s.recurrence);
  row("first touch of the plan's memory", s.fresh_plan_memory);
  // The output of the maximal build: its three compiled files (the two
  // descriptions are copied in and deleted again).
  const double peak_mb = r.peak.peak_kb / 1024.0;
  const double output_mb = r.maximal_output_bytes / (1024.0 * 1024.0);
  std::printf("\npeak resident memory of the maximal build (child process, VmHWM): %.1f MB "
              "(%.1f MB before building)\n",
              peak_mb, r.peak.before_build_kb / 1024.0);
  std::printf("compiled output of the maximal build: %.1f MB; peak / output = %.2f "
              "(target <= 3)\n",
              output_mb, peak_mb / output_mb);
}

}  // namespace

}  // namespace sb::bench

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "--peak-memory-child") == 0) {
    return sb::bench::peak_memory_child(argc, argv);
  }
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--rounds=", 9) == 0) {
      sb::bench::g_rounds = std::max(1, std::atoi(argv[i] + 9));
    } else if (sb::bench::take_whole_process_flag(argv[i])) {
    } else {
      rest.push_back(argv[i]);
    }
  }
  int rest_count = static_cast<int>(rest.size());
  benchmark::Initialize(&rest_count, rest.data());
  if (benchmark::ReportUnrecognizedArguments(rest_count, rest.data())) return 1;
  benchmark::RegisterBenchmark("whole_build/interleaved_round", sb::bench::BM_WholeBuild)
      ->Iterations(sb::bench::g_rounds)
      ->Unit(benchmark::kMillisecond);
  sb::bench::register_whole_process_benchmark(sb::bench::g_rounds);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  sb::bench::print_summary();
  sb::bench::print_whole_process_summary();
  return 0;
}
