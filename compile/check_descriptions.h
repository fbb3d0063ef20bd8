#pragma once

#include <optional>
#include <string>

#include "track/model.h"

namespace sb {

// The texts of the two descriptions a check reads, as their files hold
// them (Windows-1252 bytes, line ends as written).
struct DescriptionTexts {
  std::string line;
  // None: the line description is checked on its own, without a train.
  std::optional<std::string> train;
};

// The check that `--check` and the language server share: reads the texts
// with a build's readers, collecting every problem rather than stopping at
// the first, and runs the finishing pass. The problems land in
// b.diagnostics, located by the working names of b's route and train. b's
// names and folder are the caller's; its files are left as they were, and
// nothing is written anywhere.
void check_descriptions(Builder& b, const DescriptionTexts& texts);

}  // namespace sb
