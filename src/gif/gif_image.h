// The GIF codec's object model: an image with its logical screen and global
// colour table, and frames with their own descriptor, optional local colour
// table, extensions and one byte of colour index per pixel.
//
// Reading takes GIF87a and GIF89a files with any number of frames and
// extensions; the first frame becomes the picture. Writing produces what the
// program makes: one frame built from a bitmap. Animation painting threads
// are not part of this codec: every image the program draws has one frame,
// so a frame is drawn directly.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/bitmap.h"
#include "core/graphic.h"
#include "gif/color_reduction.h"
#include "gif/gif_error.h"

namespace pixtrel::gif {

class GIFImage;
class GIFSubImage;

// Receives the text of every non-fatal problem.
using WarningCallback = std::function<void(const std::string& message)>;
// Stage 0 start, 1 running, 2 end; a percentage; "Loading...", "Saving...",
// "Converting...".
using ProgressCallback = std::function<void(int stage, int percent, const std::string& text)>;

// Smallest b >= 1 with 2^b >= count; 0 for an empty table.
int BitsPerEntry(int count);

// 0 to 256 colours. A sorted ("optimized") table finds the first entry of a
// colour, an unsorted one the last; any addition or deletion clears the flag.
class GIFColorMap {
 public:
  int Count() const { return static_cast<int>(colors_.size()); }
  bool Empty() const { return colors_.empty(); }
  // Throws "Color table overflow" past 256 entries; returns the new index.
  int Add(Color color);
  // Throw "Invalid color index" outside 0..Count()-1.
  void Delete(int index);
  Color At(int index) const;
  void Clear();
  int IndexOf(Color color) const;
  bool Optimized() const { return optimized_; }
  void SetOptimized(bool optimized) { optimized_ = optimized; }
  int BitsPerEntry() const { return gif::BitsPerEntry(Count()); }
  const Palette& Colors() const { return colors_; }
  // Takes up to 256 colours (clears the sorted flag).
  void Assign(const Palette& colors);

 private:
  Palette colors_;
  bool optimized_ = false;
};

class GIFExtension {
 public:
  explicit GIFExtension(GIFSubImage& frame) : frame_(&frame) {}
  virtual ~GIFExtension() = default;
  virtual std::uint8_t Label() const = 0;
  // The bytes after the label, through the block terminator.
  virtual void WriteBody(std::vector<std::uint8_t>& out) const = 0;
  GIFSubImage& Frame() const { return *frame_; }

 protected:
  GIFSubImage* frame_;
};

class GIFGraphicControlExtension final : public GIFExtension {
 public:
  static constexpr std::uint8_t kLabel = 249;
  // Becomes the frame's graphic control extension if it has none; all fields
  // zero. It joins the frame's extensions through GIFSubImage::AddExtension.
  explicit GIFGraphicControlExtension(GIFSubImage& frame);
  std::uint8_t Label() const override { return kLabel; }
  void WriteBody(std::vector<std::uint8_t>& out) const override;

  bool Transparent() const { return (packed_ & 1) != 0; }
  // Also sets the frame's transparent flag.
  void SetTransparent(bool transparent);
  int TransparentColorIndex() const { return transparentIndex_; }
  // An index not below the frame's active table count (when that is not 0)
  // warns "Invalid color index" and stores 0.
  void SetTransparentColorIndex(int index);
  int Disposal() const { return (packed_ >> 2) & 7; }
  bool UserInput() const { return (packed_ & 2) != 0; }
  int Delay() const { return delay_; }
  void SetDelay(int hundredths) { delay_ = static_cast<std::uint16_t>(hundredths); }

  // As read from a file, without checks.
  void SetFields(std::uint8_t packed, std::uint16_t delay, std::uint8_t transparentIndex);
  void SetTransparentIndexUnchecked(int index) { transparentIndex_ = static_cast<std::uint8_t>(index); }

 private:
  std::uint8_t packed_ = 0;
  std::uint16_t delay_ = 0;
  std::uint8_t transparentIndex_ = 0;
};

// Text as lines; each line is written as sub-blocks of up to 255 bytes, and
// each sub-block read becomes one line.
class GIFTextLines {
 public:
  std::vector<std::string> lines;
  void Write(std::vector<std::uint8_t>& out) const;
};

class GIFTextExtension final : public GIFExtension {
 public:
  static constexpr std::uint8_t kLabel = 1;
  using GIFExtension::GIFExtension;
  std::uint8_t Label() const override { return kLabel; }
  void WriteBody(std::vector<std::uint8_t>& out) const override;
  std::uint8_t fields[12] = {};  // grid left, top, width, height, cell size, colours
  GIFTextLines text;
};

class GIFCommentExtension final : public GIFExtension {
 public:
  static constexpr std::uint8_t kLabel = 254;
  using GIFExtension::GIFExtension;
  std::uint8_t Label() const override { return kLabel; }
  void WriteBody(std::vector<std::uint8_t>& out) const override;
  GIFTextLines text;
};

class GIFApplicationExtension : public GIFExtension {
 public:
  static constexpr std::uint8_t kLabel = 255;
  using GIFExtension::GIFExtension;
  std::uint8_t Label() const override { return kLabel; }
  void WriteBody(std::vector<std::uint8_t>& out) const override;
  std::string identifier;      // 8 bytes
  std::string authentication;  // 3 bytes

 protected:
  virtual void WriteData(std::vector<std::uint8_t>& out) const = 0;
};

// "NETSCAPE2.0" / "ANIMEXTS1.0": loop count and buffer size.
class GIFAppExtNSLoop final : public GIFApplicationExtension {
 public:
  using GIFApplicationExtension::GIFApplicationExtension;
  int loops = 0;
  std::uint32_t bufferSize = 0;

 protected:
  void WriteData(std::vector<std::uint8_t>& out) const override;
};

// Any other application: its sub-blocks, kept byte for byte.
class GIFUnknownAppExtension final : public GIFApplicationExtension {
 public:
  using GIFApplicationExtension::GIFApplicationExtension;
  std::vector<std::vector<std::uint8_t>> blocks;

 protected:
  void WriteData(std::vector<std::uint8_t>& out) const override;
};

class GIFSubImage {
 public:
  explicit GIFSubImage(GIFImage& image) : image_(&image) {}
  GIFSubImage(const GIFSubImage&) = delete;
  GIFSubImage& operator=(const GIFSubImage&) = delete;

  GIFImage& Image() const { return *image_; }

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ <= 0 || height_ <= 0; }
  bool Interlaced() const { return interlaced_; }
  void SetInterlaced(bool interlaced) { interlaced_ = interlaced; }
  // Places the frame; the logical screen grows to contain it. A new size
  // discards the pixels (all index 0 afterwards).
  void SetBounds(int left, int top, int width, int height);

  GIFColorMap& LocalColorMap() { return localColorMap_; }
  const GIFColorMap& LocalColorMap() const { return localColorMap_; }
  // The local table if it has entries, else the global one.
  const GIFColorMap& ActiveColorMap() const;

  std::vector<std::uint8_t>& Pixels() { return pixels_; }
  const std::vector<std::uint8_t>& Pixels() const { return pixels_; }
  // Throws "Invalid pixel coordinates" outside the frame.
  int Pixel(int x, int y) const;

  const std::vector<std::unique_ptr<GIFExtension>>& Extensions() const { return extensions_; }
  GIFExtension& AddExtension(std::unique_ptr<GIFExtension> extension);

  bool Transparent() const { return transparent_; }
  void SetTransparent(bool transparent) { transparent_ = transparent; }
  // The first graphic control extension made for this frame, or null.
  GIFGraphicControlExtension* GraphicControlExtension() const { return gce_; }
  void SetGraphicControlExtension(GIFGraphicControlExtension* gce) { gce_ = gce; }
  int TransparentIndex() const { return gce_ ? gce_->TransparentColorIndex() : 0; }

  // 2 when the local table is sorted or there are extensions, else 1.
  int Version() const;

  // The frame as an 8-bit bitmap: its indices over its active table.
  Bitmap ToBitmap() const;
  // Makes the frame from a bitmap (see GIFImage::Assign).
  void Assign(const Bitmap& source);

 private:
  GIFImage* image_;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool interlaced_ = false;
  GIFColorMap localColorMap_;
  std::vector<std::unique_ptr<GIFExtension>> extensions_;
  std::vector<std::uint8_t> pixels_;
  bool transparent_ = false;
  GIFGraphicControlExtension* gce_ = nullptr;
};

struct GIFHeader {
  int screenWidth = 0;
  int screenHeight = 0;
  std::uint8_t packed = 0;
  std::uint8_t background = 0;
  std::uint8_t aspectRatio = 0;
  GIFColorMap globalColorMap;
};

class GIFImage : public Graphic {
 public:
  // Copies settings; the default is the start values of the GIF defaults.
  explicit GIFImage(const GifSettings& settings = GifSettings());
  ~GIFImage() override;
  GIFImage(const GIFImage&) = delete;
  GIFImage& operator=(const GIFImage&) = delete;

  // The logical screen.
  int Width() const override { return header_.screenWidth; }
  int Height() const override { return header_.screenHeight; }

  GIFHeader& Header() { return header_; }
  const GIFHeader& Header() const { return header_; }
  GIFColorMap& GlobalColorMap() { return header_.globalColorMap; }
  const GIFColorMap& GlobalColorMap() const { return header_.globalColorMap; }

  const std::vector<std::unique_ptr<GIFSubImage>>& Images() const { return frames_; }
  GIFSubImage& AddImage();
  void Clear();

  // The highest frame version; 0 without frames.
  int Version() const;

  // Reads a whole GIF. Any fatal error throws GIFException (or
  // EImageTooLarge), restores the stream to where reading began and leaves
  // this image empty.
  void LoadFromStream(Stream& stream) override;
  void LoadFromBytes(std::span<const std::uint8_t> bytes);
  // Writes the image; no frames throws "Unsupported GIF version".
  void SaveToStream(Stream& stream) const override;
  std::vector<std::uint8_t> SaveToBytes() const;

  // Clears the image and adds one frame made from the bitmap at (0, 0):
  // 1-, 4- and 8-bit bitmaps keep their colour table and indices; any other
  // format is reduced with this image's reduction mode, dither mode and bits.
  // A bitmap flagged transparent marks the pixels of its transparent colour.
  void Assign(const Bitmap& source);
  // The first frame as a bitmap: the frame's own 8-bit bitmap when it covers
  // the logical screen, otherwise a pf24bit picture of the screen size, white,
  // with the frame drawn at its position without transparency. Throws
  // "Image is empty" without a frame with pixels.
  void AssignTo(Bitmap& target) const override;
  Bitmap ToBitmap() const;

  // Draws the first frame into the part of rect it covers on the logical
  // screen, leaving its transparent pixels out when drawing transparently.
  void Draw(Canvas& canvas, const Rect& rect) const override;

  GifSettings& Settings() { return settings_; }
  const GifSettings& Settings() const { return settings_; }
  const Palette* CustomPalette() const { return customPalette_.empty() ? nullptr : &customPalette_; }
  void SetCustomPalette(Palette palette) { customPalette_ = std::move(palette); }

  void SetWarningCallback(WarningCallback callback) { onWarning_ = std::move(callback); }
  void SetProgressCallback(ProgressCallback callback) { onProgress_ = std::move(callback); }
  // Hands the failure's fixed text to the warning callback.
  void Warning(GifError warning) const;
  void Progress(int stage, int percent, const char* text) const;

 private:
  friend class GIFReader;

  GIFHeader header_;
  std::vector<std::unique_ptr<GIFSubImage>> frames_;
  GifSettings settings_;
  Palette customPalette_;
  WarningCallback onWarning_;
  ProgressCallback onProgress_;
};

// Compacts the image's colour tables by use: one global table sorted by use
// count, most used first, identical colours merged, no local tables; unused
// transparency is dropped and used transparency gets a black entry of its own
// at the end.
void MergeColorTables(GIFImage& image);

}  // namespace pixtrel::gif
