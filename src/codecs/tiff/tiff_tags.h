// The structure of a TIFF file as the simple ".TIF" reader sees it: the
// header, the chain of image file directories, their entries and strip
// tables. Every number is read in the file's byte order and every read is
// checked against the file's bytes, so a directory can point anywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "codecs/tiff/tiff_errors.h"

class QFile;

namespace pixtrel {

namespace tifftag {
constexpr std::uint16_t kNewSubfileType = 254;
constexpr std::uint16_t kImageWidth = 256;
constexpr std::uint16_t kImageLength = 257;
constexpr std::uint16_t kBitsPerSample = 258;
constexpr std::uint16_t kCompression = 259;
constexpr std::uint16_t kPhotometricInterpretation = 262;
constexpr std::uint16_t kStripOffsets = 273;
constexpr std::uint16_t kSamplesPerPixel = 277;
constexpr std::uint16_t kRowsPerStrip = 278;
constexpr std::uint16_t kStripByteCounts = 279;
constexpr std::uint16_t kXResolution = 282;
constexpr std::uint16_t kYResolution = 283;
constexpr std::uint16_t kPlanarConfiguration = 284;
constexpr std::uint16_t kResolutionUnit = 296;
constexpr std::uint16_t kSoftware = 305;
constexpr std::uint16_t kColorMap = 320;
}  // namespace tifftag

namespace tifftype {
constexpr std::uint16_t kByte = 1;
constexpr std::uint16_t kAscii = 2;
constexpr std::uint16_t kShort = 3;
constexpr std::uint16_t kLong = 4;
constexpr std::uint16_t kRational = 5;
}  // namespace tifftype

// Limits of the reader.
constexpr std::int64_t kMaxTiffDimension = 65535;
constexpr std::size_t kMaxTiffDirectories = 256;

struct TiffEntry {
  std::uint16_t tag = 0;
  std::uint16_t type = 0;
  std::uint32_t count = 0;
  std::size_t fieldPosition = 0;  // file position of the 4-byte value field
};

struct TiffStrip {
  std::uint32_t offset = 0;
  std::uint32_t byteCount = 0;
};

class FileTiff;

// One image file directory: its entries, its strip table and the offset of
// the next directory.
class GraphicTiff {
 public:
  GraphicTiff(const FileTiff& file, std::vector<TiffEntry> entries, std::uint32_t nextOffset);

  const std::vector<TiffEntry>& Entries() const { return entries_; }
  const TiffEntry* Find(std::uint16_t tag) const;
  // The first value of an entry of an integer type (BYTE, SHORT, LONG and
  // their signed forms); nothing when the entry is missing, of another type,
  // empty, or its data lies outside the file.
  std::optional<std::uint32_t> Value(std::uint16_t tag) const;
  // The first n values of an entry (n at most its count), wherever the data
  // lies; nothing under the same conditions as Value().
  std::optional<std::vector<std::uint32_t>> Values(const TiffEntry& entry, std::size_t n) const;

  // Pairs of strip offset and byte count; empty when the two entries are
  // missing, differ in count, are not of an integer type or lie outside
  // the file.
  const std::vector<TiffStrip>& Strips() const { return strips_; }
  std::uint32_t NextOffset() const { return nextOffset_; }

 private:
  void LoadStripTable();

  const FileTiff* file_;
  std::vector<TiffEntry> entries_;
  std::vector<TiffStrip> strips_;
  std::uint32_t nextOffset_;
};

// A TIFF file: byte order, validity, size and directories in file order.
// Not copyable: the directories refer back to it.
class FileTiff {
 public:
  FileTiff();
  ~FileTiff();
  FileTiff(const FileTiff&) = delete;
  FileTiff& operator=(const FileTiff&) = delete;

  // Maps (or, where mapping fails, reads) the file and parses its header and
  // directory chain. A file that cannot be opened reads as invalid. Throws
  // ETiffTooManyDirectories when the chain holds more than
  // kMaxTiffDirectories distinct directories.
  void SetFileName(const std::string& path);
  // The same for bytes already in memory.
  void SetBytes(std::vector<std::uint8_t> bytes);

  bool Valid() const { return valid_; }
  bool BigEndian() const { return bigEndian_; }
  std::size_t FileSize() const { return bytes_.size(); }
  std::span<const std::uint8_t> Bytes() const { return bytes_; }
  const std::vector<GraphicTiff>& Directories() const { return directories_; }

  // Numbers in the file's byte order; nothing past the end of the file.
  std::optional<std::uint16_t> U16(std::size_t position) const;
  std::optional<std::uint32_t> U32(std::size_t position) const;

 private:
  void Parse();

  std::unique_ptr<QFile> mapped_;
  std::vector<std::uint8_t> owned_;
  std::span<const std::uint8_t> bytes_;
  bool valid_ = false;
  bool bigEndian_ = false;
  std::vector<GraphicTiff> directories_;
};

// Bytes per value of a field type; 0 for unknown types.
std::size_t TiffTypeSize(std::uint16_t type);

}  // namespace pixtrel
