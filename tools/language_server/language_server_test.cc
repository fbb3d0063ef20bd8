// The language server as an editor meets it: the field meanings the README
// shows, the layout it gives a description, and the protocol over pipes
// against what --check prints for the same files.

#include "tools/language_server/language_server.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "base/line_list.h"
#include "driver/run.h"
#include "scenario/line_description.h"
#include "scenario/train_description.h"
#include "testing/fake_platform.h"
#include "testing/temp_dir.h"
#include "tools/language_server/description_features.h"
#include "tools/language_server/formatting.h"
#include "tools/language_server/record_meanings.h"
#include "tools/language_server/transport.h"

namespace sb::lsp {
namespace {

using nlohmann::json;

std::string readme() { return read_file_bytes(std::string(SCENARIO_SOURCE_DIR) + "/README.md"); }

TEST(RecordMeanings, TheReadmeTablesAreTheHoverTexts) {
  const std::string text = readme();
  EXPECT_NE(text.find(builder_table_markdown()), std::string::npos) << builder_table_markdown();
  for (Description d : {Description::line, Description::train}) {
    EXPECT_NE(text.find(brief_table_markdown(d)), std::string::npos) << brief_table_markdown(d);
  }
}

TEST(RecordMeanings, EveryFieldSaysWhatTheBuilderDoesWithIt) {
  for (const RecordMeaning& record : record_meanings()) {
    for (const FieldMeaning& field : record.fields) {
      EXPECT_LT(static_cast<size_t>(field.effect), record.effects.size()) << record.readme_cell;
    }
  }
}

const std::string kLine = render_line_list(built_in_line_lines());
const std::string kTrain = render_line_list(built_in_train_lines());

// The text with the blanks between a comma and a number taken out, or
// made many.
std::string reblanked(const std::string& text, bool doubled) {
  return std::regex_replace(text, std::regex(", *(-?[0-9])"), doubled ? ",      $1" : ",$1");
}

TEST(Formatting, AnExportFormatsToItself) {
  EXPECT_EQ(format_description(kLine, Description::line), kLine);
  EXPECT_EQ(format_description(kTrain, Description::train), kTrain);
}

TEST(Formatting, ChangesOnlyBlanksBeforeNumbersAndIsIdempotent) {
  struct Case {
    std::string text;
    Description description;
    std::string formatted;
  };
  const Case cases[] = {
      {"segnale,1050,2,5,1,0,0,0,0,0,0,0\r\n", Description::train,
       "segnale,    1050,   2, 5, 1,  0, 0,    0,  0,0,0, 0\r\n"},
      // A text field and what follows it stay as written.
      {"stazione,0,8,500,0,0,0,1,1,0,4,1,1,1,21,55,0,  A,  B \n", Description::train,
       "stazione,       0,  8,  500,  0, 0, 0,  1,1,0,  4,1,1,    1,  21,55, 0,  A,  B \n"},
      // Not numbers, unknown keys, comments, headings and extra values: as written.
      {"pendenza, x1,  5,  7\npendneza,1,2\n- a comment, 5\n[curve]\n", Description::line,
       "pendenza, x1,   5,  7\npendneza,1,2\n- a comment, 5\n[curve]\n"},
      {"aderenza,  0,70\r\naderenza,2000,95\r\n", Description::train,
       "aderenza,   0,    70\r\naderenza,    2000,    95\r\n"},
      {"", Description::line, ""},
  };
  for (const Case& c : cases) {
    const std::string once = format_description(c.text, c.description);
    EXPECT_EQ(once, c.formatted);
    EXPECT_EQ(format_description(once, c.description), once);
  }
  for (bool doubled : {false, true}) {
    EXPECT_EQ(format_description(reblanked(kLine, doubled), Description::line), kLine);
    EXPECT_EQ(format_description(reblanked(kTrain, doubled), Description::train), kTrain);
  }
}

// What a build of the two texts writes into its folder.
std::map<std::string, std::string> built(const std::string& line, const std::string& train) {
  FakePlatform platform;
  platform.files.files["/in/l.txt"] = line;
  platform.files.files["/in/t.txt"] = train;
  const std::vector<std::string> args = {"--dir",     "/out",    "--line",
                                         "/in/l.txt", "--train", "/in/t.txt"};
  EXPECT_EQ(run_program(platform, args), 0);
  platform.files.files.erase("/in/l.txt");
  platform.files.files.erase("/in/t.txt");
  return platform.files.files;
}

TEST(Formatting, FormattingThenBuildingGivesTheSameFiles) {
  const std::string line = reblanked(kLine, false);
  const std::string train = reblanked(kTrain, true);
  const auto before = built(line, train);
  EXPECT_EQ(before.size(), 3u);
  EXPECT_EQ(built(format_description(line, Description::line),
                  format_description(train, Description::train)),
            before);
}

TEST(KmText, AsThePageWritesIt) {
  EXPECT_EQ(km_text(16550), "km 16.55");
  EXPECT_EQ(km_text(29000), "km 29.0");
  EXPECT_EQ(km_text(1050), "km 1.05");
  EXPECT_EQ(km_text(7), "km 0.007");
}

// ---- The protocol, in process -----------------------------------------

class InProcess : public ::testing::Test {
 protected:
  InProcess() : server([this](const json& m) { sent.push_back(m); }, log) {}

  json request(const std::string& method, json params) {
    sent.clear();
    server.handle({{"jsonrpc", "2.0"}, {"id", ++id}, {"method", method}, {"params", params}});
    for (const json& m : sent) {
      if (m.contains("id") && m["id"] == id) return m;
    }
    return nullptr;
  }
  void notify(const std::string& method, json params) {
    server.handle({{"jsonrpc", "2.0"}, {"method", method}, {"params", params}});
  }
  json diagnostics() {
    sent.clear();
    server.check_changed_documents();
    for (const json& m : sent) {
      if (m.value("method", "") == "textDocument/publishDiagnostics")
        return m["params"]["diagnostics"];
    }
    return nullptr;
  }
  void open(const std::string& text, const std::string& language = "scenario-train",
            json capabilities = json::object()) {
    request("initialize", {{"capabilities", capabilities}});
    notify("textDocument/didOpen",
           {{"textDocument",
             {{"uri", kUri}, {"languageId", language}, {"version", 1}, {"text", text}}}});
  }

  const std::string kUri = "file:///nowhere/at/all/x_1-.txt";
  std::ostringstream log;
  std::vector<json> sent;
  LanguageServer server;
  int id = 0;
};

TEST_F(InProcess, ACharacterWindows1252CannotHoldIsAnErrorAtItsPlace) {
  // "È" is a Windows-1252 character, the emoji two UTF-16 units and four
  // UTF-8 bytes, "✓" one UTF-16 unit and three bytes.
  const std::string row =
      "[generale]\nnumero vetture, 8\ncartello, \xC3\x88\xF0\x9F\x9A\x82\xE2\x9C\x93\n";
  for (const auto& [offer, emoji_start, check_start, check_end] :
       {std::tuple{json::array(), 11, 13, 14}, std::tuple{json::array({"utf-8"}), 12, 16, 19}}) {
    open(row, "scenario-train", {{"offsetEncoding", offer}});
    const json found = diagnostics();
    std::vector<std::pair<int, int>> encoding_errors;
    for (const json& d : found) {
      if (d["code"] == "windows-1252") {
        EXPECT_EQ(d["range"]["start"]["line"], 2);
        encoding_errors.emplace_back(d["range"]["start"]["character"],
                                     d["range"]["end"]["character"]);
      }
    }
    ASSERT_EQ(encoding_errors.size(), 2u) << found.dump();
    EXPECT_EQ(encoding_errors[0].first, emoji_start);
    EXPECT_EQ(encoding_errors[1], (std::pair<int, int>{check_start, check_end}));
  }
}

TEST_F(InProcess, ATrainWithoutItsLineIsCheckedAloneAndSaysSo) {
  open(
      "[generale]\r\nnumero vetture, 8\r\n[segnali]\r\nsegnale, 1050, 2,5,1,0,0,0,0,0,0,0\r\n"
      "segnale, 1060, 2,5,1,0,0,0,0,0,0,0\r\n[fine]\r\n");
  const json found = diagnostics();
  ASSERT_FALSE(found.empty());
  EXPECT_EQ(found[0]["severity"], 3);
  EXPECT_EQ(found[0]["code"], "no-line");
  bool taken = false;
  for (const json& d : found) taken |= d["code"] == 16 && d["range"]["start"]["line"] == 4;
  EXPECT_TRUE(taken) << found.dump();
}

TEST_F(InProcess, ANewerVersionReplacesTheOneWaitingForItsCheck) {
  open("[generale]\r\nnumero vetture, 8\r\nsegnlae, 5\r\n[fine]\r\n");
  const json range = {{"start", {{"line", 2}, {"character", 4}}},
                      {"end", {{"line", 2}, {"character", 6}}}};
  json change = json::object();
  change["range"] = range;
  change["text"] = "al";
  json params = json::object();
  params["textDocument"] = {{"uri", kUri}, {"version", 2}};
  params["contentChanges"] = json::array({change});
  notify("textDocument/didChange", params);
  sent.clear();
  server.check_changed_documents();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0]["params"]["version"], 2);
  // "segnale, 5" is a row cut short now, no unknown key.
  for (const json& d : sent[0]["params"]["diagnostics"]) EXPECT_NE(d["code"], "unknown-key");
}

TEST_F(InProcess, BadInputIsAnsweredNeverFatal) {
  std::vector<json> answers;
  server.handle_body("{ not json");
  server.handle_body("[1, 2]");
  server.handle_body(R"({"jsonrpc":"2.0","id":1,"method":"textDocument/hover","params":{}})");
  EXPECT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0]["error"]["code"], -32700);
  EXPECT_EQ(sent[1]["error"]["code"], -32600);
  EXPECT_EQ(sent[2]["error"]["code"], -32002);
  open("[generale]\nnumero vetture, 8\n");
  EXPECT_EQ(request("no/such/method", json::object())["error"]["code"], -32601);
  EXPECT_EQ(request("textDocument/hover", {{"textDocument", {{"uri", kUri}}}})["error"]["code"],
            -32602);
  EXPECT_EQ(request("textDocument/hover",
                    {{"textDocument", {{"uri", "file:///other"}}},
                     {"position", {{"line", 0}, {"character", 0}}}})["error"]["code"],
            -32602);
  for (const auto& [line, character] :
       {std::pair{-5, -5}, std::pair{1, 9999}, std::pair{99999, 3}}) {
    const json answer =
        request("textDocument/hover", {{"textDocument", {{"uri", kUri}}},
                                       {"position", {{"line", line}, {"character", character}}}});
    EXPECT_TRUE(answer.contains("result")) << answer.dump();
    const json completion = request("textDocument/completion",
                                    {{"textDocument", {{"uri", kUri}}},
                                     {"position", {{"line", line}, {"character", character}}}});
    EXPECT_TRUE(completion.contains("result")) << completion.dump();
  }
  EXPECT_FALSE(server.exit_requested());
}

// Which line description a train is checked with: the longest route that
// begins the train's name, an open buffer before the file on disk, else the
// only line description there, else none.
TEST_F(InProcess, ATrainIsCheckedWithTheLineBesideIt) {
  TempDir dir;
  auto line_of = [](int length_m) {
    return "[generale]\r\nlunghezza percorso, " + std::to_string(length_m) + "\r\n[fine]\r\n";
  };
  // A signal at 5000 m lies beyond the end of a 1000 m line (a warning).
  const std::string train =
      "[generale]\r\nnumero vetture, 8\r\n[segnali]\r\nsegnale, 5000, 2,5,1,0,0,0,0,0,0,0\r\n"
      "[fine]\r\n";
  write_file_bytes(dir.file("route_linea.txt"), line_of(97000));
  write_file_bytes(dir.file("route_x_linea.txt"), line_of(1000));
  request("initialize", {{"capabilities", json::object()}});
  auto codes_for = [&](const std::string& name) {
    const std::string uri = "file://" + dir.path() + "/" + name;
    notify("textDocument/didOpen",
           {{"textDocument", {{"uri", uri}, {"languageId", ""}, {"version", 1}, {"text", train}}}});
    std::set<std::string> codes;
    sent.clear();
    server.check_changed_documents();
    for (const json& m : sent) {
      if (m["params"]["uri"] != uri) continue;
      for (const json& d : m["params"]["diagnostics"]) codes.insert(d["code"].dump());
    }
    return codes;
  };
  const std::set<std::string> beyond_the_end = {"\"beyond-line-end\""};
  EXPECT_EQ(codes_for("route_x_1-.txt"), beyond_the_end);
  EXPECT_EQ(codes_for("route_1-.txt"), std::set<std::string>{});
  EXPECT_EQ(codes_for("other_1-.txt"), std::set<std::string>{"\"no-line\""});
  // The line open in the editor, lengthened, wins over the file on disk.
  notify("textDocument/didOpen",
         {{"textDocument", {{"uri", "file://" + dir.path() + "/route_x_linea.txt"},
                            {"languageId", ""}, {"version", 1}, {"text", line_of(97000)}}}});
  EXPECT_EQ(codes_for("route_x_2-.txt"), std::set<std::string>{});
  std::filesystem::remove(dir.file("route_linea.txt"));
  std::filesystem::remove(dir.file("route_x_linea.txt"));
  notify("textDocument/didClose",
         {{"textDocument", {{"uri", "file://" + dir.path() + "/route_x_linea.txt"}}}});
  write_file_bytes(dir.file("only_linea.txt"), line_of(1000));
  EXPECT_EQ(codes_for("other_2-.txt"), beyond_the_end);
}

TEST(Transport, FramesAreReadWhateverTheChunks) {
  const std::string stream =
      "Content-Length: 2\r\n\r\n{}"
      "X-Junk: 1\r\n\r\n" +
      framed(R"({"a":1})") + "content-length:3\n\n[1]";
  for (size_t chunk : {size_t{1}, size_t{7}, stream.size()}) {
    size_t at = 0;
    std::ostringstream log;
    MessageReader reader(
        [&](char* buffer, size_t size) {
          const size_t n = std::min({size, chunk, stream.size() - at});
          std::copy_n(stream.data() + at, n, buffer);
          at += n;
          return n;
        },
        log);
    std::vector<std::string> bodies;
    while (auto body = reader.next()) bodies.push_back(*body);
    EXPECT_EQ(bodies, (std::vector<std::string>{"{}", R"({"a":1})", "[1]"}));
    EXPECT_NE(log.str().find("without a Content-Length"), std::string::npos);
  }
}

// ---- The protocol over pipes, against --check ---------------------------

// The server as its own process, spoken to through pipes.
class ServerProcess {
 public:
  ServerProcess() {
    int to_server[2];
    int from_server[2];
    if (pipe(to_server) != 0 || pipe(from_server) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(to_server[0], 0);
      dup2(from_server[1], 1);
      close(to_server[1]);
      close(from_server[0]);
      execl(SCENARIO_LANGUAGE_SERVER_EXE, SCENARIO_LANGUAGE_SERVER_EXE,
            static_cast<char*>(nullptr));
      _exit(127);
    }
    close(to_server[0]);
    close(from_server[1]);
    in_ = to_server[1];
    out_ = from_server[0];
  }
  ~ServerProcess() {
    if (in_ >= 0) close(in_);
    if (out_ >= 0) close(out_);
    if (pid_ > 0 && !waited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

  void send(const json& message) {
    const std::string frame = framed(message.dump());
    ASSERT_EQ(write(in_, frame.data(), frame.size()), static_cast<ssize_t>(frame.size()));
  }
  // The next message, waiting at most five seconds.
  json receive() {
    std::ostringstream log;
    MessageReader reader(
        [this](char* buffer, size_t size) -> size_t {
          if (!pending_.empty()) {
            const size_t n = std::min(size, pending_.size());
            std::copy_n(pending_.data(), n, buffer);
            pending_.erase(0, n);
            return n;
          }
          pollfd ready{out_, POLLIN, 0};
          if (poll(&ready, 1, 5000) <= 0) return 0;
          const ssize_t got = read(out_, buffer, 1);  // one frame at a time
          return got > 0 ? static_cast<size_t>(got) : 0;
        },
        log);
    const auto body = reader.next();
    return body ? json::parse(*body) : json(nullptr);
  }
  // The next message that answers `id` or is a `method` notification.
  json receive_until(const std::function<bool(const json&)>& wanted) {
    for (int i = 0; i < 50; ++i) {
      json m = receive();
      if (m.is_null() || wanted(m)) return m;
    }
    return nullptr;
  }
  int exit_status() {
    int status = 0;
    waitpid(pid_, &status, 0);
    waited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  bool waited_ = false;
  std::string pending_;
};

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

// One problem: 1-based line and column, severity and message.
using Listed = std::tuple<int, int, int, std::string>;

// What --check prints for the two files, by file name.
std::map<std::string, std::multiset<Listed>> check_listing(const TempDir& dir,
                                                           const std::string& line,
                                                           const std::string& train) {
  const std::string command = "cd '" + dir.path() + "' && '" + SCENARIO_BUILDER_EXE +
                              "' --check --line " + line + " --train " + train + " 2>check.txt";
  (void)std::system(command.c_str());
  std::map<std::string, std::multiset<Listed>> listed;
  std::istringstream lines(read_file_bytes(dir.file("check.txt")));
  const std::regex located(R"(^scenario_builder: ([^:]+):(\d+):(\d+): (error|warning): (.*)$)");
  for (std::string text; std::getline(lines, text);) {
    std::smatch m;
    if (!std::regex_match(text, m, located)) continue;
    listed[m[1]].insert({std::stoi(m[2]), std::stoi(m[3]), m[4] == "error" ? 1 : 2, m[5]});
  }
  return listed;
}

std::multiset<Listed> published(const json& diagnostics) {
  std::multiset<Listed> listed;
  for (const json& d : diagnostics) {
    listed.insert({d["range"]["start"]["line"].get<int>() + 1,
                   d["range"]["start"]["character"].get<int>() + 1, d["severity"].get<int>(),
                   d["message"].get<std::string>()});
  }
  return listed;
}

TEST(ProtocolOverPipes, AnEditorSeesWhatCheckLists) {
  TempDir dir;
  // Planted mistakes of both kinds, a field and a row, in both descriptions.
  const std::string line = replaced(replaced(kLine, "curvas5,", "curves5,"),
                                    "pendenza,  6500,   -2", "pendenza,  6500x,   -2");
  const std::string train =
      replaced(replaced(replaced(kTrain, "segnale,    2000,", "segnale,    1060,"),
                        "stazione,    2600,", "stazoine,    2600,"),
               "rallentamento,   29000,    30,  600", "rallentamento,   29000,    30,  -600");
  write_file_bytes(dir.file("Sarvena_Lucredo_linea.txt"), line);
  write_file_bytes(dir.file("Sarvena_Lucredo_20573-2-.txt"), train);
  auto listed = check_listing(dir, "Sarvena_Lucredo_linea.txt", "Sarvena_Lucredo_20573-2-.txt");
  ASSERT_EQ(listed.size(), 2u);

  ServerProcess server;
  server.send({{"jsonrpc", "2.0"},
               {"id", 1},
               {"method", "initialize"},
               {"params", {{"capabilities", {{"offsetEncoding", {"utf-8", "utf-16"}}}}}}});
  const json init = server.receive();
  EXPECT_EQ(init["result"]["offsetEncoding"], "utf-8");
  server.send({{"jsonrpc", "2.0"}, {"method", "initialized"}, {"params", json::object()}});
  const std::string folder_uri = "file://" + dir.path() + "/";
  const std::string train_uri = folder_uri + "Sarvena_Lucredo_20573-2-.txt";
  const std::string line_uri = folder_uri + "Sarvena_Lucredo_linea.txt";
  auto published_for = [&](const std::string& uri) {
    return server.receive_until([&](const json& m) {
      return m.value("method", "") == "textDocument/publishDiagnostics" &&
             m["params"]["uri"] == uri;
    });
  };
  for (const auto& [uri, text] : {std::pair{line_uri, line}, std::pair{train_uri, train}}) {
    server.send(
        {{"jsonrpc", "2.0"},
         {"method", "textDocument/didOpen"},
         {"params",
          {{"textDocument", {{"uri", uri}, {"languageId", ""}, {"version", 1}, {"text", text}}}}}});
    const json diagnostics = published_for(uri)["params"]["diagnostics"];
    const std::string name = uri.substr(folder_uri.size());
    EXPECT_EQ(published(diagnostics), listed[name]) << name;
    // A value's problem spans the value.
    for (const json& d : diagnostics) {
      if (d["code"] == 25) {
        EXPECT_EQ(d["range"]["end"]["character"], 16) << d.dump();
      }
    }
  }

  // The row 'stazoine' spans its key to its last field; the value 6500x its field.
  {
    json change = json::object();
    change["range"] = {{"start", {{"line", 39}, {"character", 0}}},
                       {"end", {{"line", 39}, {"character", 8}}}};
    change["text"] = "stazione";
    json params = json::object();
    params["textDocument"] = {{"uri", train_uri}, {"version", 2}};
    params["contentChanges"] = json::array({change});
    server.send({{"jsonrpc", "2.0"}, {"method", "textDocument/didChange"}, {"params", params}});
    const std::string fixed = replaced(train, "stazoine,", "stazione,");
    write_file_bytes(dir.file("Sarvena_Lucredo_20573-2-.txt"), fixed);
    listed = check_listing(dir, "Sarvena_Lucredo_linea.txt", "Sarvena_Lucredo_20573-2-.txt");
    const json after = published_for(train_uri)["params"];
    EXPECT_EQ(after["version"], 2);
    EXPECT_EQ(published(after["diagnostics"]), listed["Sarvena_Lucredo_20573-2-.txt"]);
    for (const json& d : after["diagnostics"]) {
      // A problem that quotes a value spans that value: the slowdown's length.
      if (d["code"] == 28) {
        EXPECT_EQ(d["range"]["start"]["character"], 32) << d.dump();
        EXPECT_EQ(d["range"]["end"]["character"], 36) << d.dump();
      }
    }
  }

  server.send({{"jsonrpc", "2.0"},
               {"id", 2},
               {"method", "textDocument/hover"},
               {"params",
                {{"textDocument", {{"uri", train_uri}}},
                 {"position", {{"line", 46}, {"character", 14}}}}}});
  const json hover = server.receive_until([](const json& m) { return m.value("id", 0) == 2; });
  const std::string hover_text = hover["result"]["contents"]["value"];
  EXPECT_NE(hover_text.find("**stazione**"), std::string::npos) << hover_text;
  EXPECT_NE(hover_text.find("km 16.35"), std::string::npos) << hover_text;

  server.send(
      {{"jsonrpc", "2.0"},
       {"id", 3},
       {"method", "textDocument/completion"},
       {"params",
        {{"textDocument", {{"uri", train_uri}}}, {"position", {{"line", 59}, {"character", 0}}}}}});
  const json completion = server.receive_until([](const json& m) { return m.value("id", 0) == 3; });
  ASSERT_FALSE(completion["result"]["items"].empty());
  EXPECT_EQ(completion["result"]["items"][0]["textEdit"]["newText"],
            "rallentamento, ${1:x}, ${2:v}, ${3:l}, ${4:f_tt}, ${5:f_ta}, ${6:d_v}");

  server.send({{"jsonrpc", "2.0"},
               {"id", 4},
               {"method", "textDocument/documentSymbol"},
               {"params", {{"textDocument", {{"uri", train_uri}}}}}});
  const json symbols = server.receive_until([](const json& m) { return m.value("id", 0) == 4; });
  std::set<std::string> names;
  for (const json& section : symbols["result"]) {
    for (const json& child : section.value("children", json::array())) names.insert(child["name"]);
  }
  EXPECT_TRUE(names.count("PRATO"));
  EXPECT_TRUE(names.count("segnale 95500 m"));

  server.send({{"jsonrpc", "2.0"},
               {"id", 5},
               {"method", "textDocument/formatting"},
               {"params", {{"textDocument", {{"uri", line_uri}}}, {"options", json::object()}}}});
  const json formatting = server.receive_until([](const json& m) { return m.value("id", 0) == 5; });
  EXPECT_EQ(formatting["result"], json::array());

  server.send({{"jsonrpc", "2.0"}, {"id", 6}, {"method", "shutdown"}});
  EXPECT_TRUE(
      server.receive_until([](const json& m) { return m.value("id", 0) == 6; }).contains("result"));
  server.send({{"jsonrpc", "2.0"}, {"method", "exit"}});
  EXPECT_EQ(server.exit_status(), 0);
}

}  // namespace
}  // namespace sb::lsp
