#pragma once

#include <span>
#include <string>

#include "platform/file_system.h"
#include "tools/viewer/scenario_folder.h"

namespace sb::inspect {

// Exit statuses of scenario_inspect.
enum InspectStatus : int {
  kInspected = 0,
  kBadFile = 1,  // a file could not be read or is not a compiled file of its kind
  kUsageError = 2,
  kRoundTripDiffers = 3,  // --descriptions: building them gives other bytes
  kNotBuildable = 4,      // --descriptions: no build of this program writes these files
};

// The whole program: parses the arguments after the program name, reads
// the files through `files`, appends what it shows to `out` and its error
// lines to `err`, and returns the exit status. `list_folder` finds the
// scenario in --dir when --route and --number do not name it.
int run_inspect(FileSystem& files, std::span<const std::string> args, std::string& out,
                std::string& err, const FolderListing& list_folder = disk_folder_listing);

std::string inspect_usage();

}  // namespace sb::inspect
