// The stages of the general TIFF decoder (TIFFGraphic::DecodeTIFF), private to
// it: parse (header, first directory, the basic properties), validate (what
// is refused before a pixel is decoded), convert (the colour manager and the
// row conversion) and strips (reading and decompressing the strip data).
// DecodeTIFF runs them in that order; the order decides which error a file
// with several faults gives, so it is kept fixed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "codecs/legacy/legacy_graphic.h"
#include "core/bitmap.h"

namespace pixtrel::tiffdecode {

// --- parse (tiff_parse.cpp) ------------------------------------------------

enum Tag : std::uint16_t {
  kImageWidth = 256,
  kImageLength = 257,
  kBitsPerSample = 258,
  kCompression = 259,
  kPhotometric = 262,
  kFillOrder = 266,
  kStripOffsets = 273,
  kSamplesPerPixel = 277,
  kRowsPerStrip = 278,
  kStripByteCounts = 279,
  kXResolution = 282,
  kYResolution = 283,
  kPlanarConfiguration = 284,
  kT4Options = 292,
  kResolutionUnit = 296,
  kPredictor = 317,
  kColorMap = 320,
  kTileWidth = 322,
  kTileLength = 323,
  kExtraSamples = 338,
  kJPEGTables = 347,
  kYCbCrCoefficients = 529,
  kYCbCrSubSampling = 530,
  kYCbCrPositioning = 531,
};

enum FieldType {
  kByte = 1,
  kAscii = 2,
  kShort = 3,
  kLong = 4,
  kRational = 5,
  kSByte = 6,
  kUndefined = 7,
  kSShort = 8,
  kSLong = 9,
  kSRational = 10,
  kFloat = 11,
  kDouble = 12,
};

// Bytes per value of a field type; 0 for unknown types.
int FieldSize(int type);

// "Stream read error in TIF/TIFF file.": an offset outside the data.
[[noreturn]] void OutsideData();

struct Entry {
  std::uint16_t tag = 0;
  std::uint16_t type = 0;
  std::uint32_t count = 0;
  std::size_t at = 0;  // where the entry starts in the data
};

// The first image file directory, its entries sorted by tag. Numbers are read
// in the file's byte order; values that fit in four bytes lie in the entry.
class Directory {
 public:
  Directory(std::span<const std::uint8_t> data, bool bigEndian, std::uint32_t offset);

  bool BigEndian() const { return bigEndian_; }
  const Entry* Find(std::uint16_t tag) const;
  // A single-valued tag: count 1 and an integer type, else the default.
  std::uint32_t Single(std::uint16_t tag, std::uint32_t fallback) const;
  // The bytes of a tag's values as stored; empty for an unknown type.
  // Values outside the data fail.
  std::span<const std::uint8_t> Bytes(const Entry& e) const;
  // Integer values of a tag (empty when missing or not of an integer type).
  std::vector<std::uint32_t> Values(std::uint16_t tag) const;
  // Real values of a rational, floating-point or integer tag; tags whose
  // values lie outside the data count as missing.
  std::vector<double> Reals(std::uint16_t tag) const;

 private:
  std::uint16_t Word(const std::uint8_t* b) const;
  std::uint32_t Long(const std::uint8_t* b) const;
  std::uint16_t U16(std::size_t at) const;
  std::uint32_t U32(std::size_t at) const;

  std::span<const std::uint8_t> data_;
  bool bigEndian_;
  std::vector<Entry> entries_;
};

// The header (byte order, version 42) and the first directory.
Directory ParseDirectory(std::span<const std::uint8_t> tiff);

// Size, sample layout, photometric options, fill order and resolution into
// p. False for a tiled image, whose picture stays empty (only size and the
// tiled option are set then).
bool ReadImageProperties(const Directory& dir, ImageProperties& p);

// --- validate (tiff_validate.cpp) -------------------------------------------

// What the later stages decode, settled by the checks.
struct DecodePlan {
  std::uint32_t compression = 1;  // the TIFF value
  std::uint32_t photometric = 0;
  std::uint32_t predictor = 0;  // 2: horizontal differencing (of bytes only); 0 or 1: none
  int bps = 1;
  int spp = 1;
  bool jpeg = false;
  ColorScheme scheme = csUnknown;
  bool fromIndexed = false;  // a palette image with extra samples (csGA)
  // YCbCr only: chroma subsampling, and whether the stored data comes in
  // blocks of subH x subV luma samples followed by Cb and Cr.
  int subH = 1;
  int subV = 1;
  bool blocks = false;
};

// The compression (into p.compression), sample planes, Group 3 options,
// the samples CCITT and ThunderScan can code, the predictor and the colour
// spaces JPEG strips can deliver.
DecodePlan ValidateLayout(const Directory& dir, ImageProperties& p);

// Subsampled YCbCr blocks: only 8-bit three-sample data, never differenced.
void ValidateBlocks(const DecodePlan& plan);

// --- convert (tiff_convert.cpp) ---------------------------------------------

// Source and target of the colour manager, and the YCbCr parameters (which
// set plan.subH, subV and blocks).
void SetUpColorManager(const Directory& dir, DecodePlan& plan, ImageProperties& p, ColorManager& cm);

// Prepares the conversion; the target pixel format, refusing pfDevice.
PixelFormat PrepareTarget(ColorManager& cm);

// The palette of an indexed or grey target: the ColorMap of a palette image,
// else a grey ramp.
Palette PicturePalette(const Directory& dir, const DecodePlan& plan, ColorManager& cm);

// Stored rows into picture rows.
class RowConverter {
 public:
  RowConverter(const DecodePlan& plan, ColorManager& cm, std::size_t width, std::size_t rowSize, PixelFormat format);

  // One stored row into target. own is the same row in a buffer the
  // converter may change (decompressed strips), or nullptr for raw file
  // data, which is never differenced.
  void ConvertRow(const std::uint8_t* source, std::uint8_t* own, std::uint8_t* target);
  // Row dy (0 to subV - 1) of a stored row of YCbCr blocks, expanded to full
  // resolution, into target.
  void ConvertBlockRow(const std::uint8_t* blockRow, int dy, std::uint8_t* target);

 private:
  const DecodePlan& plan_;
  ColorManager& cm_;
  std::size_t width_;
  std::size_t rowSize_;
  bool copyRows_;
  bool rgbRows_;
  std::vector<std::uint8_t> expanded_;
};

// --- strips (tiff_strips.cpp) -----------------------------------------------

struct StripTable {
  std::vector<std::uint32_t> offsets;
  std::vector<std::uint32_t> counts;
  std::vector<std::uint32_t> rowsPerStrip;
  std::span<const std::uint8_t> jpegTables;
  std::size_t rowSize = 0;  // bytes per stored row
};

// The strip offsets (a file without them is invalid), byte counts, rows per
// strip and JPEG tables; sets p.rowBytes.
StripTable ReadStripTable(const Directory& dir, const DecodePlan& plan, ImageProperties& p);

// Decompresses every strip and converts its rows into picture, top down;
// rows the data does not reach are black.
void DecodeStrips(std::span<const std::uint8_t> tiff, const Directory& dir, const DecodePlan& plan,
                  const StripTable& table, const ImageProperties& p, RowConverter& converter, Bitmap& picture);

}  // namespace pixtrel::tiffdecode
