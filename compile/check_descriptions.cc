#include "compile/check_descriptions.h"

#include "base/file_names.h"
#include "compile/compile_scenario.h"
#include "platform/memory_file_system.h"

namespace sb {

void check_descriptions(Builder& b, const DescriptionTexts& texts) {
  // The readers read and delete their files; in memory that costs a copy of
  // each text and leaves the caller's files alone.
  MemoryFileSystem memory;
  memory.files[b.path(line_description_name(b.route_name))] = texts.line;
  if (texts.train) {
    memory.files[b.path(train_description_name(b.route_name, b.train_number))] = *texts.train;
  }
  struct Restore {
    Builder& b;
    FileSystem* files;
    ~Restore() { b.files = files; }
  } restore{b, b.files};
  b.files = &memory;
  // A check looks at where the track is laid, never at the plan's values:
  // left to be computed when looked at, they are never computed.
  b.track_plan.set_background(false);
  check_scenario(b, texts.train.has_value());
}

}  // namespace sb
