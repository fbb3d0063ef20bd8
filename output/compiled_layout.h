#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "track/model.h"

namespace sb {

// The byte layouts of the three compiled files, in one place for the writer
// and for every tool that reads the files back. All numbers are little-endian
// and fields are packed with no padding.
//
// Cell record (15 bytes): kind, value1..value4 (int16), signal_time,
// approach_code, montagna_type, line_speed, gradient, adhesion (bytes).
//
// Station record (34 + n bytes): kind, from_m, to_m, position_m (int32),
// flag1, the name as a 16-bit count n and n bytes, int1..int5 (int16),
// byte1..byte4, time_s (int32).
//
// Plan element: a 16-bit tag, then nothing (tag 0), an int16 (tag 2) or a
// float64 (tag 5). The plan file is the x block then the y block, each one
// element per metre of the track.

constexpr size_t kCellRecordSize = 15;
// A station record without its name's characters.
constexpr size_t kStationRecordFixedSize = 34;

// ---- Encoding -------------------------------------------------------------
// Each encoder writes one record at `out`, which must have room for it, and
// returns the end of what it wrote.

char* encode_cell(const Cell& cell, char* out);

// The name's characters that a record keeps: a longer name is cut at
// kMaxStationNameLength, so the count always matches the bytes that follow.
std::string_view stored_station_name(const Station& station);
size_t station_record_size(const Station& station);
char* encode_station(const Station& station, char* out);

// Whole file images.
std::string encode_cell_file(std::span<const Cell> cells);
std::string encode_station_file(std::span<const Station> stations);

// One element of the plan. For tag 2 `value` holds the int16 exactly.
struct PlanElement {
  uint16_t tag = TrackPlan::kUnsetTag;
  double value = 0;
};
// Bytes of an element with this tag (0 for a tag that does not exist).
size_t plan_element_size(uint16_t tag);
// An element whose tag is not 0, 2 or 5 is written as unset.
char* encode_plan_element(const PlanElement& element, char* out);

// ---- Decoding -------------------------------------------------------------
// Decoders never read outside the bytes they are given and never throw on
// bad input: a truncated or corrupt file gives a DecodeError naming the
// offset (from the start of the given bytes) where reading failed.

struct DecodeError {
  size_t offset = 0;
  std::string message;
};

// Either a decoded value or the error that stopped the decoding.
template <class T>
class Decoded {
 public:
  Decoded(T value) : result_(std::move(value)) {}
  Decoded(DecodeError error) : result_(std::move(error)) {}

  bool ok() const { return result_.index() == 0; }
  explicit operator bool() const { return ok(); }
  // Only when ok().
  const T& value() const { return std::get<0>(result_); }
  T& value() { return std::get<0>(result_); }
  // Only when !ok().
  const DecodeError& error() const { return std::get<1>(result_); }

 private:
  std::variant<T, DecodeError> result_;
};

// Record decoders: read one record starting at `offset` and, on success only,
// move `offset` past it, so a caller can walk a file record by record and
// knows where each record began.
Decoded<Cell> decode_cell(std::string_view bytes, size_t& offset);
Decoded<Station> decode_station(std::string_view bytes, size_t& offset);
Decoded<PlanElement> decode_plan_element(std::string_view bytes, size_t& offset);

// Whole-file decoders; they also refuse bytes left over after the last record.
// The cell file: cells 0, 1, ... as many as the file holds.
Decoded<std::vector<Cell>> decode_cell_file(std::string_view bytes);
// The station file: exactly kStationCount records.
Decoded<std::vector<Station>> decode_station_file(std::string_view bytes);

struct PlanFile {
  std::vector<PlanElement> x;
  std::vector<PlanElement> y;
  // Where the y block starts in the file.
  size_t y_offset = 0;
};
// The plan file: as many elements in the y block as in the x block.
Decoded<PlanFile> decode_plan_file(std::string_view bytes);

}  // namespace sb
