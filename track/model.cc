#include "track/model.h"

#include "platform/platform.h"

namespace sb {

Builder::Builder(Platform& platform_in)
    : platform(&platform_in), files(&platform_in.file_system()) {}

std::string Builder::path(const std::string& name) const {
  return platform->join_path(directory, name);
}

}  // namespace sb
