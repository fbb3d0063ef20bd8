#pragma once

#include <string>

#include "base/file_names.h"
#include "line/line_writer.h"
#include "scenario/built_in_names.h"
#include "testing/fake_platform.h"
#include "track/model.h"
#include "train/train_writer.h"

namespace sb {

// A build of the built-in scenario in memory, set up as the program sets up
// its build: the built-in route and train, the platform's folder, the track
// plan laid. Tests of a build step start from it and change what they test.
struct InMemoryBuild {
  InMemoryBuild() { reset(); }

  // A fresh builder for the next case of a table; the files stay.
  void reset() {
    b = Builder(platform);
    b.directory = platform.directory;
    b.route_name = kBuiltInRouteName;
    b.train_number = kBuiltInTrainNumber;
    b.with_track_plan = true;
  }

  // The two built-in descriptions, written into the folder as a build does.
  void write_built_in_descriptions() {
    write_line_description(b);
    write_train_description(b);
  }

  std::string line_path() const { return b.path(line_description_name(b.route_name)); }
  std::string train_path() const {
    return b.path(train_description_name(b.route_name, b.train_number));
  }
  // A file of the folder by name: its bytes, created empty when missing.
  std::string& file(const std::string& name) { return platform.files.files[b.path(name)]; }
  bool has_file(const std::string& name) const {
    return platform.files.files.count(b.path(name)) != 0;
  }

  FakePlatform platform;
  Builder b{platform};
};

}  // namespace sb
