#include "driver/options.h"

#include <algorithm>
#include <functional>
#include <string_view>

namespace sb {

namespace {

struct ValueOption {
  std::string_view name;
  std::optional<std::string> Options::*field;
  // The value becomes part of the names of the files written in the folder.
  bool names_files = false;
};

constexpr ValueOption kValueOptions[] = {
    {"--dir", &Options::directory},
    {"--line", &Options::line_file},
    {"--train", &Options::train_file},
    {"--route", &Options::route_name, true},
    {"--number", &Options::train_number, true},
};

// A character no file name may hold on one of the two platforms: a folder
// separator would put the files outside the folder asked for, and the others
// are refused by Windows. Refused on both, so a scenario builds the same
// everywhere.
bool unfit_for_file_name(char c) {
  constexpr std::string_view kRefused = "/\\:*?\"<>|";
  return static_cast<unsigned char>(c) < 0x20 || kRefused.find(c) != std::string_view::npos;
}

struct FlagOption {
  std::string_view name;
  bool Options::*field;
};

constexpr FlagOption kFlagOptions[] = {
    {"--export", &Options::export_descriptions},
    {"--help", &Options::help},
    {"--version", &Options::version},
};

// Accepts "--name value" and "--name=value".
bool take_value_option(std::span<const std::string> args, size_t& i, Options& options,
                       std::string& error) {
  const std::string& arg = args[i];
  for (const ValueOption& option : kValueOptions) {
    std::string value;
    if (arg == option.name) {
      if (i + 1 >= args.size()) {
        error = "option " + std::string(option.name) + " needs a value";
        return true;
      }
      value = args[++i];
    } else if (arg.starts_with(std::string(option.name) + "=")) {
      value = arg.substr(option.name.size() + 1);
    } else {
      continue;
    }
    if (value.empty()) {
      error = "option " + std::string(option.name) + " needs a non-empty value";
    } else if (option.names_files && std::ranges::any_of(value, unfit_for_file_name)) {
      error = "option " + std::string(option.name) +
              " names files: its value may not hold / \\ : * ? \" < > | or control characters";
    } else {
      options.*option.field = value;
    }
    return true;
  }
  return false;
}

}  // namespace

ParsedOptions parse_options(std::span<const std::string> args) {
  ParsedOptions parsed;
  for (size_t i = 0; i < args.size() && parsed.error.empty(); ++i) {
    if (take_value_option(args, i, parsed.options, parsed.error)) continue;
    bool known = false;
    for (const FlagOption& flag : kFlagOptions) {
      if (args[i] == flag.name) {
        parsed.options.*flag.field = true;
        known = true;
      }
    }
    if (!known) parsed.error = "unknown option " + args[i];
  }
  return parsed;
}

std::string usage_text() {
  return "usage: scenario_builder [--dir DIR] [--line FILE] [--train FILE]\n"
         "                        [--route NAME] [--number NUMBER] [--export]\n"
         "       scenario_builder --help | --version\n"
         "\n"
         "Builds one driving scenario. With no option it builds the built-in scenario\n"
         "in the program's folder.\n"
         "\n"
         "  --dir DIR        read and write every file of the run in DIR (created when missing)\n"
         "  --line FILE      build from this line description instead of the built-in one\n"
         "  --train FILE     build from this train description instead of the built-in one\n"
         "  --route NAME     route name (file names, station table, competition codes)\n"
         "  --number NUMBER  train number (file names, station table, competition codes)\n"
         "  --export         write the built-in descriptions into DIR and stop\n"
         "  --help           show this text\n"
         "  --version        show the version\n"
         "\n"
         "Exit status: 0 built without problems; 1 built, but a problem was recorded\n"
         "(described on standard error); 2 fatal report, no compiled file written;\n"
         "3 usage error or a file that could not be read or written.\n";
}

}  // namespace sb
