#include "track/diagnostics.h"

#include <algorithm>
#include <iterator>

namespace sb {

void Diagnostics::add_error(Diagnostic error) {
  ++error_count_;
  const size_t count = ++errors_of_number_[error.error_number];
  const bool beyond_limit = count > kept_per_number_;
  if (last_beyond_limit_) {
    StandIn& stand_in = *last_beyond_limit_;
    const bool same_number = beyond_limit && list_[stand_in.at].error_number == error.error_number;
    // A new last error: the one standing in is no longer listed.
    list_.erase(list_.begin() + static_cast<std::ptrdiff_t>(stand_in.at));
    if (same_number) {
      list_.push_back(std::move(error));
      stand_in.at = list_.size() - 1;
      return;
    }
    // Its number lists its first errors again.
    list_.insert(list_.begin() + static_cast<std::ptrdiff_t>(stand_in.replaced_at),
                 std::move(stand_in.replaced));
    last_beyond_limit_.reset();
  }
  if (beyond_limit) {
    // The last error takes the place of the last one kept of its number.
    const auto kept = std::find_if(list_.rbegin(), list_.rend(), [&](const Diagnostic& d) {
      return d.error && d.error_number == error.error_number;
    });
    if (kept == list_.rend()) return;  // a limit of none: only counted
    StandIn stand_in;
    stand_in.replaced_at = static_cast<size_t>(std::distance(kept, list_.rend())) - 1;
    stand_in.replaced = std::move(*kept);
    list_.erase(std::next(kept).base());
    list_.push_back(std::move(error));
    stand_in.at = list_.size() - 1;
    last_beyond_limit_ = std::move(stand_in);
    return;
  }
  list_.push_back(std::move(error));
}

}  // namespace sb
