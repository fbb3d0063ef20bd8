#pragma once

#include <span>
#include <string>
#include <string_view>

namespace sb {

// The word of `words` nearest to `word` when one is close (a letter or two
// wrong, missing, extra or swapped; one in a short word), compared without
// case; empty otherwise. For "did you mean": a misspelt key of a
// description, a misspelt option of a command line.
std::string_view nearest_word(std::string_view word, std::span<const std::string_view> words);

// An argument that is no option of a program, with the option it most
// likely misspells: "unknown option --versoin (did you mean --version?)".
// `options` are the program's own, as typed.
std::string unknown_option_message(std::string_view argument,
                                   std::span<const std::string_view> options);

}  // namespace sb
