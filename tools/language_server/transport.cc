#include "tools/language_server/transport.h"

#include <cstdlib>

namespace sb::lsp {

namespace {

// Where the blank line after the headers ends, from `from`; npos if not yet read.
size_t header_end(const std::string& buffer, size_t from, size_t& body_start) {
  const size_t crlf = buffer.find("\r\n\r\n", from);
  const size_t lf = buffer.find("\n\n", from);
  if (crlf == std::string::npos && lf == std::string::npos) return std::string::npos;
  if (lf == std::string::npos || (crlf != std::string::npos && crlf < lf)) {
    body_start = crlf + 4;
    return crlf;
  }
  body_start = lf + 2;
  return lf;
}

// The value of Content-Length in a header block; none when missing or bad.
std::optional<size_t> content_length(std::string_view headers) {
  size_t pos = 0;
  while (pos < headers.size()) {
    size_t end = headers.find('\n', pos);
    if (end == std::string_view::npos) end = headers.size();
    std::string_view line = headers.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    constexpr std::string_view kName = "content-length:";
    if (line.size() > kName.size()) {
      bool match = true;
      for (size_t i = 0; i < kName.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(line[i])) != kName[i]) match = false;
      }
      if (match) {
        std::string_view value = line.substr(kName.size());
        while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
        if (value.empty() || value.size() > 18) return std::nullopt;
        size_t length = 0;
        for (char c : value) {
          if (c < '0' || c > '9') return std::nullopt;
          length = length * 10 + static_cast<size_t>(c - '0');
        }
        return length;
      }
    }
    pos = end + 1;
  }
  return std::nullopt;
}

}  // namespace

bool MessageReader::fill() {
  if (ended_) return false;
  if (start_ > 0 && start_ * 2 > buffer_.size()) {
    buffer_.erase(0, start_);
    start_ = 0;
  }
  char chunk[65536];
  const size_t got = read_(chunk, sizeof chunk);
  if (got == 0) {
    ended_ = true;
    return false;
  }
  buffer_.append(chunk, got);
  return true;
}

std::optional<std::string> MessageReader::next() {
  for (;;) {
    size_t body_start = 0;
    size_t end = header_end(buffer_, start_, body_start);
    while (end == std::string::npos) {
      if (!fill()) return std::nullopt;
      end = header_end(buffer_, start_, body_start);
    }
    const std::optional<size_t> length =
        content_length(std::string_view(buffer_).substr(start_, end - start_));
    if (!length) {
      log_ << "scenario_language_server: a message without a Content-Length was passed over\n";
      start_ = body_start;
      continue;
    }
    if (*length > kLargestBody) {
      log_ << "scenario_language_server: a message of " << *length << " bytes was dropped\n";
      size_t left = *length;
      start_ = body_start;
      while (left > 0) {
        const size_t here = std::min(left, buffer_.size() - start_);
        start_ += here;
        left -= here;
        if (left > 0) {
          buffer_.clear();
          start_ = 0;
          if (!fill()) return std::nullopt;
        }
      }
      continue;
    }
    while (buffer_.size() - body_start < *length) {
      const size_t offset = body_start - start_;
      if (!fill()) return std::nullopt;
      body_start = start_ + offset;
    }
    std::string body = buffer_.substr(body_start, *length);
    start_ = body_start + *length;
    return body;
  }
}

bool MessageReader::message_buffered() const {
  size_t body_start = 0;
  const size_t end = header_end(buffer_, start_, body_start);
  if (end == std::string::npos) return false;
  const auto length = content_length(std::string_view(buffer_).substr(start_, end - start_));
  return !length || buffer_.size() - body_start >= *length;
}

std::string framed(std::string_view body) {
  std::string frame = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  frame.append(body);
  return frame;
}

}  // namespace sb::lsp
