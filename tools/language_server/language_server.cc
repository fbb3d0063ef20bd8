#include "tools/language_server/language_server.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "base/file_names.h"
#include "base/windows_1252.h"
#include "compile/check_descriptions.h"
#include "driver/error_messages.h"
#include "platform/memory_platform.h"
#include "tools/language_server/description_features.h"
#include "tools/language_server/formatting.h"

namespace sb::lsp {

using nlohmann::json;

namespace {

// The protocol's error codes.
enum ErrorCode : int {
  kParseError = -32700,
  kInvalidRequest = -32600,
  kMethodNotFound = -32601,
  kInvalidParams = -32602,
  kInternalError = -32603,
  kServerNotInitialized = -32002,
};

struct ProtocolError {
  int code;
  std::string message;
};

// The names a check gives the two descriptions in memory; only which of
// the two a problem lies in matters.
constexpr const char* kRoute = "route";
constexpr const char* kTrain = "train";

// A line the check reads a train description against when no line
// description is beside it: long enough for any train, with nothing on it.
constexpr const char* kStandInLine = "[generale]\r\nlunghezza percorso, 1000000\r\n[fine]\r\n";

const char* kind_code(WarningKind kind) {
  switch (kind) {
    case WarningKind::unknown_key:
      return "unknown-key";
    case WarningKind::no_records:
      return "no-records";
    case WarningKind::row_shape:
      return "row-shape";
    case WarningKind::beyond_line_end:
      return "beyond-line-end";
    case WarningKind::off_grid:
      return "off-grid";
    case WarningKind::out_of_order:
      return "out-of-order";
    case WarningKind::utf8_text:
      return "utf8-text";
    case WarningKind::implausible_value:
      return "implausible-value";
    case WarningKind::repeated_record:
      return "repeated-record";
    case WarningKind::text_too_long:
      return "text-too-long";
    case WarningKind::names_disagree:
      return "names-disagree";
    case WarningKind::dropped_value:
      return "dropped-value";
    case WarningKind::count:
      break;
  }
  return "warning";
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// Paths travel as UTF-8, as URIs name them.
std::filesystem::path path_from(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}
std::string utf8_of(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// Where a problem of the check stands on its line: a problem at the row's
// key spans the row, from its key to its last field; one at a value spans
// that field; one of the whole file, the first line.
Problem place(const DocumentText& text, int32_t line_number, int32_t column) {
  Problem p;
  p.line = std::clamp(line_number - 1, 0, std::max(text.line_count() - 1, 0));
  const std::string_view row = text.line(p.line);
  const size_t key = row.find_first_not_of(" \t");
  if (key == std::string_view::npos) return p;
  const size_t at = column > 0 ? std::min(static_cast<size_t>(column - 1), row.size()) : key;
  size_t last = row.size();
  if (at > key) last = std::min(row.find(',', at), row.size());
  while (last > at && is_blank(row[last - 1])) --last;
  p.first = static_cast<int32_t>(std::min(at, row.size()));
  p.last = static_cast<int32_t>(std::max(last, std::min(at + 1, row.size())));
  return p;
}

std::string file_name_of(const std::string& path) { return utf8_of(path_from(path).filename()); }

bool ends_with(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

bool starts_with(std::string_view text, std::string_view start) {
  return text.substr(0, start.size()) == start;
}

std::optional<std::string> read_whole_file(const std::string& path) {
  std::ifstream in(path_from(path), std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Which format a document is in: the editor's language, else its name, else
// whether it holds the line's required record.
Description description_of(const std::string& language, const std::string& path,
                           const std::string& text) {
  if (language == "scenario-line") return Description::line;
  if (language == "scenario-train") return Description::train;
  const std::string name = file_name_of(path);
  if (ends_with(name, "linea.txt")) return Description::line;
  if (ends_with(name, "-.txt") || ends_with(name, "treno.txt")) return Description::train;
  return text.find("lunghezza percorso") != std::string::npos ? Description::line
                                                              : Description::train;
}

json position(int32_t line, int32_t character) {
  return {{"line", line}, {"character", character}};
}

}  // namespace

std::string path_of_uri(std::string_view uri) {
  if (!starts_with(uri, "file://")) return {};
  uri.remove_prefix(7);
  std::string path;
  for (size_t i = 0; i < uri.size(); ++i) {
    if (uri[i] == '%' && i + 2 < uri.size() &&
        std::isxdigit(static_cast<unsigned char>(uri[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(uri[i + 2]))) {
      path += static_cast<char>(std::stoi(std::string(uri.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      path += uri[i];
    }
  }
  // "/C:/folder" on Windows is "C:/folder".
  if (path.size() >= 3 && path[0] == '/' && path[2] == ':') path.erase(0, 1);
  return path;
}

LanguageServer::LanguageServer(Send send, std::ostream& log) : send_(std::move(send)), log_(log) {}

const Document* LanguageServer::document(const std::string& uri) const {
  const auto it = documents_.find(uri);
  return it == documents_.end() ? nullptr : &it->second;
}

void LanguageServer::handle_body(std::string_view body) {
  json message = json::parse(body, nullptr, false);
  if (message.is_discarded()) {
    log_ << "scenario_language_server: a message that is no JSON was answered with an error\n";
    send_({{"jsonrpc", "2.0"},
           {"id", nullptr},
           {"error", {{"code", kParseError}, {"message", "the message is no JSON"}}}});
    return;
  }
  handle(message);
}

void LanguageServer::handle(const json& message) {
  const bool has_id = message.is_object() && message.contains("id") &&
                      (message["id"].is_number_integer() || message["id"].is_string());
  const json id = has_id ? message["id"] : json(nullptr);
  auto reply_error = [&](int code, const std::string& text) {
    log_ << "scenario_language_server: " << text << "\n";
    if (!has_id && code != kInvalidRequest && code != kParseError) return;
    send_({{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", text}}}});
  };
  if (!message.is_object() || !message.contains("method") || !message["method"].is_string()) {
    // A response to a request of ours (none is sent) or no message at all.
    if (message.is_object() && (message.contains("result") || message.contains("error"))) return;
    reply_error(kInvalidRequest, "a message without a method");
    return;
  }
  const std::string method = message["method"];
  const json params = message.contains("params") ? message["params"] : json::object();
  if (method == "exit") {
    exit_requested_ = true;
    return;
  }
  if (!initialized_ && method != "initialize") {
    if (has_id) reply_error(kServerNotInitialized, method + " before initialize");
    return;
  }
  if (shutdown_ && has_id) {
    reply_error(kInvalidRequest, method + " after shutdown");
    return;
  }
  try {
    json result = dispatch(method, params);
    if (has_id) send_({{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}});
  } catch (const ProtocolError& e) {
    reply_error(e.code, e.message);
  } catch (const json::exception& e) {
    reply_error(kInvalidParams, method + ": " + e.what());
  } catch (const std::exception& e) {
    reply_error(kInternalError, method + ": " + e.what());
  }
}

json LanguageServer::dispatch(const std::string& method, const json& params) {
  if (method == "initialize") return initialize(params);
  if (method == "initialized") return nullptr;
  if (method == "shutdown") {
    shutdown_ = true;
    return nullptr;
  }
  if (method == "textDocument/didOpen") {
    did_open(params);
    return nullptr;
  }
  if (method == "textDocument/didChange") {
    did_change(params);
    return nullptr;
  }
  if (method == "textDocument/didClose") {
    did_close(params);
    return nullptr;
  }
  if (method == "textDocument/didSave") return nullptr;
  if (method == "textDocument/hover") return hover(params);
  if (method == "textDocument/completion") return completion(params);
  if (method == "textDocument/signatureHelp") return signature_help(params);
  if (method == "textDocument/documentSymbol") return document_symbols(params);
  if (method == "textDocument/formatting") return formatting(params);
  if (starts_with(method, "$/")) return nullptr;
  throw ProtocolError{kMethodNotFound, "no method " + method};
}

json LanguageServer::initialize(const json& params) {
  initialized_ = true;
  auto offers_utf8 = [](const json& list) {
    if (!list.is_array()) return false;
    return std::any_of(list.begin(), list.end(), [](const json& e) { return e == "utf-8"; });
  };
  const json capabilities = params.value("capabilities", json::object());
  const json general = capabilities.value("general", json::object());
  if (offers_utf8(general.value("positionEncodings", json())) ||
      offers_utf8(capabilities.value("offsetEncoding", json()))) {
    encoding_ = PositionEncoding::utf8;
  }
  const char* encoding = encoding_ == PositionEncoding::utf8 ? "utf-8" : "utf-16";
  return {{"capabilities",
           {{"positionEncoding", encoding},
            {"textDocumentSync", {{"openClose", true}, {"change", 2}}},
            {"hoverProvider", true},
            {"completionProvider", {{"triggerCharacters", {"["}}}},
            {"signatureHelpProvider", {{"triggerCharacters", {","}}}},
            {"documentSymbolProvider", true},
            {"documentFormattingProvider", true}}},
          {"offsetEncoding", encoding},
          {"serverInfo", {{"name", "scenario_language_server"}, {"version", SCENARIO_VERSION}}}};
}

Document& LanguageServer::open_document(const json& params) {
  const std::string uri = params.at("textDocument").at("uri");
  const auto it = documents_.find(uri);
  if (it == documents_.end()) throw ProtocolError{kInvalidParams, uri + " is not open"};
  return it->second;
}

void LanguageServer::did_open(const json& params) {
  const json& item = params.at("textDocument");
  Document document;
  document.uri = item.at("uri");
  document.path = path_of_uri(document.uri);
  document.version = item.value("version", int64_t{0});
  document.text = DocumentText(item.at("text").get<std::string>());
  document.description =
      description_of(item.value("languageId", ""), document.path, document.text.utf8());
  const std::string uri = document.uri;
  documents_[uri] = std::move(document);
  if (documents_[uri].description == Description::line) {
    for (auto& [other_uri, other] : documents_) other.unchecked = true;
  }
}

void LanguageServer::did_change(const json& params) {
  Document& document = open_document(params);
  for (const json& change : params.at("contentChanges")) {
    if (!change.contains("range")) {
      document.text = DocumentText(change.at("text").get<std::string>());
      continue;
    }
    const json& range = change.at("range");
    document.text = DocumentText(replace_range(
        document.text, range.at("start").at("line"), range.at("start").at("character"),
        range.at("end").at("line"), range.at("end").at("character"),
        change.at("text").get<std::string>(), encoding_));
  }
  document.version = params.at("textDocument").value("version", document.version + 1);
  document.unchecked = true;
  // A train is checked with its line: the line's change is the train's.
  if (document.description == Description::line) {
    for (auto& [uri, other] : documents_) other.unchecked = true;
  }
}

void LanguageServer::did_close(const json& params) {
  const std::string uri = params.at("textDocument").at("uri");
  if (documents_.erase(uri) == 0) return;
  send_({{"jsonrpc", "2.0"},
         {"method", "textDocument/publishDiagnostics"},
         {"params", {{"uri", uri}, {"diagnostics", json::array()}}}});
}

std::optional<std::string> LanguageServer::line_beside(const Document& train, std::string& named) {
  namespace fs = std::filesystem;
  const fs::path train_path = path_from(train.path);
  const std::string folder = utf8_of(train_path.parent_path());
  const std::string train_name = utf8_of(train_path.filename());
  // Line descriptions beside the train: open ones first, then on disk.
  std::map<std::string, std::optional<std::string>> lines;
  for (const auto& [uri, document] : documents_) {
    if (document.description != Description::line || document.path.empty()) continue;
    const fs::path path = path_from(document.path);
    if (utf8_of(path.parent_path()) == folder) {
      lines[utf8_of(path.filename())] = document.text.windows_1252();
    }
  }
  std::error_code error;
  if (!train.path.empty()) {
    for (const auto& entry : fs::directory_iterator(train_path.parent_path(), error)) {
      const std::string name = utf8_of(entry.path().filename());
      if (ends_with(name, "linea.txt") && !lines.count(name)) lines[name] = std::nullopt;
    }
  }
  std::string chosen;
  size_t longest_route = 0;
  for (const auto& [name, text] : lines) {
    const std::string route = name.substr(0, name.size() - std::string_view("_linea.txt").size());
    if (ends_with(name, "_linea.txt") && starts_with(train_name, route + "_") &&
        (chosen.empty() || route.size() > longest_route)) {
      chosen = name;
      longest_route = route.size();
    }
  }
  if (chosen.empty() && lines.size() == 1) chosen = lines.begin()->first;
  if (chosen.empty()) return std::nullopt;
  named = chosen;
  if (lines[chosen]) return lines[chosen];
  return read_whole_file(utf8_of(path_from(folder) / path_from(chosen)));
}

void LanguageServer::check(Document& document) {
  MemoryPlatform platform;
  Builder b(platform);
  b.directory = platform.program_directory();
  b.route_name = kRoute;
  b.train_number = kTrain;
  b.diagnostics.list_per_kind(Diagnostics::kListedInEditor);
  b.diagnostics.keep_errors_per_number(Diagnostics::kEveryError);

  std::vector<Problem> problems;
  const std::string own_file = document.description == Description::line
                                   ? line_description_name(kRoute)
                                   : train_description_name(kRoute, kTrain);
  if (document.description == Description::line) {
    check_descriptions(b, {document.text.windows_1252(), std::nullopt});
  } else {
    std::string line_name;
    std::optional<std::string> line = line_beside(document, line_name);
    if (!line) {
      Problem alone = place(document.text, 1, 0);
      alone.severity = 3;
      alone.code = "no-line";
      alone.message =
          "no line description beside this file (such as <route>_linea.txt): the train is "
          "checked against a line 1000000 m long with nothing on it; whether its rows lie "
          "beyond the line's end or on cells the line's boards take is checked with the line";
      problems.push_back(std::move(alone));
    }
    check_descriptions(b, {line ? *line : kStandInLine, document.text.windows_1252()});
  }
  for (const Diagnostic& d : b.diagnostics.list()) {
    // The train's check lists the line's problems too; they show in the line.
    if (!d.file.empty() && d.file != own_file) continue;
    Problem p = place(document.text, d.file.empty() ? 1 : d.line, d.file.empty() ? 0 : d.column);
    p.severity = d.error ? 1 : 2;
    p.code = d.error ? json(d.error_number) : json(kind_code(d.kind));
    p.message = as_utf8(diagnostic_message(d));
    problems.push_back(std::move(p));
  }
  for (const Unmappable& u : document.text.unmappable()) {
    Problem p;
    p.line = u.line;
    p.first = u.character;
    p.last = u.character + 1;
    p.severity = 1;
    p.code = "windows-1252";
    p.message = character_name(u.code_point) +
                " has no place in Windows-1252, the encoding of descriptions: the builder "
                "would read a `?` there";
    problems.push_back(std::move(p));
  }
  document.problems = std::move(problems);
  document.unchecked = false;
}

json LanguageServer::range(const Document& document, int32_t line, int32_t first,
                           int32_t last) const {
  return {{"start", position(line, document.text.client_character(line, first, encoding_))},
          {"end", position(line, document.text.client_character(line, last, encoding_))}};
}

void LanguageServer::publish(const Document& document) {
  json diagnostics = json::array();
  for (const Problem& p : document.problems) {
    diagnostics.push_back({{"range", range(document, p.line, p.first, p.last)},
                           {"severity", p.severity},
                           {"code", p.code},
                           {"source", "scenario_builder"},
                           {"message", p.message}});
  }
  send_({{"jsonrpc", "2.0"},
         {"method", "textDocument/publishDiagnostics"},
         {"params",
          {{"uri", document.uri}, {"version", document.version}, {"diagnostics", diagnostics}}}});
}

void LanguageServer::check_changed_documents() {
  for (auto& [uri, document] : documents_) {
    if (!document.unchecked) continue;
    try {
      check(document);
      publish(document);
    } catch (const std::exception& e) {
      document.unchecked = false;
      log_ << "scenario_language_server: checking " << uri << " failed: " << e.what() << "\n";
    }
  }
}

json LanguageServer::hover(const json& params) {
  Document& document = open_document(params);
  if (document.unchecked) {
    // Checked now, for the row's problems; the editor gets them too.
    check(document);
    publish(document);
  }
  const int32_t line = params.at("position").at("line");
  const int32_t index =
      document.text.character_index(line, params.at("position").at("character"), encoding_);
  const std::optional<HoverText> text =
      hover_text(document.text.line(line), index, document.description);
  if (!text) return nullptr;
  std::string markdown = text->markdown;
  // The row's problems, where the hover is read: an off-grid position's
  // warning says where the row takes effect.
  for (const Problem& p : document.problems) {
    if (p.line != line) continue;
    const char* kind = p.severity == 1 ? "Error" : p.severity == 2 ? "Warning" : "Note";
    markdown += "\n\n" + std::string(kind) + ": " + p.message;
  }
  return {{"contents", {{"kind", "markdown"}, {"value", markdown}}},
          {"range", range(document, line, text->first, text->last)}};
}

json LanguageServer::completion(const json& params) {
  Document& document = open_document(params);
  const int32_t line = params.at("position").at("line");
  const int32_t index =
      document.text.character_index(line, params.at("position").at("character"), encoding_);
  json items = json::array();
  for (const Completion& c : completions(document.text, line, index, document.description)) {
    json edit_range = range(document, line, c.replace_from, index);
    items.push_back({{"label", c.label},
                     {"kind", c.heading ? 9 : 14},
                     {"detail", c.detail},
                     {"sortText", c.sort_text},
                     {"filterText", c.label},
                     {"insertTextFormat", 2},
                     {"textEdit", {{"range", edit_range}, {"newText", c.snippet}}}});
  }
  return {{"isIncomplete", false}, {"items", items}};
}

json LanguageServer::signature_help(const json& params) {
  Document& document = open_document(params);
  const int32_t line = params.at("position").at("line");
  const int32_t index =
      document.text.character_index(line, params.at("position").at("character"), encoding_);
  const std::optional<Signature> signature =
      signature_of(document.text.line(line), index, document.description);
  if (!signature) return nullptr;
  json parameters = json::array();
  for (const auto& [from, to, documentation] : signature->parameters) {
    parameters.push_back({{"label", {from, to}}, {"documentation", documentation}});
  }
  return {{"signatures",
           {{{"label", signature->label},
             {"documentation", signature->documentation},
             {"parameters", parameters}}}},
          {"activeSignature", 0},
          {"activeParameter", signature->active}};
}

json LanguageServer::document_symbols(const json& params) {
  Document& document = open_document(params);
  json sections = json::array();
  json* children = nullptr;
  json top = json::array();
  for (const OutlineEntry& entry : outline(document.text, document.description)) {
    json symbol = {{"name", entry.name},
                   {"kind", entry.kind},
                   {"range", range(document, entry.line, 0, entry.length)},
                   {"selectionRange", range(document, entry.line, 0, entry.length)}};
    if (!entry.detail.empty()) symbol["detail"] = entry.detail;
    if (entry.section) {
      symbol["children"] = json::array();
      sections.push_back(std::move(symbol));
      children = &sections.back()["children"];
    } else if (children) {
      // A section spans its heading and its rows.
      json& section = sections.back();
      section["range"]["end"] = symbol["range"]["end"];
      children->push_back(std::move(symbol));
    } else {
      top.push_back(std::move(symbol));
    }
  }
  for (json& section : sections) top.push_back(std::move(section));
  return top;
}

json LanguageServer::formatting(const json& params) {
  Document& document = open_document(params);
  const std::string& before = document.text.utf8();
  const std::string after = format_description(before, document.description);
  json edits = json::array();
  if (after == before) return edits;
  // One edit per changed line, so that the editor keeps its marks elsewhere.
  const std::vector<std::string_view> old_lines = utf8_lines(before);
  const std::vector<std::string_view> new_lines = utf8_lines(after);
  for (size_t line = 0; line < old_lines.size() && line < new_lines.size(); ++line) {
    if (old_lines[line] == new_lines[line]) continue;
    const auto l = static_cast<int32_t>(line);
    edits.push_back(
        {{"range", range(document, l, 0, static_cast<int32_t>(document.text.line(l).size()))},
         {"newText", new_lines[line]}});
  }
  return edits;
}

}  // namespace sb::lsp
