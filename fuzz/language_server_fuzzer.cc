// A sequence of editor messages, read from the input, through the language
// server: documents opened and edited with any bytes, requests at any
// position, malformed frames and bodies. The server must answer every
// request once, never throw, keep every published range on its document,
// and format idempotently.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <string_view>

#include "tools/language_server/formatting.h"
#include "tools/language_server/language_server.h"
#include "tools/language_server/transport.h"

namespace {

using nlohmann::json;

void require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

// Reads the input as little numbers and pieces of text.
class Script {
 public:
  explicit Script(std::string_view input) : input_(input) {}
  bool done() const { return input_.empty(); }
  int number(int range) {
    if (input_.empty()) return 0;
    const int n = static_cast<unsigned char>(input_.front()) % range;
    input_.remove_prefix(1);
    return n;
  }
  // Text up to the next 0xFF byte (or the end).
  std::string text() {
    const size_t end = std::min(input_.find('\xFF'), input_.size());
    std::string piece(input_.substr(0, end));
    input_.remove_prefix(std::min(end + 1, input_.size()));
    return piece;
  }

 private:
  std::string_view input_;
};

const char* const kMethods[] = {"textDocument/hover", "textDocument/completion",
                                "textDocument/signatureHelp", "textDocument/documentSymbol",
                                "textDocument/formatting"};
const char* const kUris[] = {"file:///f/r_linea.txt", "file:///f/r_1-.txt", "file:///f/x.txt"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Script script(std::string_view(reinterpret_cast<const char*>(data), size));
  std::vector<json> sent;
  std::ostringstream log;
  sb::lsp::LanguageServer server([&](const json& m) { sent.push_back(m); }, log);
  json capabilities = json::object();
  if (script.number(2)) capabilities["offsetEncoding"] = {"utf-8"};
  server.handle({{"jsonrpc", "2.0"},
                 {"id", 0},
                 {"method", "initialize"},
                 {"params", {{"capabilities", capabilities}}}});
  int id = 1;
  while (!script.done()) {
    const std::string uri = kUris[script.number(3)];
    const int line = script.number(12) - 1;
    const int character = script.number(40) - 1;
    const json position = {{"line", line}, {"character", character}};
    sent.clear();
    int request = -1;
    switch (script.number(6)) {
      case 0: {
        // Texts as an editor sends them are UTF-8; bytes that are not are
        // what a broken client might send.
        json text = script.text();
        server.handle_body(
            json({{"jsonrpc", "2.0"},
                  {"method", "textDocument/didOpen"},
                  {"params",
                   {{"textDocument",
                     {{"uri", uri}, {"languageId", ""}, {"version", 1}, {"text", text}}}}}})
                .dump(-1, ' ', false, json::error_handler_t::replace));
        break;
      }
      case 1: {
        json change = {{"text", script.text()}};
        change["range"] = {{"start", position},
                           {"end", {{"line", line + script.number(3)}, {"character", 0}}}};
        server.handle_body(json({{"jsonrpc", "2.0"},
                                 {"method", "textDocument/didChange"},
                                 {"params",
                                  {{"textDocument", {{"uri", uri}, {"version", id}}},
                                   {"contentChanges", json::array({change})}}}})
                               .dump(-1, ' ', false, json::error_handler_t::replace));
        break;
      }
      case 2:
        request = id++;
        server.handle({{"jsonrpc", "2.0"},
                       {"id", request},
                       {"method", kMethods[script.number(5)]},
                       {"params",
                        {{"textDocument", {{"uri", uri}}},
                         {"position", position},
                         {"options", json::object()}}}});
        break;
      case 3:
        server.handle_body(script.text());
        break;
      case 4: {
        // Raw frames, through the transport.
        const std::string stream = script.text();
        size_t at = 0;
        sb::lsp::MessageReader reader(
            [&](char* buffer, size_t n) {
              n = std::min(n, stream.size() - at);
              std::copy_n(stream.data() + at, n, buffer);
              at += n;
              return n;
            },
            log);
        while (auto body = reader.next()) server.handle_body(*body);
        break;
      }
      default:
        server.check_changed_documents();
        for (const json& m : sent) {
          if (m.value("method", "") != "textDocument/publishDiagnostics") continue;
          const sb::lsp::Document* document = server.document(m["params"]["uri"]);
          if (document == nullptr) continue;
          for (const json& d : m["params"]["diagnostics"]) {
            require(d["range"]["start"]["line"] < std::max(document->text.line_count(), 1),
                    "a problem lies on its document");
            require(d["range"]["start"] == d["range"]["end"] ||
                        d["range"]["start"]["character"] < d["range"]["end"]["character"],
                    "a range runs forwards");
          }
        }
        break;
    }
    if (request >= 0) {
      int answers = 0;
      for (const json& m : sent) answers += m.contains("id") && m["id"] == request;
      require(answers == 1, "a request gets one answer");
    }
    if (const sb::lsp::Document* document = server.document(uri)) {
      const std::string once =
          sb::lsp::format_description(document->text.utf8(), document->description);
      require(sb::lsp::format_description(once, document->description) == once,
              "formatting is idempotent");
    }
  }
  return 0;
}
