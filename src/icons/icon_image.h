// The icon model: one image of an icon as its raw resource bits plus the 12
// directory bytes that describe it, lists of such images, and icons read from
// and written to ICO files with any number of images.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/bitmap.h"
#include "core/byte_reader.h"
#include "core/errors.h"
#include "core/graphic.h"
#include "icons/icon_errors.h"

namespace pixtrel {

class Stream;

namespace icons {

// The picture of one icon image as the drawing code uses it: colour rows in
// pf32bit whose fourth byte is the coverage (0 = transparent, 255 = opaque),
// and the AND mask and XOR colour of the classic drawing rule for images
// without an alpha channel.
struct IconPicture {
  Bitmap color;                       // pf32bit, blue, green, red, alpha
  std::vector<std::uint8_t> andMask;  // one byte per pixel, 1 = keep the target
  bool hasAlpha = false;              // 32-bit image with a non-zero alpha byte
  int Width() const { return color.Width(); }
  int Height() const { return color.Height(); }
};

// Decodes icon resource bits: a BITMAPINFOHEADER (height twice the image's),
// palette, XOR rows and AND rows, or a PNG stream. Throws EInvalidGraphic for
// data that is no icon image. A PNG stream larger than pixelLimit allows
// (counting the colour and mask planes it is decoded into) is refused with
// EImageTooLarge.
IconPicture DecodeIconData(std::span<const std::uint8_t> data, std::int64_t pixelLimit = kDefaultMaxPixels);
// True when the data starts with the PNG signature.
bool IsPngData(std::span<const std::uint8_t> data);

// Draws the picture through its mask at (x, y) of target, scaled (nearest
// pixel) to width x height when that differs from the picture's own size.
// 32-bit images with alpha are blended by it; in the others a set AND bit
// keeps the target's pixel (the inverting XOR of a set bit over a non-black
// colour is not reproduced: such pixels count as transparent).
void DrawIconPicture(const IconPicture& picture, Bitmap& target, int x, int y, int width, int height);

// One image of an icon.
class IconImage {
 public:
  static constexpr std::size_t kEntrySize = 12;
  using Entry = std::array<std::uint8_t, kEntrySize>;

  IconImage() = default;
  IconImage(const Entry& entry, std::vector<std::uint8_t> data);
  virtual ~IconImage() = default;
  // Create(source): the 12 bytes, a fresh copy of Data, then FixSize.
  IconImage(const IconImage& source);
  IconImage& operator=(const IconImage&) = delete;

  // The 12 directory bytes Width .. BytesInRes, always handled as one block.
  const Entry& DirEntry() const { return entry_; }
  void SetDirEntry(const Entry& entry) { entry_ = entry; }
  // The directory bytes as a library or icon file is written with them:
  // BytesInRes no more than the bytes the image holds, so that a damaged
  // entry claiming gigabytes is not written out as such.
  Entry WrittenEntry() const;

  std::uint8_t Width() const { return entry_[0]; }
  std::uint8_t Height() const { return entry_[1]; }
  std::uint8_t ColorCount() const { return entry_[2]; }
  std::uint8_t Reserved() const { return entry_[3]; }
  std::uint16_t Planes() const { return static_cast<std::uint16_t>(entry_[4] | (entry_[5] << 8)); }
  std::uint16_t BitCount() const { return static_cast<std::uint16_t>(entry_[6] | (entry_[7] << 8)); }
  std::uint32_t BytesInRes() const;
  void SetWidth(std::uint8_t width) { entry_[0] = width; }
  void SetHeight(std::uint8_t height) { entry_[1] = height; }

  const std::vector<std::uint8_t>& Data() const { return data_; }
  void SetData(std::vector<std::uint8_t> data);

  // Width and Height := the low byte of the smaller of biWidth and
  // biHeight / 2. Data shorter than a BITMAPINFOHEADER and PNG data keep the
  // directory's sizes.
  void FixSize();

  // Writes Data; nothing without Data.
  void SaveData(Stream& stream) const;

  // The decoded picture, made on first use and kept (the icon handle of the
  // platform); throws EInvalidGraphic for undecodable data.
  const IconPicture& Picture() const;
  // Draws through the mask at (x, y), sized Width x Height (0 counting as 256).
  void DrawAt(Bitmap& target, int x, int y) const;
  // A new icon graphic that reports and draws the image at its true size.
  std::unique_ptr<class HiResIcon> AsIcon() const;

  // Sizes with 0 standing for 256.
  int PixelWidth() const { return Width() == 0 ? 256 : Width(); }
  int PixelHeight() const { return Height() == 0 ? 256 : Height(); }

 private:
  Entry entry_{};
  std::vector<std::uint8_t> data_;
  mutable std::shared_ptr<const IconPicture> picture_;
};

// Images made from an ICO file, a module resource, or a 16-bit icon library;
// they differ only in how they are made.
class FileIconImage : public IconImage {
 public:
  using IconImage::IconImage;
};
class ResourceIconImage : public IconImage {
 public:
  using IconImage::IconImage;
};
class ICL16IconImage : public IconImage {
 public:
  using IconImage::IconImage;
};

// An owned list of images; Count and Capacity are 16-bit.
class IconImageList {
 public:
  std::uint16_t Count() const { return static_cast<std::uint16_t>(items_.size()); }
  std::uint16_t Capacity() const { return capacity_; }
  // n is raised to Count when smaller.
  void SetCapacity(std::uint16_t n);
  // Refuses a 65536th image with EIconListFull.
  void Add(std::unique_ptr<IconImage> image);
  void Delete(int index);
  // Takes the image out; it is returned unless free is asked.
  std::unique_ptr<IconImage> Remove(int index, bool free);
  // nullptr for an index outside the list.
  IconImage* Get(int index) const;
  // The images at i and j change places; nothing for an index outside.
  void Exchange(int i, int j);
  void Clear();
  // Ascending by Width, then BitCount.
  void SortBySize();
  // Ascending by BitCount, then Width.
  void SortByColors();

 private:
  std::vector<std::unique_ptr<IconImage>> items_;
  std::uint16_t capacity_ = 0;
};

// An icon: an ordered list of images, read from and written to ICO files.
class AdvancedIcon {
 public:
  AdvancedIcon() = default;
  virtual ~AdvancedIcon() = default;
  AdvancedIcon(const AdvancedIcon&) = delete;
  AdvancedIcon& operator=(const AdvancedIcon&) = delete;

  // Clears, then adds a plain copy of every image of source.
  virtual void Assign(const AdvancedIcon& source);

  IconImageList& Images() { return images_; }
  const IconImageList& Images() const { return images_; }

  // Reads 6 bytes; true when reserved is 0 and type 1, with the count.
  bool ReadHeader(Stream& stream, std::uint16_t& count);
  // ICO reading; false with no images when the header is not an icon's.
  // Throws EReadError when the file is shorter than its directory promises.
  bool LoadFromFile(const std::string& fileName);
  bool LoadFromStream(Stream& stream);
  bool LoadFromBytes(std::span<const std::uint8_t> bytes);
  // A group directory (type 14 resource) whose entries name icon resources
  // by ID; resolve gives the bits of one icon resource (type 3).
  template <typename Resolve>
  bool LoadFromGroup(std::span<const std::uint8_t> group, Resolve&& resolve);

  // ICO writing; nothing at all for an icon without images.
  void SaveToStream(Stream& stream) const;
  std::vector<std::uint8_t> SaveToBytes() const;
  void SaveToFile(const std::string& fileName) const;

 private:
  IconImageList images_;
};

// An icon graphic of one image, reporting and drawing itself at its size.
class HiResIcon : public Graphic {
 public:
  HiResIcon();
  HiResIcon(std::shared_ptr<const IconPicture> picture, int width, int height);

  int Width() const override;
  int Height() const override;
  // Reads an ICO file as one picture, choosing the entry for a 32 x 32 icon
  // on a display without a colour limit. Throws EInvalidGraphic
  // ("Icon image is not valid") for a type field above 1.
  void LoadFromStream(Stream& stream) override;
  void LoadFromBytes(std::span<const std::uint8_t> bytes);
  void AssignTo(Bitmap& target) const override;
  // Draws at rect's top-left at Width x Height, never stretched.
  void Draw(Canvas& canvas, const Rect& rect) const override;

  // Width and Height := the picture's width; only after a change.
  void UpdateSize();
  const IconPicture* Picture() const { return picture_.get(); }

 private:
  std::shared_ptr<const IconPicture> picture_;
  int width_ = 32;
  int height_ = 32;
  bool changed_ = false;
};

// The index of the entry a single-picture load takes: wanted size 32 x 32,
// colourLimit 0 for none. entries are the 16-byte directory entries.
int ChooseIconEntry(std::span<const std::array<std::uint8_t, 16>> entries, int colourLimit);

// --- template members ---

template <typename Resolve>
bool AdvancedIcon::LoadFromGroup(std::span<const std::uint8_t> group, Resolve&& resolve) {
  images_.Clear();
  if (group.size() < 6) return false;
  const int reserved = group[0] | (group[1] << 8);
  const int type = group[2] | (group[3] << 8);
  const int count = group[4] | (group[5] << 8);
  if (reserved != 0 || type != 1) return false;
  images_.SetCapacity(static_cast<std::uint16_t>(count));
  for (int i = 0; i < count; ++i) {
    const std::size_t at = 6 + 14 * static_cast<std::size_t>(i);
    if (at + 14 > group.size()) throw EReadError();
    IconImage::Entry entry;
    std::copy(group.begin() + at, group.begin() + at + 12, entry.begin());
    const int id = group[at + 12] | (group[at + 13] << 8);
    std::vector<std::uint8_t> data = resolve(id);
    auto image = std::make_unique<ResourceIconImage>(entry, std::move(data));
    image->FixSize();
    images_.Add(std::move(image));
  }
  return true;
}

}  // namespace icons
}  // namespace pixtrel
