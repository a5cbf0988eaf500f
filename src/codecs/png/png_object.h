// The system's PNG image: the chunk list of a PNG file, decoded into one of
// the raster layouts a Bitmap holds, and the writer that builds a PNG from a
// Bitmap (Sub filter on every row, zlib level 7, 65535-byte IDAT chunks).
//
// Decoded rasters: greyscale 1, 4 and 8 bits stay indexed at their depth over
// a grey ramp; 2-bit greyscale becomes 4-bit indices 5*s; palette images keep
// their depth (2 bits become 4); 16-bit samples keep their high byte; grey +
// alpha becomes 8-bit indexed, RGB and RGB + alpha 24-bit blue-green-red.
// Alpha values are kept apart in an alpha plane and never applied.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "codecs/png/png_errors.h"
#include "core/bitmap.h"
#include "core/graphic.h"

namespace pixtrel {

class PNGObject;

// How the image's transparency reaches a bitmap.
enum PNGTransparencyMode { ptmNone, ptmSingleColor, ptmPartial };

// A chunk as read or as it will be written: its type and raw data. Chunks of
// unknown ancillary types stay this plain class.
class Chunk {
 public:
  explicit Chunk(std::string type) : type_(std::move(type)) {}
  virtual ~Chunk() = default;

  const std::string& Type() const { return type_; }
  // The data as written; by default the raw data kept from reading.
  virtual std::vector<std::uint8_t> SaveData(const PNGObject& owner) const;
  const std::vector<std::uint8_t>& Data() const { return data_; }
  void SetData(std::vector<std::uint8_t> data) { data_ = std::move(data); }

 private:
  std::string type_;
  std::vector<std::uint8_t> data_;
};

class ChunkIHDR : public Chunk {
 public:
  ChunkIHDR() : Chunk("IHDR") {}
  std::vector<std::uint8_t> SaveData(const PNGObject& owner) const override;

  int width = 0;
  int height = 0;
  int bitDepth = 0;
  int colorType = 0;
  int compressionMethod = 0;
  int filterMethod = 0;
  int interlaceMethod = 0;

  // The decoded raster (pf1bit, pf4bit, pf8bit or pf24bit) with its palette,
  // and for colour types 4 and 6 the alpha plane, width x height bytes.
  Bitmap raster;
  std::vector<std::uint8_t> alpha;
  // Set by AssignView: the caller's RGB bitmap, written in place of raster
  // (which then stays empty), in whatever direct-colour format it holds.
  const Bitmap* view = nullptr;
  const Bitmap& Pixels() const { return view ? *view : raster; }

  // Bytes per complete pixel of the stored samples (at least 1) and bytes per
  // stored row of width pixels.
  int SampleBytesPerPixel() const;
  std::size_t StoredRowBytes(int pixels) const;
  bool HasAlpha() const { return colorType == 4 || colorType == 6; }
};

class ChunkPLTE : public Chunk {
 public:
  ChunkPLTE() : Chunk("PLTE") {}
  std::vector<std::uint8_t> SaveData(const PNGObject& owner) const override;
  int count = 0;  // the colours live in the header's raster palette
};

class ChunktRNS : public Chunk {
 public:
  ChunktRNS() : Chunk("tRNS") {}
  std::vector<std::uint8_t> SaveData(const PNGObject& owner) const override;
  std::vector<std::uint8_t> bytes;  // as stored, at most 256
  bool singleColor = false;
};

class ChunkgAMA : public Chunk {
 public:
  ChunkgAMA() : Chunk("gAMA") {}
  std::vector<std::uint8_t> SaveData(const PNGObject& owner) const override;
  std::uint32_t gamma = 0;  // gamma x 100000
};

class ChunkIDAT : public Chunk {
 public:
  ChunkIDAT() : Chunk("IDAT") {}
};

class ChunktIME : public Chunk {
 public:
  ChunktIME() : Chunk("tIME") {}
};

class ChunktEXt : public Chunk {
 public:
  ChunktEXt() : Chunk("tEXt") {}
  std::vector<std::uint8_t> SaveData(const PNGObject& owner) const override;
  std::string keyword;
  std::string text;
};

class ChunkIEND : public Chunk {
 public:
  ChunkIEND() : Chunk("IEND") {}
};

using PNGList = std::vector<std::unique_ptr<Chunk>>;

class PNGObject : public Graphic {
 public:
  PNGObject();
  ~PNGObject() override;
  PNGObject(const PNGObject&) = delete;
  PNGObject& operator=(const PNGObject&) = delete;

  int Width() const override;
  int Height() const override;
  // The size follows the image: setting it raises EPngError.
  [[noreturn]] void SetWidth(int width);
  [[noreturn]] void SetHeight(int height);

  // Replaces the whole content by the PNG at the stream's position. On
  // failure the chunks read so far stay in the list.
  void LoadFromStream(Stream& stream) override;
  void LoadFromBytes(std::span<const std::uint8_t> bytes);

  // The signature and every chunk in list order.
  void SaveToStream(Stream& stream) const override;
  std::vector<std::uint8_t> SaveToBytes() const;

  // Rebuilds the image from a bitmap: 1-, 4- and 8-bit bitmaps become palette
  // PNGs, every other format 8-bit RGB; a transparent bitmap gets tRNS.
  void Assign(const Bitmap& source);
  // The same chunks as Assign, but a direct-colour source is not copied: the
  // image refers to it, so it must outlive this object and stay unchanged
  // while the image is saved. Writes the bytes Assign would have written.
  void AssignView(const Bitmap& source);

  // The raster at its own bit count; single-colour transparency sets the
  // bitmap's transparent colour and flag. The alpha plane is not applied.
  void AssignTo(Bitmap& target) const override;
  // The same, moving the raster out and leaving this image empty.
  Bitmap TakeBitmap();

  // Inserts a tEXt chunk directly before IEND.
  void AddTextChunk(const std::string& keyword, const std::string& text);
  // The first tEXt chunk of the list, or nullptr.
  const ChunktEXt* FirstTextChunk() const;

  // RGB becomes RGB + alpha, greyscale grey + alpha, with an alpha plane all
  // 255; a palette image gets a tRNS of 2^depth entries all 255.
  void AddAlphaChannel();
  // The alpha bytes of row y (0 = top), width bytes; nullptr without alpha.
  std::uint8_t* AlphaRow(int y);
  const std::uint8_t* AlphaRow(int y) const;

  PNGTransparencyMode TransparencyMode() const;
  Color TransparentColor() const;

  const PNGList& Chunks() const { return chunks_; }
  // The header, or nullptr for an empty image.
  ChunkIHDR* Header();
  const ChunkIHDR* Header() const;
  const ChunktRNS* Transparency() const;

  // Appends a chunk before IEND, refusing a second critical or single chunk.
  void AddChunk(std::unique_ptr<Chunk> chunk);

  const std::array<std::uint8_t, 256>& GammaTable() const { return gamma_; }
  const std::array<std::uint8_t, 256>& InverseGammaTable() const { return inverseGamma_; }

  // For the fuzz target: skip CRC checks so mutations reach the image data.
  void SetCheckCRC(bool check) { checkCRC_ = check; }

  // The threads that deflate the image data when it is saved (0: one per
  // core). The file's bytes do not depend on it.
  void SetDeflateThreads(int threads) { deflateThreads_ = threads; }

  // Writer settings, fixed for the system.
  static constexpr int kCompressionLevel = 7;
  static constexpr std::size_t kMaxIDATSize = 65535;

 private:
  friend class PNGDecoder;
  void ResetGamma();
  void SetGamma(std::uint32_t value);
  void AssignFrom(const Bitmap& source, bool view);
  void WriteImageData(Stream& stream) const;

  PNGList chunks_;
  std::array<std::uint8_t, 256> gamma_{};
  std::array<std::uint8_t, 256> inverseGamma_{};
  bool checkCRC_ = true;
  int deflateThreads_ = 0;
};

// The CRC-32 of a chunk's type and data.
std::uint32_t ChunkCRC(const std::string& type, std::span<const std::uint8_t> data);

}  // namespace pixtrel
