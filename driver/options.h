#pragma once

#include <optional>
#include <span>
#include <string>

namespace sb {

// What the command line asks for.
struct Options {
  std::optional<std::string> directory;   // --dir
  std::optional<std::string> line_file;   // --line
  std::optional<std::string> train_file;  // --train
  std::optional<std::string> route_name;  // --route
  std::optional<std::string> train_number;  // --number
  bool export_descriptions = false;       // --export
  bool keep_going = false;                // --keep-going
  bool check = false;                     // --check
  bool strict = false;                    // --strict
  bool help = false;                      // --help, -h
  bool version = false;
};

struct ParsedOptions {
  Options options;
  std::string error;  // empty when the command line is valid
};

// Parses the arguments after the program name.
ParsedOptions parse_options(std::span<const std::string> args);

// The text --help prints.
std::string usage_text();

}  // namespace sb
