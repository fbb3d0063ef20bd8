#include "driver/run.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/line_list.h"
#include "scenario/line_description.h"
#include "scenario/train_description.h"
#include "testing/fake_platform.h"

namespace sb {
namespace {

TEST(RunProgram, UsageErrorsEndWithStatus3) {
  const std::vector<std::vector<std::string>> cases = {
      {"--bogus"}, {"--dir"}, {"--line"}, {"--route="}, {"extra"},
      // Names that would put files outside the folder or that Windows refuses.
      {"--route", "../elsewhere"}, {"--number=a\\b"}, {"--route", "C:x"}, {"--number", "1\n2"},
      {"--route", "R\x7F"}, {"--route", std::string(206, 'r')},
      {"--number", std::string(198, 'n')}};
  for (const auto& args : cases) {
    FakePlatform platform;
    EXPECT_EQ(run_program(platform, args), kFileOrUsageError) << args[0];
    ASSERT_EQ(platform.reports.size(), 1u);
    EXPECT_TRUE(platform.files.log.empty());
  }
}

// An option given twice, or two that cannot go together, is refused by
// naming both, before anything is written.
TEST(RunProgram, ConflictingOptionsNameBoth) {
  const struct {
    std::vector<std::string> args;
    std::string report;
  } cases[] = {
      {{"--dir", "a", "--dir=b"}, "option --dir is given twice: a and b"},
      {{"--keep-going", "--keep-going"}, "option --keep-going is given twice"},
      {{"--export", "--line", "l.txt"}, "options --export and --line cannot go together"},
      {{"--train", "t.txt", "--export"}, "options --export and --train cannot go together"},
      {{"--export", "--keep-going"}, "options --export and --keep-going cannot go together"},
      {{"--export", "--check"}, "options --export and --check cannot go together"},
      {{"--check", "--keep-going"}, "options --check and --keep-going cannot go together"},
      {{"--strict", "--keep-going"}, "options --strict and --keep-going cannot go together"},
      {{"--export", "--strict"}, "options --export and --strict cannot go together"},
  };
  for (const auto& c : cases) {
    FakePlatform platform;
    EXPECT_EQ(run_program(platform, c.args), kFileOrUsageError) << c.report;
    ASSERT_EQ(platform.reports.size(), 1u);
    EXPECT_EQ(platform.reports[0].rfind("scenario_builder: " + c.report, 0), 0u)
        << platform.reports[0];
    EXPECT_TRUE(platform.files.log.empty());
  }
}

// A misspelt option names the one meant; an argument near none is only
// refused.
TEST(RunProgram, AnUnknownOptionNamesTheNearestOne) {
  const struct {
    std::string arg;
    std::string report;
  } cases[] = {
      {"--versoin", "unknown option --versoin (did you mean --version?)"},
      {"--keepgoing", "unknown option --keepgoing (did you mean --keep-going?)"},
      {"--dri=out", "unknown option --dri=out (did you mean --dir?)"},
      {"--STRICT", "unknown option --STRICT (did you mean --strict?)"},
      {"--frobnicate", "unknown option --frobnicate"},
      {"-x", "unknown option -x"},
  };
  for (const auto& c : cases) {
    FakePlatform platform;
    EXPECT_EQ(run_program(platform, std::vector<std::string>{c.arg}), kFileOrUsageError);
    EXPECT_EQ(platform.reports,
              std::vector<std::string>{"scenario_builder: " + c.report + " (see --help)"});
  }
}

// Descriptions saved under working names of their own name the route and
// the train built, unless --route and --number do; a name that disagrees
// with what is built is a warning.
TEST(RunProgram, RouteAndNumberComeFromTheDescriptionsNames) {
  const struct {
    const char* what;
    std::vector<std::string> args;
    std::string station_file;
    std::vector<std::string> warnings;
    std::string named;  // in the summary line
  } cases[] = {
      {"both names",
       {"--line", "/my/Ostiglia_Brenta_linea.txt", "--train", "/my/Ostiglia_Brenta_10742-.txt"},
       "Ostiglia_Brenta_10742.sim",
       {},
       "built route Ostiglia_Brenta (from the line description's name), train 10742 (from the "
       "train description's name) in"},
      {"options win",
       {"--line", "/my/Ostiglia_Brenta_linea.txt", "--train", "/my/Ostiglia_Brenta_10742-.txt",
        "--route", "R", "--number", "9"},
       "R_9.sim",
       {"warning: /my/Ostiglia_Brenta_linea.txt is named for route `Ostiglia_Brenta`, but "
        "--route names `R`: the files are named for `R`",
        "warning: /my/Ostiglia_Brenta_10742-.txt is not named for route `R` and train `9` "
        "(R_9-.txt): the files are named for them"},
       "built route R, train 9 in"},
      {"train of another route",
       {"--line", "/my/Ostiglia_Brenta_linea.txt", "--train", "/my/Brenta_Sud_10742-.txt"},
       "Ostiglia_Brenta_20573-2.sim",
       {"warning: /my/Brenta_Sud_10742-.txt is not named for route `Ostiglia_Brenta` and "
        "train `20573-2` (Ostiglia_Brenta_20573-2-.txt): the files are named for them"},
       "built route Ostiglia_Brenta (from the line description's name), train 20573-2 in"},
      {"other names",
       {"--line", "/my/line.txt", "--train", "/my/train.txt"},
       "Sarvena_Lucredo_20573-2.sim",
       {},
       "built route Sarvena_Lucredo, train 20573-2 in"},
  };
  for (const auto& c : cases) {
    FakePlatform platform;
    for (size_t i = 0; i + 1 < c.args.size(); i += 2) {
      if (c.args[i] == "--line") {
        platform.files.files[c.args[i + 1]] = render_line_list(built_in_line_lines());
      } else if (c.args[i] == "--train") {
        platform.files.files[c.args[i + 1]] = render_line_list(built_in_train_lines());
      }
    }
    EXPECT_EQ(run_program(platform, c.args), kBuilt) << c.what;
    EXPECT_TRUE(platform.files.exists(platform.file(c.station_file))) << c.what;
    ASSERT_EQ(platform.reports.size(), c.warnings.size() + 1) << c.what;
    for (size_t i = 0; i < c.warnings.size(); ++i) {
      EXPECT_EQ(platform.reports[i], "scenario_builder: " + c.warnings[i]) << c.what;
    }
    EXPECT_EQ(platform.reports.back().rfind("scenario_builder: " + c.named, 0), 0u)
        << platform.reports.back();
  }
}

// A description the user edited in the folder would be replaced by the run
// and deleted by the reading: the run stops first and writes nothing.
TEST(RunProgram, AnEditedDescriptionInTheFolderIsNeverReplaced) {
  const struct {
    const char* what;
    std::vector<std::string> args;
    std::string in_the_way;
    std::string hint;
  } cases[] = {
      {"built-in build", {}, "Sarvena_Lucredo_20573-2-.txt", "--train"},
      {"line from elsewhere", {"--line", "/elsewhere/line.txt"}, "Sarvena_Lucredo_linea.txt",
       "--line"},
      {"export", {"--export"}, "Sarvena_Lucredo_linea.txt", "--line"},
  };
  for (const auto& c : cases) {
    FakePlatform platform;
    platform.files.files["/elsewhere/line.txt"] = render_line_list(built_in_line_lines());
    const std::string path = platform.file(c.in_the_way);
    platform.files.files[path] = "edited\r\n";

    EXPECT_EQ(run_program(platform, c.args), kFileOrUsageError) << c.what;

    EXPECT_EQ(platform.files.files[path], "edited\r\n") << c.what;
    // Nothing but the folder's lock, taken and given back.
    EXPECT_TRUE(replacements_in(platform.files.log).empty()) << c.what;
    ASSERT_EQ(platform.reports.size(), 1u) << c.what;
    EXPECT_NE(platform.reports[0].find(path + " differs"), std::string::npos) << platform.reports[0];
    EXPECT_NE(platform.reports[0].find(c.hint + " " + path), std::string::npos)
        << platform.reports[0];
  }
}

TEST(RunProgram, AnUneditedDescriptionInTheFolderIsReplacedAsAlways) {
  FakePlatform platform;
  platform.files.files[platform.file("Sarvena_Lucredo_linea.txt")] =
      render_line_list(built_in_line_lines());
  platform.files.files[platform.file("Sarvena_Lucredo_20573-2-.txt")] =
      render_line_list(built_in_train_lines());
  EXPECT_EQ(run_program(platform, std::vector<std::string>{}), kBuilt);
  EXPECT_FALSE(platform.files.exists(platform.file("Sarvena_Lucredo_linea.txt")));
  EXPECT_FALSE(platform.files.exists(platform.file("Sarvena_Lucredo_20573-2-.txt")));
  EXPECT_TRUE(platform.files.exists(platform.file("Sarvena_Lucredo_linea.dat")));
}

TEST(RunProgram, AUserFileThatIsTheOtherWorkingFileIsNeitherReplacedNorDeleted) {
  // The train's working file given as the line description, by mistake.
  FakePlatform platform;
  const std::string train_working = platform.file("Sarvena_Lucredo_20573-2-.txt");
  const std::string text = render_line_list(built_in_train_lines());
  platform.files.files[train_working] = text;
  run_program(platform, std::vector<std::string>{"--line", train_working});
  EXPECT_EQ(platform.files.files[train_working], text);
  for (const std::string& entry : replacements_in(platform.files.log)) {
    EXPECT_NE(entry, "write " + train_working);
    EXPECT_NE(entry, "delete " + train_working);
  }
}

TEST(RunProgram, HelpAndVersionPrintAndWriteNothing) {
  FakePlatform platform;
  EXPECT_EQ(run_program(platform, std::vector<std::string>{"--help"}), kBuilt);
  const std::string help = platform.printed;
  EXPECT_EQ(run_program(platform, std::vector<std::string>{"-h"}), kBuilt);
  EXPECT_EQ(platform.printed, help + help);
  EXPECT_NE(platform.printed.find("--export"), std::string::npos);
  EXPECT_EQ(run_program(platform, std::vector<std::string>{"--version"}), kBuilt);
  EXPECT_NE(platform.printed.find("scenario_builder "), std::string::npos);
  EXPECT_TRUE(platform.files.log.empty());
}

TEST(RunProgram, AWriteFailureNamesTheFileAndStopsLaterSteps) {
  FakePlatform platform;
  platform.files.failing_writes.insert(platform.file("Sarvena_Lucredo_20573-2_note.txt"));
  EXPECT_EQ(run_program(platform, std::vector<std::string>{}), kFileOrUsageError);
  ASSERT_FALSE(platform.reports.empty());
  EXPECT_NE(platform.reports.back().find("Sarvena_Lucredo_20573-2_note.txt"), std::string::npos);
  EXPECT_NE(platform.reports.back().find("disk is full"), std::string::npos);
  for (const std::string& entry : replacements_in(platform.files.log)) {
    EXPECT_EQ(entry.find("rallentamenti"), std::string::npos) << entry;
  }
}

}  // namespace
}  // namespace sb

namespace sb {
namespace {

TEST(RunProgram, RunsTheBuildStepsInOrder) {
  FakePlatform platform;
  EXPECT_EQ(run_program(platform, std::vector<std::string>{}), kBuilt);
  const std::string dir = platform.directory + "/";
  const std::vector<std::string> expected = {
      "write " + dir + "scenario_builder.publishing",
      "write " + dir + "Sarvena_Lucredo_linea.txt",
      "write " + dir + "Sarvena_Lucredo_20573-2-.txt",
      "write " + dir + "Sarvena_Lucredo_20573-2_note.txt",
      "write " + dir + "Sarvena_Lucredo_20573-2_rallentamenti.txt",
      "write " + dir + "Sarvena_Lucredo_20573-2_scheda_treno.txt",
      "delete " + dir + "Sarvena_Lucredo_linea.txt",
      "delete " + dir + "Sarvena_Lucredo_20573-2-.txt",
      // The record names the set's temporaries before the first rename.
      "write " + dir + "scenario_builder.publishing",
      "write " + dir + "Sarvena_Lucredo_linea.dat",
      "write " + dir + "Sarvena_Lucredo_20573-2.sim",
      "write " + dir + "Sarvena_Lucredo_20573-2.dat",
      "delete " + dir + "scenario_builder.publishing",
  };
  EXPECT_EQ(replacements_in(platform.files.log), expected);
  EXPECT_EQ(platform.events, (std::vector<std::string>{"window shown", "window closed"}));
  EXPECT_TRUE(platform.messages.empty());
  // One line says what was written where.
  EXPECT_EQ(platform.reports,
            std::vector<std::string>{
                "scenario_builder: built route Sarvena_Lucredo, train 20573-2 in /scenario: "
                "Sarvena_Lucredo_linea.dat, Sarvena_Lucredo_20573-2.sim, "
                "Sarvena_Lucredo_20573-2.dat (2114491 bytes)"});
}

// The build of a watch: a description with an error writes nothing and its
// problems come back in parts; a clean one builds exactly as run_program.
class CheckThenBuild : public ::testing::Test {
 protected:
  void SetUp() override {
    platform.files.files["/work/linea.txt"] = render_line_list(built_in_line_lines());
    train = render_line_list(built_in_train_lines());
    options.directory = "/out";
    options.line_file = "/work/linea.txt";
    options.train_file = "/work/treno.txt";
  }
  // The train text with `from` replaced by `to` once.
  void save_train(const std::string& from, const std::string& to) {
    std::string text = train;
    const size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    platform.files.files["/work/treno.txt"] = text.replace(at, from.size(), to);
  }
  std::vector<std::string> compiled_files() {
    std::vector<std::string> names;
    for (const auto& [path, content] : platform.files.files) {
      if (path.starts_with("/out/")) names.push_back(path);
    }
    return names;
  }

  FakePlatform platform;
  Options options;
  std::string train;
};

TEST_F(CheckThenBuild, AnErrorWritesNothingAndComesBackInParts) {
  save_train("stazione,   16350,", "stazione,   16350x,");
  const CheckedBuild outcome = check_then_build(platform, options);
  EXPECT_EQ(outcome.status, kBuiltWithProblem);
  EXPECT_FALSE(outcome.built);
  EXPECT_TRUE(compiled_files().empty());
  ASSERT_EQ(outcome.problems.size(), 1u);
  EXPECT_EQ(outcome.problems[0],
            (LocatedProblem{true, "/work/treno.txt", 47, 13,
                            "the description could not be read: not a number: \"16350x\""}));
  // Listed as --check lists it, then what became of the folder.
  EXPECT_EQ(platform.reports,
            (std::vector<std::string>{
                "scenario_builder: /work/treno.txt:47:13: error: the description could not be "
                "read: not a number: \"16350x\"",
                "scenario_builder: 1 error, 0 warnings",
                "scenario_builder: no compiled file written; those already in /out are as they "
                "were"}));
}

TEST_F(CheckThenBuild, ACleanSaveBuildsAsTheBuilderDoesWithItsWarnings) {
  save_train("stazione,   16350,", "stazione,   16360,");  // off the grid: error 8
  EXPECT_FALSE(check_then_build(platform, options).built);
  save_train("segnale,    1050,", "segnale,    1060,");  // off the grid: a warning
  FakePlatform reference;
  reference.files = platform.files;
  platform.reports.clear();
  const CheckedBuild outcome = check_then_build(platform, options);
  ASSERT_EQ(outcome.status, kBuilt) << testing::PrintToString(platform.reports);
  EXPECT_TRUE(outcome.built);
  ASSERT_FALSE(outcome.problems.empty());
  EXPECT_FALSE(outcome.problems[0].error);
  EXPECT_EQ(outcome.problems[0].file, "/work/treno.txt");
  EXPECT_EQ(run_program(reference, std::vector<std::string>{"--dir", "/out", "--line",
                                                            "/work/linea.txt", "--train",
                                                            "/work/treno.txt"}),
            kBuilt);
  EXPECT_EQ(compiled_files().size(), 3u);
  for (const std::string& path : compiled_files()) {
    EXPECT_EQ(platform.files.files[path], reference.files.files[path]) << path;
  }
  // The build's own report, warnings first, as the builder gives it.
  EXPECT_EQ(platform.reports, reference.reports);
}

// A watch builds again and again in a folder an author may also build in by
// hand: each build takes the folder's lock for itself, publishes under it
// and lets it go; a save with an error does not touch the folder at all.
TEST_F(CheckThenBuild, EachBuildHoldsTheFolderLockWhileItWritesThere) {
  save_train("stazione,   16350,", "stazione,   16850,");
  ASSERT_TRUE(check_then_build(platform, options).built);
  save_train("stazione,   16350,", "stazione,   16850x,");
  ASSERT_FALSE(check_then_build(platform, options).built);
  save_train("stazione,   16350,", "stazione,   16900,");
  ASSERT_TRUE(check_then_build(platform, options).built);

  std::vector<std::string> locks;
  bool locked = false;
  for (const std::string& entry : platform.files.log) {
    if (entry == "lock /out" || entry == "unlock /out") {
      locks.push_back(entry);
      locked = entry == "lock /out";
    } else if (entry.find(" /out/") != std::string::npos) {
      EXPECT_TRUE(locked) << entry << " outside the lock";
    }
  }
  EXPECT_EQ(locks, (std::vector<std::string>{"lock /out", "unlock /out", "lock /out", "unlock /out"}));
  EXPECT_FALSE(platform.files.exists("/out/scenario_builder.publishing"));
}

TEST_F(CheckThenBuild, AMissingDescriptionIsOneProblem) {
  options.train_file = "/work/gone.txt";
  const CheckedBuild outcome = check_then_build(platform, options);
  EXPECT_EQ(outcome.status, kFileOrUsageError);
  ASSERT_EQ(outcome.problems.size(), 1u);
  EXPECT_TRUE(outcome.problems[0].error);
  EXPECT_NE(outcome.problems[0].message.find("/work/gone.txt"), std::string::npos);
  EXPECT_TRUE(compiled_files().empty());
}

}  // namespace
}  // namespace sb
