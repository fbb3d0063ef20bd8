#include "track/build_files.h"

#include "platform/file_system.h"

namespace sb {

void replace_build_file(Builder& b, const std::string& name,
                        std::span<const std::string_view> chunks) {
  if (b.transaction) {
    b.transaction->replace(name, chunks);
  } else {
    b.files->replace_file(b.path(name), chunks);
  }
}

void publish_build_files(Builder& b, std::span<const FolderTransaction::Published> set) {
  if (b.transaction) {
    b.transaction->publish(set);
    return;
  }
  for (const FolderTransaction::Published& file : set) {
    b.files->replace_file(b.path(file.name), file.chunks);
  }
}

}  // namespace sb
