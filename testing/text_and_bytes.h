#pragma once

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace sb {

// Small helpers the tests share to write expected bytes and read files back.

// Bytes from a list of values 0..255.
inline std::string bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out += static_cast<char>(v);
  return out;
}

// The little-endian value of type T at `offset` of a file's bytes.
template <class T>
T read_le(const std::string& file, size_t offset) {
  T value{};
  std::memcpy(&value, file.data() + offset, sizeof value);
  return value;
}

// The lines of a text whose every line ends with CR LF; a last line without
// its CR LF is kept, so that a count or comparison shows it.
inline std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

}  // namespace sb
