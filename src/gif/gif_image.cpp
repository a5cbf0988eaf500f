#include "gif/gif_image.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <unordered_map>

#include "core/byte_reader.h"
#include "core/canvas.h"
#include "core/stream.h"
#include "gif/dither.h"
#include "gif/gif_lzw.h"

namespace pixtrel::gif {

int BitsPerEntry(int count) {
  if (count <= 0) return 0;
  int b = 1;
  while ((1 << b) < count) ++b;
  return b;
}

// ---- Colour tables ---------------------------------------------------------

int GIFColorMap::Add(Color color) {
  if (colors_.size() >= 256) throw GIFException(GifError::ColorTableOverflow);
  colors_.push_back(color & 0xFFFFFF);
  optimized_ = false;
  return Count() - 1;
}

void GIFColorMap::Delete(int index) {
  if (index < 0 || index >= Count()) throw GIFException(GifError::InvalidColorIndex);
  colors_.erase(colors_.begin() + index);
  optimized_ = false;
}

Color GIFColorMap::At(int index) const {
  if (index < 0 || index >= Count()) throw GIFException(GifError::InvalidColorIndex);
  return colors_[static_cast<std::size_t>(index)];
}

void GIFColorMap::Clear() {
  colors_.clear();
  optimized_ = false;
}

int GIFColorMap::IndexOf(Color color) const {
  color &= 0xFFFFFF;
  if (optimized_) {
    for (int i = 0; i < Count(); ++i)
      if (colors_[static_cast<std::size_t>(i)] == color) return i;
  } else {
    for (int i = Count() - 1; i >= 0; --i)
      if (colors_[static_cast<std::size_t>(i)] == color) return i;
  }
  return -1;
}

void GIFColorMap::Assign(const Palette& colors) {
  colors_.assign(colors.begin(),
                 colors.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(colors.size(), 256)));
  for (Color& c : colors_) c &= 0xFFFFFF;
  optimized_ = false;
}

// ---- Extensions ------------------------------------------------------------

namespace {

void PutU16(std::vector<std::uint8_t>& out, unsigned v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
  out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

void PutBlocks(std::vector<std::uint8_t>& out, const std::uint8_t* data, std::size_t size) {
  for (std::size_t at = 0; at < size; at += 255) {
    const std::size_t n = std::min<std::size_t>(255, size - at);
    out.push_back(static_cast<std::uint8_t>(n));
    out.insert(out.end(), data + at, data + at + n);
  }
}

void PutPaddedTable(std::vector<std::uint8_t>& out, const GIFColorMap& map) {
  for (Color c : map.Colors()) {
    out.push_back(static_cast<std::uint8_t>(GetRValue(c)));
    out.push_back(static_cast<std::uint8_t>(GetGValue(c)));
    out.push_back(static_cast<std::uint8_t>(GetBValue(c)));
  }
  const int padded = 1 << map.BitsPerEntry();
  out.insert(out.end(), 3 * static_cast<std::size_t>(padded - map.Count()), 0);
}

}  // namespace

GIFGraphicControlExtension::GIFGraphicControlExtension(GIFSubImage& frame) : GIFExtension(frame) {
  if (!frame.GraphicControlExtension()) frame.SetGraphicControlExtension(this);
}

void GIFGraphicControlExtension::WriteBody(std::vector<std::uint8_t>& out) const {
  out.push_back(4);
  out.push_back(packed_);
  PutU16(out, delay_);
  out.push_back(transparentIndex_);
  out.push_back(0);
}

void GIFGraphicControlExtension::SetTransparent(bool transparent) {
  packed_ = static_cast<std::uint8_t>(transparent ? (packed_ | 1) : (packed_ & ~1));
  frame_->SetTransparent(transparent);
}

void GIFGraphicControlExtension::SetTransparentColorIndex(int index) {
  const int count = frame_->ActiveColorMap().Count();
  if (index < 0 || index > 255 || (count != 0 && index >= count)) {
    frame_->Image().Warning(GifError::InvalidColorIndex);
    index = 0;
  }
  transparentIndex_ = static_cast<std::uint8_t>(index);
}

void GIFGraphicControlExtension::SetFields(std::uint8_t packed, std::uint16_t delay, std::uint8_t transparentIndex) {
  packed_ = packed;
  delay_ = delay;
  transparentIndex_ = transparentIndex;
}

void GIFTextLines::Write(std::vector<std::uint8_t>& out) const {
  for (const std::string& line : lines) PutBlocks(out, reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
  out.push_back(0);
}

void GIFTextExtension::WriteBody(std::vector<std::uint8_t>& out) const {
  out.push_back(12);
  out.insert(out.end(), std::begin(fields), std::end(fields));
  text.Write(out);
}

void GIFCommentExtension::WriteBody(std::vector<std::uint8_t>& out) const { text.Write(out); }

void GIFApplicationExtension::WriteBody(std::vector<std::uint8_t>& out) const {
  out.push_back(11);
  for (std::size_t i = 0; i < 8; ++i)
    out.push_back(i < identifier.size() ? static_cast<std::uint8_t>(identifier[i]) : 0);
  for (std::size_t i = 0; i < 3; ++i)
    out.push_back(i < authentication.size() ? static_cast<std::uint8_t>(authentication[i]) : 0);
  WriteData(out);
  out.push_back(0);
}

void GIFAppExtNSLoop::WriteData(std::vector<std::uint8_t>& out) const {
  out.push_back(3);
  out.push_back(1);
  PutU16(out, static_cast<unsigned>(loops));
  if (bufferSize != 0) {
    out.push_back(5);
    out.push_back(2);
    PutU16(out, bufferSize & 0xFFFF);
    PutU16(out, bufferSize >> 16);
  }
}

void GIFUnknownAppExtension::WriteData(std::vector<std::uint8_t>& out) const {
  for (const auto& block : blocks) {
    if (block.empty()) continue;
    out.push_back(static_cast<std::uint8_t>(block.size()));
    out.insert(out.end(), block.begin(), block.end());
  }
}

// ---- Frames ----------------------------------------------------------------

void GIFSubImage::SetBounds(int left, int top, int width, int height) {
  left_ = left;
  top_ = top;
  if (width != width_ || height != height_) {
    width_ = width;
    height_ = height;
    pixels_.assign(static_cast<std::size_t>(std::max(width, 0)) * static_cast<std::size_t>(std::max(height, 0)), 0);
  }
  GIFHeader& header = image_->Header();
  if (left + width > header.screenWidth) {
    if (header.screenWidth != 0) image_->Warning(GifError::ScreenWidthTooSmall);
    header.screenWidth = left + width;
  }
  if (top + height > header.screenHeight) {
    if (header.screenHeight != 0) image_->Warning(GifError::ScreenHeightTooSmall);
    header.screenHeight = top + height;
  }
}

const GIFColorMap& GIFSubImage::ActiveColorMap() const {
  return localColorMap_.Empty() ? image_->GlobalColorMap() : localColorMap_;
}

int GIFSubImage::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) throw GIFException(GifError::InvalidPixelCoordinates);
  return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)];
}

GIFExtension& GIFSubImage::AddExtension(std::unique_ptr<GIFExtension> extension) {
  extensions_.push_back(std::move(extension));
  return *extensions_.back();
}

int GIFSubImage::Version() const { return (localColorMap_.Optimized() || !extensions_.empty()) ? 2 : 1; }

Bitmap GIFSubImage::ToBitmap() const {
  // A frame with no pixels gives an empty bitmap (0 x 0, not 0 x height).
  Bitmap bitmap(Empty() ? 0 : width_, Empty() ? 0 : height_, pf8bit);
  bitmap.SetPalette(ActiveColorMap().Colors());
  if (Empty()) return bitmap;
  for (int y = 0; y < height_; ++y)
    std::memcpy(bitmap.ScanLine(y), pixels_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_),
                static_cast<std::size_t>(width_));
  return bitmap;
}

namespace {

// Copies the indices of a 1-, 4- or 8-bit bitmap, one byte per pixel.
void ImportIndices(const Bitmap& source, std::uint8_t* out) {
  const int width = source.Width();
  const int bits = source.BitCount();
  for (int y = 0; y < source.Height(); ++y, out += width) {
    const std::uint8_t* row = source.ScanLine(y);
    if (bits == 8) {
      std::memcpy(out, row, static_cast<std::size_t>(width));
    } else if (bits == 4) {
      for (int x = 0; x < width; ++x)
        out[x] = static_cast<std::uint8_t>((x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4));
    } else {
      for (int x = 0; x < width; ++x) out[x] = static_cast<std::uint8_t>((row[x >> 3] >> (7 - (x & 7))) & 1);
    }
  }
}

}  // namespace

void GIFSubImage::Assign(const Bitmap& source) {
  image_->Progress(0, 0, "Converting...");
  interlaced_ = false;
  localColorMap_.Clear();
  const int bits = source.BitCount();
  if (bits == 1 || bits == 4 || bits == 8) {
    SetBounds(0, 0, source.Width(), source.Height());
    localColorMap_.Assign(source.Palette());
    ImportIndices(source, pixels_.data());
  } else {
    const GifSettings& settings = image_->Settings();
    if (settings.reductionMode != NoReduction) {
      // The indices go straight into the frame; the table is that of the
      // 8-bit bitmap ReduceBitmapColors makes: the palette, then black.
      SetBounds(0, 0, source.Width(), source.Height());
      Palette palette = ReduceToIndices(source, settings.reductionMode, settings.ditherMode, image_->CustomPalette(),
                                        settings.reductionBits, pixels_.data(), static_cast<std::size_t>(width_));
      if (palette.empty()) {
        SetBounds(0, 0, 0, 0);
      } else {
        palette.resize(256, clBlack);
        localColorMap_.Assign(palette);
      }
    } else {
      const Bitmap reduced = ReduceBitmapColors(source, NoReduction, settings.ditherMode, nullptr, 8);
      SetBounds(0, 0, reduced.Width(), reduced.Height());
      // No reduction: the distinct colours in order of first appearance.
      std::unordered_map<Color, std::uint8_t> seen;
      std::uint8_t* out = pixels_.data();
      for (int y = 0; y < reduced.Height(); ++y) {
        const std::uint8_t* row = reduced.ScanLine(y);
        for (int x = 0; x < width_; ++x, row += 3) {
          const Color c = RGB(row[2], row[1], row[0]);
          auto it = seen.find(c);
          if (it == seen.end()) it = seen.emplace(c, static_cast<std::uint8_t>(localColorMap_.Add(c))).first;
          *out++ = it->second;
        }
      }
    }
  }

  if (source.Transparent() && !localColorMap_.Empty() && localColorMap_.Count() < 256 && !Empty()) {
    const int index = localColorMap_.Add(clBlack);
    const Color key = source.TransparentColor() & 0xFFFFFF;
    bool masked = false;
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x)
        if ((source.Pixel(x, y) & 0xFFFFFF) == key) {
          pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)] =
              static_cast<std::uint8_t>(index);
          masked = true;
        }
    if (masked) {
      auto gce = std::make_unique<GIFGraphicControlExtension>(*this);
      gce->SetTransparent(true);
      gce->SetTransparentColorIndex(index);
      AddExtension(std::move(gce));
    } else {
      localColorMap_.Delete(index);
    }
  }
  image_->Progress(2, 100, "Converting...");
}

// ---- Reading ---------------------------------------------------------------

class GIFReader {
 public:
  GIFReader(GIFImage& image, std::span<const std::uint8_t> bytes) : image_(image), in_(bytes) {}

  // Returns the bytes consumed.
  std::size_t Read() {
    ReadSignature();
    ReadScreen();
    for (;;) {
      if (in_.AtEnd()) break;
      const std::uint8_t b = Peek();
      if (b == 0) {
        in_.Skip(1);
        continue;
      }
      if (b == 0x3B) break;
      if (b == 0x21 || b == 0x2C) {
        ReadFrame();
        continue;
      }
      image_.Warning(GifError::UnknownBlockType);
      break;
    }
    if (in_.AtEnd() || Peek() != 0x3B) {
      image_.Warning(GifError::InvalidTrailer);
    } else {
      in_.Skip(1);
    }
    const GIFHeader& header = image_.Header();
    CheckPixels(header.screenWidth, header.screenHeight);
    return in_.Position();
  }

 private:
  std::uint8_t Peek() const { return in_.Bytes()[in_.Position()]; }

  void CheckPixels(std::int64_t width, std::int64_t height) { CheckImageSize(width, height, image_.PixelLimit()); }

  static bool IsGif(std::span<const std::uint8_t> s) {
    return (s[0] | 0x20) == 'g' && (s[1] | 0x20) == 'i' && (s[2] | 0x20) == 'f';
  }

  void ReadSignature() {
    if (IsGif(in_.Take(6))) return;
    in_.Seek(4);
    if (!IsGif(in_.Take(6))) throw GIFException(GifError::InvalidSignature);
  }

  void ReadScreen() {
    GIFHeader& header = image_.Header();
    header.screenWidth = in_.U16LE();
    header.screenHeight = in_.U16LE();
    header.packed = in_.U8();
    header.background = in_.U8();
    header.aspectRatio = in_.U8();
    if (header.packed & 0x80) ReadColorTable(header.globalColorMap, 2 << (header.packed & 7));
    header.globalColorMap.SetOptimized((header.packed & 0x08) != 0);
  }

  void ReadColorTable(GIFColorMap& map, int entries) {
    const auto bytes = in_.Take(3 * static_cast<std::size_t>(entries));
    Palette colors(static_cast<std::size_t>(entries));
    for (int i = 0; i < entries; ++i)
      colors[static_cast<std::size_t>(i)] = RGB(bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2]);
    map.Assign(colors);
  }

  std::vector<std::vector<std::uint8_t>> ReadSubBlocks() {
    std::vector<std::vector<std::uint8_t>> blocks;
    for (;;) {
      const std::uint8_t n = in_.U8();
      if (n == 0) break;
      const auto data = in_.Take(n);
      blocks.emplace_back(data.begin(), data.end());
    }
    return blocks;
  }

  // Skips sub-blocks up to the terminator; the end of the data only warns.
  void SkipSubBlocksLeniently() {
    for (;;) {
      if (in_.AtEnd()) {
        image_.Warning(GifError::PrematureEnd);
        return;
      }
      const std::uint8_t n = in_.U8();
      if (n == 0) return;
      if (n > in_.Remaining()) {
        image_.Warning(GifError::PrematureEnd);
        in_.Skip(in_.Remaining());
        return;
      }
      in_.Skip(n);
    }
  }

  static std::vector<std::string> Lines(const std::vector<std::vector<std::uint8_t>>& blocks) {
    std::vector<std::string> lines;
    for (const auto& b : blocks) lines.emplace_back(b.begin(), b.end());
    return lines;
  }

  std::unique_ptr<GIFExtension> ReadExtension(GIFSubImage& frame, std::uint8_t label) {
    switch (label) {
      case GIFGraphicControlExtension::kLabel: {
        auto gce = std::make_unique<GIFGraphicControlExtension>(frame);
        const std::uint8_t size = in_.U8();
        const std::size_t available = std::min<std::size_t>(size, in_.Remaining());
        const auto body = in_.Take(available);
        if (available < size) image_.Warning(GifError::PrematureEnd);
        std::uint8_t f[4] = {};
        std::copy_n(body.begin(), std::min<std::size_t>(4, body.size()), f);
        gce->SetFields(f[0], static_cast<std::uint16_t>(f[1] | (f[2] << 8)), f[3]);
        if (frame.GraphicControlExtension() == gce.get()) frame.SetTransparent(gce->Transparent());
        SkipSubBlocksLeniently();
        return gce;
      }
      case GIFTextExtension::kLabel: {
        auto text = std::make_unique<GIFTextExtension>(frame);
        const std::uint8_t size = in_.U8();
        const auto body = in_.Take(size);
        std::copy_n(body.begin(), std::min<std::size_t>(12, body.size()), text->fields);
        text->text.lines = Lines(ReadSubBlocks());
        return text;
      }
      case GIFCommentExtension::kLabel: {
        auto comment = std::make_unique<GIFCommentExtension>(frame);
        comment->text.lines = Lines(ReadSubBlocks());
        return comment;
      }
      case GIFApplicationExtension::kLabel:
        return ReadApplicationExtension(frame);
      default:
        throw GIFException(GifError::UnknownExtension);
    }
  }

  std::unique_ptr<GIFExtension> ReadApplicationExtension(GIFSubImage& frame) {
    const std::uint8_t size = in_.U8();
    std::string identifier, authentication;
    if (size == 10) {
      in_.Skip(10);
    } else if (size < 11) {
      throw GIFException(GifError::UnsupportedAppBlockSize);
    } else {
      const auto id = in_.Take(8);
      const auto auth = in_.Take(3);
      identifier.assign(id.begin(), id.end());
      authentication.assign(auth.begin(), auth.end());
      in_.Skip(size - 11u);
    }
    auto blocks = ReadSubBlocks();
    if ((identifier == "NETSCAPE" && authentication == "2.0") ||
        (identifier == "ANIMEXTS" && authentication == "1.0")) {
      auto loop = std::make_unique<GIFAppExtNSLoop>(frame);
      loop->identifier = identifier;
      loop->authentication = authentication;
      for (const auto& b : blocks) {
        if ((b[0] & 7) == 1) {
          if (b.size() < 3) throw GIFException(GifError::InvalidData);
          loop->loops = b[1] | (b[2] << 8);
        } else if ((b[0] & 7) == 2) {
          if (b.size() < 5) throw GIFException(GifError::InvalidData);
          loop->bufferSize = static_cast<std::uint32_t>(b[1]) | (static_cast<std::uint32_t>(b[2]) << 8) |
                             (static_cast<std::uint32_t>(b[3]) << 16) | (static_cast<std::uint32_t>(b[4]) << 24);
        }
      }
      return loop;
    }
    auto unknown = std::make_unique<GIFUnknownAppExtension>(frame);
    unknown->identifier = identifier;
    unknown->authentication = authentication;
    unknown->blocks = std::move(blocks);
    return unknown;
  }

  void ReadFrame() {
    GIFSubImage& frame = image_.AddImage();
    while (!in_.AtEnd() && Peek() == 0x21) {
      in_.Skip(1);
      const std::uint8_t label = in_.U8();
      frame.AddExtension(ReadExtension(frame, label));
    }
    if (in_.AtEnd()) return;
    const std::uint8_t next = Peek();
    if (next != 0x2C) {
      if (!frame.Extensions().empty() && next != 0x3B && next != 0)
        image_.Warning(GifError::InvalidExtensionIntroducer);
      return;
    }
    in_.Skip(1);
    const int left = in_.U16LE();
    const int top = in_.U16LE();
    int width = in_.U16LE();
    int height = in_.U16LE();
    const std::uint8_t packed = in_.U8();
    if (width == 0 || height == 0) {
      image_.Warning(GifError::ExceedsScreen);
      width = image_.Header().screenWidth;
      height = image_.Header().screenHeight;
    }
    CheckPixels(width, height);
    allocated_ += static_cast<std::int64_t>(width) * height;
    // All frames together, as they are all kept (one byte a pixel): the most
    // a bitmap holds. The pixel limit is a picture's, checked frame by frame.
    if (allocated_ > kMaxImagePixels) throw EImageTooLarge();
    frame.SetBounds(left, top, width, height);
    frame.SetInterlaced((packed & 0x40) != 0);
    if (packed & 0x80) ReadColorTable(frame.LocalColorMap(), 2 << (packed & 7));
    frame.LocalColorMap().SetOptimized((packed & 0x80) && (packed & 0x20));
    ReadPixels(frame);
    image_.Progress(1,
                    100 *
                        static_cast<int>(std::min<std::size_t>(in_.Position(), in_.Size()) /
                                         std::max<std::size_t>(in_.Size() / 100, 1)) /
                        100,
                    "Loading...");
  }

  void ReadPixels(GIFSubImage& frame) {
    const auto fill = static_cast<std::uint8_t>(frame.Transparent() ? frame.TransparentIndex() : 0);
    std::vector<std::uint8_t>& pixels = frame.Pixels();
    std::fill(pixels.begin(), pixels.end(), fill);
    const int minCodeSize = in_.U8();

    data_.clear();
    bool terminated = false;
    for (;;) {
      if (in_.AtEnd()) {
        image_.Warning(GifError::PrematureEnd);
        break;
      }
      const std::uint8_t n = in_.U8();
      if (n == 0) {
        terminated = true;
        break;
      }
      if (n > in_.Remaining()) {
        image_.Warning(GifError::PrematureEnd);
        const auto rest = in_.Take(in_.Remaining());
        data_.insert(data_.end(), rest.begin(), rest.end());
        break;
      }
      const auto block = in_.Take(n);
      data_.insert(data_.end(), block.begin(), block.end());
    }

    LzwResult result;
    if (!frame.Interlaced()) {
      result = DecodeLzw(data_, minCodeSize, pixels);
    } else if (!pixels.empty()) {
      std::vector<std::uint8_t> linear(pixels.size(), fill);
      result = DecodeLzw(data_, minCodeSize, linear);
      const auto width = static_cast<std::size_t>(frame.Width());
      const int height = frame.Height();
      static constexpr int kStart[4] = {0, 4, 2, 1};
      static constexpr int kStep[4] = {8, 8, 4, 2};
      std::size_t row = 0;
      for (int pass = 0; pass < 4; ++pass)
        for (int y = kStart[pass]; y < height; y += kStep[pass], ++row)
          std::memcpy(pixels.data() + static_cast<std::size_t>(y) * width, linear.data() + row * width, width);
    }
    if (terminated && (result.end == LzwEnd::OutOfCodes || result.extraCodeMissing))
      image_.Warning(GifError::BitBufferUnderrun);
  }

  GIFImage& image_;
  ByteReader in_;
  std::vector<std::uint8_t> data_;
  std::int64_t allocated_ = 0;
};

// ---- The image -------------------------------------------------------------

GIFImage::GIFImage(const GifSettings& settings) : settings_(settings) {}

GIFImage::~GIFImage() = default;

GIFSubImage& GIFImage::AddImage() {
  frames_.push_back(std::make_unique<GIFSubImage>(*this));
  return *frames_.back();
}

void GIFImage::Clear() {
  frames_.clear();
  const GIFHeader fresh;
  header_.screenWidth = fresh.screenWidth;
  header_.screenHeight = fresh.screenHeight;
  header_.packed = fresh.packed;
  header_.background = fresh.background;
  header_.aspectRatio = fresh.aspectRatio;
  header_.globalColorMap.Clear();
}

int GIFImage::Version() const {
  int version = 0;
  for (const auto& frame : frames_) version = std::max(version, frame->Version());
  return version;
}

void GIFImage::Warning(GifError warning) const {
  if (onWarning_) onWarning_(ErrorText(warning));
}

void GIFImage::Progress(int stage, int percent, const char* text) const {
  if (onProgress_) onProgress_(stage, percent, text);
}

void GIFImage::LoadFromBytes(std::span<const std::uint8_t> bytes) {
  Clear();
  Progress(0, 0, "Loading...");
  try {
    GIFReader reader(*this, bytes);
    reader.Read();
  } catch (const EReadError&) {
    Clear();
    throw GIFException(GifError::PrematureEnd);
  } catch (...) {
    Clear();
    throw;
  }
  Progress(2, 100, "Loading...");
}

void GIFImage::LoadFromStream(Stream& stream) {
  const std::int64_t start = stream.Position();
  const std::vector<std::uint8_t> bytes = stream.ReadRest();
  Clear();
  Progress(0, 0, "Loading...");
  std::size_t consumed = 0;
  try {
    GIFReader reader(*this, bytes);
    consumed = reader.Read();
  } catch (const EReadError&) {
    Clear();
    stream.Seek(start);
    throw GIFException(GifError::PrematureEnd);
  } catch (...) {
    Clear();
    stream.Seek(start);
    throw;
  }
  stream.Seek(start + static_cast<std::int64_t>(consumed));
  Progress(2, 100, "Loading...");
}

std::vector<std::uint8_t> GIFImage::SaveToBytes() const {
  const int version = Version();
  if (version == 0) throw GIFException(GifError::UnsupportedVersion);
  Progress(0, 0, "Saving...");
  std::vector<std::uint8_t> out;
  std::size_t estimate = 1024;
  for (const auto& frame : frames_) estimate += frame->Pixels().size();
  out.reserve(estimate);
  const char* signature = version == 1 ? "GIF87a" : "GIF89a";
  for (int i = 0; i < 6; ++i) out.push_back(static_cast<std::uint8_t>(signature[i]));

  const GIFColorMap& global = header_.globalColorMap;
  const int globalBits = global.BitsPerEntry();
  int maxBits = globalBits;
  int resolution = globalBits - 1;
  for (const auto& frame : frames_) {
    const int bits = frame->LocalColorMap().BitsPerEntry();
    maxBits = std::max(maxBits, bits);
    resolution = std::max(resolution, bits - 1);
  }
  PutU16(out, static_cast<unsigned>(header_.screenWidth));
  PutU16(out, static_cast<unsigned>(header_.screenHeight));
  std::uint8_t packed = static_cast<std::uint8_t>(((resolution & 7) << 4) | ((maxBits - 1) & 7));
  if (!global.Empty()) packed |= 0x80;
  if (global.Optimized()) packed |= 0x08;
  out.push_back(packed);
  out.push_back(header_.background);
  out.push_back(header_.aspectRatio);
  if (!global.Empty()) PutPaddedTable(out, global);

  std::vector<std::uint8_t> ordered;
  for (std::size_t n = 0; n < frames_.size(); ++n) {
    const GIFSubImage& frame = *frames_[n];
    for (const auto& extension : frame.Extensions()) {
      out.push_back(0x21);
      out.push_back(extension->Label());
      extension->WriteBody(out);
    }
    if (frame.Empty()) continue;
    out.push_back(0x2C);
    PutU16(out, static_cast<unsigned>(frame.Left()));
    PutU16(out, static_cast<unsigned>(frame.Top()));
    PutU16(out, static_cast<unsigned>(frame.Width()));
    PutU16(out, static_cast<unsigned>(frame.Height()));
    const GIFColorMap& local = frame.LocalColorMap();
    bool interlaced = false;
    int codeBits;
    if (!local.Empty()) {
      out.push_back(static_cast<std::uint8_t>(0x80 | (local.Optimized() ? 0x20 : 0) | (local.BitsPerEntry() - 1)));
      PutPaddedTable(out, local);
      codeBits = local.BitsPerEntry();
    } else {
      interlaced = frame.Interlaced();
      out.push_back(interlaced ? 0x40 : 0);
      codeBits = maxBits;
    }
    const int valid = 1 << codeBits;
    const std::vector<std::uint8_t>& pixels = frame.Pixels();
    if (valid < 256)
      for (std::uint8_t p : pixels)
        if (p >= valid) throw GIFException(GifError::ColorNotInTable);
    std::span<const std::uint8_t> data = pixels;
    if (interlaced) {
      ordered.resize(pixels.size());
      const auto width = static_cast<std::size_t>(frame.Width());
      static constexpr int kStart[4] = {0, 4, 2, 1};
      static constexpr int kStep[4] = {8, 8, 4, 2};
      std::size_t row = 0;
      for (int pass = 0; pass < 4; ++pass)
        for (int y = kStart[pass]; y < frame.Height(); y += kStep[pass], ++row)
          std::memcpy(ordered.data() + row * width, pixels.data() + static_cast<std::size_t>(y) * width, width);
      data = ordered;
    }
    EncodeLzw(data, std::max(codeBits, 2), out);
    Progress(1, static_cast<int>(100 * (n + 1) / frames_.size()), "Saving...");
  }
  out.push_back(0x3B);
  Progress(2, 100, "Saving...");
  return out;
}

void GIFImage::SaveToStream(Stream& stream) const {
  const std::vector<std::uint8_t> bytes = SaveToBytes();
  stream.WriteBuffer(bytes);
}

void GIFImage::Assign(const Bitmap& source) {
  Clear();
  GIFSubImage& frame = AddImage();
  frame.Assign(source);
}

Bitmap GIFImage::ToBitmap() const {
  if (frames_.empty() || frames_.front()->Empty()) throw GIFException(GifError::ImageEmpty);
  const GIFSubImage& frame = *frames_.front();
  const int width = header_.screenWidth;
  const int height = header_.screenHeight;
  if (frame.Width() == width && frame.Height() == height) return frame.ToBitmap();

  CheckImageSize(width, height, PixelLimit());
  Bitmap picture(width, height, pf24bit);
  picture.Fill(clWhite);
  const Palette& colors = frame.ActiveColorMap().Colors();
  std::array<std::uint8_t, 3 * 256> bgr{};
  for (std::size_t i = 0; i < colors.size(); ++i) {
    bgr[3 * i] = static_cast<std::uint8_t>(GetBValue(colors[i]));
    bgr[3 * i + 1] = static_cast<std::uint8_t>(GetGValue(colors[i]));
    bgr[3 * i + 2] = static_cast<std::uint8_t>(GetRValue(colors[i]));
  }
  const int x0 = std::max(frame.Left(), 0);
  const int x1 = std::min(frame.Left() + frame.Width(), width);
  for (int fy = 0; fy < frame.Height(); ++fy) {
    const int y = frame.Top() + fy;
    if (y < 0 || y >= height) continue;
    std::uint8_t* row = picture.ScanLine(y);
    const std::uint8_t* in =
        frame.Pixels().data() + static_cast<std::size_t>(fy) * static_cast<std::size_t>(frame.Width());
    for (int x = x0; x < x1; ++x) {
      const std::uint8_t* c = &bgr[3 * static_cast<std::size_t>(in[x - frame.Left()])];
      std::memcpy(row + 3 * static_cast<std::size_t>(x), c, 3);
    }
  }
  return picture;
}

void GIFImage::AssignTo(Bitmap& target) const { target = ToBitmap(); }

void GIFImage::Draw(Canvas& canvas, const Rect& rect) const {
  if (frames_.empty() || frames_.front()->Empty() || Empty()) return;
  const GIFSubImage& frame = *frames_.front();
  const std::int64_t w = header_.screenWidth, h = header_.screenHeight;
  const Rect target{
      rect.Left + static_cast<int>(frame.Left() * static_cast<std::int64_t>(rect.Width()) / w),
      rect.Top + static_cast<int>(frame.Top() * static_cast<std::int64_t>(rect.Height()) / h),
      rect.Left + static_cast<int>((frame.Left() + frame.Width()) * static_cast<std::int64_t>(rect.Width()) / w),
      rect.Top + static_cast<int>((frame.Top() + frame.Height()) * static_cast<std::int64_t>(rect.Height()) / h)};
  Bitmap picture = frame.ToBitmap();
  if (settings_.drawOptions.transparent && frame.Transparent()) {
    // The transparent index gets a colour no entry of the table has, and
    // that colour is left out when drawing.
    Palette colors = picture.Palette();
    colors.resize(256, clBlack);
    Color key = RGB(1, 2, 3);
    for (int k = 0; std::find(colors.begin(), colors.end(), key) != colors.end(); ++k) key = RGB(1, 2, 3 + k);
    const int index = frame.TransparentIndex();
    colors[static_cast<std::size_t>(index)] = key;
    picture.SetPalette(colors);
    picture.SetPixelFormat(pf24bit);
    picture.SetTransparent(true);
    picture.SetTransparentColor(key);
  }
  picture.Draw(canvas, target);
}

// ---- Table merging ---------------------------------------------------------

namespace {

struct UsageRecord {
  std::int64_t count = 0;
  int index = 0;
  int newIndex = 256;
  Color color = 0;
  UsageRecord* standsFor = nullptr;
};

struct Histogram {
  const GIFColorMap* map = nullptr;
  std::vector<GIFSubImage*> frames;
  std::vector<UsageRecord> records;
  std::vector<UsageRecord*> used;
};

// Counts a frame's indices into the histogram; returns whether the frame
// really shows its transparent index.
bool Feed(Histogram& histogram, GIFSubImage& frame) {
  const int size = histogram.map->Count();
  const bool transparent = frame.Transparent();
  const int transparentIndex = frame.TransparentIndex();
  bool usesTransparency = false;
  bool counting = true;
  bool warned = false;
  std::array<std::int64_t, 256> counts{};
  for (std::uint8_t& p : frame.Pixels()) {
    if (transparent && p == transparentIndex) {
      usesTransparency = true;
      continue;
    }
    if (p >= size) {
      if (!warned) frame.Image().Warning(GifError::ColorNotInTable);
      warned = true;
      p = 0;
    }
    if (counting && ++counts[p] == std::numeric_limits<int>::max()) counting = false;
  }
  for (int i = 0; i < size; ++i) {
    histogram.records[static_cast<std::size_t>(i)].count = std::min<std::int64_t>(
        histogram.records[static_cast<std::size_t>(i)].count + counts[static_cast<std::size_t>(i)],
        std::numeric_limits<int>::max());
  }
  if (transparent && !usesTransparency) {
    if (GIFGraphicControlExtension* gce = frame.GraphicControlExtension()) {
      gce->SetTransparent(false);
      gce->SetTransparentIndexUnchecked(0);
    }
    frame.SetTransparent(false);
  }
  return usesTransparency;
}

}  // namespace

void MergeColorTables(GIFImage& image) {
  std::vector<std::unique_ptr<Histogram>> histograms;
  bool useTransparency = false;

  auto makeHistogram = [](const GIFColorMap& map) {
    auto h = std::make_unique<Histogram>();
    h->map = &map;
    h->records.resize(static_cast<std::size_t>(map.Count()));
    for (int i = 0; i < map.Count(); ++i) {
      UsageRecord& r = h->records[static_cast<std::size_t>(i)];
      r.index = i;
      r.color = map.At(i);
    }
    return h;
  };

  if (!image.GlobalColorMap().Empty()) {
    auto global = makeHistogram(image.GlobalColorMap());
    for (const auto& frame : image.Images()) {
      if (frame->Empty() || !frame->LocalColorMap().Empty()) continue;
      global->frames.push_back(frame.get());
      useTransparency |= Feed(*global, *frame);
    }
    if (!global->frames.empty()) histograms.push_back(std::move(global));
  }
  for (const auto& frame : image.Images()) {
    if (frame->Empty() || frame->LocalColorMap().Empty()) continue;
    auto local = makeHistogram(frame->LocalColorMap());
    local->frames.push_back(frame.get());
    useTransparency |= Feed(*local, *frame);
    histograms.push_back(std::move(local));
  }

  std::vector<UsageRecord*> all;
  for (auto& h : histograms) {
    for (UsageRecord& r : h->records) h->used.push_back(&r);
    std::stable_sort(h->used.begin(), h->used.end(),
                     [](const UsageRecord* a, const UsageRecord* b) { return a->count > b->count; });
    auto cut = std::find_if(h->used.begin(), h->used.end(), [](const UsageRecord* r) { return r->count == 0; });
    h->used.erase(cut, h->used.end());
    all.insert(all.end(), h->used.begin(), h->used.end());
  }

  std::stable_sort(all.begin(), all.end(),
                   [](const UsageRecord* a, const UsageRecord* b) { return a->color > b->color; });
  for (std::size_t i = 0; i < all.size();) {
    std::size_t j = i + 1;
    while (j < all.size() && all[j]->color == all[i]->color) {
      all[i]->count += all[j]->count;
      all[j]->count = 0;
      all[j]->standsFor = all[i];
      ++j;
    }
    i = j;
  }
  std::stable_sort(all.begin(), all.end(),
                   [](const UsageRecord* a, const UsageRecord* b) { return a->count > b->count; });

  const std::size_t limit = useTransparency ? 255 : 256;
  Palette table;
  std::size_t kept = 0;
  while (kept < all.size() && kept < limit && all[kept]->count != 0) {
    all[kept]->newIndex = static_cast<int>(kept);
    table.push_back(all[kept]->color);
    ++kept;
  }
  for (std::size_t i = kept; i < all.size(); ++i) {
    UsageRecord* r = all[i];
    if (r->standsFor) {
      r->newIndex = r->standsFor->newIndex;
      continue;
    }
    int best = 765;
    int chosen = 0;
    for (std::size_t k = 0; k < kept; ++k) {
      const Color a = r->color, b = all[k]->color;
      const int d =
          std::abs((GetRValue(a) - GetRValue(b)) + (GetGValue(a) - GetGValue(b)) + (GetBValue(a) - GetBValue(b)));
      if (d < best) {
        best = d;
        chosen = static_cast<int>(k);
      }
    }
    r->newIndex = chosen;
  }
  int newTransparent = 0;
  if (useTransparency) {
    newTransparent = static_cast<int>(table.size());
    table.push_back(clBlack);
  }

  // Rewrite the indices before the tables they refer to go away.
  for (auto& h : histograms) {
    std::array<std::uint8_t, 256> map{};
    for (const UsageRecord& r : h->records)
      map[static_cast<std::size_t>(r.index)] = static_cast<std::uint8_t>(r.newIndex > 255 ? 0 : r.newIndex);
    for (GIFSubImage* frame : h->frames) {
      std::array<std::uint8_t, 256> frameMap = map;
      const bool transparent = useTransparency && frame->Transparent();
      if (transparent)
        frameMap[static_cast<std::size_t>(frame->TransparentIndex())] = static_cast<std::uint8_t>(newTransparent);
      for (std::uint8_t& p : frame->Pixels()) p = frameMap[p];
      if (transparent && frame->GraphicControlExtension())
        frame->GraphicControlExtension()->SetTransparentIndexUnchecked(newTransparent);
    }
  }
  for (const auto& frame : image.Images()) frame->LocalColorMap().Clear();
  image.GlobalColorMap().Assign(table);
  image.GlobalColorMap().SetOptimized(true);
}

}  // namespace pixtrel::gif
