#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace sb::lsp {

// The protocol's framing over a byte stream: headers ("Content-Length: N"),
// a blank line, N bytes of JSON. `read` fills a buffer and returns how many
// bytes it gave (0 at the end of the stream).
class MessageReader {
 public:
  using Read = std::function<size_t(char* buffer, size_t size)>;
  MessageReader(Read read, std::ostream& log) : read_(std::move(read)), log_(log) {}

  // The next message's body; none at the end of the stream. Headers
  // without a usable length are logged and passed over.
  std::optional<std::string> next();
  // Whether a whole further message has already been read.
  bool message_buffered() const;

  // Bodies above this size are read and dropped.
  static constexpr size_t kLargestBody = size_t{512} << 20;

 private:
  bool fill();

  Read read_;
  std::ostream& log_;
  std::string buffer_;
  size_t start_ = 0;
  bool ended_ = false;
};

// A message's frame: its header and its body.
std::string framed(std::string_view body);

}  // namespace sb::lsp
