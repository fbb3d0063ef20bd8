// Runs the real program in temporary folders, as a scenario author would.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "testing/built_in_files.h"
#include "testing/temp_dir.h"

namespace sb {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs the builder with `args` (already quoted for the shell) from `cwd`.
Outcome run_builder(const std::string& args, const std::string& cwd,
                    const std::string& exe = SCENARIO_BUILDER_EXE) {
  TempDir capture;
  const std::string command = "cd '" + cwd + "' && '" + exe + "' " + args + " >'" +
                              capture.file("out") + "' 2>'" + capture.file("err") + "'";
  const int raw = std::system(command.c_str());
  Outcome outcome;
  outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  outcome.out = read_file_bytes(capture.file("out"));
  outcome.err = read_file_bytes(capture.file("err"));
  return outcome;
}

const std::vector<std::string> kCompiledFiles = {
    "Sarvena_Lucredo_linea.dat", "Sarvena_Lucredo_20573-2.sim", "Sarvena_Lucredo_20573-2.dat"};

std::vector<std::string> file_names(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// Replaces the first occurrence of `from` in the file.
void edit_file(const std::string& path, const std::string& from, const std::string& to) {
  std::string text = read_file_bytes(path);
  const size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  text.replace(at, from.size(), to);
  write_file_bytes(path, text);
}

// 1-based number of the line that holds `needle`.
int line_of(const std::string& text, const std::string& needle) {
  const size_t at = text.find(needle);
  if (at == std::string::npos) return 0;
  return 1 + static_cast<int>(std::count(text.begin(), text.begin() + at, '\n'));
}

TEST(EndToEnd, BuiltInScenarioInTheProgramsFolder) {
  TempDir dir;
  fs::copy_file(SCENARIO_BUILDER_EXE, dir.file("scenario_builder"));
  const Outcome outcome = run_builder("", "/", dir.file("scenario_builder"));
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(outcome.err, "Attendere\nscenario_builder: built route Sarvena_Lucredo, train 20573-2 in " +
                             dir.path() + ": Sarvena_Lucredo_linea.dat, Sarvena_Lucredo_20573-2.sim, " +
                             "Sarvena_Lucredo_20573-2.dat (2114491 bytes)\n");
  EXPECT_EQ(outcome.out, "");
  const std::vector<std::string> expected = {
      "Sarvena_Lucredo_20573-2.dat",
      "Sarvena_Lucredo_20573-2.sim",
      "Sarvena_Lucredo_20573-2_note.txt",
      "Sarvena_Lucredo_20573-2_rallentamenti.txt",
      "Sarvena_Lucredo_20573-2_scheda_treno.txt",
      "Sarvena_Lucredo_linea.dat",
      "scenario_builder",
  };
  EXPECT_EQ(file_names(dir.path()), expected);
}

TEST(EndToEnd, ExportedDescriptionsBuildTheSameFiles) {
  TempDir built_in, authored;
  ASSERT_EQ(run_builder("--dir '" + built_in.path() + "'", "/").status, 0);
  ASSERT_EQ(run_builder("--export --dir '" + authored.path() + "/exported'", "/").status, 0);
  const std::string exported = authored.path() + "/exported/";
  EXPECT_EQ(file_names(exported), (std::vector<std::string>{"Sarvena_Lucredo_20573-2-.txt",
                                                            "Sarvena_Lucredo_linea.txt"}));
  const Outcome outcome =
      run_builder("--dir '" + authored.path() + "/out' --line '" + exported +
                      "Sarvena_Lucredo_linea.txt' --train '" + exported +
                      "Sarvena_Lucredo_20573-2-.txt'",
                  "/");
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  for (const std::string& name : kCompiledFiles) {
    EXPECT_EQ(read_file_bytes(authored.path() + "/out/" + name),
              read_file_bytes(built_in.file(name)))
        << name;
  }
  // Crew documents belong to the built-in scenario only.
  EXPECT_FALSE(fs::exists(authored.path() + "/out/Sarvena_Lucredo_20573-2_note.txt"));
}

TEST(EndToEnd, TheUsersOwnDescriptionIsNeverChanged) {
  TempDir dir;
  ASSERT_EQ(run_builder("--export --dir '" + dir.path() + "'", "/").status, 0);
  const std::string line = dir.file("Sarvena_Lucredo_linea.txt");
  const std::string train = dir.file("Sarvena_Lucredo_20573-2-.txt");
  const std::string line_bytes = read_file_bytes(line);
  const std::string train_bytes = read_file_bytes(train);
  // Given as the working files themselves, through a relative path too.
  const Outcome outcome = run_builder(
      "--dir . --line Sarvena_Lucredo_linea.txt --train '" + train + "'", dir.path());
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(read_file_bytes(line), line_bytes);
  EXPECT_EQ(read_file_bytes(train), train_bytes);
  EXPECT_TRUE(fs::exists(dir.file("Sarvena_Lucredo_20573-2.dat")));
}

bool is_description(const std::string& name) {
  return name == kBuiltInFilesInOrder[0] || name == kBuiltInFilesInOrder[1];
}

// In a folder others can write to, someone puts a link or a folder where
// the build writes, before it starts: at the name a replacement used to
// write to first (<file>.partial), or at the file's own name. The build
// writes through none of them, removes none it did not make, and leaves its
// files as regular files with their usual bytes.
TEST(EndToEnd, ThingsPlantedInTheFolderAreNeverWrittenThrough) {
  TempDir reference;
  ASSERT_EQ(run_builder("--dir '" + reference.path() + "'", "/").status, 0);
  ASSERT_EQ(run_builder("--export --dir '" + reference.path() + "/exported'", "/").status, 0);
  enum class Planted { link_at_partial_name, link_at_own_name, folder_at_partial_name };
  const struct {
    Planted planted;
    const char* what;
  } cases[] = {
      {Planted::link_at_partial_name, "a link at <file>.partial"},
      {Planted::link_at_own_name, "a link at the file's own name"},
      {Planted::folder_at_partial_name, "a folder at <file>.partial"},
  };
  for (const auto& c : cases) {
    for (const std::string& name : kBuiltInFilesInOrder) {
      SCOPED_TRACE(std::string(c.what) + ", " + name);
      TempDir outside, dir;
      // A description at its working name that differs from the build's
      // stops the build; the same text lets it go on through the link.
      const std::string victim = outside.file("victim.txt");
      const std::string victim_bytes =
          is_description(name) && c.planted == Planted::link_at_own_name
              ? read_file_bytes(reference.path() + "/exported/" + name)
              : "the victim's own bytes\n";
      write_file_bytes(victim, victim_bytes);
      std::vector<std::string> expected = file_names(reference.path());
      std::erase(expected, "exported");
      const std::string partial = dir.file(name + ".partial");
      switch (c.planted) {
        case Planted::link_at_partial_name:
          fs::create_symlink(victim, partial);
          expected.push_back(name + ".partial");
          break;
        case Planted::link_at_own_name:
          fs::create_symlink(victim, dir.file(name));
          break;
        case Planted::folder_at_partial_name:
          fs::create_directory(partial);
          expected.push_back(name + ".partial");
          break;
      }
      std::sort(expected.begin(), expected.end());

      const Outcome outcome = run_builder("--dir '" + dir.path() + "'", "/");

      EXPECT_EQ(outcome.status, 0) << outcome.err;
      EXPECT_EQ(read_file_bytes(victim), victim_bytes);
      EXPECT_EQ(file_names(dir.path()), expected);
      if (!is_description(name)) {
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir.file(name))));
        EXPECT_EQ(read_file_bytes(dir.file(name)), read_file_bytes(reference.file(name)));
      }
      if (c.planted == Planted::link_at_partial_name) {
        std::error_code ec;
        EXPECT_EQ(fs::read_symlink(partial, ec), victim);
      }
    }
  }
}

// The user's own description, given at its working name, is read in place
// even when that name is a link the user made to it.
TEST(EndToEnd, AUsersLinkAtTheWorkingNameIsReadInPlace) {
  TempDir dir;
  ASSERT_EQ(run_builder("--export --dir '" + dir.path() + "/mine'", "/").status, 0);
  const std::string mine = dir.path() + "/mine/Sarvena_Lucredo_linea.txt";
  const std::string mine_bytes = read_file_bytes(mine);
  fs::create_directory(dir.file("out"));
  const std::string link = dir.path() + "/out/Sarvena_Lucredo_linea.txt";
  fs::create_symlink(mine, link);

  const Outcome outcome =
      run_builder("--dir out --line out/Sarvena_Lucredo_linea.txt", dir.path());

  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(fs::read_symlink(link), mine);
  EXPECT_EQ(read_file_bytes(mine), mine_bytes);
  EXPECT_TRUE(fs::exists(dir.path() + "/out/Sarvena_Lucredo_linea.dat"));
}

TEST(EndToEnd, RouteAndNumberNameTheFilesAndChangeTheCodes) {
  TempDir built_in, renamed;
  ASSERT_EQ(run_builder("--dir '" + built_in.path() + "'", "/").status, 0);
  const Outcome outcome =
      run_builder("--dir '" + renamed.path() + "' --route Valle --number 42", "/");
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  for (const char* name : {"Valle_linea.dat", "Valle_42.sim", "Valle_42.dat",
                           "Valle_42_scheda_treno.txt"}) {
    EXPECT_TRUE(fs::exists(renamed.file(name))) << name;
  }
  // Same track, other names: the plan is equal, the cell file differs only in
  // the og code of cell 1 (bytes 18 and 19).
  EXPECT_EQ(read_file_bytes(renamed.file("Valle_linea.dat")),
            read_file_bytes(built_in.file("Sarvena_Lucredo_linea.dat")));
  std::string cells = read_file_bytes(renamed.file("Valle_42.dat"));
  std::string original = read_file_bytes(built_in.file("Sarvena_Lucredo_20573-2.dat"));
  ASSERT_EQ(cells.size(), original.size());
  EXPECT_NE(cells.substr(18, 2), original.substr(18, 2));
  cells.replace(18, 2, original.substr(18, 2));
  EXPECT_EQ(cells, original);
  EXPECT_NE(read_file_bytes(renamed.file("Valle_42.sim")).find("Valle"), std::string::npos);
}

// A route or number as long as the file names allow builds; one byte more
// is refused up front, with the limit: the longest name of a run is the
// slowdown order's temporary name, 51 bytes more than the route with the
// built-in number.
TEST(EndToEnd, TheLongestRouteThatFitsBuildsAndOneMoreIsRefused) {
  TempDir dir;
  const std::string longest(204, 'r');
  const Outcome fits = run_builder("--dir '" + dir.path() + "' --route " + longest, "/");
  EXPECT_EQ(fits.status, 0) << fits.err;
  EXPECT_TRUE(fs::exists(dir.file(longest + "_20573-2_rallentamenti.txt")));

  const Outcome refused = run_builder("--dir '" + dir.path() + "' --route r" + longest, "/");
  EXPECT_EQ(refused.status, 3);
  EXPECT_EQ(refused.err,
            "scenario_builder: option --route names files: its value may be at most 204 bytes "
            "long here, as the longest file name of a run adds 51 bytes to it and the system "
            "allows 255 (205 given) (see --help)\n");
}

// The last line of standard error.
std::string last_line(const std::string& err) {
  const size_t end = err.size() && err.back() == '\n' ? err.size() - 1 : err.size();
  const size_t start = err.rfind('\n', end - 1);
  return err.substr(start == std::string::npos ? 0 : start + 1, end - (start + 1));
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(EndToEnd, ARecordedProblemNamesTheRowAndEndsWithStatus1) {
  TempDir dir;
  ASSERT_EQ(run_builder("--export --dir '" + dir.path() + "'", "/").status, 0);
  const std::string train = dir.file("Sarvena_Lucredo_20573-2-.txt");
  // A second signal on the cell of the first one.
  const std::string text = read_file_bytes(train);
  const size_t first_signal = text.find("segnale,");
  const std::string signal_row = text.substr(first_signal, text.find('\n', first_signal) + 1 - first_signal);
  edit_file(train, "[codici]", signal_row + "[codici]");
  const int bad_line = line_of(read_file_bytes(train), "[codici]") - 1;

  const Outcome outcome =
      run_builder("--dir '" + dir.path() + "/out' --train '" + train + "'", "/");
  EXPECT_EQ(outcome.status, 1);
  EXPECT_TRUE(contains(outcome.err, train + ":" + std::to_string(bad_line) +
                                        ":13: error: a signal stands on a cell that is already "
                                        "taken: cell 22 (1050 m) already holds a signal, placed "
                                        "by line 61 of the train description"))
      << outcome.err;
  EXPECT_EQ(last_line(outcome.err), "error_number=16 error_position_m=1050");
  // No compiled file, and no copy of a description, is left.
  EXPECT_TRUE(file_names(dir.path() + "/out").empty());
}

// A build that records a problem leaves an earlier good build's compiled
// files as they were; with --keep-going it writes them as the model stands.
TEST(EndToEnd, AFailedBuildKeepsTheEarlierGoodOne) {
  for (const bool keep_going : {false, true}) {
    SCOPED_TRACE(keep_going ? "--keep-going" : "without --keep-going");
    TempDir dir;
    ASSERT_EQ(run_builder("--export --dir '" + dir.path() + "'", "/").status, 0);
    const std::string line = dir.file("Sarvena_Lucredo_linea.txt");
    const std::string train = dir.file("Sarvena_Lucredo_20573-2-.txt");
    const std::string both = " --line '" + line + "' --train '" + train + "'";
    const std::string out = dir.path() + "/out";
    ASSERT_EQ(run_builder("--dir '" + out + "'" + both, "/").status, 0);
    std::vector<std::string> good;
    for (const std::string& name : kCompiledFiles) good.push_back(read_file_bytes(out + "/" + name));

    // A board moved onto the cell of another one: the line reader stops.
    edit_file(line, "cartello_indicatore,  70250", "cartello_indicatore,  37200");
    const Outcome outcome =
        run_builder("--dir '" + out + "'" + both + (keep_going ? " --keep-going" : ""), "/");

    EXPECT_EQ(outcome.status, 1) << outcome.err;
    EXPECT_EQ(last_line(outcome.err), "error_number=6 error_position_m=37200");
    // Nothing but the compiled files: no copy of a description is left.
    EXPECT_EQ(file_names(out), (std::vector<std::string>{"Sarvena_Lucredo_20573-2.dat",
                                                         "Sarvena_Lucredo_20573-2.sim",
                                                         "Sarvena_Lucredo_linea.dat"}));
    for (size_t i = 0; i < kCompiledFiles.size(); ++i) {
      const bool same = read_file_bytes(out + "/" + kCompiledFiles[i]) == good[i];
      if (!keep_going) {
        EXPECT_TRUE(same) << kCompiledFiles[i];
      }
    }
    // The line reader stopped at the board: the cells written differ.
    if (keep_going) {
      EXPECT_NE(read_file_bytes(out + "/Sarvena_Lucredo_20573-2.dat"), good[2]);
    }
    EXPECT_EQ(contains(outcome.err, "as the model stands despite the problem"), keep_going);
  }
}

// Messages name the author's file as the author gave it.
TEST(EndToEnd, MessagesNameTheAuthorsOwnPath) {
  TempDir dir;
  fs::create_directory(dir.file("my scenarios"));
  write_file_bytes(dir.file("my scenarios/line.txt"),
                   "[generale]\r\nlunghezza percorso, 30000\r\n[pendenze]\r\n"
                   "pendenza, 1000, 200\r\n[fine]\r\n");
  const std::string problem = ":4:17: error: a gradient lies outside -100 to 155: gradient 200";
  const struct {
    std::string cwd;
    std::string given;
  } cases[] = {
      {dir.path(), "my scenarios/line.txt"},
      {dir.path() + "/my scenarios", "line.txt"},
      {"/", dir.file("my scenarios/line.txt")},
  };
  for (const auto& c : cases) {
    const Outcome outcome =
        run_builder("--dir '" + dir.path() + "/out' --line '" + c.given + "'", c.cwd);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(contains(outcome.err, "scenario_builder: " + c.given + problem)) << outcome.err;
  }
}

// A fatal report keeps its line and says, on the next one, what is wrong
// and where.
TEST(EndToEnd, FatalReportsSayWhatIsWrong) {
  TempDir dir;
  const struct {
    const char* what;
    std::string line_text;
    std::string report;
    std::string explanation;
  } cases[] = {
      {"no [generale]", "lunghezza percorso, 30000\r\n[fine]\r\n", " Errore n. 102",
       "line.txt: error: the line description has no [generale] section"},
      {"misspelt length key", "[generale]\r\nlunghezza percoso, 30000\r\n[fine]\r\n",
       " Errore n. 25", "no \"lunghezza percorso\" record"},
      {"a length with a unit", "[generale]\r\nlunghezza percorso, 30000m\r\n[fine]\r\n",
       " Errore n. 25", "line.txt:2:21: error: the description could not be read: "
                      "not a number: \"30000m\""},
      {"too long", "[generale]\r\nlunghezza percorso, 1200000\r\n[fine]\r\n", " Errore n. 1",
       "lunghezza percorso is 1200000 m, at most 1000000 m"},
      {"empty file", "", " Errore n. 25", "line.txt: error: the description could not be "
                                          "read: the line description is empty"},
      {"CR-only line ends", "[generale]\rlunghezza percorso, 30000\r[fine]\r", " Errore n. 25",
       "its lines end with CR alone"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    write_file_bytes(dir.file("line.txt"), c.line_text);
    const Outcome outcome = run_builder("--dir out --line line.txt", dir.path());
    EXPECT_EQ(outcome.status, 2);
    EXPECT_TRUE(contains(outcome.err, "\n" + c.report + "\nscenario_builder: ")) << outcome.err;
    EXPECT_TRUE(contains(outcome.err, c.explanation)) << outcome.err;
    EXPECT_FALSE(fs::exists(dir.file("out/Sarvena_Lucredo_20573-2.dat")));
    // No copy of either description outlives the run.
    EXPECT_TRUE(file_names(dir.file("out")).empty());
  }
}

TEST(EndToEnd, ABadLineDescriptionRowIsNamedByItsLine) {
  TempDir dir;
  ASSERT_EQ(run_builder("--export --dir '" + dir.path() + "'", "/").status, 0);
  const std::string line = dir.file("Sarvena_Lucredo_linea.txt");
  edit_file(line, "cartello_indicatore,  70250", "cartello_indicatore,  37200");
  const int bad_line = line_of(read_file_bytes(line), "cartello_indicatore,  37200,") + 1;

  const Outcome outcome =
      run_builder("--dir '" + dir.path() + "/out' --line '" + line + "'", "/");
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(outcome.err.find("error_number=6 error_position_m=37200"), std::string::npos)
      << outcome.err;
  EXPECT_NE(outcome.err.find("Sarvena_Lucredo_linea.txt:" + std::to_string(bad_line)),
            std::string::npos)
      << outcome.err;
}

TEST(EndToEnd, AnUnreadableValueIsQuotedWithItsLine) {
  TempDir dir;
  ASSERT_EQ(run_builder("--export --dir '" + dir.path() + "'", "/").status, 0);
  const std::string line = dir.file("Sarvena_Lucredo_linea.txt");
  edit_file(line, "curvad3,  10000,", "curvad3,  10000x,");
  const int bad_line = line_of(read_file_bytes(line), "curvad3,  10000x,");

  const Outcome outcome =
      run_builder("--dir '" + dir.path() + "/out' --line '" + line + "'", "/");
  EXPECT_EQ(outcome.status, 1);
  EXPECT_TRUE(contains(outcome.err, line + ":" + std::to_string(bad_line) +
                                        ":11: error: the description could not be read: "
                                        "not a number: \"10000x\""))
      << outcome.err;
  EXPECT_EQ(last_line(outcome.err).rfind("error_number=25 ", 0), 0u) << outcome.err;
}

TEST(EndToEnd, UsageAndFileErrorsEndWithStatus3) {
  TempDir dir;
  const struct {
    std::string args;
    std::string message;
  } cases[] = {
      {"--frobnicate", "unknown option --frobnicate"},
      {"--route", "option --route needs a value"},
      {"--dir '" + dir.path() + "' --line '" + dir.file("missing.txt") + "'",
       "open(" + dir.file("missing.txt") + "): the file or a folder on its path does not exist"},
  };
  for (const auto& c : cases) {
    const Outcome outcome = run_builder(c.args, "/");
    EXPECT_EQ(outcome.status, 3) << c.args;
    EXPECT_NE(outcome.err.find(c.message), std::string::npos) << outcome.err;
    EXPECT_EQ(outcome.out, "");
  }
  EXPECT_TRUE(file_names(dir.path()).empty());
}

TEST(EndToEnd, AFolderThatCannotBeWrittenEndsWithStatus3) {
  // A file where the folder should be fails for every user, root included.
  TempDir dir;
  write_file_bytes(dir.file("not-a-folder"), "x");
  const Outcome outcome = run_builder("--dir '" + dir.file("not-a-folder") + "/sub'", "/");
  EXPECT_EQ(outcome.status, 3);
  EXPECT_NE(outcome.err.find(dir.file("not-a-folder")), std::string::npos) << outcome.err;
}

}  // namespace
}  // namespace sb
