#pragma once

#include <span>
#include <string_view>

namespace sb {

// The built-in train description of train 20573.2 over the Sarvena - Lucredo
// line, in file order: 106 lines closed by the end sentinel.
std::span<const std::string_view> built_in_train_lines();

}  // namespace sb
