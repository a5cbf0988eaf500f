#include "codecs/targa/targa_image.h"

#include <QFile>
#include <algorithm>
#include <cstring>

#include "codecs/targa/targa_errors.h"
#include "core/byte_reader.h"
#include "core/errors.h"
#include "core/stream.h"

namespace pixtrel {

namespace {

// How one stored pixel becomes a colour-bitmap pixel.
enum class PixelKind { None, Mapped8, Grey8, True16, True24, True32 };

PixelKind KindOf(int imageType, int depth) {
  switch (imageType) {
    case 1:
    case 9:
      return depth == 8 ? PixelKind::Mapped8 : PixelKind::None;
    case 3:
    case 11:
      return depth == 8 ? PixelKind::Grey8 : PixelKind::None;
    case 2:
    case 10:
      switch (depth) {
        case 16:
          return PixelKind::True16;
        case 24:
          return PixelKind::True24;
        case 32:
          return PixelKind::True32;
        default:
          return PixelKind::None;
      }
    default:
      return PixelKind::None;
  }
}

int PixelBytes(PixelKind kind) {
  switch (kind) {
    case PixelKind::True16:
      return 2;
    case PixelKind::True24:
      return 3;
    case PixelKind::True32:
      return 4;
    case PixelKind::None:
      return 0;
    default:
      return 1;
  }
}

// A 15/16-bit word: bits 0-4 blue, 5-9 green, 10-14 red, each 5-bit value
// times 8; bit 15 is ignored.
inline void Word555(unsigned w, std::uint8_t* out) {
  out[0] = static_cast<std::uint8_t>((w & 31) << 3);
  out[1] = static_cast<std::uint8_t>(((w >> 5) & 31) << 3);
  out[2] = static_cast<std::uint8_t>(((w >> 10) & 31) << 3);
}

class PixelConverter {
 public:
  PixelConverter(PixelKind kind, const std::array<TargaColor, 256>& map) : kind_(kind), map_(map) {}

  // Converts count stored pixels into pf32bit colour pixels (and, for 32-bit
  // pixels, grey alpha pixels).
  void Run(const std::uint8_t* in, int count, std::uint8_t* out, std::uint8_t* alpha) const {
    switch (kind_) {
      case PixelKind::Mapped8:
        for (int x = 0; x < count; ++x, out += 4) {
          const TargaColor& c = map_[in[x]];
          out[0] = c.blue;
          out[1] = c.green;
          out[2] = c.red;
          out[3] = 0;
        }
        break;
      case PixelKind::Grey8:
        for (int x = 0; x < count; ++x, out += 4) {
          out[0] = out[1] = out[2] = in[x];
          out[3] = 0;
        }
        break;
      case PixelKind::True16:
        for (int x = 0; x < count; ++x, in += 2, out += 4) {
          Word555(in[0] | (in[1] << 8), out);
          out[3] = 0;
        }
        break;
      case PixelKind::True24:
        for (int x = 0; x < count; ++x, in += 3, out += 4) {
          out[0] = in[0];
          out[1] = in[1];
          out[2] = in[2];
          out[3] = 0;
        }
        break;
      case PixelKind::True32:
        for (int x = 0; x < count; ++x, in += 4, out += 4, alpha += 4) {
          out[0] = in[0];
          out[1] = in[1];
          out[2] = in[2];
          out[3] = 0;
          alpha[0] = alpha[1] = alpha[2] = in[3];
          alpha[3] = 0;
        }
        break;
      case PixelKind::None:
        break;
    }
  }

 private:
  PixelKind kind_;
  const std::array<TargaColor, 256>& map_;
};

}  // namespace

void Targa::LoadFromStream(Stream& stream) {
  const std::vector<std::uint8_t> bytes = stream.ReadRest();
  LoadFromBytes(bytes);
}

void Targa::LoadFromFile(const std::string& path) {
  QFile file(QString::fromStdString(path));
  if (file.open(QIODevice::ReadOnly) && file.size() > 0) {
    if (const uchar* data = file.map(0, file.size())) {
      LoadFromBytes(std::span<const std::uint8_t>(data, static_cast<std::size_t>(file.size())));
      return;
    }
  }
  Graphic::LoadFromFile(path);
}

void Targa::LoadFromBytes(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kHeaderSize) ThrowTargaError(TargaError::ShortHeader);
  ByteReader reader(bytes);
  TargaHeader h;
  h.idLength = reader.U8();
  h.colorMapType = reader.U8();
  h.imageType = reader.U8();
  h.colorMapFirstIndex = reader.U16LE();
  h.colorMapLength = reader.U16LE();
  h.colorMapEntrySize = reader.U8();
  h.xOrigin = reader.U16LE();
  h.yOrigin = reader.U16LE();
  h.width = reader.U16LE();
  h.height = reader.U16LE();
  h.pixelDepth = reader.U8();
  h.descriptor = reader.U8();

  CheckImageSize(h.width, h.height, PixelLimit());

  std::size_t position = std::min(bytes.size(), kHeaderSize + h.idLength);

  // Colour map: entries past 256 and entries of odd sizes are stepped over.
  std::array<TargaColor, 256> map{};
  if (h.colorMapType == 1) {
    const std::size_t entryBytes = (h.colorMapEntrySize + 7u) / 8u;
    for (std::size_t i = 0; i < h.colorMapLength; ++i) {
      if (bytes.size() - position < entryBytes) {
        position = bytes.size();
        break;
      }
      const std::uint8_t* e = bytes.data() + position;
      position += entryBytes;
      if (i >= map.size()) continue;
      TargaColor& c = map[i];
      switch (h.colorMapEntrySize) {
        case 15:
        case 16: {
          std::uint8_t bgr[3];
          Word555(e[0] | (e[1] << 8), bgr);
          c = {bgr[2], bgr[1], bgr[0], 0};
          break;
        }
        case 24:
          c = {e[2], e[1], e[0], 0};
          break;
        case 32:
          c = {e[2], e[1], e[0], e[3]};
          break;
        default:
          break;
      }
    }
  }

  const PixelKind pixelKind = KindOf(h.imageType, h.pixelDepth);
  // A picture without pixels stays a default (pf32bit) bitmap.
  const bool sized = h.width > 0 && h.height > 0;
  Bitmap picture = sized ? Bitmap(h.width, h.height, pf32bit) : Bitmap();
  Bitmap alpha;
  if (sized && pixelKind == PixelKind::True32) alpha = Bitmap(h.width, h.height, pf32bit);

  // Nothing below raises: a failure above left this image as it was.
  bitmap_ = std::move(picture);
  alpha_ = std::move(alpha);
  alphaSized_ = pixelKind == PixelKind::True32;
  header_ = h;
  colorMap_ = map;
  switch (h.imageType) {
    case 1:
      kind_ = ttColorMapedImage;
      break;
    case 2:
      kind_ = ttTrueColorImage;
      break;
    case 3:
      kind_ = ttBlackAndWhiteImage;
      break;
    case 9:
      kind_ = ttRLEColorMapedImage;
      break;
    case 10:
      kind_ = ttRLETrueColorImage;
      break;
    case 11:
      kind_ = ttRLEBlackAndWhiteImage;
      break;
    default:
      kind_ = ttNoImageData;
      break;
  }
  switch (pixelKind) {
    case PixelKind::True16:
      depth_ = cd16bit;
      break;
    case PixelKind::True24:
      depth_ = cd24bit;
      break;
    case PixelKind::True32:
      depth_ = cd32bit;
      break;
    default:
      depth_ = cd8bit;
      break;
  }
  if (pixelKind != PixelKind::None) Decode(bytes.subspan(position));
}

void Targa::Decode(std::span<const std::uint8_t> data) {
  const PixelKind pixelKind = KindOf(header_.imageType, header_.pixelDepth);
  const PixelConverter convert(pixelKind, colorMap_);
  const int ps = PixelBytes(pixelKind);
  const int width = header_.width;
  const int height = header_.height;
  const bool hasAlpha = pixelKind == PixelKind::True32;
  const bool runLength = header_.imageType >= 9;
  auto rowOf = [&](int stored) { return header_.TopDown() ? stored : height - 1 - stored; };

  const std::uint8_t* in = data.data();
  std::size_t left = data.size();

  if (!runLength) {
    for (int r = 0; r < height && left >= static_cast<std::size_t>(ps); ++r) {
      const int y = rowOf(r);
      const int count = static_cast<int>(std::min<std::size_t>(width, left / ps));
      convert.Run(in, count, bitmap_.ScanLine(y), hasAlpha ? alpha_.ScanLine(y) : nullptr);
      in += std::size_t{1} * count * ps;
      left -= std::size_t{1} * count * ps;
    }
    return;
  }

  // Run-length packets: a header byte h, count (h & 127) + 1; bit 7 set, one
  // pixel repeated count times; clear, count pixels as they are. A packet
  // that runs past the end of a row goes on in the next row.
  int remaining = 0;
  bool repeat = false;
  std::uint8_t repeated[4] = {};
  std::uint8_t repeatedAlpha[4] = {};
  for (int r = 0; r < height; ++r) {
    const int y = rowOf(r);
    std::uint8_t* out = bitmap_.ScanLine(y);
    std::uint8_t* alphaOut = hasAlpha ? alpha_.ScanLine(y) : nullptr;
    int x = 0;
    while (x < width) {
      if (remaining == 0) {
        if (left == 0) return;
        const std::uint8_t h = *in++;
        --left;
        remaining = (h & 127) + 1;
        repeat = (h & 128) != 0;
        if (repeat) {
          if (left < static_cast<std::size_t>(ps)) return;
          convert.Run(in, 1, repeated, repeatedAlpha);
          in += ps;
          left -= ps;
        }
      }
      const int n = std::min(remaining, width - x);
      if (repeat) {
        for (int i = 0; i < n; ++i) {
          std::memcpy(out + 4 * (x + i), repeated, 4);
          if (alphaOut) std::memcpy(alphaOut + 4 * (x + i), repeatedAlpha, 4);
        }
        x += n;
        remaining -= n;
      } else {
        const int available = static_cast<int>(std::min<std::size_t>(n, left / ps));
        convert.Run(in, available, out + 4 * x, alphaOut ? alphaOut + 4 * x : nullptr);
        in += std::size_t{1} * available * ps;
        left -= std::size_t{1} * available * ps;
        x += available;
        remaining -= available;
        if (available < n) return;
      }
    }
  }
}

void Targa::SaveToStream(Stream& stream) const { WriteTargaStream(stream, bitmap_); }

void Targa::Assign(const Bitmap& source) {
  Bitmap copy(source);
  if (copy.PixelFormat() != pf24bit && copy.PixelFormat() != pf32bit) copy.SetPixelFormat(pf32bit);
  bitmap_ = std::move(copy);
  alpha_ = Bitmap();
  alphaSized_ = false;
}

void Targa::AssignTo(Bitmap& target) const { target.Assign(bitmap_); }

Bitmap Targa::TakeBitmap() {
  Bitmap taken = std::move(bitmap_);
  bitmap_ = Bitmap();
  alpha_ = Bitmap();
  alphaSized_ = false;
  return taken;
}

const Bitmap& Targa::AlphaBitmap() const {
  if (!alphaSized_) {
    alpha_ = bitmap_.Empty() ? Bitmap() : Bitmap(bitmap_.Width(), bitmap_.Height(), pf32bit);
    alphaSized_ = true;
  }
  return alpha_;
}

void WriteTargaStream(Stream& stream, const Bitmap& source) {
  // The header keeps the size in 16 bits.
  CheckFormatSize("Targa", source.Width(), source.Height(), 65535);
  if (source.PixelFormat() != pf24bit && source.PixelFormat() != pf32bit) {
    Bitmap copy(source);
    copy.SetPixelFormat(pf32bit);
    WriteTargaStream(stream, copy);
    return;
  }
  const int width = source.Width();
  const int height = source.Height();
  std::uint8_t header[Targa::kHeaderSize] = {};
  header[2] = 2;
  header[12] = static_cast<std::uint8_t>(width);
  header[13] = static_cast<std::uint8_t>(width >> 8);
  header[14] = static_cast<std::uint8_t>(height);
  header[15] = static_cast<std::uint8_t>(height >> 8);
  header[16] = 24;
  stream.Write(header, sizeof header);

  // Rows bottom to top, blue, green, red, written in batches of rows.
  const std::size_t rowBytes = std::size_t{3} * width;
  if (rowBytes == 0) return;
  const int batch = static_cast<int>(std::max<std::size_t>(1, (std::size_t{1} << 20) / rowBytes));
  std::vector<std::uint8_t> buffer(rowBytes * static_cast<std::size_t>(std::min(batch, std::max(height, 1))));
  const bool packed = source.PixelFormat() == pf24bit;
  int y = height - 1;
  while (y >= 0) {
    std::uint8_t* out = buffer.data();
    int rows = 0;
    for (; rows < batch && y >= 0; ++rows, --y, out += rowBytes) {
      const std::uint8_t* in = source.ScanLine(y);
      if (packed) {
        std::memcpy(out, in, rowBytes);
      } else {
        for (int x = 0; x < width; ++x) {
          out[3 * x] = in[4 * x];
          out[3 * x + 1] = in[4 * x + 1];
          out[3 * x + 2] = in[4 * x + 2];
        }
      }
    }
    stream.Write(buffer.data(), rowBytes * static_cast<std::size_t>(rows));
  }
}

void WriteTargaFile(const std::string& fileName, const Bitmap& source) {
  AtomicFileStream stream(fileName);
  WriteTargaStream(stream, source);
  stream.Commit();
}

}  // namespace pixtrel
