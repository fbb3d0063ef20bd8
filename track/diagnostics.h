#pragma once

#include <array>
#include <cstdint>
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
// check keeps every error too.
class Diagnostics {
 public:
  // What a terminal lists of one kind of warning; an editor, which shows
  // each at its place, lists up to kListedInEditor.
  static constexpr int kListedPerKind = 10;
  static constexpr int kListedInEditor = 1000;

  // How many warnings of one kind are listed; set before the reading.
  void list_per_kind(int limit) { listed_per_kind_ = limit; }

  // Counts one more warning of `kind`; whether it is to be listed. Callers
  // build the message only then, so a long description with one habit costs
  // a counter per row.
  bool admit(WarningKind kind) {
    return ++warning_counts_[static_cast<size_t>(kind)] <= listed_per_kind_;
  }

  void add(Diagnostic diagnostic) {
    if (diagnostic.error) ++error_count_;
    list_.push_back(std::move(diagnostic));
  }

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
  std::vector<Diagnostic> list_;
  std::array<int, static_cast<size_t>(WarningKind::count)> warning_counts_{};
  int error_count_ = 0;
  int listed_per_kind_ = kListedPerKind;
};

}  // namespace sb
