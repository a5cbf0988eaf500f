#include "codecs/png/png_object.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>

#include "core/byte_reader.h"
#include "core/error_table.h"
#include "core/stream.h"

namespace pixtrel {

PIXTREL_DEFINE_ERRORS(PngError, "png", PIXTREL_PNG_ERRORS)

std::string ZlibResultText(int code) {
  switch (code) {
    case 0:
      return "(0)";
    case 1:
      return "stream end (1)";
    case 2:
      return "need dictionary (2)";
    case -1:
      return "file error (-1)";
    case -2:
      return "stream error (-2)";
    case -3:
      return "data error (-3)";
    case -4:
      return "insufficient memory (-4)";
    case -5:
      return "buffer error (-5)";
    case -6:
      return "incompatible version (-6)";
    default:
      return "(" + std::to_string(code) + ")";
  }
}

EPNGZLIBError::EPNGZLIBError(int zlibCode)
    : EPngError(PngError::EPNGZLIBError, ErrorText(PngError::EPNGZLIBError) + ZlibResultText(zlibCode)),
      zlibCode_(zlibCode) {}

std::uint32_t ChunkCRC(const std::string& type, std::span<const std::uint8_t> data) {
  uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(type.data()), 4);
  // crc32 takes a 32-bit length; chunk data is far below that.
  // A null buffer would restart the CRC, so empty data adds nothing.
  if (!data.empty()) crc = crc32(crc, data.data(), static_cast<uInt>(data.size()));
  return static_cast<std::uint32_t>(crc);
}

namespace {

void PutU32BE(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 24));
  out.push_back(static_cast<std::uint8_t>(v >> 16));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}

// Sample value of a 16-bit tRNS field at byte offset at: the high byte of a
// 16-bit image, the low byte of anything shallower.
int TransparentSample(const std::vector<std::uint8_t>& bytes, std::size_t at, int bitDepth) {
  const int high = at < bytes.size() ? bytes[at] : 0;
  const int low = at + 1 < bytes.size() ? bytes[at + 1] : 0;
  if (bitDepth == 16) return high;
  if (bitDepth < 8) return low & ((1 << bitDepth) - 1);
  return low;
}

bool IsSingleChunkType(const std::string& type) {
  return type == "IHDR" || type == "IDAT" || type == "PLTE" || type == "IEND" || type == "gAMA" || type == "tRNS";
}

}  // namespace

std::vector<std::uint8_t> Chunk::SaveData(const PNGObject&) const { return data_; }

namespace {

// Samples per pixel of a colour type: grey, RGB, grey + alpha, RGBA; palette 1.
int ChannelsOf(int colorType) {
  switch (colorType) {
    case 2:
      return 3;
    case 4:
      return 2;
    case 6:
      return 4;
    default:
      return 1;
  }
}

}  // namespace

int ChunkIHDR::SampleBytesPerPixel() const {
  const int channels = ChannelsOf(colorType);
  return std::max(1, channels * bitDepth / 8);
}

std::size_t ChunkIHDR::StoredRowBytes(int pixels) const {
  const int channels = ChannelsOf(colorType);
  const std::size_t bits = CheckedMul(CheckedMul(static_cast<std::size_t>(pixels), channels), bitDepth);
  return (bits + 7) / 8;
}

std::vector<std::uint8_t> ChunkIHDR::SaveData(const PNGObject&) const {
  std::vector<std::uint8_t> out;
  out.reserve(13);
  PutU32BE(out, static_cast<std::uint32_t>(width));
  PutU32BE(out, static_cast<std::uint32_t>(height));
  // The raster holds 2-bit samples as 4-bit and 16-bit samples as their high
  // byte, and the writer stores what the raster holds.
  int depth = bitDepth;
  if (depth == 2) depth = 4;
  if (depth == 16) depth = 8;
  out.push_back(static_cast<std::uint8_t>(depth));
  out.push_back(static_cast<std::uint8_t>(colorType));
  out.push_back(static_cast<std::uint8_t>(compressionMethod));
  out.push_back(static_cast<std::uint8_t>(filterMethod));
  // The writer never interlaces.
  out.push_back(0);
  return out;
}

std::vector<std::uint8_t> ChunkPLTE::SaveData(const PNGObject& owner) const {
  std::vector<std::uint8_t> out;
  const ChunkIHDR* header = owner.Header();
  const auto& inverse = owner.InverseGammaTable();
  out.reserve(static_cast<std::size_t>(count) * 3);
  for (int i = 0; i < count; ++i) {
    Color c = clBlack;
    if (header && static_cast<std::size_t>(i) < header->raster.Palette().size()) c = header->raster.Palette()[i];
    out.push_back(inverse[GetRValue(c)]);
    out.push_back(inverse[GetGValue(c)]);
    out.push_back(inverse[GetBValue(c)]);
  }
  return out;
}

std::vector<std::uint8_t> ChunktRNS::SaveData(const PNGObject&) const { return bytes; }

std::vector<std::uint8_t> ChunkgAMA::SaveData(const PNGObject&) const {
  std::vector<std::uint8_t> out;
  PutU32BE(out, gamma);
  return out;
}

std::vector<std::uint8_t> ChunktEXt::SaveData(const PNGObject&) const {
  std::vector<std::uint8_t> out(keyword.begin(), keyword.end());
  out.push_back(0);
  out.insert(out.end(), text.begin(), text.end());
  return out;
}

PNGObject::PNGObject() { ResetGamma(); }
PNGObject::~PNGObject() = default;

int PNGObject::Width() const {
  const ChunkIHDR* header = Header();
  return header ? header->width : 0;
}

int PNGObject::Height() const {
  const ChunkIHDR* header = Header();
  return header ? header->height : 0;
}

void PNGObject::SetWidth(int) { throw EPngError(PngError::CannotResize); }
void PNGObject::SetHeight(int) { throw EPngError(PngError::CannotResize); }

ChunkIHDR* PNGObject::Header() {
  if (chunks_.empty()) return nullptr;
  return dynamic_cast<ChunkIHDR*>(chunks_.front().get());
}

const ChunkIHDR* PNGObject::Header() const {
  if (chunks_.empty()) return nullptr;
  return dynamic_cast<const ChunkIHDR*>(chunks_.front().get());
}

const ChunktRNS* PNGObject::Transparency() const {
  for (const auto& chunk : chunks_)
    if (const auto* trns = dynamic_cast<const ChunktRNS*>(chunk.get())) return trns;
  return nullptr;
}

const ChunktEXt* PNGObject::FirstTextChunk() const {
  for (const auto& chunk : chunks_)
    if (const auto* text = dynamic_cast<const ChunktEXt*>(chunk.get())) return text;
  return nullptr;
}

void PNGObject::ResetGamma() {
  for (int i = 0; i < 256; ++i) {
    gamma_[i] = static_cast<std::uint8_t>(i);
    inverseGamma_[i] = static_cast<std::uint8_t>(i);
  }
}

void PNGObject::SetGamma(std::uint32_t value) {
  const double exponent = 1.0 / (static_cast<double>(value) / 100000.0 * 2.2);
  for (int i = 0; i < 256; ++i) {
    const double v = std::nearbyint(255.0 * std::pow(i / 255.0, exponent));
    gamma_[i] = static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0));
  }
  for (int i = 0; i < 256; ++i) inverseGamma_[i] = static_cast<std::uint8_t>(i);
  for (int i = 0; i < 256; ++i) inverseGamma_[gamma_[i]] = static_cast<std::uint8_t>(i);
}

PNGTransparencyMode PNGObject::TransparencyMode() const {
  const ChunkIHDR* header = Header();
  if (!header) return ptmNone;
  if (header->HasAlpha()) return ptmPartial;
  const ChunktRNS* trns = Transparency();
  if (!trns) return ptmNone;
  if (header->colorType != 3) return ptmSingleColor;
  return trns->singleColor ? ptmSingleColor : ptmPartial;
}

Color PNGObject::TransparentColor() const {
  const ChunkIHDR* header = Header();
  const ChunktRNS* trns = Transparency();
  if (!header || !trns) return clBlack;
  const Palette& palette = header->raster.Palette();
  switch (header->colorType) {
    case 3: {
      for (std::size_t i = 0; i < trns->bytes.size(); ++i)
        if (trns->bytes[i] == 0) return i < palette.size() ? palette[i] : clBlack;
      return clBlack;
    }
    case 0: {
      int index = TransparentSample(trns->bytes, 0, header->bitDepth);
      if (header->bitDepth == 2) index *= 5;
      return static_cast<std::size_t>(index) < palette.size() ? palette[index] : clBlack;
    }
    case 2: {
      const int r = TransparentSample(trns->bytes, 0, header->bitDepth);
      const int g = TransparentSample(trns->bytes, 2, header->bitDepth);
      const int b = TransparentSample(trns->bytes, 4, header->bitDepth);
      return RGB(gamma_[r], gamma_[g], gamma_[b]);
    }
    default:
      return clBlack;
  }
}

void PNGObject::AssignTo(Bitmap& target) const {
  const ChunkIHDR* header = Header();
  if (!header) {
    target = Bitmap();
    return;
  }
  target = header->Pixels();
  if (header->view) target.SetPixelFormat(pf24bit);
  target.SetTransparent(false);
  target.SetTransparentMode(tmAuto);
  if (TransparencyMode() == ptmSingleColor) {
    target.SetTransparentColor(TransparentColor());
    target.SetTransparent(true);
  }
}

Bitmap PNGObject::TakeBitmap() {
  ChunkIHDR* header = Header();
  if (!header) return Bitmap();
  const bool single = TransparencyMode() == ptmSingleColor;
  const Color color = single ? TransparentColor() : clBlack;
  Bitmap result = header->view ? *header->view : std::move(header->raster);
  if (header->view) result.SetPixelFormat(pf24bit);
  chunks_.clear();
  ResetGamma();
  result.SetTransparent(false);
  result.SetTransparentMode(tmAuto);
  if (single) {
    result.SetTransparentColor(color);
    result.SetTransparent(true);
  }
  return result;
}

void PNGObject::Assign(const Bitmap& source) { AssignFrom(source, false); }

void PNGObject::AssignView(const Bitmap& source) { AssignFrom(source, true); }

void PNGObject::AssignFrom(const Bitmap& source, bool view) {
  const bool transparent = source.Transparent();
  const Color transparentColor = source.TransparentColor();
  const int bits = source.BitCount();

  chunks_.clear();
  ResetGamma();

  auto header = std::make_unique<ChunkIHDR>();
  header->width = source.Width();
  header->height = std::abs(source.Height());
  const bool indexed = bits < 16;
  header->bitDepth = indexed ? bits : 8;
  header->colorType = indexed ? 3 : 2;
  if (indexed) {
    header->raster = source;
    Palette palette = source.Palette();
    palette.resize(std::size_t{1} << bits, clBlack);
    header->raster.SetPalette(palette);
  } else if (view) {
    header->view = &source;
  } else if (source.PixelFormat() == pf24bit) {
    header->raster = source;
  } else {
    header->raster = source;
    header->raster.SetPixelFormat(pf24bit);
  }
  header->raster.SetTransparent(false);
  header->raster.SetTransparentMode(tmAuto);
  ChunkIHDR* headerPtr = header.get();
  chunks_.push_back(std::move(header));

  if (indexed) {
    auto plte = std::make_unique<ChunkPLTE>();
    plte->count = 1 << bits;
    chunks_.push_back(std::move(plte));
  }
  if (transparent) {
    auto trns = std::make_unique<ChunktRNS>();
    if (indexed) {
      // A colour found in no entry can show in no pixel: then nothing is
      // made transparent rather than entry 0.
      const Palette& palette = headerPtr->raster.Palette();
      for (std::size_t i = 0; i < palette.size(); ++i) {
        if ((palette[i] & 0xFFFFFF) == (transparentColor & 0xFFFFFF)) {
          trns->bytes.assign(i + 1, 255);
          trns->bytes[i] = 0;
          trns->singleColor = true;
          break;
        }
      }
    } else {
      trns->bytes = {0, static_cast<std::uint8_t>(GetRValue(transparentColor)),
                     0, static_cast<std::uint8_t>(GetGValue(transparentColor)),
                     0, static_cast<std::uint8_t>(GetBValue(transparentColor))};
      trns->singleColor = true;
    }
    if (!trns->bytes.empty()) chunks_.push_back(std::move(trns));
  }
  chunks_.push_back(std::make_unique<ChunkIDAT>());
  chunks_.push_back(std::make_unique<ChunkIEND>());
}

void PNGObject::AddChunk(std::unique_ptr<Chunk> chunk) {
  const bool hasEnd = std::any_of(chunks_.begin(), chunks_.end(), [](const auto& c) { return c->Type() == "IEND"; });
  if (!Header() || !hasEnd) throw EPngError(PngError::InvalidImage);
  if (IsSingleChunkType(chunk->Type())) {
    for (const auto& c : chunks_)
      if (c->Type() == chunk->Type()) throw EPngError(PngError::ExistentChunk);
  }
  auto end = std::find_if(chunks_.begin(), chunks_.end(), [](const auto& c) { return c->Type() == "IEND"; });
  chunks_.insert(end, std::move(chunk));
}

void PNGObject::AddTextChunk(const std::string& keyword, const std::string& text) {
  auto chunk = std::make_unique<ChunktEXt>();
  chunk->keyword = keyword;
  chunk->text = text;
  AddChunk(std::move(chunk));
}

void PNGObject::AddAlphaChannel() {
  ChunkIHDR* header = Header();
  if (!header) throw EPNGHeaderNotPresent();
  const std::size_t planeSize = CheckedMul(static_cast<std::size_t>(header->width), header->height);
  switch (header->colorType) {
    case 2:
      header->colorType = 6;
      header->alpha.assign(planeSize, 255);
      break;
    case 0: {
      // Grey + alpha exists at 8 and 16 bits only: shallower rasters become
      // 8-bit grey levels.
      Bitmap& raster = header->raster;
      const int rasterBits = raster.BitCount();
      if (rasterBits < 8) {
        Bitmap deep(header->width, header->height, pf8bit);
        const int top = (1 << rasterBits) - 1;
        for (int y = 0; y < header->height; ++y) {
          const std::uint8_t* src = raster.ScanLine(y);
          std::uint8_t* dst = deep.ScanLine(y);
          for (int x = 0; x < header->width; ++x) {
            const int index =
                rasterBits == 1 ? (src[x >> 3] >> (7 - (x & 7))) & 1 : (src[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F;
            dst[x] = static_cast<std::uint8_t>(index * 255 / top);
          }
        }
        Palette ramp(256);
        for (int i = 0; i < 256; ++i) ramp[i] = RGB(gamma_[i], gamma_[i], gamma_[i]);
        deep.SetPalette(std::move(ramp));
        raster = std::move(deep);
        header->bitDepth = 8;
      }
      header->colorType = 4;
      header->alpha.assign(planeSize, 255);
      break;
    }
    case 3: {
      ChunktRNS* trns = nullptr;
      for (auto& c : chunks_)
        if (auto* t = dynamic_cast<ChunktRNS*>(c.get())) trns = t;
      if (!trns) {
        auto made = std::make_unique<ChunktRNS>();
        trns = made.get();
        auto at = std::find_if(chunks_.begin(), chunks_.end(), [](const auto& c) { return c->Type() == "IDAT"; });
        chunks_.insert(at, std::move(made));
      }
      trns->bytes.assign(std::size_t{1} << std::min(header->bitDepth, 8), 255);
      trns->singleColor = false;
      break;
    }
    default:
      break;
  }
}

std::uint8_t* PNGObject::AlphaRow(int y) {
  ChunkIHDR* header = Header();
  if (!header) throw EPNGHeaderNotPresent();
  if (header->alpha.empty() || y < 0 || y >= header->height) return nullptr;
  return header->alpha.data() + static_cast<std::size_t>(y) * header->width;
}

const std::uint8_t* PNGObject::AlphaRow(int y) const { return const_cast<PNGObject*>(this)->AlphaRow(y); }

std::vector<std::uint8_t> PNGObject::SaveToBytes() const {
  MemoryStream stream;
  SaveToStream(stream);
  return stream.TakeBytes();
}

}  // namespace pixtrel
