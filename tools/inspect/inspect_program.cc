#include "tools/inspect/inspect_program.h"

#include <optional>
#include <variant>
#include <vector>

#include "base/file_names.h"
#include "output/compiled_layout.h"
#include "platform/system_error.h"
#include "scenario/built_in_names.h"
#include "tools/inspect/listing.h"
#include "tools/inspect/listing_output.h"
#include "tools/inspect/scenario_picture.h"

namespace sb::inspect {

namespace {

constexpr const char* kProgram = "scenario_inspect";

struct Options {
  enum class Mode { list, json, svg, help } mode = Mode::list;
  std::vector<std::string> files;
  std::string svg_file;
  std::optional<std::string> directory;
  std::string route_name = kBuiltInRouteName;
  std::string train_number = kBuiltInTrainNumber;
};

struct ParsedOptions {
  Options options;
  std::string error;
};

ParsedOptions parse_options(std::span<const std::string> args) {
  ParsedOptions parsed;
  Options& o = parsed.options;
  auto value_of = [&](size_t& i) -> std::optional<std::string> {
    if (i + 1 >= args.size()) {
      parsed.error = args[i] + " needs a value";
      return std::nullopt;
    }
    return args[++i];
  };
  for (size_t i = 0; i < args.size() && parsed.error.empty(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      o.mode = Options::Mode::help;
    } else if (arg == "--json") {
      o.mode = Options::Mode::json;
    } else if (arg == "--svg") {
      if (auto v = value_of(i)) o.svg_file = *v, o.mode = Options::Mode::svg;
    } else if (arg == "--dir") {
      if (auto v = value_of(i)) o.directory = *v;
    } else if (arg == "--route") {
      if (auto v = value_of(i)) o.route_name = *v;
    } else if (arg == "--number") {
      if (auto v = value_of(i)) o.train_number = *v;
    } else if (arg.size() > 1 && arg[0] == '-') {
      parsed.error = "unknown option " + arg;
    } else {
      o.files.push_back(arg);
    }
  }
  if (!parsed.error.empty() || o.mode == Options::Mode::help) return parsed;
  if (o.mode == Options::Mode::svg) {
    if (!o.directory) parsed.error = "--svg needs --dir DIR";
    else if (!o.files.empty()) parsed.error = "--svg takes no FILE arguments";
  } else if (o.files.empty()) {
    parsed.error = "no file given";
  } else if (o.directory) {
    parsed.error = "--dir only goes with --svg";
  }
  return parsed;
}

// Why a file could not be shown; the offset is where reading stopped.
struct FileProblem {
  std::string file;
  std::string message;
  std::optional<size_t> offset;
};

std::string problem_line(const FileProblem& p) {
  std::string line = std::string(kProgram) + ": " + p.file + ": ";
  if (p.offset) line += "offset " + std::to_string(*p.offset) + ": ";
  return line + p.message + "\n";
}

template <class T>
using Loaded = std::variant<T, FileProblem>;

Loaded<std::string> read_bytes(FileSystem& files, const std::string& path) {
  try {
    return files.read_file(path);
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

int list_files(FileSystem& files, const Options& options, std::string& out, std::string& err) {
  const bool json = options.mode == Options::Mode::json;
  int status = kInspected;
  if (json) out += "[";
  for (size_t i = 0; i < options.files.size(); ++i) {
    Loaded<Listing> listing = list_file(files, options.files[i]);
    if (json && i) out += ",";
    if (json) out += "\n";
    if (auto* problem = std::get_if<FileProblem>(&listing)) {
      err += problem_line(*problem);
      status = kBadFile;
      if (json) out += error_json(problem->file, problem->message, problem->offset.value_or(0),
                                  problem->offset.has_value());
      continue;
    }
    if (!json && i) out += "\n";
    out += json ? listing_json(std::get<Listing>(listing)) : listing_text(std::get<Listing>(listing));
  }
  if (json) out += "\n]\n";
  return status;
}

// A file of the scenario in DIR. Both platforms take "/" between folder and
// name; a folder given with its own separator at the end keeps it.
std::string path_in(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  const char last = dir.back();
  return last == '/' || last == '\\' ? dir + name : dir + "/" + name;
}

Loaded<ScenarioFiles> load_scenario(FileSystem& files, const Options& options) {
  const std::string& dir = *options.directory;
  ScenarioFiles scenario;
  scenario.route_name = options.route_name;
  scenario.train_number = options.train_number;
  const std::string& route = scenario.route_name;
  const std::string& train = scenario.train_number;
  auto cells = load(files, path_in(dir, cell_file_name(route, train)), decode_cells);
  if (auto* problem = std::get_if<FileProblem>(&cells)) return *problem;
  auto stations = load(files, path_in(dir, station_file_name(route, train)), decode_station_file);
  if (auto* problem = std::get_if<FileProblem>(&stations)) return *problem;
  auto plan = load(files, path_in(dir, plan_file_name(route)), decode_plan);
  if (auto* problem = std::get_if<FileProblem>(&plan)) return *problem;
  scenario.cells = std::move(std::get<0>(cells));
  scenario.stations = std::move(std::get<0>(stations));
  scenario.plan = std::move(std::get<0>(plan));
  return scenario;
}

int draw_scenario(FileSystem& files, const Options& options, std::string& err) {
  Loaded<ScenarioFiles> scenario = load_scenario(files, options);
  if (auto* problem = std::get_if<FileProblem>(&scenario)) {
    err += problem_line(*problem);
    return kBadFile;
  }
  try {
    files.replace_file(options.svg_file, scenario_svg(std::get<ScenarioFiles>(scenario)));
  } catch (const FileError& error) {
    err += std::string(kProgram) + ": " + error.what() + "\n";
    return kBadFile;
  }
  return kInspected;
}

}  // namespace

std::string inspect_usage() {
  return "Usage:\n"
         "  scenario_inspect FILE...            listing of each compiled file\n"
         "  scenario_inspect --json FILE...     the same as JSON\n"
         "  scenario_inspect --svg OUT.svg --dir DIR [--route NAME] [--number NUMBER]\n"
         "                                      picture of the scenario built in DIR\n"
         "FILE is a plan file (<route>_linea.dat), a station file (<route>_<train>.sim)\n"
         "or a cell file (<route>_<train>.dat). The route and train default to the\n"
         "built-in scenario (" +
         std::string(kBuiltInRouteName) + ", " + kBuiltInTrainNumber +
         ").\n"
         "Exit status: 0 shown; 1 a file could not be read or is not a compiled file of\n"
         "its kind (the error names the file and the byte offset); 2 usage error.\n";
}

int run_inspect(FileSystem& files, std::span<const std::string> args, std::string& out,
                std::string& err) {
  const ParsedOptions parsed = parse_options(args);
  if (!parsed.error.empty()) {
    err += std::string(kProgram) + ": " + parsed.error + " (see --help)\n";
    return kUsageError;
  }
  switch (parsed.options.mode) {
    case Options::Mode::help:
      out += inspect_usage();
      return kInspected;
    case Options::Mode::svg:
      return draw_scenario(files, parsed.options, err);
    default:
      return list_files(files, parsed.options, out, err);
  }
}

}  // namespace sb::inspect
