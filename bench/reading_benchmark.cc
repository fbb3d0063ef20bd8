// Reading stays linear in a description's size, whatever the description
// holds: a check of a line description with a 1 MB unknown key, and of one
// with 30,000 repeated "lunghezza percorso" rows, each against a normal
// line description of the same size (rows of gradients in order). Each
// pathological text should take at most twice its normal one.

#include <benchmark/benchmark.h>

#include <string>

#include "base/line_list.h"
#include "compile/check_descriptions.h"
#include "scenario/built_in_names.h"
#include "scenario/line_description.h"
#include "testing/fake_platform.h"

namespace sb {
namespace {

const std::string kBuiltInLine = render_line_list(built_in_line_lines());
constexpr std::string_view kLengthRow = "lunghezza percorso,    97000\r\n";
constexpr std::string_view kFirstGradient = "pendenza,  2000,   0";

// The built-in line description with `rows` inserted after its length row.
std::string with_rows_after_length(const std::string& rows) {
  std::string text = kBuiltInLine;
  text.insert(text.find(kLengthRow) + kLengthRow.size(), rows);
  return text;
}

// A normal description of at least `size` bytes: the built-in one with a
// short curve every 2 m after its own rows (curves are laid per metre, and
// one that overlaps the plan laid before it lays what is left).
std::string normal_line(size_t size) {
  std::string rows;
  for (int p = 0; rows.size() + kBuiltInLine.size() < size; p += 2) {
    rows += "curvas1,  " + std::to_string(p) + ",   1\r\n";
  }
  std::string text = kBuiltInLine;
  text.insert(text.rfind("[fine]"), rows);
  return text;
}

// The built-in line description with its first gradient key replaced by
// `key_size` bytes: `pattern` repeated.
std::string unknown_key_line(size_t key_size, std::string_view pattern) {
  std::string key;
  while (key.size() < key_size) key += pattern;
  key.resize(key_size);
  std::string text = kBuiltInLine;
  text.replace(text.find(kFirstGradient), std::string_view("pendenza").size(), key);
  return text;
}

std::string repeated_length_line(int rows) {
  std::string repeated;
  for (int i = 0; i < rows; ++i) repeated += kLengthRow;
  return with_rows_after_length(repeated);
}

void check_line(benchmark::State& state, const std::string& text) {
  for (auto _ : state) {
    FakePlatform platform;
    Builder b(platform);
    b.directory = platform.directory;
    b.route_name = kBuiltInRouteName;
    b.train_number = kBuiltInTrainNumber;
    b.with_track_plan = true;
    check_descriptions(b, {text, std::nullopt});
    benchmark::DoNotOptimize(b.diagnostics.warning_count());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  state.counters["bytes"] = static_cast<double>(text.size());
}

void register_pairs() {
  const std::string key = unknown_key_line(1 << 20, "k");
  // Words that begin as the keys do and break off: the first letters the
  // key tests look for stand everywhere.
  const std::string words =
      unknown_key_line(1 << 20, "pendenz curv montagn indicat cartell sfond progressiv Lunghezz ");
  const std::string repeated = repeated_length_line(30000);
  benchmark::RegisterBenchmark("unknown key of 1 MB", check_line, key)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("normal line of the same size", check_line, normal_line(key.size()))
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("unknown key of 1 MB of broken-off key words", check_line, words)
      ->Unit(benchmark::kMillisecond);
  // A first letter in either case at every byte.
  benchmark::RegisterBenchmark("unknown key of 1 MB of one syllable", check_line,
                               unknown_key_line(1 << 20, "Pp"))
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("30000 repeated lunghezza percorso", check_line, repeated)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("normal line of the same size ", check_line,
                               normal_line(repeated.size()))
      ->Unit(benchmark::kMillisecond);
}

}  // namespace
}  // namespace sb

int main(int argc, char** argv) {
  sb::register_pairs();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
