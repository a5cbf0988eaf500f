// Builds small TIFF files in either byte order for the reader tests.
#pragma once

#include <cstdint>
#include <vector>

namespace pixtrel::test {

struct TiffTestEntry {
  std::uint16_t tag;
  std::uint16_t type;  // 1 BYTE, 2 ASCII, 3 SHORT, 4 LONG
  std::vector<std::uint32_t> values;
};

class TiffBuilder {
 public:
  explicit TiffBuilder(bool bigEndian = false) : bigEndian_(bigEndian) {
    bytes.push_back(bigEndian ? 'M' : 'I');
    bytes.push_back(bigEndian ? 'M' : 'I');
    Put16(42);
    Put32(0);
  }

  // Appends raw data at an even offset and returns that offset.
  std::uint32_t Append(const std::vector<std::uint8_t>& data) {
    if (bytes.size() % 2) bytes.push_back(0);
    const auto at = static_cast<std::uint32_t>(bytes.size());
    bytes.insert(bytes.end(), data.begin(), data.end());
    return at;
  }

  // Writes a directory (its out-of-line data first) and chains it after the
  // previous one, or to the header for the first. Returns its offset.
  std::uint32_t AddDirectory(const std::vector<TiffTestEntry>& entries) {
    std::vector<std::uint32_t> fields;
    for (const auto& e : entries) {
      const std::size_t size = e.type == 3 ? 2 : e.type == 4 ? 4 : 1;
      if (e.values.size() * size <= 4) {
        std::vector<std::uint8_t> field(4, 0);
        for (std::size_t i = 0; i < e.values.size(); ++i) Encode(field, i * size, size, e.values[i]);
        fields.push_back(Raw32(field));
      } else {
        std::vector<std::uint8_t> data(e.values.size() * size);
        for (std::size_t i = 0; i < e.values.size(); ++i) Encode(data, i * size, size, e.values[i]);
        fields.push_back(Native32(Append(data)));
      }
    }
    if (bytes.size() % 2) bytes.push_back(0);
    const auto at = static_cast<std::uint32_t>(bytes.size());
    Patch32(nextPointer_, at);
    Put16(static_cast<std::uint16_t>(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
      Put16(entries[i].tag);
      Put16(entries[i].type);
      Put32(static_cast<std::uint32_t>(entries[i].values.size()));
      PutRaw32(fields[i]);
    }
    nextPointer_ = bytes.size();
    Put32(0);
    return at;
  }

  // Points the last directory's next offset somewhere.
  void SetLastNext(std::uint32_t offset) { Patch32(nextPointer_, offset); }

  std::vector<std::uint8_t> bytes;

 private:
  void Encode(std::vector<std::uint8_t>& out, std::size_t at, std::size_t size, std::uint32_t v) const {
    for (std::size_t i = 0; i < size; ++i)
      out[at + i] = static_cast<std::uint8_t>(v >> (8 * (bigEndian_ ? size - 1 - i : i)));
  }
  void Put16(std::uint16_t v) {
    std::vector<std::uint8_t> b(2);
    Encode(b, 0, 2, v);
    bytes.insert(bytes.end(), b.begin(), b.end());
  }
  void Put32(std::uint32_t v) {
    std::vector<std::uint8_t> b(4);
    Encode(b, 0, 4, v);
    bytes.insert(bytes.end(), b.begin(), b.end());
  }
  void Patch32(std::size_t at, std::uint32_t v) {
    std::vector<std::uint8_t> b(4);
    Encode(b, 0, 4, v);
    for (int i = 0; i < 4; ++i) bytes[at + i] = b[i];
  }
  // A 4-byte field kept as its bytes in file order.
  static std::uint32_t Raw32(const std::vector<std::uint8_t>& f) {
    return f[0] | (f[1] << 8) | (f[2] << 16) | (std::uint32_t{f[3]} << 24);
  }
  std::uint32_t Native32(std::uint32_t v) const {
    std::vector<std::uint8_t> b(4);
    Encode(b, 0, 4, v);
    return Raw32(b);
  }
  void PutRaw32(std::uint32_t raw) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(raw >> (8 * i)));
  }

  bool bigEndian_;
  std::size_t nextPointer_ = 4;
};

// The usual entries of a single-strip uncompressed image whose rows are at
// dataOffset; extra entries are appended as given (tags need not be sorted
// for this reader).
inline std::vector<TiffTestEntry> StripImageEntries(std::uint32_t width, std::uint32_t height, std::uint32_t bits,
                                                    std::uint32_t photometric, std::uint32_t dataOffset,
                                                    std::uint32_t dataBytes) {
  return {
      {256, 3, {width}},       {257, 3, {height}},     {258, 3, {bits}},   {259, 3, {1}},
      {262, 3, {photometric}}, {273, 4, {dataOffset}}, {278, 4, {height}}, {279, 4, {dataBytes}},
  };
}

}  // namespace pixtrel::test
