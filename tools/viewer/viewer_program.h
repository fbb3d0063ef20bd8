#pragma once

#include <span>
#include <string>
#include <variant>

#include "platform/file_system.h"
#include "platform/platform.h"
#include "tools/viewer/round_trip.h"
#include "tools/viewer/scenario_folder.h"
#include "tools/viewer/scenario_picture.h"

namespace sb::inspect {

// Exit statuses of scenario_inspect.
enum InspectStatus : int {
  kInspected = 0,
  kBadFile = 1,  // a file could not be read or is not a compiled file of its kind
  kUsageError = 2,
  kRoundTripDiffers = 3,  // --descriptions: building them gives other bytes
  kNotBuildable = 4,      // --descriptions: no build of this program writes these files
  kCannotServe = 5,       // --watch --serve: the port cannot be listened on
};

// The whole program: parses the arguments after the program name, reads
// the files through `files`, appends what it shows to `out` and its error
// lines to `err`, and returns the exit status. `list_folder` finds the
// scenario in --dir when --route and --number do not name it.
int run_inspect(FileSystem& files, std::span<const std::string> args, std::string& out,
                std::string& err, const FolderListing& list_folder = disk_folder_listing);

// The program as main runs it: --watch on `platform` until Ctrl-C, every
// other mode through run_inspect, its output written when it ends.
int run_inspect_program(Platform& platform, std::span<const std::string> args);

// The scenario `route`, `train` built in `dir`, decoded, read under the
// folder's shared lock; or why it cannot be read, as the listing modes say
// it ("PATH: offset N: what"), a folder holding an interrupted build
// included.
std::variant<ScenarioFiles, std::string> read_built_scenario(FileSystem& files,
                                                             const std::string& dir,
                                                             const std::string& route,
                                                             const std::string& train);

// What --descriptions says of a recovery and the round trip of its texts:
// its lines appended to `out` and `err`, and its exit status.
int report_round_trip(const RecoveredDescriptions& recovered, const RoundTrip& trip,
                      std::string& out, std::string& err);

std::string inspect_usage();

}  // namespace sb::inspect
