#include "bench/bench_support.h"

#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace sb::bench {

void fail(const std::string& what) {
  std::fprintf(stderr, "build_benchmark: %s\n", what.c_str());
  std::exit(1);
}

void RecordingFileSystem::write_new_file(const std::string& temporary_path,
                                         const std::string& final_path,
                                         std::span<const std::string_view> chunks,
                                         Durability durability) {
  size_t size = 0;
  for (std::string_view chunk : chunks) size += chunk.size();
  operations_.push_back(
      {FileOperation::write, final_path, size, durability == Durability::synced});
  inner_.write_new_file(temporary_path, final_path, chunks, durability);
}

void RecordingFileSystem::sync_folder(const std::string& dir) {
  operations_.push_back({FileOperation::sync_folder, dir});
  inner_.sync_folder(dir);
}

void RecordingFileSystem::remove_file(const std::string& path) {
  if (inner_.exists(path)) operations_.push_back({FileOperation::remove, path});
  inner_.remove_file(path);
}

TempFolder::TempFolder(const char* tag) {
  std::string pattern =
      (std::filesystem::temp_directory_path() / (std::string("sbbench-") + tag + "-XXXXXX"))
          .string();
  if (!::mkdtemp(pattern.data())) fail("cannot create a temporary folder");
  path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void write_text(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out) fail("cannot write " + path);
}

std::string read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

double median(std::vector<double> samples) {
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  const size_t n = samples.size();
  return n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
}

double median_of_ratios(const std::vector<double>& build, const std::vector<double>& floor) {
  std::vector<double> per_round;
  for (size_t i = 0; i < build.size() && i < floor.size(); ++i) {
    per_round.push_back(build[i] / floor[i]);
  }
  return median(per_round);
}

std::string time_row(const std::vector<double>& seconds) {
  if (seconds.empty()) return "-";
  const auto [least, most] = std::minmax_element(seconds.begin(), seconds.end());
  char row[96];
  std::snprintf(row, sizeof row, "%9.3f ms  (min %.3f, max %.3f)", median(seconds) * 1e3,
                *least * 1e3, *most * 1e3);
  return row;
}

std::string load_average() {
  std::ifstream in("/proc/loadavg");
  std::string one, five, fifteen;
  in >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

}  // namespace sb::bench
