#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "output/compiled_layout.h"
#include "track/model.h"

namespace sb::inspect {

// A compiled file decoded into named values, ready to be shown as a text
// listing or as JSON (listing_output.h). Building it never fails: the
// decoders of output/compiled_layout.h have already checked the shape.

using Value = std::variant<int64_t, double, std::string, std::vector<int64_t>>;

// One named value. The name is words separated by blanks ("line speed");
// the unit follows the value in the text and becomes the suffix of the JSON
// key ("km/h" gives "line_speed_kmh").
struct Fact {
  Fact(std::string name_in, Value value_in, std::string unit_in = "", bool in_text_in = true)
      : name(std::move(name_in)),
        value(std::move(value_in)),
        unit(std::move(unit_in)),
        in_text(in_text_in) {}

  std::string name;
  Value value;
  std::string unit;
  // What the heading already says is JSON-only.
  bool in_text = true;
};

// One line of the listing: a heading for the text, and its facts. `raw`
// holds the record's fields as stored, for the JSON only.
struct Entry {
  Entry(std::string heading_in, std::vector<Fact> facts_in = {})
      : heading(std::move(heading_in)), facts(std::move(facts_in)) {}

  std::string heading;
  std::vector<Fact> facts;
  std::vector<Fact> raw;
};

struct Section {
  std::string title;
  std::vector<Entry> entries;
};

enum class FileType { cell, station, plan };

struct Listing {
  std::string file;
  FileType type = FileType::cell;
  std::vector<Fact> summary;
  std::vector<Section> sections;
  // Things an author should look at: codes that do not match, marks that
  // belong to nothing, values outside their kind's meaning.
  std::vector<std::string> notes;
};

// The kind of a compiled file from its name: "<route>_linea.dat" is the
// plan, "*.sim" the station table, any other "*.dat" the cell array.
std::optional<FileType> file_type_of(std::string_view path);
std::string file_type_name(FileType type);

// `stations`, when the station file beside the cell file could be read,
// names the stop markers and boards and gives the names for the og code.
Listing list_cell_file(std::string file, const std::vector<Cell>& cells,
                       const std::vector<Station>* stations);
Listing list_station_file(std::string file, const std::vector<Station>& stations,
                          size_t file_size);
Listing list_plan_file(std::string file, const PlanFile& plan, size_t file_size);

}  // namespace sb::inspect
