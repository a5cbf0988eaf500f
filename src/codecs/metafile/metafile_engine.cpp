// The metafile engine: the headers and the checking pass of loading, and
// playing the records onto a bitmap with QPainter.
#include "codecs/metafile/metafile_engine.h"

#include <QImage>
#include <QPainter>
#include <QRectF>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>
#include <new>

#include "codecs/metafile/players.h"
#include "codecs/metafile/record_types.h"
#include "core/bitmap.h"
#include "core/byte_reader.h"
#include "core/canvas.h"
#include "core/stream.h"

namespace pixtrel {

namespace {

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr std::uint32_t kEmfSignature = 0x464D4520;
constexpr int kScreenDpi = 96;

int ToPixels(std::int64_t units, std::int64_t unitsPerInch) {
  const std::int64_t pixels = (std::abs(units) * kScreenDpi + unitsPerInch / 2) / unitsPerInch;
  return static_cast<int>(std::clamp<std::int64_t>(pixels, 1, kMaxImageDimension + 1));
}

// What the headers tell: the kind, the size in pixels, the frame and where
// the records begin.
struct Header {
  bool enhanced = false;
  int width = 0;
  int height = 0;
  std::size_t recordsStart = 0;
  std::size_t objectCount = 0;
  double pxPerMmX = kScreenDpi / 25.4;
  double pxPerMmY = kScreenDpi / 25.4;
  MetafileLayout::Frame frame;
};

bool LooksEnhanced(std::span<const std::uint8_t> data) {
  return data.size() >= 44 && data[0] == 1 && data[1] == 0 && data[2] == 0 && data[3] == 0;
}

// EMR_HEADER: bounds in device pixels, frame in 0.01 mm, the reference
// device in pixels and millimetres.
Header ReadEmfHeader(std::span<const std::uint8_t> data) {
  Header h;
  h.enhanced = true;
  ByteReader r(data);
  r.Skip(4);
  const std::uint32_t headerSize = r.U32LE();
  std::int64_t bounds[4], frameBox[4];
  for (auto& v : bounds) v = r.S32LE();
  for (auto& v : frameBox) v = r.S32LE();
  if (r.U32LE() != kEmfSignature || headerSize < 88 || headerSize > data.size())
    throw EInvalidMetafile(MetafileError::InvalidHeader);
  r.Skip(4 + 4 + 4);  // version, bytes, records
  h.objectCount = r.U16LE();
  r.Skip(2 + 4 + 4 + 4);  // reserved, description, palette entries
  const std::int64_t devW = r.S32LE(), devH = r.S32LE(), mmW = r.S32LE(), mmH = r.S32LE();
  if (devW > 0 && mmW > 0) h.pxPerMmX = static_cast<double>(devW) / mmW;
  if (devH > 0 && mmH > 0) h.pxPerMmY = static_cast<double>(devH) / mmH;
  const std::int64_t frameW = frameBox[2] - frameBox[0], frameH = frameBox[3] - frameBox[1];
  if (frameW > 0 && frameH > 0) {
    h.width = ToPixels(frameW, 2540);
    h.height = ToPixels(frameH, 2540);
    h.frame.left = frameBox[0] * h.pxPerMmX / 100;
    h.frame.top = frameBox[1] * h.pxPerMmY / 100;
    h.frame.width = frameW * h.pxPerMmX / 100;
    h.frame.height = frameH * h.pxPerMmY / 100;
  } else {
    const std::int64_t w = bounds[2] - bounds[0] + 1, ht = bounds[3] - bounds[1] + 1;
    if (w <= 0 || ht <= 0) throw EInvalidMetafile(MetafileError::EmptyFrame);
    h.width = static_cast<int>(std::min<std::int64_t>(w, kMaxImageDimension + 1));
    h.height = static_cast<int>(std::min<std::int64_t>(ht, kMaxImageDimension + 1));
    h.frame = MetafileLayout::Frame{static_cast<double>(bounds[0]), static_cast<double>(bounds[1]),
                              static_cast<double>(w), static_cast<double>(ht)};
  }
  return h;
}

// The first window origin and extent of a WMF without a placeable header.
bool FindWindow(std::span<const std::uint8_t> file, std::size_t pos, MetafileLayout::Frame& frame) {
  using metafile::WmfRecord;
  bool haveExtent = false;
  while (pos + 6 <= file.size()) {
    ByteReader r(file.subspan(pos));
    const std::uint32_t words = r.U32LE();
    const auto type = static_cast<WmfRecord>(r.U16LE());
    if (type == WmfRecord::Eof || words < 3 || words > (file.size() - pos) / 2) break;
    if ((type == WmfRecord::SetWindowOrg || type == WmfRecord::SetWindowExt) && words >= 5) {
      const double y = r.S16LE();
      const double x = r.S16LE();
      if (type == WmfRecord::SetWindowOrg) {
        frame.left = x;
        frame.top = y;
      } else if (x != 0 && y != 0) {
        frame.width = x;
        frame.height = y;
        haveExtent = true;
        break;
      }
    }
    pos += words * 2;
  }
  return haveExtent;
}

// The placeable header, when there is one, then the 16-bit header.
Header ReadWmfHeader(std::span<const std::uint8_t> data) {
  Header h;
  ByteReader r(data);
  std::int64_t box[4] = {0, 0, 0, 0};
  std::int64_t inch = 0;
  const bool placeable = data.size() >= 22 && r.U32LE() == kPlaceableKey;
  if (placeable) {
    // The checksum is not checked: writers get it wrong often enough.
    r.Skip(2);
    for (auto& v : box) v = r.S16LE();
    inch = r.U16LE();
    r.Skip(4 + 2);
    if (inch == 0) throw EInvalidMetafile(MetafileError::InvalidHeader);
    if (box[2] == box[0] || box[3] == box[1]) throw EInvalidMetafile(MetafileError::EmptyFrame);
  } else {
    r.Seek(0);
  }
  const std::uint16_t type = r.U16LE();
  const std::uint16_t headerWords = r.U16LE();
  const std::uint16_t version = r.U16LE();
  r.Skip(4);
  h.objectCount = r.U16LE();
  r.Skip(4 + 2);
  if ((type != 1 && type != 2) || headerWords != 9 || (version != 0x0100 && version != 0x0300))
    throw EInvalidMetafile(MetafileError::InvalidHeader);
  h.recordsStart = r.Position();
  if (placeable) {
    h.width = ToPixels(box[2] - box[0], inch);
    h.height = ToPixels(box[3] - box[1], inch);
    h.frame = MetafileLayout::Frame{static_cast<double>(std::min(box[0], box[2])),
                              static_cast<double>(std::min(box[1], box[3])),
                              static_cast<double>(std::abs(box[2] - box[0])),
                              static_cast<double>(std::abs(box[3] - box[1]))};
  } else {
    // One logical unit to the pixel.
    if (!FindWindow(data, h.recordsStart, h.frame)) throw EInvalidMetafile(MetafileError::NoWindowExtent);
    h.width = static_cast<int>(std::min<double>(std::abs(h.frame.width), kMaxImageDimension + 1));
    h.height = static_cast<int>(std::min<double>(std::abs(h.frame.height), kMaxImageDimension + 1));
  }
  return h;
}

// The checking pass of an EMF: every record parsed, nothing drawn. Some
// writers give frame and bounds in logical units although the records map
// to other device coordinates, so the picture would be empty; such a file
// is framed by the extent of its drawing.
void CheckEmfRecords(std::span<const std::uint8_t> data, Header& h, std::int64_t pixelLimit) {
  metafile::DeviceMapping mapping;
  mapping.pixelsPerMmX = h.pxPerMmX;
  mapping.pixelsPerMmY = h.pxPerMmY;
  metafile::Playback check(nullptr, mapping, false);
  metafile::PlayEmf(data, check, false);
  const QRectF drawn = check.DrawnExtent();
  const QRectF framed(h.frame.left, h.frame.top, h.frame.width, h.frame.height);
  if (drawn.isEmpty() || drawn.intersects(framed)) return;
  h.frame = MetafileLayout::Frame{drawn.left(), drawn.top(), drawn.width(), drawn.height()};
  const double limit = static_cast<double>(kMaxImageDimension + 1);
  h.width = static_cast<int>(std::lround(std::clamp(drawn.width() / h.pxPerMmX * kScreenDpi / 25.4, 1.0, limit)));
  h.height = static_cast<int>(std::lround(std::clamp(drawn.height() / h.pxPerMmY * kScreenDpi / 25.4, 1.0, limit)));
  CheckImageSize(h.width, h.height, pixelLimit);
}

// The part [left, left + w) x [top, top + h) of the bitmap as RGB32 for the
// painter.
QImage ReadCovered(const Bitmap& bitmap, int left, int top, int w, int h, bool direct) {
  QImage image(w, h, QImage::Format_RGB32);
  if (image.isNull()) throw std::bad_alloc();
  const int bytesPerPixel = bitmap.PixelFormat() == pf24bit ? 3 : 4;
  for (int y = 0; y < h; ++y) {
    auto* out = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
    if (direct) {
      const std::uint8_t* in = bitmap.ScanLine(top + y) + static_cast<std::size_t>(left) * bytesPerPixel;
      for (int x = 0; x < w; ++x, in += bytesPerPixel)
        out[x] = 0xFF000000u | (static_cast<std::uint32_t>(in[2]) << 16) | (in[1] << 8) | in[0];
    } else {
      for (int x = 0; x < w; ++x) {
        const Color c = bitmap.Pixel(left + x, top + y);
        out[x] = 0xFF000000u | (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
      }
    }
  }
  return image;
}

// The painted image back into the bitmap. In the indexed and 16-bit formats
// only changed pixels are written, so untouched ones keep their exact
// palette index or 16-bit value.
void WriteCovered(Bitmap& bitmap, int left, int top, const QImage& image, const QImage& before, bool direct) {
  const int bytesPerPixel = bitmap.PixelFormat() == pf24bit ? 3 : 4;
  for (int y = 0; y < image.height(); ++y) {
    const auto* in = reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
    if (direct) {
      std::uint8_t* out = bitmap.ScanLine(top + y) + static_cast<std::size_t>(left) * bytesPerPixel;
      for (int x = 0; x < image.width(); ++x, out += bytesPerPixel) {
        out[0] = static_cast<std::uint8_t>(in[x]);
        out[1] = static_cast<std::uint8_t>(in[x] >> 8);
        out[2] = static_cast<std::uint8_t>(in[x] >> 16);
      }
    } else {
      const auto* old = reinterpret_cast<const std::uint32_t*>(before.constScanLine(y));
      for (int x = 0; x < image.width(); ++x)
        if ((in[x] & 0xFFFFFF) != (old[x] & 0xFFFFFF))
          bitmap.SetPixel(left + x, top + y, RGB((in[x] >> 16) & 0xFF, (in[x] >> 8) & 0xFF, in[x] & 0xFF));
    }
  }
}

class PainterMetafileEngine final : public MetafileEngine {
 public:
  MetafileLayout Check(std::span<const std::uint8_t> data, std::int64_t pixelLimit) const override;
  void Draw(std::span<const std::uint8_t> data, const MetafileLayout& layout, Canvas& canvas,
            const Rect& rect) const override;

 private:
  // Plays the records onto painter's image, whose top-left pixel is
  // (imageLeft, imageTop) of the destination, stretched to rect.
  static void Play(std::span<const std::uint8_t> data, const MetafileLayout& layout, QPainter& painter,
                   const Rect& rect, int imageLeft, int imageTop);
  static void DrawInPlace(std::span<const std::uint8_t> data, const MetafileLayout& layout, Bitmap& bitmap,
                          const Rect& rect, int left, int top, int w, int h);
};

MetafileLayout PainterMetafileEngine::Check(std::span<const std::uint8_t> data, std::int64_t pixelLimit) const {
  Header h;
  try {
    h = LooksEnhanced(data) ? ReadEmfHeader(data) : ReadWmfHeader(data);
  } catch (const EReadError&) {
    throw EInvalidMetafile(MetafileError::InvalidHeader);
  }
  CheckImageSize(h.width, h.height, pixelLimit);

  if (h.enhanced) {
    CheckEmfRecords(data, h, pixelLimit);
  } else {
    metafile::Playback check(nullptr, metafile::DeviceMapping{}, true);
    metafile::PlayWmf(data, h.recordsStart, h.objectCount, check, false);
  }
  return MetafileLayout{h.enhanced, h.width, h.height, h.recordsStart, h.objectCount, h.frame};
}

void PainterMetafileEngine::Draw(std::span<const std::uint8_t> data, const MetafileLayout& layout, Canvas& canvas,
                                 const Rect& rect) const {
  Bitmap& bitmap = canvas.Owner();
  const int left = std::max(0, rect.Left), top = std::max(0, rect.Top);
  const int right = std::min(bitmap.Width(), rect.Right), bottom = std::min(bitmap.Height(), rect.Bottom);
  if (right <= left || bottom <= top) return;
  const int w = right - left, h = bottom - top;

  const PixelFormat format = bitmap.PixelFormat();
  if (format == pf32bit || format == pfDevice) {
    DrawInPlace(data, layout, bitmap, rect, left, top, w, h);
    return;
  }
  const bool direct = format == pf24bit;
  QImage image = ReadCovered(bitmap, left, top, w, h, direct);
  const QImage before = direct ? QImage() : image.copy();
  if (!direct && before.isNull()) throw std::bad_alloc();
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    Play(data, layout, painter, rect, left, top);
  }
  WriteCovered(bitmap, left, top, image, before, direct);
}

// A 32-bit bitmap is painted where it lies, with no copy of the picture: its
// rows are what the painter's RGB32 format holds but for the fourth byte,
// which the painter wants opaque. That byte is set for the painting and put
// back afterwards (one value for the whole area when it has one, else a plane
// of them), so the result is what painting a copy would give.
void PainterMetafileEngine::DrawInPlace(std::span<const std::uint8_t> data, const MetafileLayout& layout,
                                        Bitmap& bitmap, const Rect& rect, int left, int top, int w, int h) {
  const auto fourth = [&](int y) { return bitmap.ScanLine(top + y) + static_cast<std::size_t>(left) * 4 + 3; };
  const std::uint8_t first = *fourth(0);
  bool uniform = true;
  for (int y = 0; y < h && uniform; ++y) {
    const std::uint8_t* p = fourth(y);
    for (int x = 0; x < w; ++x, p += 4)
      if (*p != first) {
        uniform = false;
        break;
      }
  }
  std::vector<std::uint8_t> kept;
  if (!uniform) kept.resize(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    std::uint8_t* p = fourth(y);
    for (int x = 0; x < w; ++x, p += 4) {
      if (!uniform) kept[static_cast<std::size_t>(y) * w + x] = *p;
      *p = 0xFF;
    }
  }
  const auto restore = [&] {
    for (int y = 0; y < h; ++y) {
      std::uint8_t* p = fourth(y);
      for (int x = 0; x < w; ++x, p += 4) *p = uniform ? first : kept[static_cast<std::size_t>(y) * w + x];
    }
  };
  try {
    QImage image(bitmap.ScanLine(top) + static_cast<std::size_t>(left) * 4, w, h,
                 static_cast<qsizetype>(bitmap.RowStride()), QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    Play(data, layout, painter, rect, left, top);
  } catch (...) {
    restore();
    throw;
  }
  restore();
}

void PainterMetafileEngine::Play(std::span<const std::uint8_t> data, const MetafileLayout& layout,
                                 QPainter& painter, const Rect& rect, int imageLeft, int imageTop) {
  metafile::DeviceMapping mapping;
  const QTransform toImage = QTransform::fromTranslate(rect.Left - imageLeft, rect.Top - imageTop);
  const MetafileLayout::Frame& frame = layout.frame;
  if (layout.enhanced) {
    const double sx = rect.Width() / frame.width, sy = rect.Height() / frame.height;
    mapping.toDestination =
        QTransform::fromTranslate(-frame.left, -frame.top) * QTransform::fromScale(sx, sy) * toImage;
    // Reference device resolution, recovered from the header.
    ByteReader r(data.subspan(72, 16));
    const double devW = r.S32LE(), devH = r.S32LE(), mmW = r.S32LE(), mmH = r.S32LE();
    if (devW > 0 && mmW > 0) mapping.pixelsPerMmX = devW / mmW;
    if (devH > 0 && mmH > 0) mapping.pixelsPerMmY = devH / mmH;
    metafile::Playback playback(&painter, mapping, false);
    metafile::PlayEmf(data, playback, true);
  } else {
    // The window is normalised to the unit square, which fills rect.
    mapping.toDestination = QTransform::fromScale(rect.Width(), rect.Height()) * toImage;
    metafile::Playback playback(&painter, mapping, true);
    playback.SetWindowOrg(frame.left, frame.top);
    playback.SetWindowExt(frame.width, frame.height);
    metafile::PlayWmf(data, layout.recordsStart, layout.objectCount, playback, true);
  }
}

}  // namespace

const MetafileEngine& MetafileDrawing() {
  static const PainterMetafileEngine engine;
  return engine;
}

}  // namespace pixtrel
