#include "output/compiled_layout.h"

#include <bit>
#include <cstring>
#include <optional>

namespace sb {

static_assert(std::endian::native == std::endian::little,
              "records are copied field by field in the machine's byte order");

namespace {

template <class T>
void put(char*& out, T value) {
  std::memcpy(out, &value, sizeof value);
  out += sizeof value;
}

// Reads the fields of one record in order. The first field that does not fit
// in the bytes records an error at its offset; later reads then do nothing,
// so a decoder reads every field and checks once at the end.
class FieldReader {
 public:
  FieldReader(std::string_view bytes, size_t offset) : bytes_(bytes), offset_(offset) {}

  template <class T>
  void read(T& out, const char* field) {
    if (!take(sizeof(T), field)) return;
    std::memcpy(&out, bytes_.data() + offset_, sizeof(T));
    offset_ += sizeof(T);
  }

  // A 16-bit count and that many characters.
  void read_text(std::string& out, const char* field) {
    uint16_t count = 0;
    read(count, field);
    if (!take(count, field)) return;
    out.assign(bytes_.data() + offset_, count);
    offset_ += count;
  }

  void fail(std::string message) {
    if (!error_) error_ = DecodeError{offset_, std::move(message)};
  }

  size_t offset() const { return offset_; }
  const std::optional<DecodeError>& error() const { return error_; }

 private:
  bool take(size_t size, const char* field) {
    if (error_) return false;
    const size_t left = offset_ <= bytes_.size() ? bytes_.size() - offset_ : 0;
    if (size <= left) return true;
    fail(std::string(field) + " needs " + std::to_string(size) + " bytes, " +
         std::to_string(left) + " left");
    return false;
  }

  std::string_view bytes_;
  size_t offset_;
  std::optional<DecodeError> error_;
};

// Finishes a record decoder: the value on success (moving the caller's
// offset past the record), otherwise the reader's error.
template <class T>
Decoded<T> finish(const FieldReader& reader, T value, size_t& offset) {
  if (reader.error()) return *reader.error();
  offset = reader.offset();
  return value;
}

DecodeError in_record(const char* what, size_t index, const DecodeError& error) {
  return {error.offset, std::string(what) + " " + std::to_string(index) + ": " + error.message};
}

}  // namespace

// ---- Encoding -------------------------------------------------------------

char* encode_cell(const Cell& cell, char* out) {
  put(out, cell.kind);
  put(out, cell.value1);
  put(out, cell.value2);
  put(out, cell.value3);
  put(out, cell.value4);
  put(out, cell.signal_time);
  put(out, cell.approach_code);
  put(out, cell.montagna_type);
  put(out, cell.line_speed);
  put(out, cell.gradient);
  put(out, cell.adhesion);
  return out;
}

std::string_view stored_station_name(const Station& station) {
  return std::string_view(station.name).substr(0, kMaxStationNameLength);
}

size_t station_record_size(const Station& station) {
  return kStationRecordFixedSize + stored_station_name(station).size();
}

char* encode_station(const Station& station, char* out) {
  const std::string_view name = stored_station_name(station);
  put(out, station.kind);
  put(out, station.from_m);
  put(out, station.to_m);
  put(out, station.position_m);
  put(out, station.flag1);
  put(out, static_cast<uint16_t>(name.size()));
  std::memcpy(out, name.data(), name.size());
  out += name.size();
  put(out, station.int1);
  put(out, station.int2);
  put(out, station.int3);
  put(out, station.int4);
  put(out, station.int5);
  put(out, station.byte1);
  put(out, station.byte2);
  put(out, station.byte3);
  put(out, station.byte4);
  put(out, station.time_s);
  return out;
}

std::string encode_cell_file(std::span<const Cell> cells) {
  std::string image(cells.size() * kCellRecordSize, '\0');
  char* out = image.data();
  for (const Cell& cell : cells) out = encode_cell(cell, out);
  return image;
}

std::string encode_station_file(std::span<const Station> stations) {
  size_t size = 0;
  for (const Station& station : stations) size += station_record_size(station);
  std::string image(size, '\0');
  char* out = image.data();
  for (const Station& station : stations) out = encode_station(station, out);
  return image;
}

size_t plan_element_size(uint16_t tag) {
  switch (tag) {
    case TrackPlan::kUnsetTag: return 2;
    case TrackPlan::kIntegerTag: return 4;
    case TrackPlan::kRealTag: return 10;
    default: return 0;
  }
}

char* encode_plan_element(const PlanElement& element, char* out) {
  switch (element.tag) {
    case TrackPlan::kIntegerTag:
      put(out, TrackPlan::kIntegerTag);
      put(out, static_cast<int16_t>(element.value));
      return out;
    case TrackPlan::kRealTag:
      put(out, TrackPlan::kRealTag);
      put(out, element.value);
      return out;
    default:
      put(out, TrackPlan::kUnsetTag);
      return out;
  }
}

// ---- Decoding -------------------------------------------------------------

Decoded<Cell> decode_cell(std::string_view bytes, size_t& offset) {
  FieldReader reader(bytes, offset);
  Cell cell;
  reader.read(cell.kind, "kind");
  reader.read(cell.value1, "value1");
  reader.read(cell.value2, "value2");
  reader.read(cell.value3, "value3");
  reader.read(cell.value4, "value4");
  reader.read(cell.signal_time, "signal_time");
  reader.read(cell.approach_code, "approach_code");
  reader.read(cell.montagna_type, "montagna_type");
  reader.read(cell.line_speed, "line_speed");
  reader.read(cell.gradient, "gradient");
  reader.read(cell.adhesion, "adhesion");
  return finish(reader, std::move(cell), offset);
}

Decoded<Station> decode_station(std::string_view bytes, size_t& offset) {
  FieldReader reader(bytes, offset);
  Station station;
  reader.read(station.kind, "kind");
  reader.read(station.from_m, "from_m");
  reader.read(station.to_m, "to_m");
  reader.read(station.position_m, "position_m");
  reader.read(station.flag1, "flag1");
  reader.read_text(station.name, "name");
  reader.read(station.int1, "int1");
  reader.read(station.int2, "int2");
  reader.read(station.int3, "int3");
  reader.read(station.int4, "int4");
  reader.read(station.int5, "int5");
  reader.read(station.byte1, "byte1");
  reader.read(station.byte2, "byte2");
  reader.read(station.byte3, "byte3");
  reader.read(station.byte4, "byte4");
  reader.read(station.time_s, "time_s");
  return finish(reader, std::move(station), offset);
}

Decoded<PlanElement> decode_plan_element(std::string_view bytes, size_t& offset) {
  FieldReader reader(bytes, offset);
  PlanElement element;
  reader.read(element.tag, "tag");
  if (!reader.error()) {
    switch (element.tag) {
      case TrackPlan::kUnsetTag:
        break;
      case TrackPlan::kIntegerTag: {
        int16_t integer = 0;
        reader.read(integer, "int16 value");
        element.value = integer;
        break;
      }
      case TrackPlan::kRealTag:
        reader.read(element.value, "float64 value");
        break;
      default:
        // Point the error at the tag itself, not past it.
        return DecodeError{offset, "unknown tag " + std::to_string(element.tag)};
    }
  }
  return finish(reader, element, offset);
}

Decoded<std::vector<Cell>> decode_cell_file(std::string_view bytes) {
  std::vector<Cell> cells;
  cells.reserve(bytes.size() / kCellRecordSize + 1);
  size_t offset = 0;
  while (offset < bytes.size()) {
    Decoded<Cell> cell = decode_cell(bytes, offset);
    if (!cell) return in_record("cell", cells.size(), cell.error());
    cells.push_back(cell.value());
  }
  return cells;
}

Decoded<std::vector<Station>> decode_station_file(std::string_view bytes) {
  std::vector<Station> stations;
  stations.reserve(kStationCount);
  size_t offset = 0;
  for (size_t i = 0; i < kStationCount; ++i) {
    Decoded<Station> station = decode_station(bytes, offset);
    if (!station) return in_record("station", i, station.error());
    stations.push_back(std::move(station.value()));
  }
  if (offset != bytes.size()) {
    return DecodeError{offset, std::to_string(bytes.size() - offset) + " bytes after the last of " +
                                   std::to_string(kStationCount) + " station records"};
  }
  return stations;
}

Decoded<PlanFile> decode_plan_file(std::string_view bytes) {
  // The blocks carry no count: the file is walked once to count its elements
  // (checking every one), and the first half of them is the x block.
  size_t count = 0;
  for (size_t offset = 0; offset < bytes.size(); ++count) {
    Decoded<PlanElement> element = decode_plan_element(bytes, offset);
    if (!element) return in_record("plan element", count, element.error());
  }
  if (count % 2 != 0) {
    return DecodeError{bytes.size(), "odd number of elements (" + std::to_string(count) +
                                         "): the x and y blocks differ in length"};
  }
  PlanFile plan;
  plan.x.reserve(count / 2);
  plan.y.reserve(count / 2);
  size_t offset = 0;
  for (size_t i = 0; i < count; ++i) {
    if (i == count / 2) plan.y_offset = offset;
    // Cannot fail: the first walk read the same elements.
    Decoded<PlanElement> element = decode_plan_element(bytes, offset);
    (i < count / 2 ? plan.x : plan.y).push_back(element.value());
  }
  return plan;
}

}  // namespace sb
