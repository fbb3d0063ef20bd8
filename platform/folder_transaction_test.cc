// A file of the set written ahead of its publish, on a second thread, is
// published, refused and cleared up exactly as one written by the publish,
// whether its bytes are all there when it starts or still being made.

#include "platform/folder_transaction.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/system_error.h"
#include "testing/temp_dir.h"

namespace sb {
namespace {

namespace fs = std::filesystem;

// The real disk, refusing to write the file named `refused` (the disk full
// as that file is written). It keeps no state, so it writes alongside.
class RefusingDisk : public DiskFileSystem {
 public:
  explicit RefusingDisk(std::string refused) : refused_(std::move(refused)) {}
  void write_new_file_from(const std::string& temporary_path, const std::string& final_path,
                           ByteStream& bytes, Durability durability) override {
    if (!refused_.empty() && final_path.ends_with("/" + refused_)) {
      throw FileError::refused("write", final_path, "No space left on device");
    }
    DiskFileSystem::write_new_file_from(temporary_path, final_path, bytes, durability);
  }

 private:
  std::string refused_;
};

// A file's bytes as a run makes them: the first piece at once, the rest once
// the run says they are done, or never when the file is abandoned. With
// `guess_wrong` the first piece turns out misplaced once they are done.
class BytesInTheMaking : public ByteStream {
 public:
  BytesInTheMaking(std::string_view first, std::string_view rest, bool guess_wrong)
      : pieces_{first, rest}, guess_wrong_(guess_wrong) {}

  std::optional<Piece> next() override {
    std::unique_lock lock(mutex_);
    if (given_ > 0) changed_.wait(lock, [&] { return done_ || abandoned_; });
    if (abandoned_) throw std::runtime_error("abandoned");
    if (given_ > 0 && guess_wrong_) throw GuessedWrong();
    if (given_ == 2) return std::nullopt;
    return pieces_[given_++];
  }
  void abandon() override { set(abandoned_); }
  void finish() { set(done_); }

 private:
  void set(bool& flag) {
    {
      const std::lock_guard lock(mutex_);
      flag = true;
    }
    changed_.notify_all();
  }

  std::string_view pieces_[2];
  const bool guess_wrong_;
  int given_ = 0;
  bool done_ = false;
  bool abandoned_ = false;
  std::mutex mutex_;
  std::condition_variable changed_;
};

// How the plan reaches its temporary.
enum class Ahead { no, given, streamed, streamed_on_a_wrong_guess };

std::map<std::string, std::string> folder_of(const TempDir& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    files[entry.path().filename().string()] = read_file_bytes(entry.path().string());
  }
  return files;
}

struct Outcome {
  std::string error;
  std::map<std::string, std::string> folder;
};

// One run over a folder holding an earlier plan: the plan (written ahead or
// not) and the cells published together, or the plan only written ahead
// when `publish` is false.
Outcome run(const std::string& refused, Ahead ahead, bool publish) {
  TempDir dir;
  write_file_bytes(dir.file("plan.dat"), "earlier plan");
  RefusingDisk disk(refused);
  Outcome outcome;
  {
    FolderTransaction transaction(disk, dir.path(), [&](const std::string& name) {
      return dir.file(name);
    });
    transaction.begin({});
    // Long enough that the publish may come while it is being written.
    const std::string plan(4 << 20, 'p');
    const std::string_view plan_chunks[] = {plan, "zeros"};
    const std::string_view cells = "cells";
    BytesInTheMaking* streamed = nullptr;
    if (ahead == Ahead::given) {
      transaction.write_ahead("plan.dat", [&] {
        return std::vector<std::string_view>(std::begin(plan_chunks), std::end(plan_chunks));
      });
    } else if (ahead != Ahead::no) {
      auto bytes = std::make_unique<BytesInTheMaking>(plan_chunks[0], plan_chunks[1],
                                                      ahead == Ahead::streamed_on_a_wrong_guess);
      streamed = bytes.get();
      EXPECT_TRUE(transaction.stream_ahead("plan.dat", std::move(bytes)));
    }
    try {
      if (publish) {
        if (streamed) streamed->finish();
        const FolderTransaction::Published set[] = {{"plan.dat", plan_chunks},
                                                    {"cells.dat", {&cells, 1}}};
        transaction.publish(set);
      }
      transaction.end();
    } catch (const FileError& e) {
      // Named without the folder, which differs from run to run.
      outcome.error = e.what();
      for (size_t at; (at = outcome.error.find(dir.path())) != std::string::npos;) {
        outcome.error.replace(at, dir.path().size(), "DIR");
      }
    }
  }
  outcome.folder = folder_of(dir);
  return outcome;
}

TEST(FolderTransaction, AFileWrittenAheadEndsAsIfThePublishWroteIt) {
  for (const char* refused : {"", "plan.dat", "cells.dat"}) {
    for (bool publish : {true, false}) {
      SCOPED_TRACE(std::string("refused: ") + refused +
                   (publish ? ", published" : ", not published"));
      const Outcome written = run(refused, Ahead::no, publish);
      for (Ahead way : {Ahead::given, Ahead::streamed, Ahead::streamed_on_a_wrong_guess}) {
        SCOPED_TRACE(static_cast<int>(way));
        const Outcome ahead = run(refused, way, publish);
        EXPECT_EQ(ahead.error, written.error);
        EXPECT_EQ(ahead.folder, written.folder);
        // Whatever happened, the folder holds no temporary and no record.
        std::vector<std::string> names;
        for (const auto& [name, bytes] : ahead.folder) names.push_back(name);
        const bool new_set = publish && refused[0] == '\0';
        const std::vector<std::string> expected =
            new_set ? std::vector<std::string>{"cells.dat", "plan.dat"}
                    : std::vector<std::string>{"plan.dat"};
        EXPECT_EQ(names, expected);
        EXPECT_EQ(ahead.folder.at("plan.dat").size(), new_set ? (4u << 20) + 5 : 12u);
      }
    }
  }
}

}  // namespace
}  // namespace sb
