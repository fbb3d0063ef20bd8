#pragma once

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace sb {

// One run's writes into a folder whose lock it holds, kept so that a run
// killed at any moment leaves nothing the next run cannot finish or clear.
//
// While it writes, the run keeps a record in the folder (kPublishRecordName):
// the tag of its temporary names, each working copy it puts there with the
// size and digest of its bytes, and, once the set of files it publishes
// together is written and synced, each temporary with its final name. The
// next run that finds the record (its writer died) renames what is left of
// that set into place, deletes the working copies still as they were written
// and the temporaries, and goes on. The record goes when the run ends.
//
// Every file goes through a temporary and a rename; the data of every file
// that outlives the run is synced before its rename, and the folder after
// the renames of the set. This is the one place that syncs.
class FolderTransaction {
 public:
  // `path_of` turns a name in folder `dir` into its path.
  FolderTransaction(FileSystem& files, std::string dir,
                    std::function<std::string(const std::string&)> path_of);
  // end(), without letting a failure out: the run has ended already.
  ~FolderTransaction();
  FolderTransaction(const FolderTransaction&) = delete;
  FolderTransaction& operator=(const FolderTransaction&) = delete;

  // Finishes what a killed run left in the folder, when it left a record.
  // Returns one line saying what was done, empty when there was nothing.
  std::string finish_interrupted_run();

  // A file the run puts into the folder only to read it back and delete it.
  struct WorkingCopy {
    std::string name;
    std::string_view content;
  };
  // Writes the record, naming the working copies; before the run's first
  // write into the folder.
  void begin(std::span<const WorkingCopy> working_copies);

  // Replaces the file `name` of the folder, its data synced before the
  // rename.
  void replace(const std::string& name, std::span<const std::string_view> chunks);

  // Starts writing the file `name` of the set a later publish() publishes
  // into its temporary, on a second thread while the run goes on where the
  // file system allows it, else at once. `chunks` gives the bytes, where
  // the file is written; they must stay as they are until publish() or
  // end(). A failure is reported by the publish() of the set, as if the
  // file were written there; end() deletes a temporary nothing published.
  void write_ahead(const std::string& name,
                   std::function<std::vector<std::string_view>()> chunks);
  // Starts writing the file `name` of the set a later publish() publishes
  // into its temporary on a second thread, each piece of `bytes` as it
  // comes, while the run goes on making the rest. Returns false, having
  // started nothing, where the file system does not write alongside or no
  // thread is to be had: the caller then writes the file later. A failure
  // is reported as write_ahead's are, except that a stream that placed
  // bytes on a wrong guess (ByteStream::GuessedWrong) has the publish write
  // the file from its chunks.
  bool stream_ahead(const std::string& name, std::unique_ptr<ByteStream> bytes);
  // Whether a file is being written ahead of its publish().
  bool writing_ahead() const { return ahead_ != nullptr; }
  // Stops the file written ahead, which no publish() will take (its stream
  // is abandoned), waits for its thread and deletes its temporary.
  void discard_ahead();

  // A file of the set published together.
  struct Published {
    std::string name;
    std::span<const std::string_view> chunks;
  };
  // Writes every file of the set to a temporary and syncs it, lists them in
  // the record, then renames them into place in order and syncs the folder.
  // A failure before the first rename removes the temporaries and leaves the
  // older set whole; a rename that fails leaves the record for the next run.
  void publish(std::span<const Published> set);

  // Removes the record, unless a publish stopped midway.
  void end();

 private:
  struct Record;
  struct Ahead;
  // Waits for the file written ahead; rethrows its failure. False when its
  // stream guessed wrong and the file is to be written as any other.
  bool collect_ahead();
  // Sets up ahead_ for `name`, to be written from `bytes`.
  void prepare_ahead(const std::string& name, std::unique_ptr<ByteStream> bytes);
  // Starts writing ahead_ on a second thread; false where the file system
  // does not write alongside or no thread is to be had.
  bool start_ahead_thread();
  void write_record(const std::vector<std::pair<std::string, std::string>>& publishing);
  void remove_quietly(const std::string& name);
  std::string list_of(const std::vector<std::string>& names) const;

  FileSystem& files_;
  std::string dir_;
  std::function<std::string(const std::string&)> path_of_;
  std::string tag_;
  std::string working_lines_;
  bool recording_ = false;
  bool publish_stopped_ = false;
  std::unique_ptr<Ahead> ahead_;
};

}  // namespace sb
