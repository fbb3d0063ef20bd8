#include "driver/options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <string_view>
#include <vector>

#include "base/file_names.h"
#include "base/nearest_word.h"

namespace sb {

namespace {

struct ValueOption {
  const char* name;
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

// The problem with a value option's value, or empty when it is fine. How
// long a name may be depends on the folder, and is checked once it is known.
std::string check_value(const ValueOption& option, const std::string& value) {
  if (option.names_files) return file_name_value_problem(option.name, value);
  if (value.empty()) return "option " + std::string(option.name) + " needs a non-empty value";
  return {};
}

// A value option given without its value: "--name" last, or "--name=".
std::string missing_value(const CLI::ParseError& error, std::span<const std::string> args) {
  const std::string what = error.what();
  const std::string name = what.substr(0, what.find(':'));
  const bool given_empty = std::ranges::find(args, name + "=") != args.end();
  return "option " + name + (given_empty ? " needs a non-empty value" : " needs a value");
}

// Which value wins is anybody's guess to the reader of a command line: a
// value option given twice is refused, naming both values.
std::string given_twice(const CLI::Option& option) {
  const std::vector<std::string>& results = option.results();
  return "option " + option.get_name() + " is given twice: " + results[0] + " and " +
         results[1];
}

constexpr std::string_view kOptionNames[] = {
    "--dir",   "--line",  "--train", "--route", "--number",  "--export",
    "--keep-going", "--check", "--strict", "--help", "--version",
};

}  // namespace

ParsedOptions parse_options(std::span<const std::string> args) {
  ParsedOptions parsed;
  Options& options = parsed.options;
  CLI::App app("scenario_builder");
  // --help prints the program's own text; anything unknown is reported below.
  app.set_help_flag();
  app.allow_extras(true);

  std::string values[std::size(kValueOptions)];
  std::vector<CLI::Option*> value_options;
  for (size_t i = 0; i < std::size(kValueOptions); ++i) {
    // Every value is kept, so that one given twice can be refused by name.
    value_options.push_back(app.add_option(kValueOptions[i].name, values[i])
                                ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast));
  }
  std::vector<CLI::Option*> flags = {
      app.add_flag("--export", options.export_descriptions),
      app.add_flag("--keep-going", options.keep_going),
      app.add_flag("--check", options.check),
      app.add_flag("--strict", options.strict),
      app.add_flag("-h,--help", options.help),
      app.add_flag("--version", options.version),
  };

  // CLI11 takes the arguments in reverse order.
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::ArgumentMismatch& error) {
    parsed.error = missing_value(error, args);
    return parsed;
  } catch (const CLI::ParseError& error) {
    parsed.error = error.what();
    return parsed;
  }
  if (!app.remaining().empty()) {
    parsed.error = unknown_option_message(app.remaining().front(), kOptionNames);
    return parsed;
  }
  for (const CLI::Option* option : value_options) {
    if (option->count() > 1) {
      parsed.error = given_twice(*option);
      return parsed;
    }
  }
  for (const CLI::Option* flag : flags) {
    if (flag->count() > 1) {
      parsed.error = "option " + flag->get_name() + " is given twice";
      return parsed;
    }
  }
  for (const char* other : {"--line", "--train", "--keep-going", "--check", "--strict"}) {
    if (options.export_descriptions && app.count(other) > 0) {
      parsed.error = std::string("options --export and ") + other + " cannot go together: " +
                     "--export only writes the built-in descriptions";
      return parsed;
    }
  }
  if (options.check && options.keep_going) {
    parsed.error = "options --check and --keep-going cannot go together: --check writes nothing";
    return parsed;
  }
  if (options.strict && options.keep_going) {
    parsed.error = "options --strict and --keep-going cannot go together: --strict writes "
                   "nothing when a warning is listed, --keep-going writes even past an error";
    return parsed;
  }
  for (size_t i = 0; i < std::size(kValueOptions); ++i) {
    if (value_options[i]->count() == 0) continue;
    parsed.error = check_value(kValueOptions[i], values[i]);
    if (!parsed.error.empty()) return parsed;
    options.*kValueOptions[i].field = values[i];
  }
  return parsed;
}

std::string usage_text() {
  return "usage: scenario_builder [--dir DIR] [--line FILE] [--train FILE]\n"
         "                        [--route NAME] [--number NUMBER] [--keep-going | --strict]\n"
         "       scenario_builder --check [--dir DIR] [--line FILE] [--train FILE]\n"
         "                        [--route NAME] [--number NUMBER] [--strict]\n"
         "       scenario_builder --export [--dir DIR] [--route NAME] [--number NUMBER]\n"
         "       scenario_builder -h | --help | --version\n"
         "\n"
         "Builds one driving scenario. With no option it builds the built-in scenario\n"
         "in the program's folder.\n"
         "\n"
         "  --dir DIR        read and write every file of the run in DIR (created when missing)\n"
         "  --line FILE      build from this line description instead of the built-in one\n"
         "  --train FILE     build from this train description instead of the built-in one\n"
         "  --route NAME     route name (file names, station table, competition codes);\n"
         "                   without it, taken from a --line FILE named NAME_linea.txt\n"
         "  --number NUMBER  train number (file names, station table, competition codes);\n"
         "                   without it, taken from a --train FILE named\n"
         "                   ROUTE_NUMBER-.txt\n"
         "  --keep-going     write the compiled files even when the build records a problem\n"
         "                   (as the model stands); without it they are not written and\n"
         "                   those of an earlier build in DIR stay as they were\n"
         "  --strict         warnings count as errors: status 1 and no compiled file\n"
         "                   written when any is listed\n"
         "  --check          read the descriptions as a build would and list every problem\n"
         "                   found, errors and warnings, in file order; writes nothing\n"
         "  --export         write the built-in descriptions into DIR and stop\n"
         "  -h, --help       show this text\n"
         "  --version        show the version\n"
         "\n"
         "Exit status: 0 built without problems; 1 a problem was recorded (described on\n"
         "standard error, whose last line is then error_number=N error_position_m=M); no\n"
         "compiled file written unless --keep-going; 2 fatal report, no compiled file\n"
         "written; 3 usage error or a file that could not be read or written. Warnings\n"
         "change neither the status nor the files, unless --strict.\n"
         "With --check: 0 no error (warnings may be listed, unless --strict), 1 an error\n"
         "was listed (or, with --strict, a warning), 3 as above.\n";
}

}  // namespace sb
