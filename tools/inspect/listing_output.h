#pragma once

#include <string>

#include "tools/inspect/listing.h"

namespace sb::inspect {

// The listing for a reader: a title line, the summary, then each section's
// entries one per line ("heading  name value unit, ..."), then the notes.
std::string listing_text(const Listing& listing);

// The listing as one JSON object: "file", "type", "summary" (an object of
// facts), "sections" (an object of arrays of fact objects) and "notes".
// Every fact is there, including the raw record fields the text leaves out.
std::string listing_json(const Listing& listing);

// A JSON object for a file that could not be listed.
std::string error_json(const std::string& file, const std::string& message, size_t offset,
                       bool has_offset);

}  // namespace sb::inspect
