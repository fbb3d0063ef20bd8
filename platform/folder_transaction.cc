#include "platform/folder_transaction.h"

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <system_error>
#include <thread>
#include <utility>

#include "base/file_names.h"
#include "base/shown_text.h"
#include "platform/system_error.h"

namespace sb {

namespace {

// The record is text, one entry a line, its fields separated by tabs (no
// file name the program writes holds a control character):
//   scenario_builder publishing record
//   tag     <16 hex digits>
//   working <name> <size> <digest>
//   publish <temporary name> <final name>
constexpr std::string_view kRecordTitle = "scenario_builder publishing record";

constexpr uint64_t kPrime1 = 0x9E3779B185EBCA87u;
constexpr uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Fu;

uint64_t load_word(const char* p) {
  uint64_t word;
  std::memcpy(&word, p, 8);
  return word;
}

// Folds one word into a lane: every bit of the word reaches every bit of
// the lane within a few rounds.
uint64_t fold(uint64_t lane, uint64_t word) {
  return std::rotl(lane + word * kPrime2, 31) * kPrime1;
}

// A 64-bit digest of the bytes, which tells the bytes a run wrote from an
// edit of them. A working copy is megabytes and the digest is taken before
// anything is written, so the bytes go eight at a time into four lanes that
// do not wait for each other; the lanes, the last bytes and the length are
// mixed at the end.
std::string digest_of(std::string_view bytes) {
  const char* p = bytes.data();
  const size_t size = bytes.size();
  uint64_t lanes[4] = {kPrime1 + kPrime2, kPrime2, 0, 0 - kPrime1};
  size_t i = 0;
  for (; i + 32 <= size; i += 32) {
    for (int lane = 0; lane < 4; ++lane) {
      lanes[lane] = fold(lanes[lane], load_word(p + i + 8 * lane));
    }
  }
  uint64_t hash = size;
  for (uint64_t lane : lanes) hash = fold(hash, lane);
  for (; i + 8 <= size; i += 8) hash = fold(hash, load_word(p + i));
  for (; i < size; ++i) hash = fold(hash, static_cast<unsigned char>(p[i]));
  hash ^= hash >> 33;
  hash *= kPrime2;
  hash ^= hash >> 29;
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
  return hex;
}

std::vector<std::string> split(std::string_view text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(separator, start);
    parts.emplace_back(text.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

bool is_tag(std::string_view text) {
  if (text.size() != kTemporaryNameRandomDigits) return false;
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

// A name in the folder itself, never a path that leads out of it.
bool is_plain_name(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of("/\\") == std::string_view::npos;
}

bool ends_with(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// "<record name>.<tag>.partial", whatever the tag.
bool is_record_temporary(std::string_view name) {
  const size_t tag_start = kPublishRecordName.size() + 1;
  return name.size() == kPublishRecordName.size() + kTemporaryNameExtraLength &&
         name.substr(0, kPublishRecordName.size()) == kPublishRecordName &&
         name[kPublishRecordName.size()] == '.' &&
         is_tag(name.substr(tag_start, kTemporaryNameRandomDigits)) && ends_with(name, kTemporaryNameSuffix);
}

}  // namespace

struct FolderTransaction::Record {
  std::string tag;
  struct Working {
    std::string name;
    std::string size;
    std::string digest;
  };
  std::vector<Working> working;
  std::vector<std::pair<std::string, std::string>> publishing;  // temporary, final

  // Entries that do not look like the program's are left out: a record can
  // only ever make the next run rename its own temporaries into place and
  // delete files it can tell are its own.
  static Record parse(std::string_view text) {
    Record record;
    for (const std::string& line : split(text, '\n')) {
      const std::vector<std::string> fields = split(line, '\t');
      if (fields.size() == 2 && fields[0] == "tag" && is_tag(fields[1])) {
        record.tag = fields[1];
      } else if (fields.size() == 4 && fields[0] == "working" && is_plain_name(fields[1])) {
        record.working.push_back({fields[1], fields[2], fields[3]});
      } else if (fields.size() == 3 && fields[0] == "publish" && is_plain_name(fields[1]) &&
                 is_plain_name(fields[2])) {
        record.publishing.emplace_back(fields[1], fields[2]);
      }
    }
    return record;
  }
};

namespace {

// Chunks that a function gives all at once, when the file is written. The
// function is kept: the chunks may lie in what it holds.
class GivenChunks : public ByteStream {
 public:
  explicit GivenChunks(std::function<std::vector<std::string_view>()> chunks)
      : give_(std::move(chunks)) {}
  std::optional<Piece> next() override {
    if (!given_) {
      chunks_ = give_();
      given_ = true;
    }
    if (next_ == chunks_.size()) return std::nullopt;
    return chunks_[next_++];
  }

 private:
  std::function<std::vector<std::string_view>()> give_;
  bool given_ = false;
  std::vector<std::string_view> chunks_;
  size_t next_ = 0;
};

}  // namespace

// A file of the set being written ahead of its publish().
struct FolderTransaction::Ahead {
  std::string name;
  std::string temporary_path;
  std::string final_path;
  std::unique_ptr<ByteStream> bytes;
  std::exception_ptr failure;
  bool written = false;
  std::thread thread;

  void write(FileSystem& files) {
    try {
      files.write_new_file_from(temporary_path, final_path, *bytes, Durability::synced);
      written = true;
    } catch (...) {
      failure = std::current_exception();
    }
  }
  void wait() {
    if (thread.joinable()) thread.join();
  }
};

FolderTransaction::FolderTransaction(FileSystem& files, std::string dir,
                                     std::function<std::string(const std::string&)> path_of)
    : files_(files), dir_(std::move(dir)), path_of_(std::move(path_of)) {}

FolderTransaction::~FolderTransaction() {
  try {
    end();
  } catch (const FileError&) {
    // The record stays; the next run in the folder clears it.
  }
}

std::string FolderTransaction::list_of(const std::vector<std::string>& names) const {
  std::string list;
  for (const std::string& name : names) list += (list.empty() ? "" : ", ") + shown_path(name);
  return list;
}

void FolderTransaction::remove_quietly(const std::string& name) {
  try {
    files_.remove_file(path_of_(name));
  } catch (const FileError&) {
  }
}

std::string FolderTransaction::finish_interrupted_run() {
  const std::string record_path = path_of_(std::string(kPublishRecordName));
  if (!files_.exists(record_path)) {
    // A run killed while it wrote its first record left no more than that.
    for (const std::string& name : files_.list_folder(dir_)) {
      if (is_record_temporary(name)) files_.remove_file(path_of_(name));
    }
    return {};
  }
  const Record record = Record::parse(files_.read_own_file(record_path));
  if (record.tag.empty()) {
    throw FileError::refused("read", record_path,
                             "not a record this program writes; move it away to build here");
  }
  // The set, when the dead run had begun to publish it: every temporary
  // still there goes into place, in the order the run would have renamed.
  std::vector<std::string> published;
  for (const auto& [temporary, final_name] : record.publishing) {
    if (temporary != temporary_name(final_name, record.tag)) continue;
    const std::string from = path_of_(temporary);
    if (!files_.exists(from)) continue;
    try {
      files_.rename_file(from, path_of_(final_name));
    } catch (const FileError& e) {
      throw e.noted("a run stopped while publishing its files in " + shown_path(dir_) +
                    "; the next build there finishes the set");
    }
    published.push_back(final_name);
  }
  if (!published.empty()) files_.sync_folder(dir_);
  // Working copies still as the run wrote them; an edited one is the
  // author's now, and meets the guard for edited descriptions.
  std::vector<std::string> removed;
  for (const Record::Working& working : record.working) {
    const std::string path = path_of_(working.name);
    if (!files_.exists(path)) continue;
    try {
      const std::string bytes = files_.read_own_file(path);
      if (std::to_string(bytes.size()) != working.size || digest_of(bytes) != working.digest) {
        continue;
      }
    } catch (const FileError&) {
      continue;
    }
    files_.remove_file(path);
    removed.push_back(working.name);
  }
  // The run's temporaries, and a record of any run that died before its
  // record had its name (no other run can be writing here meanwhile).
  const std::string temporary_end = temporary_name_end(record.tag);
  for (const std::string& name : files_.list_folder(dir_)) {
    if ((ends_with(name, temporary_end) && name.size() > temporary_end.size()) ||
        is_record_temporary(name)) {
      files_.remove_file(path_of_(name));
      removed.push_back(name);
    }
  }
  files_.remove_file(record_path);
  std::string line = "a run stopped in " + shown_path(dir_) + " before it ended; ";
  if (!published.empty()) line += "published the files it had written: " + list_of(published) + "; ";
  return line + (removed.empty() ? "it left nothing else"
                                 : "deleted what it left: " + list_of(removed));
}

void FolderTransaction::begin(std::span<const WorkingCopy> working_copies) {
  tag_ = files_.new_temporary_tag();
  working_lines_.clear();
  for (const WorkingCopy& copy : working_copies) {
    working_lines_ += "working\t" + copy.name + "\t" + std::to_string(copy.content.size()) +
                      "\t" + digest_of(copy.content) + "\n";
  }
  write_record({});
  recording_ = true;
}

void FolderTransaction::write_record(
    const std::vector<std::pair<std::string, std::string>>& publishing) {
  std::string text = std::string(kRecordTitle) + "\ntag\t" + tag_ + "\n" + working_lines_;
  for (const auto& [temporary, final_name] : publishing) {
    text += "publish\t" + temporary + "\t" + final_name + "\n";
  }
  const std::string_view chunk = text;
  files_.replace_file(path_of_(std::string(kPublishRecordName)),
                      std::span<const std::string_view>(&chunk, 1), tag_, Durability::synced);
  // The record is on the disk before anything it names.
  files_.sync_folder(dir_);
}

void FolderTransaction::replace(const std::string& name,
                                std::span<const std::string_view> chunks) {
  // A working copy too: one that a power loss left empty would not be
  // recognised as the program's own by the next run, and would block it.
  files_.replace_file(path_of_(name), chunks, tag_, Durability::synced);
}

void FolderTransaction::prepare_ahead(const std::string& name,
                                      std::unique_ptr<ByteStream> bytes) {
  discard_ahead();
  ahead_ = std::make_unique<Ahead>();
  ahead_->name = name;
  ahead_->temporary_path = path_of_(temporary_name(name, tag_));
  ahead_->final_path = path_of_(name);
  ahead_->bytes = std::move(bytes);
}

bool FolderTransaction::start_ahead_thread() {
  if (!files_.writes_alongside()) return false;
  Ahead& ahead = *ahead_;
  try {
    ahead.thread = std::thread([this, &ahead] { ahead.write(files_); });
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

void FolderTransaction::write_ahead(const std::string& name,
                                    std::function<std::vector<std::string_view>()> chunks) {
  prepare_ahead(name, std::make_unique<GivenChunks>(std::move(chunks)));
  // Without a second thread the file is written now.
  if (!start_ahead_thread()) ahead_->write(files_);
}

bool FolderTransaction::stream_ahead(const std::string& name, std::unique_ptr<ByteStream> bytes) {
  prepare_ahead(name, std::move(bytes));
  if (start_ahead_thread()) return true;
  // The caller writes the file when its bytes are all there.
  ahead_.reset();
  return false;
}

bool FolderTransaction::collect_ahead() {
  ahead_->wait();
  const std::unique_ptr<Ahead> ahead = std::move(ahead_);
  if (!ahead->failure) return true;
  try {
    std::rethrow_exception(ahead->failure);
  } catch (const ByteStream::GuessedWrong&) {
    // Its temporary went with the failed write.
    return false;
  }
}

void FolderTransaction::discard_ahead() {
  if (!ahead_) return;
  ahead_->bytes->abandon();
  ahead_->wait();
  const std::unique_ptr<Ahead> ahead = std::move(ahead_);
  // A file left unfinished was deleted by the write itself.
  if (!ahead->written) return;
  try {
    files_.remove_file(ahead->temporary_path);
  } catch (const FileError&) {
  }
}

void FolderTransaction::publish(std::span<const Published> set) {
  std::vector<std::pair<std::string, std::string>> publishing;
  const std::string nothing_replaced = "nothing was replaced: the compiled files in " +
                                       shown_path(dir_) + " are those it held before";
  try {
    for (const Published& file : set) {
      const std::string temporary = temporary_name(file.name, tag_);
      const bool written_ahead = ahead_ && ahead_->name == file.name && collect_ahead();
      if (!written_ahead) {
        files_.write_new_file(path_of_(temporary), path_of_(file.name), file.chunks,
                              Durability::synced);
      }
      publishing.emplace_back(temporary, file.name);
    }
    for (const Published& file : set) files_.check_replaceable(path_of_(file.name));
    write_record(publishing);
  } catch (const FileError& e) {
    discard_ahead();
    for (const auto& [temporary, final_name] : publishing) remove_quietly(temporary);
    throw e.noted(nothing_replaced);
  }
  std::vector<std::string> renamed;
  for (const auto& [temporary, final_name] : publishing) {
    try {
      files_.rename_file(path_of_(temporary), path_of_(final_name));
    } catch (const FileError& e) {
      publish_stopped_ = true;
      throw e.noted(
          (renamed.empty() ? "nothing was replaced yet" : "already new: " + list_of(renamed)) +
          "; the next build in " + shown_path(dir_) + " finishes the set");
    }
    renamed.push_back(final_name);
  }
  files_.sync_folder(dir_);
}

void FolderTransaction::end() {
  // A file written ahead of a publish that did not come is deleted before
  // the record that lets the next run delete it.
  discard_ahead();
  if (!recording_ || publish_stopped_) return;
  recording_ = false;
  files_.remove_file(path_of_(std::string(kPublishRecordName)));
}

}  // namespace sb
