#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace sb {

// The pieces joined, in one allocation. Messages are built with it rather
// than with chains of operator+ on temporaries, which also keeps GCC 12 from
// warning about overlapping copies in them.
inline std::string concat(std::initializer_list<std::string_view> pieces) {
  size_t size = 0;
  for (std::string_view piece : pieces) size += piece.size();
  std::string text;
  text.reserve(size);
  for (std::string_view piece : pieces) text.append(piece);
  return text;
}

}  // namespace sb
