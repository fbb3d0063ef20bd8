#pragma once

namespace sb {

// The route and train of the built-in scenario: the names of its files and
// of its station table, unless the command line gives others.
inline constexpr const char* kBuiltInRouteName = "Sarvena_Lucredo";
inline constexpr const char* kBuiltInTrainNumber = "20573-2";

}  // namespace sb
