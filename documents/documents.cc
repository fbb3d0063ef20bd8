#include "documents/documents.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_names.h"
#include "base/line_list.h"
#include "scenario/notes.h"
#include "scenario/slowdown_order.h"
#include "scenario/train_card.h"
#include "track/line_list_file.h"

namespace sb {
namespace {

// Closes the document's lines with the end sentinel and replaces its file.
void write_document(Builder& b, const std::string& file_name,
                    std::span<const std::string_view> lines) {
  std::vector<std::string_view> list(lines.begin(), lines.end());
  list.push_back(kEndSentinel);
  write_line_list(b, file_name, list);
}

}  // namespace

void write_notes(Builder& b) { write_document(b, notes_name(b.route_name, b.train_number), built_in_notes()); }

void write_slowdown_order(Builder& b) {
  write_document(b, slowdown_order_name(b.route_name, b.train_number), built_in_slowdown_order());
}

void write_train_card(Builder& b) { write_document(b, train_card_name(b.route_name, b.train_number), built_in_train_card()); }

}  // namespace sb
