#include "icons/icon_image.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "codecs/png/png_object.h"
#include "core/byte_reader.h"
#include "core/canvas.h"
#include "core/stream.h"

namespace pixtrel::icons {

namespace {

constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

std::uint32_t ReadU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

IconPicture DecodePng(std::span<const std::uint8_t> data, std::int64_t pixelLimit) {
  // The colour plane and the mask come beside the decoded picture: a size
  // the header declares is checked before anything is decoded.
  const auto checkSize = [pixelLimit](std::int64_t width, std::int64_t height) {
    const std::int64_t pixels = width * height;
    if (pixelLimit > 0 && pixels * 3 > pixelLimit) throw EImageTooLarge(width, height, pixels * 2, pixelLimit);
  };
  if (data.size() >= 24 && std::memcmp(data.data() + 12, "IHDR", 4) == 0) {
    const auto big = [&](std::size_t at) {
      return static_cast<std::int64_t>(data[at]) << 24 | data[at + 1] << 16 | data[at + 2] << 8 | data[at + 3];
    };
    if (big(16) <= kMaxImageDimension && big(20) <= kMaxImageDimension) checkSize(big(16), big(20));
  }
  PNGObject png;
  png.SetPixelLimit(pixelLimit);
  try {
    png.LoadFromBytes(data);
  } catch (const EImageTooLarge&) {
    throw;
  } catch (const Exception&) {
    throw InvalidIconBitmap();
  }
  IconPicture picture;
  const int width = png.Width();
  const int height = png.Height();
  CheckImageSize(width, height);
  checkSize(width, height);
  const Bitmap& raster = png.Header()->Pixels();
  const bool alpha = png.Header()->HasAlpha();
  const ChunktRNS* trns = png.Transparency();
  const bool single = png.TransparencyMode() == ptmSingleColor;
  const Color key = single ? png.TransparentColor() : 0;
  picture.color = Bitmap(width, height, pf32bit);
  picture.andMask.assign(static_cast<std::size_t>(width) * height, 0);
  picture.hasAlpha = true;
  const bool paletteAlpha = trns && !single && png.TransparencyMode() == ptmPartial && !alpha;
  std::vector<std::uint8_t> bgr(static_cast<std::size_t>(width) * 3);
  for (int y = 0; y < height; ++y) {
    raster.RowAsBGR(y, bgr.data());
    const std::uint8_t* src = bgr.data();
    std::uint8_t* dst = picture.color.ScanLine(y);
    const std::uint8_t* a = alpha ? png.AlphaRow(y) : nullptr;
    for (int x = 0; x < width; ++x) {
      dst[4 * x] = src[3 * x];
      dst[4 * x + 1] = src[3 * x + 1];
      dst[4 * x + 2] = src[3 * x + 2];
      std::uint8_t coverage = 255;
      if (a) {
        coverage = a[x];
      } else if (single) {
        if (RGB(src[3 * x + 2], src[3 * x + 1], src[3 * x]) == key) coverage = 0;
      } else if (paletteAlpha && raster.BitCount() <= 8) {
        const int index = raster.PixelIndex(x, y);
        if (index >= 0 && static_cast<std::size_t>(index) < trns->bytes.size()) coverage = trns->bytes[index];
      }
      dst[4 * x + 3] = coverage;
    }
  }
  return picture;
}

}  // namespace

bool IsPngData(std::span<const std::uint8_t> data) {
  return data.size() >= 8 && std::memcmp(data.data(), kPngSignature, 8) == 0;
}

IconPicture DecodeIconData(std::span<const std::uint8_t> data, std::int64_t pixelLimit) {
  if (IsPngData(data)) return DecodePng(data, pixelLimit);
  ByteReader reader(data);
  if (data.size() < 40) throw InvalidIconBitmap();
  const std::uint32_t headerSize = reader.U32LE();
  const std::int32_t width = reader.S32LE();
  const std::int32_t doubledHeight = reader.S32LE();
  reader.U16LE();  // planes
  const int bits = reader.U16LE();
  const std::uint32_t compression = reader.U32LE();
  reader.Skip(12);
  const std::uint32_t colorsUsed = reader.U32LE();
  if (headerSize < 40 || headerSize > data.size()) throw InvalidIconBitmap();
  if (compression != 0 && compression != 3) throw InvalidIconBitmap();
  const std::int64_t height = std::abs(static_cast<std::int64_t>(doubledHeight)) / 2;
  if (width <= 0 || height <= 0) throw InvalidIconBitmap();
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) throw InvalidIconBitmap();
  CheckImageSize(width, height);
  const int w = width;
  const int h = static_cast<int>(height);

  Palette palette;
  std::size_t pos = headerSize;
  if (compression == 3 && bits >= 16) pos += 12;  // BI_BITFIELDS masks after a 40-byte header
  if (bits <= 8) {
    std::size_t entries = colorsUsed != 0 && colorsUsed <= (1u << bits) ? colorsUsed : (std::size_t{1} << bits);
    if (pos + 4 * entries > data.size()) throw InvalidIconBitmap();
    palette.resize(std::size_t{1} << bits, clBlack);
    for (std::size_t i = 0; i < entries; ++i)
      palette[i] = RGB(data[pos + 4 * i + 2], data[pos + 4 * i + 1], data[pos + 4 * i]);
    pos += 4 * entries;
  }
  const std::size_t colorStride = RowBytes(w, bits);
  const std::size_t maskStride = RowBytes(w, 1);
  const std::size_t colorBytes = CheckedMul(colorStride, static_cast<std::size_t>(h));
  if (pos > data.size() || colorBytes > data.size() - pos) throw InvalidIconBitmap();
  const std::uint8_t* colorRows = data.data() + pos;
  pos += colorBytes;
  // A missing or short AND mask counts as opaque where it is absent.
  const std::size_t maskAvailable = data.size() - pos;
  const std::uint8_t* maskRows = data.data() + pos;

  IconPicture picture;
  picture.color = Bitmap(w, h, pf32bit);
  picture.andMask.assign(static_cast<std::size_t>(w) * h, 0);
  bool anyAlpha = false;
  for (int row = 0; row < h; ++row) {
    const int y = doubledHeight > 0 ? h - 1 - row : row;
    const std::uint8_t* src = colorRows + colorStride * row;
    std::uint8_t* dst = picture.color.ScanLine(y);
    for (int x = 0; x < w; ++x) {
      Color c = 0;
      std::uint8_t alpha = 0;
      switch (bits) {
        case 1:
          c = palette[(src[x >> 3] >> (7 - (x & 7))) & 1];
          break;
        case 4:
          c = palette[(src[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF];
          break;
        case 8:
          c = palette[src[x]];
          break;
        case 16: {
          const int v = src[2 * x] | (src[2 * x + 1] << 8);
          c = RGB(((v >> 10) & 31) * 255 / 31, ((v >> 5) & 31) * 255 / 31, (v & 31) * 255 / 31);
          break;
        }
        case 24:
          c = RGB(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
          break;
        case 32:
          c = RGB(src[4 * x + 2], src[4 * x + 1], src[4 * x]);
          alpha = src[4 * x + 3];
          if (alpha) anyAlpha = true;
          break;
      }
      dst[4 * x] = static_cast<std::uint8_t>(GetBValue(c));
      dst[4 * x + 1] = static_cast<std::uint8_t>(GetGValue(c));
      dst[4 * x + 2] = static_cast<std::uint8_t>(GetRValue(c));
      dst[4 * x + 3] = alpha;
    }
    const std::size_t maskAt = maskStride * row;
    std::uint8_t* andRow = picture.andMask.data() + static_cast<std::size_t>(y) * w;
    if (maskAt + maskStride <= maskAvailable) {
      const std::uint8_t* m = maskRows + maskAt;
      for (int x = 0; x < w; ++x) andRow[x] = (m[x >> 3] >> (7 - (x & 7))) & 1;
    }
  }
  picture.hasAlpha = anyAlpha;
  // The coverage byte: alpha for 32-bit images with alpha, else the mask.
  for (int y = 0; y < h; ++y) {
    std::uint8_t* dst = picture.color.ScanLine(y);
    const std::uint8_t* andRow = picture.andMask.data() + static_cast<std::size_t>(y) * w;
    for (int x = 0; x < w; ++x)
      if (!anyAlpha) dst[4 * x + 3] = andRow[x] ? 0 : 255;
  }
  return picture;
}

void DrawIconPicture(const IconPicture& picture, Bitmap& target, int x0, int y0, int width, int height) {
  if (picture.Width() <= 0 || picture.Height() <= 0 || width <= 0 || height <= 0) return;
  const int tw = target.Width();
  const int th = target.Height();
  const bool direct = target.PixelFormat() == pf24bit || target.PixelFormat() == pf32bit;
  const int bytes = target.PixelFormat() == pf24bit ? 3 : 4;
  const int pw = picture.Width();
  const int ph = picture.Height();
  std::vector<int> columns(static_cast<std::size_t>(width));
  for (int x = 0; x < width; ++x) columns[x] = static_cast<int>(static_cast<std::int64_t>(x) * pw / width);
  for (int y = 0; y < height; ++y) {
    const int ty = y0 + y;
    if (ty < 0 || ty >= th) continue;
    const int sy = static_cast<int>(static_cast<std::int64_t>(y) * ph / height);
    const std::uint8_t* src = picture.color.ScanLine(sy);
    const std::uint8_t* andRow = picture.andMask.data() + static_cast<std::size_t>(sy) * pw;
    std::uint8_t* row = direct ? target.ScanLine(ty) : nullptr;
    for (int x = 0; x < width; ++x) {
      const int tx = x0 + x;
      if (tx < 0 || tx >= tw) continue;
      const int sx = columns[x];
      const std::uint8_t* s = src + 4 * sx;
      int b, g, r;
      if (direct) {
        b = row[bytes * tx];
        g = row[bytes * tx + 1];
        r = row[bytes * tx + 2];
      } else {
        const Color c = target.Pixel(tx, ty);
        r = GetRValue(c);
        g = GetGValue(c);
        b = GetBValue(c);
      }
      if (picture.hasAlpha) {
        const int a = s[3];
        b = (s[0] * a + b * (255 - a) + 127) / 255;
        g = (s[1] * a + g * (255 - a) + 127) / 255;
        r = (s[2] * a + r * (255 - a) + 127) / 255;
      } else if (!andRow[sx]) {
        b = s[0];
        g = s[1];
        r = s[2];
      }
      if (direct) {
        row[bytes * tx] = static_cast<std::uint8_t>(b);
        row[bytes * tx + 1] = static_cast<std::uint8_t>(g);
        row[bytes * tx + 2] = static_cast<std::uint8_t>(r);
      } else {
        target.SetPixel(tx, ty, RGB(r, g, b));
      }
    }
  }
}

// --- IconImage ---

IconImage::IconImage(const Entry& entry, std::vector<std::uint8_t> data) : entry_(entry), data_(std::move(data)) {}

IconImage::IconImage(const IconImage& source) : entry_(source.entry_), data_(source.data_), picture_(source.picture_) {
  FixSize();
}

std::uint32_t IconImage::BytesInRes() const { return ReadU32(entry_.data() + 8); }

void IconImage::SetData(std::vector<std::uint8_t> data) {
  data_ = std::move(data);
  picture_.reset();
}

void IconImage::FixSize() {
  if (data_.size() < 40 || IsPngData(data_)) return;
  const std::int32_t width = static_cast<std::int32_t>(ReadU32(data_.data() + 4));
  const std::uint32_t height = ReadU32(data_.data() + 8) >> 1;
  const std::int64_t smaller = std::min<std::int64_t>(width, static_cast<std::int64_t>(height));
  const auto size = static_cast<std::uint8_t>(smaller & 0xFF);
  entry_[0] = size;
  entry_[1] = size;
}

IconImage::Entry IconImage::WrittenEntry() const {
  Entry entry = entry_;
  if (!data_.empty() && data_.size() < BytesInRes()) {
    const auto size = static_cast<std::uint32_t>(data_.size());
    for (int i = 0; i < 4; ++i) entry[8 + i] = static_cast<std::uint8_t>(size >> (8 * i));
  }
  return entry;
}

void IconImage::SaveData(Stream& stream) const {
  if (data_.empty()) return;
  // Exactly the BytesInRes of WrittenEntry, so the directory and the data agree.
  stream.Write(data_.data(), std::min<std::size_t>(BytesInRes(), data_.size()));
}

const IconPicture& IconImage::Picture() const {
  if (!picture_) picture_ = std::make_shared<const IconPicture>(DecodeIconData(data_));
  return *picture_;
}

void IconImage::DrawAt(Bitmap& target, int x, int y) const {
  DrawIconPicture(Picture(), target, x, y, PixelWidth(), PixelHeight());
}

std::unique_ptr<HiResIcon> IconImage::AsIcon() const {
  Picture();
  return std::make_unique<HiResIcon>(picture_, PixelWidth(), PixelHeight());
}

// --- IconImageList ---

void IconImageList::SetCapacity(std::uint16_t n) {
  capacity_ = std::max<std::uint16_t>(n, Count());
  items_.reserve(capacity_);
}

void IconImageList::Add(std::unique_ptr<IconImage> image) {
  if (items_.size() >= 0xFFFF) throw EIconListFull();
  items_.push_back(std::move(image));
  if (Count() > capacity_) capacity_ = Count();
}

void IconImageList::Delete(int index) { Remove(index, true); }

std::unique_ptr<IconImage> IconImageList::Remove(int index, bool free) {
  if (index < 0 || index >= static_cast<int>(items_.size())) return nullptr;
  std::unique_ptr<IconImage> image = std::move(items_[index]);
  items_.erase(items_.begin() + index);
  if (free) image.reset();
  return image;
}

IconImage* IconImageList::Get(int index) const {
  if (index < 0 || index >= static_cast<int>(items_.size())) return nullptr;
  return items_[index].get();
}

void IconImageList::Exchange(int i, int j) {
  if (!Get(i) || !Get(j)) return;
  std::swap(items_[i], items_[j]);
}

void IconImageList::Clear() { items_.clear(); }

namespace {

// The classic quicksort with the middle element as pivot.
template <typename Less>
void QuickSort(std::vector<std::unique_ptr<IconImage>>& items, int left, int right, Less less) {
  int i = left;
  int j = right;
  const IconImage* pivot = items[(left + right) / 2].get();
  do {
    while (less(*items[i], *pivot)) ++i;
    while (less(*pivot, *items[j])) --j;
    if (i <= j) {
      std::swap(items[i], items[j]);
      ++i;
      --j;
    }
  } while (i <= j);
  if (left < j) QuickSort(items, left, j, less);
  if (i < right) QuickSort(items, i, right, less);
}

}  // namespace

void IconImageList::SortBySize() {
  if (items_.size() < 2) return;
  QuickSort(items_, 0, static_cast<int>(items_.size()) - 1, [](const IconImage& a, const IconImage& b) {
    if (a.Width() != b.Width()) return a.Width() < b.Width();
    return a.BitCount() < b.BitCount();
  });
}

void IconImageList::SortByColors() {
  if (items_.size() < 2) return;
  QuickSort(items_, 0, static_cast<int>(items_.size()) - 1, [](const IconImage& a, const IconImage& b) {
    if (a.BitCount() != b.BitCount()) return a.BitCount() < b.BitCount();
    return a.Width() < b.Width();
  });
}

// --- AdvancedIcon ---

void AdvancedIcon::Assign(const AdvancedIcon& source) {
  images_.Clear();
  images_.SetCapacity(source.images_.Count());
  for (int i = 0; i < source.images_.Count(); ++i) images_.Add(std::make_unique<IconImage>(*source.images_.Get(i)));
}

bool AdvancedIcon::ReadHeader(Stream& stream, std::uint16_t& count) {
  std::uint8_t header[6];
  if (stream.Read(header, 6) != 6) return false;
  const int reserved = header[0] | (header[1] << 8);
  const int type = header[2] | (header[3] << 8);
  if (reserved != 0 || type != 1) return false;
  count = static_cast<std::uint16_t>(header[4] | (header[5] << 8));
  images_.SetCapacity(count);
  return true;
}

bool AdvancedIcon::LoadFromFile(const std::string& fileName) {
  FileStream stream(fileName);
  return LoadFromStream(stream);
}

bool AdvancedIcon::LoadFromBytes(std::span<const std::uint8_t> bytes) {
  MemoryStream stream(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  return LoadFromStream(stream);
}

bool AdvancedIcon::LoadFromStream(Stream& stream) {
  images_.Clear();
  stream.Seek(0);
  std::uint16_t count = 0;
  if (!ReadHeader(stream, count)) return false;
  const std::int64_t size = stream.Size();
  // Entries may share one data block; the copies are capped.
  std::uint64_t budget = std::uint64_t{256} << 20;
  for (int i = 0; i < count; ++i) {
    std::uint8_t raw[16];
    stream.ReadBuffer(raw, 16);
    const std::int64_t after = stream.Position();
    IconImage::Entry entry;
    std::copy(raw, raw + 12, entry.begin());
    const std::uint32_t bytesInRes = ReadU32(raw + 8);
    const std::uint32_t offset = ReadU32(raw + 12);
    if (offset > size || bytesInRes > size - offset) throw EReadError();
    if (bytesInRes > budget) throw EImageTooLarge();
    budget -= bytesInRes;
    std::vector<std::uint8_t> data(bytesInRes);
    stream.Seek(offset);
    stream.ReadBuffer(data.data(), data.size());
    stream.Seek(after);
    auto image = std::make_unique<FileIconImage>(entry, std::move(data));
    image->FixSize();
    images_.Add(std::move(image));
  }
  return true;
}

void AdvancedIcon::SaveToStream(Stream& stream) const {
  const std::vector<std::uint8_t> bytes = SaveToBytes();
  if (!bytes.empty()) stream.Write(bytes.data(), bytes.size());
}

std::vector<std::uint8_t> AdvancedIcon::SaveToBytes() const {
  const int count = images_.Count();
  if (count == 0) return {};
  MemoryStream out;
  auto put16 = [&out](int v) {
    const std::uint8_t b[2] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
    out.Write(b, 2);
  };
  put16(0);
  put16(1);
  put16(count);
  const std::uint8_t zero[4] = {0, 0, 0, 0};
  for (int i = 0; i < count; ++i) {
    out.Write(images_.Get(i)->WrittenEntry().data(), IconImage::kEntrySize);
    out.Write(zero, 4);
  }
  for (int i = 0; i < count; ++i) {
    const auto offset = static_cast<std::uint32_t>(out.Size());
    out.Seek(18 + 16 * i);
    const std::uint8_t b[4] = {static_cast<std::uint8_t>(offset), static_cast<std::uint8_t>(offset >> 8),
                               static_cast<std::uint8_t>(offset >> 16), static_cast<std::uint8_t>(offset >> 24)};
    out.Write(b, 4);
    out.Seek(out.Size());
    images_.Get(i)->SaveData(out);
  }
  return out.TakeBytes();
}

void AdvancedIcon::SaveToFile(const std::string& fileName) const {
  const std::vector<std::uint8_t> bytes = SaveToBytes();
  if (bytes.empty()) return;
  WriteFileBytes(fileName, bytes);
}

// --- single-picture reading ---

int ChooseIconEntry(std::span<const std::array<std::uint8_t, 16>> entries, int colourLimit) {
  if (entries.empty()) return -1;
  auto colours = [](const std::array<std::uint8_t, 16>& e) -> long {
    const long value = e[2] | (e[3] << 8);
    return value == 0 ? 0x10000L : value;  // 0 counts as unlimited
  };
  auto within = [colourLimit, &colours](const std::array<std::uint8_t, 16>& e) {
    return colourLimit == 0 || colours(e) <= colourLimit;
  };
  auto noWorse = [](int sizeNew, int sizeCurrent) {
    const int dNew = sizeNew - 32;
    const int dCurrent = sizeCurrent - 32;
    return std::abs(dNew) <= std::abs(dCurrent) && (dNew <= 0 || dNew <= dCurrent);
  };
  auto side = [](std::uint8_t b) { return b == 0 ? 256 : static_cast<int>(b); };
  int chosen = 0;
  for (std::size_t i = 1; i < entries.size(); ++i) {
    const auto& e = entries[i];
    const auto& c = entries[chosen];
    if (within(e) && colours(e) >= colours(c) && noWorse(side(e[0]), side(c[0])) && noWorse(side(e[1]), side(c[1])))
      chosen = static_cast<int>(i);
  }
  return chosen;
}

HiResIcon::HiResIcon() = default;

HiResIcon::HiResIcon(std::shared_ptr<const IconPicture> picture, int width, int height)
    : picture_(std::move(picture)), width_(width), height_(height) {}

int HiResIcon::Width() const { return picture_ ? width_ : 0; }
int HiResIcon::Height() const { return picture_ ? height_ : 0; }

void HiResIcon::LoadFromStream(Stream& stream) { LoadFromBytes(stream.ReadRest()); }

void HiResIcon::LoadFromBytes(std::span<const std::uint8_t> bytes) {
  ByteReader reader(bytes);
  reader.U16LE();  // reserved
  const int type = reader.U16LE();
  if (type > 1) throw EIconInvalid();
  const int count = reader.U16LE();
  if (count == 0) throw EIconInvalid();
  std::vector<std::array<std::uint8_t, 16>> entries(count);
  for (auto& e : entries) {
    const auto raw = reader.Take(16);
    std::copy(raw.begin(), raw.end(), e.begin());
  }
  const int index = ChooseIconEntry(entries, 0);
  const auto& e = entries[index];
  const std::uint32_t size = ReadU32(e.data() + 8);
  const std::uint32_t offset = ReadU32(e.data() + 12);
  if (offset > bytes.size() || size > bytes.size() - offset) throw EIconInvalid();
  auto picture = std::make_shared<const IconPicture>(DecodeIconData(bytes.subspan(offset, size), PixelLimit()));
  picture_ = std::move(picture);
  width_ = e[0] == 0 ? 256 : e[0];
  height_ = e[1] == 0 ? 256 : e[1];
  changed_ = false;
}

void HiResIcon::AssignTo(Bitmap& target) const {
  Bitmap result(Width(), Height(), pf24bit);
  result.Fill(clWhite);
  if (picture_) DrawIconPicture(*picture_, result, 0, 0, width_, height_);
  target = std::move(result);
}

void HiResIcon::Draw(Canvas& canvas, const Rect& rect) const {
  if (!picture_) return;
  DrawIconPicture(*picture_, canvas.Owner(), rect.Left, rect.Top, width_, height_);
}

void HiResIcon::UpdateSize() {
  if (!changed_) return;
  changed_ = false;
  if (picture_ && picture_->Width() > 0) width_ = height_ = picture_->Width();
}

}  // namespace pixtrel::icons
