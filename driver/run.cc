#include "driver/run.h"

#include <cerrno>
#include <initializer_list>
#include <memory>
#include <optional>
#include <utility>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "base/concat.h"
#include "base/file_names.h"
#include "base/line_list.h"
#include "base/shown_text.h"
#include "compile/check_descriptions.h"
#include "compile/compile_scenario.h"
#include "documents/documents.h"
#include "driver/error_messages.h"
#include "driver/options.h"
#include "driver/scenario_names.h"
#include "line/line_writer.h"
#include "platform/folder_lock.h"
#include "platform/folder_transaction.h"
#include "platform/protected_file_system.h"
#include "platform/system_error.h"
#include "scenario/line_description.h"
#include "scenario/train_description.h"
#include "track/build_files.h"
#include "track/error_numbers.h"
#include "track/fatal_report.h"
#include "train/train_writer.h"

namespace sb {

namespace {

// A description the user supplied: its path and its content, read before
// anything is written so that a missing file stops the run cleanly.
struct UserDescription {
  std::string path;
  std::string content;
};

std::optional<UserDescription> load_user_description(FileSystem& files,
                                                     const std::optional<std::string>& path) {
  if (!path) return std::nullopt;
  return UserDescription{*path, files.read_file(*path)};
}

// A description in the folder, under the name this run writes a description
// to, that differs from what the run writes there. The run would replace it
// and the reading would delete it; it is most likely the user's edited copy.
class DescriptionInTheWay : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One of the two descriptions this run puts into the folder under its
// working name: the user's (from --line or --train) or the built-in one.
struct WorkingDescription {
  std::string name;
  std::string_view option;
  const std::optional<UserDescription>& user;
  std::span<const std::string_view> built_in_lines;
};

// Stops the run before anything is written when a description it puts into
// the folder would replace a different one there. The same text (left by an
// earlier run, or exported and not edited) is replaced as always, and the
// user's file read in place is never replaced.
void keep_edited_description(Builder& b, FileSystem& files, const WorkingDescription& d) {
  const std::string working = b.path(d.name);
  if (!files.exists(working)) return;
  if (d.user && files.same_file(d.user->path, working)) return;
  const std::string content = d.user ? d.user->content : render_line_list(d.built_in_lines);
  if (files.read_regular_file(working) == content) return;
  const std::string shown = shown_path(working);
  throw DescriptionInTheWay(shown + " differs from the description this run writes there and " +
                            "would be lost: build from it with " + std::string(d.option) + " " +
                            shown + ", or move it away first");
}

void keep_edited_descriptions(Builder& b, FileSystem& files,
                              const std::optional<UserDescription>& user_line,
                              const std::optional<UserDescription>& user_train) {
  keep_edited_description(
      b, files, {line_description_name(b.route_name), "--line", user_line, built_in_line_lines()});
  keep_edited_description(
      b, files, {train_description_name(b.route_name, b.train_number), "--train", user_train, built_in_train_lines()});
}

// A user's file that is one of the working files (its own, or by mistake
// the other description's) is read in place and never replaced or deleted.
void protect_user_files(Builder& b, ProtectedFileSystem& files,
                        const std::optional<UserDescription>& user_line,
                        const std::optional<UserDescription>& user_train) {
  for (const std::string& working :
       {b.path(line_description_name(b.route_name)), b.path(train_description_name(b.route_name, b.train_number))}) {
    for (const auto* user : {&user_line, &user_train}) {
      if (*user && files.same_file((*user)->path, working)) files.protect(working);
    }
  }
}

// The description texts this run puts into the folder under their working
// names. They never outlive the run, whatever its outcome: the reading
// deletes them as it goes, and whatever is left (a reader stopped early, a
// fatal report, a failed write) goes when the run ends; when the run is
// killed, the next run in the folder deletes them (FolderTransaction). A
// user's file read in place is protected and stays.
class WorkingCopies {
 public:
  explicit WorkingCopies(FileSystem& files) : files_(files) {}
  ~WorkingCopies() {
    for (const std::string& path : paths_) {
      try {
        files_.remove_file(path);
      } catch (const FileError&) {
        // The run has already ended one way or another; a copy that cannot
        // be deleted is left rather than hiding that outcome.
      }
    }
  }
  WorkingCopies(const WorkingCopies&) = delete;
  WorkingCopies& operator=(const WorkingCopies&) = delete;

  void add(const std::string& path) { paths_.push_back(path); }

 private:
  FileSystem& files_;
  std::vector<std::string> paths_;
};

// Puts the user's description where the reader expects it, unless it is
// there already. The build reads it from there, so the text read from the
// user's file is let go: a long line's description is megabytes, held
// otherwise through the whole build beside the copy read back.
void install_user_description(Builder& b, ProtectedFileSystem& files, UserDescription& user,
                              const std::string& working_name) {
  if (!files.same_file(user.path, b.path(working_name))) {
    const std::string_view chunk = user.content;
    replace_build_file(b, working_name, std::span<const std::string_view>(&chunk, 1));
  }
  std::string().swap(user.content);
}

// The working copies this run writes, with their bytes, for the record that
// lets the next run tell them from an author's file; a user's file read in
// place is not one.
void begin_writing(Builder& b, ProtectedFileSystem& files,
                   const std::optional<UserDescription>& user_line,
                   const std::optional<UserDescription>& user_train) {
  const std::string built_in_line = render_line_list(built_in_line_lines());
  const std::string built_in_train = render_line_list(built_in_train_lines());
  std::vector<FolderTransaction::WorkingCopy> copies;
  const std::string line_name = line_description_name(b.route_name);
  const std::string train_name = train_description_name(b.route_name, b.train_number);
  if (!files.is_protected(b.path(line_name))) {
    copies.push_back({line_name, user_line ? std::string_view(user_line->content) : built_in_line});
  }
  if (!files.is_protected(b.path(train_name))) {
    copies.push_back(
        {train_name, user_train ? std::string_view(user_train->content) : built_in_train});
  }
  b.transaction->begin(copies);
}

void build(Builder& b, const Options& options, ProtectedFileSystem& files) {
  auto user_line = load_user_description(files, options.line_file);
  auto user_train = load_user_description(files, options.train_file);
  keep_edited_descriptions(b, files, user_line, user_train);
  protect_user_files(b, files, user_line, user_train);
  begin_writing(b, files, user_line, user_train);

  WorkingCopies copies(files);
  const std::string line_name = line_description_name(b.route_name);
  const std::string train_name = train_description_name(b.route_name, b.train_number);
  if (user_line) {
    install_user_description(b, files, *user_line, line_name);
  } else {
    write_line_description(b);
  }
  copies.add(b.path(line_name));
  if (user_train) {
    install_user_description(b, files, *user_train, train_name);
  } else {
    write_train_description(b);
  }
  copies.add(b.path(train_name));
  // The crew documents describe the built-in scenario only.
  if (!user_line && !user_train) {
    write_notes(b);
    write_slowdown_order(b);
    write_train_card(b);
  }
  compile_scenario(b, true);
  b.platform->close_waiting_window();
}

// What a build or a check found in the descriptions: each problem, located.
void report_diagnostics(Platform& platform, const Builder& b,
                        const DescriptionSources& sources) {
  for (const std::string& line : diagnostic_lines(b, sources)) {
    platform.report("scenario_builder: " + line);
  }
}

// Checks the descriptions a build would read, from memory: the folder is
// neither created nor touched. Leaves every problem in b.diagnostics.
void check_options(Builder& b, const Options& options, FileSystem& files) {
  const auto user_line = load_user_description(files, options.line_file);
  const auto user_train = load_user_description(files, options.train_file);
  check_descriptions(b, {user_line ? user_line->content : render_line_list(built_in_line_lines()),
                         user_train ? user_train->content : render_line_list(built_in_train_lines())});
}

// Whether --strict fails the run on the warnings listed.
bool warnings_fail(const Builder& b) { return b.strict && b.diagnostics.warning_count() > 0; }

// The check's listing: every problem, then their count.
void report_check(Platform& platform, const Builder& b, const DescriptionSources& sources) {
  report_diagnostics(platform, b, sources);
  platform.report(concat({"scenario_builder: ", problem_count(b),
                          warnings_fail(b) ? " (--strict: warnings count as errors)" : ""}));
}

int check(Builder& b, const Options& options, FileSystem& files,
          const DescriptionSources& sources) {
  check_options(b, options, files);
  report_check(*b.platform, b, sources);
  return b.diagnostics.error_count() > 0 || warnings_fail(b) ? kBuiltWithProblem : kBuilt;
}

// What a run that wrote its compiled files says last: what and where, and
// which names were read from the descriptions' file names.
std::string build_summary(const Builder& b, const ScenarioNames& names) {
  const std::string files = plan_file_name(b.route_name) + ", " +
                            station_file_name(b.route_name, b.train_number) + ", " +
                            cell_file_name(b.route_name, b.train_number);
  return concat({"scenario_builder: built route ", shown_path(b.route_name),
                 names.route_from_file ? " (from the line description's name)" : "",
                 ", train ", shown_path(b.train_number),
                 names.number_from_file ? " (from the train description's name)" : "", " in ",
                 shown_path(b.directory), ": ", shown_path(files), " (",
                 std::to_string(b.compiled_bytes), " bytes)"});
}

std::string export_summary(const Builder& b) {
  return "scenario_builder: wrote the built-in descriptions in " + shown_path(b.directory) +
         ": " +
         shown_path(line_description_name(b.route_name) + ", " +
                    train_description_name(b.route_name, b.train_number));
}

// Standard error after the build: the problem, located, when one was
// recorded; what was written, when anything was; and for scripts, last, the
// numbers of the problem.
int report_outcome(Platform& platform, const Builder& b, const DescriptionSources& sources,
                   const ScenarioNames& names) {
  report_diagnostics(platform, b, sources);
  if (b.error_number == error::none && warnings_fail(b)) {
    const int warnings = b.diagnostics.warning_count();
    const char* const count_as = warnings == 1 ? " warning counts as an error"
                                               : " warnings count as errors";
    platform.report(concat({"scenario_builder: --strict: ", std::to_string(warnings), count_as,
                            ": no compiled file written; those already in ",
                            shown_path(b.directory), " are as they were"}));
    platform.report(problem_numbers(b));
    return kBuiltWithProblem;
  }
  if (b.error_number == error::none) {
    platform.report(build_summary(b, names));
    return kBuilt;
  }
  platform.report("scenario_builder: " + located_problem(b, sources));
  if (b.keep_going) {
    platform.report(build_summary(b, names) + ", as the model stands despite the problem");
  } else {
    platform.report("scenario_builder: no compiled file written; those already in " +
                    shown_path(b.directory) + " are as they were (--keep-going writes them anyway)");
  }
  platform.report(problem_numbers(b));
  return kBuiltWithProblem;
}

// What a run says while it waits for the folder's lock, and when it cannot
// have one.
LockWaiting lock_waiting(Platform& platform, const std::string& dir) {
  LockWaiting waiting;
  waiting.on_long_wait = [&platform, dir] {
    platform.report("scenario_builder: waiting for another run in " + shown_path(dir) + " to end");
  };
  waiting.on_unsupported = [&platform, dir](const std::string& reason) {
    platform.report("scenario_builder: warning: " + shown_path(dir) + " cannot be locked (" +
                    reason +
                    "): a run started there meanwhile could mix its files with this one's");
  };
  return waiting;
}

// A failure that says the folder refuses new files: an installed program's
// folder (/usr/bin, Program Files) is not its user's to write.
bool cannot_write_there(const FileError& e) {
  return e.error_number() == EACCES || e.error_number() == EPERM || e.error_number() == EROFS;
}

// Whether the route and number given, or read from the descriptions' file
// names, name files that fit the folder.
std::string names_problem(const Options& options, const ScenarioNames& names,
                          const Builder& b) {
  if (options.route_name || names.route_from_file) {
    std::string problem = scenario_name_problem("--route", b.route_name, b.route_name,
                                                b.train_number, b.directory);
    if (!problem.empty()) return problem;
  }
  if (options.train_number || names.number_from_file) {
    return scenario_name_problem("--number", b.train_number, b.route_name, b.train_number,
                                 b.directory);
  }
  return {};
}

// The descriptions' file names that disagree with the names built: warnings
// of the run, listed first.
void warn_disagreeing_names(Builder& b, const ScenarioNames& names) {
  for (const std::string& text : names.disagreements) {
    if (!b.diagnostics.admit(WarningKind::names_disagree)) continue;
    Diagnostic d;
    d.kind = WarningKind::names_disagree;
    d.text = text;
    b.diagnostics.add(std::move(d));
  }
}

}  // namespace

namespace {

void set_up(Builder& b, const Options& options, const ScenarioNames& names) {
  b.route_name = names.route_name;
  b.train_number = names.train_number;
  warn_disagreeing_names(b, names);
  b.keep_going = options.keep_going;
  b.strict = options.strict;
  b.scenario_required = !options.keep_going;
  b.directory = options.directory.value_or(b.platform->program_directory());
}

// The run a valid command line asks for, other than --help and --version.
int run_options(Platform& platform, const Options& options) {
  Builder b(platform);
  ProtectedFileSystem files(platform.file_system());
  b.files = &files;
  const ScenarioNames names = scenario_names(options);
  set_up(b, options, names);
  const DescriptionSources sources{options.line_file, options.train_file};
  try {
    if (const std::string problem = names_problem(options, names, b); !problem.empty()) {
      platform.report("scenario_builder: " + problem + " (see --help)");
      return kFileOrUsageError;
    }
    if (options.check) return check(b, options, files, sources);
    if (options.directory) files.make_directories(b.directory);
    // The window is up before the wait for the folder, so that a build
    // started while another runs there shows that it is under way.
    if (!options.export_descriptions) platform.show_waiting_window();
    // One run at a time writes in the folder; a run killed there left a
    // record of what to finish first.
    const std::unique_ptr<FolderLockHold> lock =
        lock_folder(files, b.directory, LockMode::exclusive, lock_waiting(platform, b.directory));
    FolderTransaction transaction(files, b.directory,
                                  [&b](const std::string& name) { return b.path(name); });
    if (const std::string finished = transaction.finish_interrupted_run(); !finished.empty()) {
      platform.report("scenario_builder: " + finished);
    }
    b.transaction = &transaction;
    if (options.export_descriptions) {
      keep_edited_descriptions(b, files, std::nullopt, std::nullopt);
      transaction.begin({});
      write_line_description(b);
      write_train_description(b);
      platform.report(export_summary(b));
      return kBuilt;
    }
    build(b, options, files);
  } catch (const FolderBusy& e) {
    // The windowed program shows it in its box, over the waiting window: it
    // is why nothing happened.
    platform.show_message("scenario_builder: " + std::string(e.what()));
    platform.close_waiting_window();
    return kFileOrUsageError;
  } catch (const FatalReport&) {
    platform.close_waiting_window();
    report_diagnostics(platform, b, sources);
    platform.report("scenario_builder: " + located_problem(b, sources));
    return kFatalReport;
  } catch (const FileError& e) {
    platform.close_waiting_window();
    platform.report("scenario_builder: " + std::string(e.what()));
    if (!options.directory && cannot_write_there(e)) {
      platform.report("scenario_builder: the program's folder " + shown_path(b.directory) +
                      " cannot be written: build elsewhere with --dir DIR");
    }
    return kFileOrUsageError;
  } catch (const DescriptionInTheWay& e) {
    platform.close_waiting_window();
    platform.report("scenario_builder: " + std::string(e.what()));
    return kFileOrUsageError;
  }
  return report_outcome(platform, b, sources, names);
}

}  // namespace

int run_program(Platform& platform, std::span<const std::string> args) {
  const ParsedOptions parsed = parse_options(args);
  if (!parsed.error.empty()) {
    platform.report("scenario_builder: " + shown_path(parsed.error) + " (see --help)");
    return kFileOrUsageError;
  }
  const Options& options = parsed.options;
  if (options.help) {
    platform.print(usage_text());
    return kBuilt;
  }
  if (options.version) {
    platform.print(std::string("scenario_builder ") + SCENARIO_VERSION + "\n");
    return kBuilt;
  }
  return run_options(platform, options);
}

CheckedBuild check_then_build(Platform& platform, const Options& options) {
  CheckedBuild result;
  Builder b(platform);
  const ScenarioNames names = scenario_names(options);
  set_up(b, options, names);
  const DescriptionSources sources{options.line_file, options.train_file};
  if (const std::string problem = names_problem(options, names, b); !problem.empty()) {
    platform.report("scenario_builder: " + problem);
    result.status = kFileOrUsageError;
    result.problems.push_back({true, "", 0, 0, problem});
    return result;
  }
  try {
    check_options(b, options, platform.file_system());
  } catch (const FileError& e) {
    platform.report("scenario_builder: " + std::string(e.what()));
    result.status = kFileOrUsageError;
    result.problems.push_back({true, "", 0, 0, e.what()});
    return result;
  }
  result.problems = located_problems(b, sources);
  if (b.diagnostics.error_count() > 0) {
    report_check(platform, b, sources);
    platform.report("scenario_builder: no compiled file written; those already in " +
                    shown_path(b.directory) + " are as they were");
    result.status = kBuiltWithProblem;
    return result;
  }
  Options build_options = options;
  build_options.check = false;
  build_options.keep_going = false;
  result.status = run_options(platform, build_options);
  result.built = result.status == kBuilt;
  return result;
}

}  // namespace sb
