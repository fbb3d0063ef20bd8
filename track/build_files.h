#pragma once

#include <span>
#include <string>
#include <string_view>

#include "platform/folder_transaction.h"
#include "track/model.h"

namespace sb {

// Replaces the file `name` of the build's folder with the chunks.
void replace_build_file(Builder& b, const std::string& name,
                        std::span<const std::string_view> chunks);

// Puts the files of the set into the build's folder together: all or, when
// a write fails, none (FolderTransaction::publish). Without a transaction,
// one after the other.
void publish_build_files(Builder& b, std::span<const FolderTransaction::Published> set);

}  // namespace sb
