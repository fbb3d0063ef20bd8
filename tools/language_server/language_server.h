#pragma once

#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "tools/language_server/document_text.h"
#include "tools/language_server/record_meanings.h"

namespace sb::lsp {

// A problem the check found, placed on the document: the range of the
// field or the row it names (0-based lines and character indices of the
// Windows-1252 text), and the message as --check prints it.
struct Problem {
  int32_t line = 0;
  int32_t first = 0;
  int32_t last = 0;  // one past the last character
  int severity = 1;  // the protocol's: 1 error, 2 warning, 3 information
  nlohmann::json code;
  std::string message;
};

// An open document: what the editor sent and what its last check found.
struct Document {
  std::string uri;
  std::string path;
  Description description = Description::line;
  int64_t version = 0;
  DocumentText text;
  // Changed since its problems were last published.
  bool unchecked = true;
  std::vector<Problem> problems;
};

// The language server: takes the client's messages one by one and answers
// through `send`; logs what goes wrong to `log`. Never throws and never
// ends on bad input: a malformed message gets the protocol's error.
class LanguageServer {
 public:
  using Send = std::function<void(const nlohmann::json&)>;
  LanguageServer(Send send, std::ostream& log);

  // One message's body, as framed by the transport.
  void handle_body(std::string_view body);
  void handle(const nlohmann::json& message);
  // Checks every document changed since its last check and publishes its
  // problems. A transport calls it when no further message is waiting, so
  // a check of a version that a newer one already replaced is never run.
  void check_changed_documents();

  bool exit_requested() const { return exit_requested_; }
  // The process's status after "exit": 0 after "shutdown", else 1.
  int exit_status() const { return shutdown_ ? 0 : 1; }

  // For tests and benchmarks: the open document of a URI, or null.
  const Document* document(const std::string& uri) const;

 private:
  nlohmann::json dispatch(const std::string& method, const nlohmann::json& params);
  nlohmann::json initialize(const nlohmann::json& params);
  void did_open(const nlohmann::json& params);
  void did_change(const nlohmann::json& params);
  void did_close(const nlohmann::json& params);
  nlohmann::json hover(const nlohmann::json& params);
  nlohmann::json completion(const nlohmann::json& params);
  nlohmann::json signature_help(const nlohmann::json& params);
  nlohmann::json document_symbols(const nlohmann::json& params);
  nlohmann::json formatting(const nlohmann::json& params);

  Document& open_document(const nlohmann::json& params);
  void check(Document& document);
  void publish(const Document& document);
  // The text of the line description a train description is checked with.
  std::optional<std::string> line_beside(const Document& train, std::string& named);
  nlohmann::json range(const Document& document, int32_t line, int32_t first, int32_t last) const;

  Send send_;
  std::ostream& log_;
  PositionEncoding encoding_ = PositionEncoding::utf16;
  bool initialized_ = false;
  bool shutdown_ = false;
  bool exit_requested_ = false;
  std::map<std::string, Document> documents_;
};

// The file path of a file: URI ("file:///home/a%20b/x.txt"), or empty.
std::string path_of_uri(std::string_view uri);

}  // namespace sb::lsp
