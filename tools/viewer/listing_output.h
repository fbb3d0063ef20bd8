#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "tools/viewer/listing.h"

namespace sb::inspect {

// The listing for a reader: a title line, the summary, then each section's
// entries one per line ("heading  name value unit, ..."), then the notes.
std::string listing_text(const Listing& listing);

// JSON objects keep their keys in the order they were added.
using Json = nlohmann::ordered_json;

// The listing as one JSON object: "file", "type", "summary" (an object of
// facts), "sections" (an object of arrays of fact objects) and "notes".
// Every fact is there, including the raw record fields the text leaves out.
Json listing_json(const Listing& listing);

// A JSON object for a file that could not be listed; the offset is where
// reading stopped, when there is one.
Json error_json(const std::string& file, const std::string& message,
                std::optional<size_t> offset);

// The text of a JSON document, indented by two, ending in a newline.
std::string json_text(const Json& json);

}  // namespace sb::inspect
