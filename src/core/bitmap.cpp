#include "core/bitmap.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "core/byte_reader.h"
#include "core/canvas.h"
#include "core/errors.h"
#include "core/packed_row.h"

namespace pixtrel {

int BitsPerPixel(PixelFormat format) {
  switch (format) {
    case pf1bit:
      return 1;
    case pf4bit:
      return 4;
    case pf8bit:
      return 8;
    case pf15bit:
    case pf16bit:
      return 16;
    case pf24bit:
      return 24;
    case pfDevice:
    case pf32bit:
      return 32;
  }
  return 32;
}

PixelFormat FormatForBits(int bits) {
  switch (bits) {
    case 1:
      return pf1bit;
    case 4:
      return pf4bit;
    case 8:
      return pf8bit;
    case 15:
      return pf15bit;
    case 16:
      return pf16bit;
    case 24:
      return pf24bit;
    case 32:
      return pf32bit;
    default:
      return pfDevice;
  }
}

std::size_t RowBytes(int width, int bits) {
  const std::size_t rowBits = CheckedMul(static_cast<std::size_t>(std::max(width, 0)), static_cast<std::size_t>(bits));
  return ((rowBits + 31) / 32) * 4;
}

namespace {

PixelFormat Normalized(PixelFormat format) { return format == pfDevice ? pf32bit : format; }

bool IsIndexed(PixelFormat format) { return format == pf1bit || format == pf4bit || format == pf8bit; }

const Palette& FixedPalette(PixelFormat format) {
  static const Palette none;
  switch (format) {
    case pf1bit:
      return MonochromePalette();
    case pf4bit:
      return StandardPalette16();
    case pf8bit:
      return HalftonePalette256();
    default:
      return none;
  }
}

inline int Expand5(int v) { return (v << 3) | (v >> 2); }
inline int Expand6(int v) { return (v << 2) | (v >> 4); }

// Nearest-entry lookups remembered per colour, for whole-image conversions.
class PaletteMapper {
 public:
  explicit PaletteMapper(const Palette& palette) : palette_(palette) { keys_.fill(kEmpty); }

  int Map(Color color) {
    const std::uint32_t key = color & 0xFFFFFF;
    const std::size_t slot = (key * 2654435761u) >> (32 - kBits);
    if (keys_[slot] != key) {
      keys_[slot] = key;
      values_[slot] = static_cast<std::uint8_t>(palette_.empty() ? 0 : NearestPaletteIndex(palette_, key));
    }
    return values_[slot];
  }

 private:
  static constexpr int kBits = 14;
  static constexpr std::uint32_t kEmpty = 0xFFFFFFFF;
  const Palette& palette_;
  std::array<std::uint32_t, 1u << kBits> keys_;
  std::array<std::uint8_t, 1u << kBits> values_{};
};

// Decodes one stored row into blue, green, red triplets.
void RowToBGR(const std::uint8_t* row, PixelFormat format, const Palette& palette, int width, std::uint8_t* out) {
  auto putIndex = [&](int x, int index) {
    const Color c = static_cast<std::size_t>(index) < palette.size() ? palette[index] : clBlack;
    out[3 * x] = static_cast<std::uint8_t>(GetBValue(c));
    out[3 * x + 1] = static_cast<std::uint8_t>(GetGValue(c));
    out[3 * x + 2] = static_cast<std::uint8_t>(GetRValue(c));
  };
  switch (format) {
    case pf1bit:
    case pf4bit:
    case pf8bit: {
      const int bits = BitsPerPixel(format);
      for (int x = 0; x < width; ++x) putIndex(x, PackedPixel(row, bits, static_cast<std::size_t>(x)));
      break;
    }
    case pf15bit:
      for (int x = 0; x < width; ++x) {
        const int w = row[2 * x] | (row[2 * x + 1] << 8);
        out[3 * x] = static_cast<std::uint8_t>(Expand5(w & 31));
        out[3 * x + 1] = static_cast<std::uint8_t>(Expand5((w >> 5) & 31));
        out[3 * x + 2] = static_cast<std::uint8_t>(Expand5((w >> 10) & 31));
      }
      break;
    case pf16bit:
      for (int x = 0; x < width; ++x) {
        const int w = row[2 * x] | (row[2 * x + 1] << 8);
        out[3 * x] = static_cast<std::uint8_t>(Expand5(w & 31));
        out[3 * x + 1] = static_cast<std::uint8_t>(Expand6((w >> 5) & 63));
        out[3 * x + 2] = static_cast<std::uint8_t>(Expand5((w >> 11) & 31));
      }
      break;
    case pf24bit:
      std::memcpy(out, row, static_cast<std::size_t>(width) * 3);
      break;
    case pfDevice:
    case pf32bit:
      for (int x = 0; x < width; ++x) {
        out[3 * x] = row[4 * x];
        out[3 * x + 1] = row[4 * x + 1];
        out[3 * x + 2] = row[4 * x + 2];
      }
      break;
  }
}

// Encodes blue, green, red triplets into one stored row.
void BGRToRow(const std::uint8_t* in, PixelFormat format, PaletteMapper* mapper, int width, std::uint8_t* row) {
  auto index = [&](int x) { return mapper->Map(RGB(in[3 * x + 2], in[3 * x + 1], in[3 * x])); };
  switch (format) {
    case pf1bit:
    case pf4bit:
    case pf8bit: {
      const int bits = BitsPerPixel(format);
      for (int x = 0; x < width; ++x) SetPackedPixel(row, bits, static_cast<std::size_t>(x), index(x));
      break;
    }
    case pf15bit:
      for (int x = 0; x < width; ++x) {
        const int w = (in[3 * x] >> 3) | ((in[3 * x + 1] >> 3) << 5) | ((in[3 * x + 2] >> 3) << 10);
        row[2 * x] = static_cast<std::uint8_t>(w);
        row[2 * x + 1] = static_cast<std::uint8_t>(w >> 8);
      }
      break;
    case pf16bit:
      for (int x = 0; x < width; ++x) {
        const int w = (in[3 * x] >> 3) | ((in[3 * x + 1] >> 2) << 5) | ((in[3 * x + 2] >> 3) << 11);
        row[2 * x] = static_cast<std::uint8_t>(w);
        row[2 * x + 1] = static_cast<std::uint8_t>(w >> 8);
      }
      break;
    case pf24bit:
      std::memcpy(row, in, static_cast<std::size_t>(width) * 3);
      break;
    case pfDevice:
    case pf32bit:
      for (int x = 0; x < width; ++x) {
        row[4 * x] = in[3 * x];
        row[4 * x + 1] = in[3 * x + 1];
        row[4 * x + 2] = in[3 * x + 2];
        row[4 * x + 3] = 0;
      }
      break;
  }
}

}  // namespace

Bitmap::Bitmap() = default;

Bitmap::Bitmap(int width, int height, pixtrel::PixelFormat format) {
  format_ = Normalized(format);
  palette_ = FixedPalette(format_);
  SetSize(width, height);
}

Bitmap::~Bitmap() = default;

Bitmap::Bitmap(const Bitmap& other)
    : Graphic(other),
      width_(other.width_),
      height_(other.height_),
      format_(other.format_),
      stride_(other.stride_),
      pixels_(other.pixels_),
      palette_(other.palette_),
      transparent_(other.transparent_),
      transparentMode_(other.transparentMode_),
      transparentColor_(other.transparentColor_) {
  if (other.canvas_) Canvas().CopyStateFrom(*other.canvas_);
}

Bitmap& Bitmap::operator=(const Bitmap& other) {
  if (this == &other) return *this;
  width_ = other.width_;
  height_ = other.height_;
  format_ = other.format_;
  stride_ = other.stride_;
  pixels_ = other.pixels_;
  palette_ = other.palette_;
  transparent_ = other.transparent_;
  transparentMode_ = other.transparentMode_;
  transparentColor_ = other.transparentColor_;
  if (other.canvas_) Canvas().CopyStateFrom(*other.canvas_);
  return *this;
}

Bitmap::Bitmap(Bitmap&& other) noexcept
    : width_(other.width_),
      height_(other.height_),
      format_(other.format_),
      stride_(other.stride_),
      pixels_(std::move(other.pixels_)),
      palette_(std::move(other.palette_)),
      transparent_(other.transparent_),
      transparentMode_(other.transparentMode_),
      transparentColor_(other.transparentColor_) {
  // The canvas refers to its own bitmap, so it is not moved: its state is.
  if (other.canvas_) {
    try {
      Canvas().CopyStateFrom(*other.canvas_);
    } catch (...) {
    }
  }
  other.width_ = other.height_ = 0;
  other.stride_ = 0;
  other.pixels_.clear();
}

Bitmap& Bitmap::operator=(Bitmap&& other) noexcept {
  if (this == &other) return *this;
  width_ = other.width_;
  height_ = other.height_;
  format_ = other.format_;
  stride_ = other.stride_;
  pixels_ = std::move(other.pixels_);
  palette_ = std::move(other.palette_);
  transparent_ = other.transparent_;
  transparentMode_ = other.transparentMode_;
  transparentColor_ = other.transparentColor_;
  other.width_ = other.height_ = 0;
  other.stride_ = 0;
  other.pixels_.clear();
  return *this;
}

void Bitmap::Reallocate(int width, int height, pixtrel::PixelFormat format) {
  CheckImageSize(width, height);
  const std::size_t stride = RowBytes(width, BitsPerPixel(format));
  ByteBuffer pixels(CheckedMul(stride, static_cast<std::size_t>(height)));
  pixels_ = std::move(pixels);
  stride_ = stride;
  width_ = width;
  height_ = height;
  format_ = format;
}

void Bitmap::SetSize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == width_ && height == height_ && (!pixels_.empty() || width == 0 || height == 0)) return;
  Bitmap old(std::move(*this));
  // The move left this bitmap's settings in place but took its pixels.
  format_ = old.format_;
  palette_ = old.palette_;
  Reallocate(width, height, format_);
  if (width == 0 || height == 0) return;  // no pixels: nothing to copy or fill
  // New area: the brush colour, written through the format's own encoding.
  const Color fill = FillColor();
  std::vector<std::uint8_t> fillRow(static_cast<std::size_t>(width) * 3);
  for (int x = 0; x < width; ++x) {
    fillRow[3 * x] = static_cast<std::uint8_t>(GetBValue(fill));
    fillRow[3 * x + 1] = static_cast<std::uint8_t>(GetGValue(fill));
    fillRow[3 * x + 2] = static_cast<std::uint8_t>(GetRValue(fill));
  }
  std::unique_ptr<PaletteMapper> mapper;
  if (IsIndexed(format_)) mapper = std::make_unique<PaletteMapper>(palette_);
  std::vector<std::uint8_t> encoded(stride_);
  BGRToRow(fillRow.data(), format_, mapper.get(), width, encoded.data());
  const int keepWidth = std::min(width, old.width_);
  const int keepHeight = std::min(height, old.height_);
  const std::size_t bits = static_cast<std::size_t>(BitsPerPixel(format_));
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = ScanLine(y);
    std::memcpy(row, encoded.data(), stride_);
    if (y >= keepHeight || keepWidth == 0) continue;
    const std::uint8_t* from = old.ScanLine(y);
    const std::size_t keepBits = static_cast<std::size_t>(keepWidth) * bits;
    std::memcpy(row, from, keepBits / 8);
    if (keepBits % 8) {
      // A partial last byte of a 1- or 4-bit row: old bits on the left.
      const int rest = static_cast<int>(keepBits % 8);
      const std::uint8_t mask = static_cast<std::uint8_t>(0xFF << (8 - rest));
      row[keepBits / 8] = static_cast<std::uint8_t>((from[keepBits / 8] & mask) | (row[keepBits / 8] & ~mask));
    }
  }
}

void Bitmap::SetPixelFormat(pixtrel::PixelFormat format) {
  format = Normalized(format);
  if (format == format_) return;
  const pixtrel::Palette& target = FixedPalette(format);
  if (width_ == 0 || height_ == 0) {
    format_ = format;
    stride_ = RowBytes(width_, BitsPerPixel(format));
    pixels_.assign(CheckedMul(stride_, static_cast<std::size_t>(height_)), 0);
    palette_ = target;
    return;
  }
  Bitmap old(std::move(*this));
  Reallocate(old.width_, old.height_, format);
  palette_ = target;
  std::unique_ptr<PaletteMapper> mapper;
  if (IsIndexed(format)) mapper = std::make_unique<PaletteMapper>(palette_);
  std::vector<std::uint8_t> bgr(static_cast<std::size_t>(width_) * 3);
  for (int y = 0; y < height_; ++y) {
    RowToBGR(old.ScanLine(y), old.format_, old.palette_, width_, bgr.data());
    BGRToRow(bgr.data(), format_, mapper.get(), width_, ScanLine(y));
  }
}

std::uint8_t* Bitmap::ScanLine(int y) {
  if (y < 0 || y >= height_) throw EInvalidGraphicOperation("Scan line index out of range");
  return pixels_.data() + static_cast<std::size_t>(y) * stride_;
}

const std::uint8_t* Bitmap::ScanLine(int y) const {
  if (y < 0 || y >= height_) throw EInvalidGraphicOperation("Scan line index out of range");
  return pixels_.data() + static_cast<std::size_t>(y) * stride_;
}

void Bitmap::RowAsBGR(int y, std::uint8_t* out) const {
  RowToBGR(ScanLine(y), format_, palette_, width_, out);
}

void Bitmap::SetPalette(pixtrel::Palette palette) {
  if (palette.size() > 256) palette.resize(256);
  palette_ = std::move(palette);
}

Color Bitmap::TransparentColor() const {
  if (transparentMode_ == tmFixed) return transparentColor_;
  if (width_ == 0 || height_ == 0) return clWhite;
  return Pixel(0, height_ - 1);
}

void Bitmap::SetTransparentColor(Color color) {
  transparentColor_ = color & 0xFFFFFF;
  transparentMode_ = tmFixed;
}

Color Bitmap::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return clBlack;
  const std::uint8_t* row = ScanLine(y);
  switch (format_) {
    case pf1bit:
    case pf4bit:
    case pf8bit: {
      const int index = PixelIndex(x, y);
      return static_cast<std::size_t>(index) < palette_.size() ? palette_[index] : clBlack;
    }
    default: {
      std::uint8_t bgr[3];
      // Decode just this pixel: offset the row so RowToBGR sees one pixel.
      const std::size_t bytesPerPixel = static_cast<std::size_t>(BitsPerPixel(format_) / 8);
      RowToBGR(row + static_cast<std::size_t>(x) * bytesPerPixel, format_, palette_, 1, bgr);
      return RGB(bgr[2], bgr[1], bgr[0]);
    }
  }
}

void Bitmap::SetPixel(int x, int y, Color color) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  if (IsIndexed(format_)) {
    SetPixelIndex(x, y, NearestPaletteIndex(palette_, color));
    return;
  }
  std::uint8_t* row = ScanLine(y);
  const std::uint8_t bgr[3] = {static_cast<std::uint8_t>(GetBValue(color)), static_cast<std::uint8_t>(GetGValue(color)),
                               static_cast<std::uint8_t>(GetRValue(color))};
  const std::size_t bytesPerPixel = static_cast<std::size_t>(BitsPerPixel(format_) / 8);
  BGRToRow(bgr, format_, nullptr, 1, row + static_cast<std::size_t>(x) * bytesPerPixel);
}

int Bitmap::PixelIndex(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  if (!IsIndexed(format_)) return 0;
  return PackedPixel(ScanLine(y), BitCount(), static_cast<std::size_t>(x));
}

void Bitmap::SetPixelIndex(int x, int y, int index) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  if (!IsIndexed(format_)) return;
  SetPackedPixel(ScanLine(y), BitCount(), static_cast<std::size_t>(x), index);
}

pixtrel::Canvas& Bitmap::Canvas() {
  if (!canvas_) canvas_ = std::make_unique<pixtrel::Canvas>(*this);
  return *canvas_;
}

Color Bitmap::FillColor() const { return canvas_ ? canvas_->Brush().color : clWhite; }

void Bitmap::Assign(const Graphic& source) {
  if (&source == this) return;
  source.AssignTo(*this);
}

void Bitmap::AssignTo(Bitmap& target) const {
  if (&target == this) return;
  target.width_ = width_;
  target.height_ = height_;
  target.format_ = format_;
  target.stride_ = stride_;
  target.pixels_ = pixels_;
  target.palette_ = palette_;
  target.transparent_ = transparent_;
  target.transparentMode_ = transparentMode_;
  target.transparentColor_ = transparentColor_;
}

void Bitmap::Fill(Color color) {
  if (width_ == 0 || height_ == 0) return;
  std::vector<std::uint8_t> bgr(static_cast<std::size_t>(width_) * 3);
  for (int x = 0; x < width_; ++x) {
    bgr[3 * x] = static_cast<std::uint8_t>(GetBValue(color));
    bgr[3 * x + 1] = static_cast<std::uint8_t>(GetGValue(color));
    bgr[3 * x + 2] = static_cast<std::uint8_t>(GetRValue(color));
  }
  std::unique_ptr<PaletteMapper> mapper;
  if (IsIndexed(format_)) mapper = std::make_unique<PaletteMapper>(palette_);
  BGRToRow(bgr.data(), format_, mapper.get(), width_, ScanLine(0));
  for (int y = 1; y < height_; ++y) std::memcpy(ScanLine(y), ScanLine(0), stride_);
}

}  // namespace pixtrel
