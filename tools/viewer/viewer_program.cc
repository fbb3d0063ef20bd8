#include "tools/viewer/viewer_program.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

#include <CLI/CLI.hpp>

#include "base/file_names.h"
#include "base/nearest_word.h"
#include "base/shown_text.h"
#include "output/compiled_layout.h"
#include "platform/folder_lock.h"
#include "platform/system_error.h"
#include "tools/viewer/description_recovery.h"
#include "tools/viewer/listing.h"
#include "tools/viewer/listing_output.h"
#include "tools/viewer/round_trip.h"
#include "tools/viewer/scenario_folder.h"
#include "tools/viewer/scenario_page.h"
#include "tools/viewer/scenario_picture.h"
#include "tools/viewer/stop_request.h"
#include "tools/viewer/watch_program.h"

namespace sb::inspect {

namespace {

constexpr const char* kProgram = "scenario_inspect";

// Where the program says what cannot wait for the end of the run; unset,
// such lines join the rest of its error output.
Platform* g_said_at_once = nullptr;

struct Options {
  enum class Mode { list, json, picture, descriptions, watch, help, version } mode = Mode::list;
  std::vector<std::string> files;
  std::string svg_file;
  std::string html_file;
  std::string descriptions_dir;
  std::optional<std::string> directory;
  std::optional<std::string> route_name;
  std::optional<std::string> train_number;
  // --watch: what the builder takes, and --serve [PORT].
  std::optional<std::string> line_file;
  std::optional<std::string> train_file;
  std::optional<int> serve_port;
  bool strict = false;  // a save whose build warns writes nothing either
};

struct ParsedOptions {
  Options options;
  std::string error;
  WatchOptions watch;  // with Mode::watch
};

// The options that choose what is shown; of those given, the last decides.
struct ModeOptions {
  const CLI::Option* help;
  const CLI::Option* version;
  const CLI::Option* json;
  const CLI::Option* svg;
  const CLI::Option* html;
  const CLI::Option* descriptions;
  const CLI::Option* watch;
};

Options::Mode mode_from(const CLI::App& app, const ModeOptions& m) {
  Options::Mode mode = Options::Mode::list;
  for (const CLI::Option* option : app.parse_order()) {
    if (option == m.help) mode = Options::Mode::help;
    if (option == m.version) mode = Options::Mode::version;
    if (option == m.json) mode = Options::Mode::json;
    if (option == m.svg || option == m.html) mode = Options::Mode::picture;
    if (option == m.descriptions) mode = Options::Mode::descriptions;
  }
  // A watch goes with no other mode; misfit_watch names those given with it.
  if (app.count("--watch") > 0) mode = Options::Mode::watch;
  return mode;
}

// An output file that is an option name means the file itself was left
// out: "--svg --dir x" gives --svg no file, not a file named "--dir".
std::string missing_output_file(const Options& o) {
  for (const auto& [option, file] : {std::pair{"--svg", &o.svg_file}, {"--html", &o.html_file}}) {
    if (!file->empty() && file->front() == '-') {
      return std::string(option) + " needs its output FILE (" + option + " FILE), got " + *file;
    }
  }
  if (!o.descriptions_dir.empty() && o.descriptions_dir.front() == '-') {
    return "--descriptions needs its output folder (--descriptions OUTDIR), got " +
           o.descriptions_dir;
  }
  return "";
}

// The combinations the modes allow; empty when the options fit together.
std::string misfit(const Options& o) {
  if (o.mode == Options::Mode::help || o.mode == Options::Mode::version) return "";
  if (o.mode == Options::Mode::picture || o.mode == Options::Mode::descriptions) {
    if (std::string missing = missing_output_file(o); !missing.empty()) return missing;
    const bool picture = o.mode == Options::Mode::picture;
    const std::string modes = picture ? "--svg and --html" : "--descriptions";
    if (!o.directory) return modes + (picture ? " need" : " needs") + " --dir DIR";
    if (!o.files.empty()) return modes + (picture ? " take" : " takes") + " no FILE arguments";
    if (o.mode == Options::Mode::descriptions && (!o.svg_file.empty() || !o.html_file.empty())) {
      return "--descriptions does not go with --svg or --html";
    }
    return "";
  }
  if (o.files.empty()) return "no file given";
  if (o.directory) return "--dir only goes with --svg, --html or --descriptions";
  return "";
}

// The options only a watch takes, given without --watch; or the modes and
// options a watch refuses, given with it. Empty when all fit.
std::string misfit_watch(const CLI::App& app, const Options& o) {
  const bool watch = o.mode == Options::Mode::watch;
  if (!watch) {
    for (const char* option : {"--line", "--train", "--serve", "--strict"}) {
      if (app.count(option) > 0) return std::string(option) + " only goes with --watch";
    }
    return app.count("--keep-going") > 0 ? "unknown option --keep-going" : "";
  }
  for (const char* option : {"--json", "--svg", "--html", "--descriptions"}) {
    if (app.count(option) > 0) return std::string("--watch does not go with ") + option;
  }
  if (!o.files.empty()) return "--watch takes no FILE arguments";
  if (app.count("--keep-going") > 0) {
    return "--watch does not go with --keep-going: a watched build with a problem writes "
           "nothing, and the last good build stays";
  }
  if (!o.line_file && !o.train_file) {
    return "--watch needs --line FILE or --train FILE (or both): the descriptions it watches";
  }
  return "";
}

// --serve's value: none for a free port, else a port number.
std::string take_serve_port(const CLI::App& app, const std::string& text, Options& o) {
  if (app.count("--serve") == 0) return "";
  if (text.empty()) {
    o.serve_port = 0;
    return "";
  }
  if (text.size() <= 5 && text.find_first_not_of("0123456789") == std::string::npos) {
    const int port = std::stoi(text);
    if (port >= 1 && port <= 65535) {
      o.serve_port = port;
      return "";
    }
  }
  return "--serve takes a port number from 1 to 65535 (or none, for a free port), got " + text;
}

// The builder's options of a watch, checked as the builder checks them
// (values that name files, empty values).
std::string take_build_options(const Options& o, WatchOptions& watch) {
  std::vector<std::string> args;
  for (const auto& [name, value] :
       {std::pair{"--dir", &o.directory}, {"--line", &o.line_file}, {"--train", &o.train_file},
        {"--route", &o.route_name}, {"--number", &o.train_number}}) {
    if (!*value) continue;
    args.push_back(name);
    args.push_back(**value);
  }
  if (o.strict) args.push_back("--strict");
  sb::ParsedOptions parsed = sb::parse_options(args);
  watch.build = std::move(parsed.options);
  watch.serve_port = o.serve_port;
  return parsed.error;
}

constexpr std::string_view kOptionNames[] = {
    "--help", "--version", "--json",  "--svg",  "--html",  "--descriptions",
    "--dir",  "--route",   "--number", "--watch", "--line", "--train", "--serve", "--strict",
};

// An argument the parser did not take, or a FILE that looks like an option:
// the library reads a negative number such as "-5" as a positional value.
std::optional<std::string> unknown_option(const CLI::App& app, const Options& options) {
  const std::vector<std::string> left = app.remaining();
  if (!left.empty()) return left.front();
  for (const std::string& file : options.files) {
    if (file.size() > 1 && file[0] == '-') return file;
  }
  return std::nullopt;
}

// The library's message, which ends in a newline for some errors.
std::string parse_error_text(const CLI::ParseError& error) {
  std::string text = error.what();
  if (!text.empty() && text.back() == '\n') text.pop_back();
  // "--svg: 1 required TEXT missing" says it in the builder's words.
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr) {
    return "option " + text.substr(0, text.find(':')) + " needs a value";
  }
  return text;
}

// --route and --number name the files read and written, and are checked as
// the builder checks them: a name that holds a folder separator would reach
// outside the folders given.
std::string names_problem(const Options& o) {
  const std::string route = o.route_name.value_or("");
  const std::string train = o.train_number.value_or("");
  const std::string& folder =
      o.mode == Options::Mode::descriptions ? o.descriptions_dir : o.directory.value_or("");
  for (const auto& [option, value] : {std::pair{"--route", &o.route_name},
                                      std::pair{"--number", &o.train_number}}) {
    if (!*value) continue;
    std::string problem = scenario_name_problem(option, **value, route, train, folder);
    if (!problem.empty()) return problem;
  }
  return "";
}

ParsedOptions parse_options(std::span<const std::string> args) {
  ParsedOptions parsed;
  Options& o = parsed.options;
  // --help prints inspect_usage() rather than the library's own help, and
  // anything not understood is checked below rather than by the library.
  CLI::App app{"", kProgram};
  app.set_help_flag();
  app.allow_extras();
  const auto take_last = CLI::MultiOptionPolicy::TakeLast;
  ModeOptions modes{};
  modes.help = app.add_flag("-h,--help")->disable_flag_override();
  modes.version = app.add_flag("--version")->disable_flag_override();
  modes.json = app.add_flag("--json")->disable_flag_override();
  modes.svg = app.add_option("--svg", o.svg_file)->multi_option_policy(take_last);
  modes.html = app.add_option("--html", o.html_file)->multi_option_policy(take_last);
  modes.descriptions =
      app.add_option("--descriptions", o.descriptions_dir)->multi_option_policy(take_last);
  app.add_option("--dir", o.directory)->multi_option_policy(take_last);
  app.add_option("--route", o.route_name)->multi_option_policy(take_last);
  app.add_option("--number", o.train_number)->multi_option_policy(take_last);
  modes.watch = app.add_flag("--watch")->disable_flag_override();
  app.add_option("--line", o.line_file)->multi_option_policy(take_last);
  app.add_option("--train", o.train_file)->multi_option_policy(take_last);
  std::string serve_text;
  app.add_option("--serve", serve_text)->expected(0, 1)->multi_option_policy(take_last);
  app.add_flag("--keep-going");
  app.add_flag("--strict", o.strict);
  app.add_option("FILE", o.files);
  try {
    // The library takes the arguments last first.
    app.parse(std::vector<std::string>(args.rbegin(), args.rend()));
  } catch (const CLI::ParseError& error) {
    parsed.error = parse_error_text(error);
    return parsed;
  }
  if (const auto unknown = unknown_option(app, o)) {
    parsed.error = unknown_option_message(*unknown, kOptionNames);
    return parsed;
  }
  o.mode = mode_from(app, modes);
  parsed.error = misfit_watch(app, o);
  if (parsed.error.empty()) parsed.error = take_serve_port(app, serve_text, o);
  if (!parsed.error.empty()) return parsed;
  if (o.mode == Options::Mode::watch) {
    parsed.error = take_build_options(o, parsed.watch);
    return parsed;
  }
  parsed.error = misfit(o);
  if (parsed.error.empty()) parsed.error = names_problem(o);
  return parsed;
}

// Why a file could not be shown; the offset is where reading stopped.
struct FileProblem {
  std::string file;
  std::string message;
  std::optional<size_t> offset;
};

std::string problem_line(const FileProblem& p) {
  std::string line = std::string(kProgram) + ": " + shown_path(p.file) + ": ";
  if (p.offset) line += "offset " + std::to_string(*p.offset) + ": ";
  return line + p.message + "\n";
}

template <class T>
using Loaded = std::variant<T, FileProblem>;

// A compiled file must be a regular file: a pipe or device of that name is
// refused at once rather than waited on.
Loaded<std::string> read_bytes(FileSystem& files, const std::string& path) {
  try {
    return files.read_regular_file(path);
  } catch (const FileError& error) {
    return FileProblem{path, error.what(), std::nullopt};
  }
}

// The whole-file decoders, with the few shape rules they leave to callers.
Decoded<std::vector<Cell>> decode_cells(std::string_view bytes) {
  Decoded<std::vector<Cell>> cells = decode_cell_file(bytes);
  if (cells && cells.value().size() < 2) {
    return DecodeError{bytes.size(), std::to_string(cells.value().size()) +
                                         " cell records: a cell file holds at least cells 0 "
                                         "and 1"};
  }
  return cells;
}

Decoded<PlanFile> decode_plan(std::string_view bytes) {
  if (bytes.empty()) return DecodeError{0, "empty: a plan file holds at least one point"};
  return decode_plan_file(bytes);
}

template <class T>
Loaded<T> decode_with(const std::string& path, std::string_view bytes,
                      Decoded<T> (*decode)(std::string_view)) {
  Decoded<T> decoded = decode(bytes);
  if (!decoded) return FileProblem{path, decoded.error().message, decoded.error().offset};
  return std::move(decoded.value());
}

template <class T>
Loaded<T> load(FileSystem& files, const std::string& path,
               Decoded<T> (*decode)(std::string_view)) {
  Loaded<std::string> bytes = read_bytes(files, path);
  if (auto* problem = std::get_if<FileProblem>(&bytes)) return *problem;
  return decode_with(path, std::get<std::string>(bytes), decode);
}

// The station file beside a cell file names its stop markers and boards.
std::optional<std::vector<Station>> stations_beside(FileSystem& files,
                                                    const std::string& cell_path) {
  const std::string path = cell_path.substr(0, cell_path.size() - 4) + ".sim";
  if (!files.exists(path)) return std::nullopt;
  Loaded<std::vector<Station>> stations = load(files, path, decode_station_file);
  if (auto* s = std::get_if<std::vector<Station>>(&stations)) return std::move(*s);
  return std::nullopt;
}

Loaded<Listing> list_file(FileSystem& files, const std::string& path) {
  const std::optional<FileType> type = file_type_of(path);
  if (!type) {
    return FileProblem{path, "not a compiled scenario file: expected a name ending in "
                             "\"_linea.dat\", \".sim\" or \".dat\"",
                       std::nullopt};
  }
  Loaded<std::string> read = read_bytes(files, path);
  if (auto* problem = std::get_if<FileProblem>(&read)) return *problem;
  const std::string& bytes = std::get<std::string>(read);
  switch (*type) {
    case FileType::cell: {
      Loaded<std::vector<Cell>> cells = decode_with(path, bytes, decode_cells);
      if (auto* problem = std::get_if<FileProblem>(&cells)) return *problem;
      const auto stations = stations_beside(files, path);
      return list_cell_file(path, std::get<0>(cells), stations ? &*stations : nullptr);
    }
    case FileType::station: {
      Loaded<std::vector<Station>> stations = decode_with(path, bytes, decode_station_file);
      if (auto* problem = std::get_if<FileProblem>(&stations)) return *problem;
      return list_station_file(path, std::get<0>(stations), bytes.size());
    }
    case FileType::plan: {
      Loaded<PlanFile> plan = decode_with(path, bytes, decode_plan);
      if (auto* problem = std::get_if<FileProblem>(&plan)) return *problem;
      return list_plan_file(path, std::get<0>(plan), bytes.size());
    }
  }
  return FileProblem{path, "unknown file type", std::nullopt};
}

// A file of the scenario in DIR, joined with the system's own separator as
// the builder joins it, so that both programs name a file alike in their
// messages; a folder given with its own separator at the end keeps it.
std::string path_in(const std::string& dir, const std::string& name) {
#ifdef _WIN32
  constexpr char kSeparator = '\\';
#else
  constexpr char kSeparator = '/';
#endif
  if (dir.empty()) return name;
  const char last = dir.back();
  return last == '/' || last == '\\' ? dir + name : dir + kSeparator + name;
}

// The folder a listed file lies in.
std::string folder_of(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  if (slash == std::string::npos) return ".";
  return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

// A folder where a build was stopped while it published its files may
// hold files of two builds: nothing there is shown as if it were one.
std::optional<FileProblem> interrupted_build_in(FileSystem& files, const std::string& dir) {
  if (!files.exists(path_in(dir, std::string(kPublishRecordName)))) return std::nullopt;
  return FileProblem{dir,
                     "holds an interrupted build (" + std::string(kPublishRecordName) +
                         "): its files may come from two builds; the next build in this "
                         "folder finishes it",
                     std::nullopt};
}

// Reading takes the folder's lock shared, so that a build there ends
// first; where the system gives no lock (a folder that cannot be opened, a
// network share), it reads all the same. Nothing is created.
std::unique_ptr<FolderLockHold> lock_for(FileSystem& files, const std::string& dir,
                                         LockMode mode, std::string& err) {
  LockWaiting waiting;
  waiting.on_long_wait = [&err, dir] {
    const std::string line =
        std::string(kProgram) + ": waiting for a run in " + shown_path(dir) + " to end";
    // The program says it while it waits, not once the wait is over.
    if (g_said_at_once != nullptr) {
      g_said_at_once->report(line);
    } else {
      err += line + "\n";
    }
  };
  return lock_folder(files, dir, mode, waiting);
}

int list_files(FileSystem& files, const Options& options, std::string& out, std::string& err) {
  const bool json = options.mode == Options::Mode::json;
  int status = kInspected;
  Json listings = Json::array();
  for (size_t i = 0; i < options.files.size(); ++i) {
    const std::optional<FileProblem> interrupted =
        interrupted_build_in(files, folder_of(options.files[i]));
    Loaded<Listing> listing =
        interrupted ? Loaded<Listing>(*interrupted) : list_file(files, options.files[i]);
    if (auto* problem = std::get_if<FileProblem>(&listing)) {
      err += problem_line(*problem);
      status = kBadFile;
      if (json) listings.push_back(error_json(problem->file, problem->message, problem->offset));
      continue;
    }
    if (json) {
      listings.push_back(listing_json(std::get<Listing>(listing)));
      continue;
    }
    if (i) out += "\n";
    out += listing_text(std::get<Listing>(listing));
  }
  if (json) out += json_text(listings);
  return status;
}

// The scenario to show from DIR: the one --route and --number name, or
// the only one the folder holds.
Loaded<ScenarioName> choose_scenario(FileSystem& files, const Options& options,
                                     const FolderListing& list_folder) {
  const std::string& dir = *options.directory;
  if (auto problem = interrupted_build_in(files, dir)) return *problem;
  if (options.route_name && options.train_number) {
    return ScenarioName{*options.route_name, *options.train_number};
  }
  std::vector<std::string> names;
  try {
    names = list_folder(dir);
  } catch (const FileError& error) {
    return FileProblem{dir, error.what(), std::nullopt};
  }
  const std::vector<ScenarioName> found =
      scenarios_among(std::move(names), options.route_name, options.train_number);
  if (found.size() == 1) return found.front();
  if (found.empty()) {
    return FileProblem{dir, "no built scenario here (<route>_<train>.dat and .sim with "
                            "<route>_linea.dat beside them)" +
                                std::string(options.route_name || options.train_number
                                                ? " matching --route/--number"
                                                : ""),
                       std::nullopt};
  }
  std::string message = std::to_string(found.size()) +
                        " scenarios here; choose one with --route and --number:";
  for (const ScenarioName& scenario : found) {
    message += "\n  --route " + shown_path(scenario.route) + " --number " + shown_path(scenario.train);
  }
  return FileProblem{dir, message, std::nullopt};
}

Loaded<ScenarioFiles> load_scenario(FileSystem& files, const std::string& dir,
                                    const ScenarioName& name) {
  ScenarioFiles scenario;
  scenario.route_name = name.route;
  scenario.train_number = name.train;
  auto cells = load(files, path_in(dir, cell_file_name(name.route, name.train)), decode_cells);
  if (auto* problem = std::get_if<FileProblem>(&cells)) return *problem;
  auto stations =
      load(files, path_in(dir, station_file_name(name.route, name.train)), decode_station_file);
  if (auto* problem = std::get_if<FileProblem>(&stations)) return *problem;
  auto plan = load(files, path_in(dir, plan_file_name(name.route)), decode_plan);
  if (auto* problem = std::get_if<FileProblem>(&plan)) return *problem;
  scenario.cells = std::move(std::get<0>(cells));
  scenario.stations = std::move(std::get<0>(stations));
  scenario.plan = std::move(std::get<0>(plan));
  return scenario;
}

bool write_output(FileSystem& files, const std::string& path, const std::string& content,
                  std::string& err) {
  try {
    files.replace_file(path, content);
    return true;
  } catch (const FileError& error) {
    err += std::string(kProgram) + ": " + error.what() + "\n";
    return false;
  }
}

// The picture and the page of one scenario; a scenario that looks broken is
// still drawn, with its warnings on standard error.
int show_scenario(FileSystem& files, const Options& options, const FolderListing& list_folder,
                  std::string& err) {
  Loaded<ScenarioFiles> loaded = FileProblem{};
  try {
    const auto lock = lock_for(files, *options.directory, LockMode::shared, err);
    Loaded<ScenarioName> name = choose_scenario(files, options, list_folder);
    if (auto* problem = std::get_if<FileProblem>(&name)) {
      err += problem_line(*problem);
      return kBadFile;
    }
    loaded = load_scenario(files, *options.directory, std::get<0>(name));
  } catch (const FileError& error) {
    err += std::string(kProgram) + ": " + error.what() + "\n";
    return kBadFile;
  }
  if (auto* problem = std::get_if<FileProblem>(&loaded)) {
    err += problem_line(*problem);
    return kBadFile;
  }
  const ScenarioFiles& scenario = std::get<ScenarioFiles>(loaded);
  for (const std::string& warning : scenario_warnings(scenario)) {
    err += std::string(kProgram) + ": warning: " + warning + "\n";
  }
  if (!options.svg_file.empty() &&
      !write_output(files, options.svg_file, scenario_svg(scenario), err)) {
    return kBadFile;
  }
  if (!options.html_file.empty() &&
      !write_output(files, options.html_file, scenario_page(scenario), err)) {
    return kBadFile;
  }
  return kInspected;
}

// The three files of one scenario, as read and decoded.
struct ReadScenario {
  CompiledBytes bytes;
  ScenarioFiles files;
};

Loaded<ReadScenario> read_scenario(FileSystem& files, const std::string& dir,
                                   const ScenarioName& name) {
  ReadScenario read;
  read.files.route_name = name.route;
  read.files.train_number = name.train;
  const std::string cell_path = path_in(dir, cell_file_name(name.route, name.train));
  const std::string station_path = path_in(dir, station_file_name(name.route, name.train));
  const std::string plan_path = path_in(dir, plan_file_name(name.route));
  for (auto [path, bytes] : {std::pair{&cell_path, &read.bytes.cells},
                             {&station_path, &read.bytes.stations}, {&plan_path, &read.bytes.plan}}) {
    Loaded<std::string> loaded = read_bytes(files, *path);
    if (auto* problem = std::get_if<FileProblem>(&loaded)) return *problem;
    *bytes = std::move(std::get<std::string>(loaded));
  }
  auto cells = decode_with(cell_path, read.bytes.cells, decode_cells);
  if (auto* problem = std::get_if<FileProblem>(&cells)) return *problem;
  auto stations = decode_with(station_path, read.bytes.stations, decode_station_file);
  if (auto* problem = std::get_if<FileProblem>(&stations)) return *problem;
  auto plan = decode_with(plan_path, read.bytes.plan, decode_plan);
  if (auto* problem = std::get_if<FileProblem>(&plan)) return *problem;
  read.files.cells = std::move(std::get<0>(cells));
  read.files.stations = std::move(std::get<0>(stations));
  read.files.plan = std::move(std::get<0>(plan));
  return read;
}

// The builder names its files after the names it stores in entries 85 and 86.
void check_stored_names(const ScenarioFiles& scenario, RecoveredDescriptions& recovered) {
  const std::string& route = scenario.stations[kRouteEntry].name;
  const std::string& train = scenario.stations[kTrainEntry].name;
  if (route != scenario.route_name || train != scenario.train_number) {
    recovered.unbuildable.push_back("the station file names route \"" + shown_text(route) +
                                    "\" and train \"" + shown_text(train) +
                                    "\", not those of the file names");
  }
}

// Whether `path` may take the recovered description `content`: it is not
// there, or holds the same text (left by an earlier run). A different text
// there is most likely the user's edited copy of an earlier one, which
// would be lost.
bool description_out_of_the_way(FileSystem& files, const std::string& path,
                                const std::string& content, std::string& err) {
  try {
    if (!files.exists(path) || files.read_file(path) == content) return true;
    err += std::string(kProgram) + ": " + shown_path(path) +
           " differs from the description recovered here and would be lost: move it away or "
           "choose another OUTDIR\n";
  } catch (const FileError& error) {
    err += std::string(kProgram) + ": " + error.what() + "\n";
  }
  return false;
}

// Writes the descriptions of the scenario in --dir into the --descriptions
// folder, builds them in memory and compares the result with the files.
int write_descriptions(FileSystem& files, const Options& options,
                       const FolderListing& list_folder, std::string& out, std::string& err) {
  // Read under the scenario folder's lock, shared; written under the output
  // folder's, alone (never both at once: two inspectors crossing folders
  // would wait for each other).
  Loaded<ScenarioName> name = FileProblem{};
  Loaded<ReadScenario> loaded = FileProblem{};
  try {
    const auto lock = lock_for(files, *options.directory, LockMode::shared, err);
    name = choose_scenario(files, options, list_folder);
    if (auto* problem = std::get_if<FileProblem>(&name)) {
      err += problem_line(*problem);
      return kBadFile;
    }
    loaded = read_scenario(files, *options.directory, std::get<ScenarioName>(name));
  } catch (const FileError& error) {
    err += std::string(kProgram) + ": " + error.what() + "\n";
    return kBadFile;
  }
  const ScenarioName& scenario = std::get<ScenarioName>(name);
  if (auto* problem = std::get_if<FileProblem>(&loaded)) {
    err += problem_line(*problem);
    return kBadFile;
  }
  const ReadScenario& read = std::get<ReadScenario>(loaded);
  RecoveredDescriptions recovered = recover_descriptions(read.files);
  check_stored_names(read.files, recovered);

  const std::string& dir = options.descriptions_dir;
  const std::string line_path = path_in(dir, line_description_name(scenario.route));
  const std::string train_path =
      path_in(dir, train_description_name(scenario.route, scenario.train));
  std::unique_ptr<FolderLockHold> output_lock;
  try {
    files.make_directories(dir);
    output_lock = lock_for(files, dir, LockMode::exclusive, err);
  } catch (const FileError& error) {
    err += std::string(kProgram) + ": " + error.what() + "\n";
    return kBadFile;
  }
  if (!description_out_of_the_way(files, line_path, recovered.line_text, err) ||
      !description_out_of_the_way(files, train_path, recovered.train_text, err) ||
      !write_output(files, line_path, recovered.line_text, err) ||
      !write_output(files, train_path, recovered.train_text, err)) {
    return kBadFile;
  }
  output_lock.reset();
  out += "wrote " + shown_path(line_path) + " and " + shown_path(train_path) + "\n";

  const RoundTrip trip = rebuild_and_compare(scenario.route, scenario.train, recovered, read.bytes);
  return report_round_trip(recovered, trip, out, err);
}

}  // namespace

std::variant<ScenarioFiles, std::string> read_built_scenario(FileSystem& files,
                                                             const std::string& dir,
                                                             const std::string& route,
                                                             const std::string& train) {
  // Read as the other modes read a folder: under its shared lock, so that a
  // build started there by hand meanwhile ends first, and never from a
  // half-published set.
  Loaded<ScenarioFiles> loaded = FileProblem{};
  try {
    std::string waited;
    const auto lock = lock_for(files, dir, LockMode::shared, waited);
    if (auto problem = interrupted_build_in(files, dir)) {
      loaded = *problem;
    } else {
      loaded = load_scenario(files, dir, {route, train});
    }
  } catch (const FileError& error) {
    return std::string(error.what());
  }
  if (auto* problem = std::get_if<FileProblem>(&loaded)) {
    std::string line = problem_line(*problem);
    line.erase(0, std::string(kProgram).size() + 2);
    line.pop_back();
    return line;
  }
  return std::move(std::get<ScenarioFiles>(loaded));
}

std::string inspect_usage() {
  return "Usage:\n"
         "  scenario_inspect FILE...            listing of each compiled file\n"
         "  scenario_inspect --json FILE...     the same as JSON\n"
         "  scenario_inspect --svg OUT.svg --dir DIR [--route NAME] [--number NUMBER]\n"
         "                                      picture of the scenario built in DIR\n"
         "  scenario_inspect --html OUT.html --dir DIR [--route NAME] [--number NUMBER]\n"
         "                                      page to explore it in a browser\n"
         "  scenario_inspect --descriptions OUTDIR --dir DIR [--route NAME] [--number NUMBER]\n"
         "                                      line and train descriptions that build the\n"
         "                                      scenario in DIR again, checked by building\n"
         "                                      them in memory (positions on the 50 m grid)\n"
         "  scenario_inspect --watch [--serve [PORT]] [--dir DIR] [--line FILE] [--train FILE]\n"
         "                   [--route NAME] [--number NUMBER] [--strict]\n"
         "                                      build the descriptions into DIR as\n"
         "                                      scenario_builder does, again after every\n"
         "                                      save, until Ctrl-C; a save with an error\n"
         "                                      builds nothing. --serve: serve the page on\n"
         "                                      http://127.0.0.1:PORT/ (a free port without\n"
         "                                      PORT), following every build. --strict:\n"
         "                                      a save with warnings builds nothing\n"
         "  scenario_inspect -h | --help | --version\n"
         "--svg and --html go together too. Without --route and --number, DIR must hold\n"
         "exactly one scenario; with several, they are listed.\n"
         "FILE is a plan file (<route>_linea.dat), a station file (<route>_<train>.sim)\n"
         "or a cell file (<route>_<train>.dat).\n"
         "Exit status: 0 shown (--descriptions: the round trip is exact); 1 a file could\n"
         "not be read or is not a compiled file of its kind (the error names the file and\n"
         "the byte offset); 2 usage error; 3 --descriptions: building the descriptions\n"
         "gives other bytes (the first that differs is named; the descriptions are kept);\n"
         "4 --descriptions: the files hold what no build of this program writes (said\n"
         "what; the descriptions are still written); 5 --serve: the port cannot be listened\n"
         "on. --watch ends with 0 when stopped.\n";
}

int report_round_trip(const RecoveredDescriptions& recovered, const RoundTrip& trip,
                      std::string& out, std::string& err) {
  for (const std::string& what : recovered.unbuildable) {
    err += std::string(kProgram) + ": not a build of this program: " + what + "\n";
  }
  // A search stopped at its limit, or a place it left open, matters only
  // when the rows found do not give the files.
  if (!trip.exact()) {
    for (const std::string& what : recovered.unsettled) {
      err += std::string(kProgram) + ": no description found that gives the files: " + what + "\n";
    }
  }
  if (!trip.build_problem.empty()) err += std::string(kProgram) + ": " + trip.build_problem + "\n";
  if (!trip.build_problem.empty() && trip.differences.empty()) {
    err += std::string(kProgram) +
           ": half-built: the descriptions give the files byte for byte with that problem, as "
           "a build kept going past it writes them (--keep-going)\n";
  }
  for (const std::string& difference : trip.differences) {
    err += std::string(kProgram) + ": round trip differs: " + difference + "\n";
  }
  if (!recovered.unbuildable.empty()) return kNotBuildable;
  if (!trip.exact()) {
    err += std::string(kProgram) + ": the descriptions are kept for a look\n";
    return kRoundTripDiffers;
  }
  out += "round trip exact: building them gives the three files byte for byte\n";
  return kInspected;
}

int run_inspect(FileSystem& files, std::span<const std::string> args, std::string& out,
                std::string& err, const FolderListing& list_folder) {
  const ParsedOptions parsed = parse_options(args);
  if (!parsed.error.empty()) {
    err += std::string(kProgram) + ": " + shown_path(parsed.error) + " (see --help)\n";
    return kUsageError;
  }
  switch (parsed.options.mode) {
    case Options::Mode::help:
      out += inspect_usage();
      return kInspected;
    case Options::Mode::version:
      out += std::string(kProgram) + " " + SCENARIO_VERSION + "\n";
      return kInspected;
    case Options::Mode::picture:
      return show_scenario(files, parsed.options, list_folder, err);
    case Options::Mode::descriptions:
      return write_descriptions(files, parsed.options, list_folder, out, err);
    case Options::Mode::watch:
      // A watch runs until it is stopped, saying what it does as it goes:
      // only run_inspect_program runs it.
      err += std::string(kProgram) + ": --watch runs only as the program\n";
      return kUsageError;
    default:
      return list_files(files, parsed.options, out, err);
  }
}

int run_inspect_program(Platform& platform, std::span<const std::string> args) {
  const ParsedOptions parsed = parse_options(args);
  if (parsed.error.empty() && parsed.options.mode == Options::Mode::watch) {
    static StopRequest stop;
    stop_on_interrupt(stop);
    const int status = run_watch(platform, parsed.watch, stop);
    interrupt_handling_finished();
    return status;
  }
  std::string out;
  std::string err;
  g_said_at_once = &platform;
  const int status = run_inspect(platform.file_system(), args, out, err);
  g_said_at_once = nullptr;
  // Through the platform: a Windows console shows the UTF-8 of names and
  // texts as the letters they are, not as their bytes.
  platform.print(out);
  for (size_t from = 0; from < err.size();) {
    const size_t end = std::min(err.find('\n', from), err.size());
    platform.report(err.substr(from, end - from));
    from = end + 1;
  }
  return status;
}

}  // namespace sb::inspect
