#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace sb {

// The kinds of warning: what a description's format accepts without an
// error but is almost always a mistake. Each kind is listed at most
// kListedPerKind times; the rest are only counted.
enum class WarningKind : uint8_t {
  unknown_key,
  no_records,
  row_shape,
  beyond_line_end,
  off_grid,
  out_of_order,
  utf8_text,
  implausible_value,
  repeated_record,
  text_too_long,
  names_disagree,
  dropped_value,
  count,
};

// One problem of a build or a check, where the author can find it: the
// description's working name (empty when it lies in no description), the
// 1-based line and column (0 when the whole file is meant).
struct Diagnostic {
  bool error = false;
  WarningKind kind = WarningKind::count;
  std::string file;
  int32_t line = 0;
  int32_t column = 0;
  // Errors: the builder's numbers and the detail the build would give.
  int32_t error_number = 0;
  int32_t position_m = 0;
  std::string text;
};

// The problems found so far, in the order they were found. A build keeps
// its warnings here (its error stays in the builder's error variables); a
// check keeps its errors too.
//
// A terminal lists at most kListedErrorsPerNumber errors of one error
// number: the first ones, and always the last error of all (the one a
// build's reading stops on, and the one a clean reading leaves in
// error_number). Only those are kept, and the rest counted, so a
// description with one mistake repeated a million times costs a counter,
// not a million messages.
class Diagnostics {
 public:
  // What a terminal lists of one kind of warning; an editor, which shows
  // each at its place, lists up to kListedInEditor.
  static constexpr int kListedPerKind = 10;
  static constexpr int kListedInEditor = 1000;
  static constexpr size_t kListedErrorsPerNumber = 10;
  static constexpr size_t kEveryError = SIZE_MAX;

  // How many warnings of one kind are listed; set before the reading.
  void list_per_kind(int limit) { listed_per_kind_ = limit; }
  // How many errors of one error number are kept (an editor keeps every
  // one); set before the reading.
  void keep_errors_per_number(size_t limit) { kept_per_number_ = limit; }

  // Counts one more warning of `kind`; whether it is to be listed. Callers
  // build the message only then, so a long description with one habit costs
  // a counter per row.
  bool admit(WarningKind kind) {
    return ++warning_counts_[static_cast<size_t>(kind)] <= listed_per_kind_;
  }

  void add(Diagnostic diagnostic) {
    if (diagnostic.error) {
      add_error(std::move(diagnostic));
    } else {
      list_.push_back(std::move(diagnostic));
    }
  }

  // The warnings admitted and the errors kept, in the order found.
  const std::vector<Diagnostic>& list() const { return list_; }
  int error_count() const { return error_count_; }
  int warning_count() const {
    int total = 0;
    for (int count : warning_counts_) total += count;
    return total;
  }
  // How many warnings of `kind` were counted but not listed.
  int unlisted(WarningKind kind) const {
    const int count = warning_counts_[static_cast<size_t>(kind)];
    return count > listed_per_kind_ ? count - listed_per_kind_ : 0;
  }

 private:
  void add_error(Diagnostic error);

  std::vector<Diagnostic> list_;
  // Errors counted per error number.
  std::map<int32_t, size_t> errors_of_number_;
  // While the last error is one beyond its number's limit: where it stands
  // in list_, and the last kept error of its number, which it replaces there
  // as long as no other error follows it.
  struct StandIn {
    size_t at = 0;
    size_t replaced_at = 0;
    Diagnostic replaced;
  };
  std::optional<StandIn> last_beyond_limit_;
  size_t kept_per_number_ = kListedErrorsPerNumber;
  std::array<int, static_cast<size_t>(WarningKind::count)> warning_counts_{};
  int error_count_ = 0;
  int listed_per_kind_ = kListedPerKind;
};

}  // namespace sb
