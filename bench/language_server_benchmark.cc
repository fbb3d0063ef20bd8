// How long an editor waits for the problems of a description after an edit:
// the language server, in process, takes one changed character of an open
// description and checks it again (the line beside a train is open too),
// for the built-in scenario and for the maximal one.
//
//   ./build-bench/bench/language_server_benchmark

#include <benchmark/benchmark.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "base/line_list.h"
#include "base/windows_1252.h"
#include "bench/maximal_scenario.h"
#include "scenario/line_description.h"
#include "scenario/train_description.h"
#include "tools/language_server/language_server.h"

namespace {

using nlohmann::json;

struct Pair {
  std::string line;  // Windows-1252, as the files hold them
  std::string train;
};

const Pair& built_in() {
  static const Pair pair{sb::render_line_list(sb::built_in_line_lines()),
                         sb::render_line_list(sb::built_in_train_lines())};
  return pair;
}

const Pair& maximal() {
  static const Pair pair = [] {
    const sb::bench::MaximalScenario scenario = sb::bench::make_maximal_scenario();
    return Pair{scenario.line_description, scenario.train_description};
  }();
  return pair;
}

// Opens both descriptions, then edits the one `edit_train` names at its
// `row`: the first character of the row's position toggles between two
// digits, so every round checks a text the last round did not.
void diagnostics_after_an_edit(benchmark::State& state, const Pair& pair, bool edit_train,
                               int row) {
  size_t published = 0;
  std::ostringstream log;
  sb::lsp::LanguageServer server(
      [&](const json& m) {
        published += m.value("method", "") == "textDocument/publishDiagnostics";
      },
      log);
  server.handle({{"jsonrpc", "2.0"},
                 {"id", 1},
                 {"method", "initialize"},
                 {"params", {{"capabilities", json::object()}}}});
  const std::string line_uri = "file:///bench/route_linea.txt";
  const std::string train_uri = "file:///bench/route_1-.txt";
  for (const auto& [uri, text] :
       {std::pair{line_uri, pair.line}, std::pair{train_uri, pair.train}}) {
    server.handle({{"jsonrpc", "2.0"},
                   {"method", "textDocument/didOpen"},
                   {"params",
                    {{"textDocument",
                      {{"uri", uri},
                       {"languageId", ""},
                       {"version", 1},
                       {"text", sb::windows_1252_to_utf8(text)}}}}}});
  }
  server.check_changed_documents();
  const std::string uri = edit_train ? train_uri : line_uri;
  const std::string row_text(server.document(uri)->text.line(row));
  const size_t digit = row_text.find_first_of("0123456789", row_text.find(','));
  int version = 2;
  for (auto _ : state) {
    const char now = row_text[digit] == '1' && version % 2 ? '2' : '1';
    json change = json::object();
    change["range"] = {{"start", {{"line", row}, {"character", digit}}},
                       {"end", {{"line", row}, {"character", digit + 1}}}};
    change["text"] = std::string(1, now);
    json params = json::object();
    params["textDocument"] = {{"uri", uri}, {"version", version++}};
    params["contentChanges"] = json::array({change});
    server.handle({{"jsonrpc", "2.0"}, {"method", "textDocument/didChange"}, {"params", params}});
    server.check_changed_documents();
  }
  state.counters["problems"] = static_cast<double>(server.document(uri)->problems.size());
  benchmark::DoNotOptimize(published);
}

void BuiltInTrain(benchmark::State& state) {
  diagnostics_after_an_edit(state, built_in(), true, 61);
}
void BuiltInLine(benchmark::State& state) {
  diagnostics_after_an_edit(state, built_in(), false, 70);
}
void MaximalTrain(benchmark::State& state) {
  diagnostics_after_an_edit(state, maximal(), true, 100);
}
void MaximalLine(benchmark::State& state) {
  diagnostics_after_an_edit(state, maximal(), false, 100);
}

BENCHMARK(BuiltInTrain)->Unit(benchmark::kMillisecond);
BENCHMARK(BuiltInLine)->Unit(benchmark::kMillisecond);
BENCHMARK(MaximalTrain)->Unit(benchmark::kMillisecond);
BENCHMARK(MaximalLine)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
