#include "codecs/metafile/metafile.h"

#include <QImage>
#include <QPainter>
#include <QRectF>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "codecs/metafile/players.h"
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

// The first window origin and extent of a WMF without a placeable header.
bool FindWindow(std::span<const std::uint8_t> file, std::size_t pos, Metafile::Frame& frame) {
  bool haveExtent = false;
  while (pos + 6 <= file.size()) {
    ByteReader r(file.subspan(pos));
    const std::uint32_t words = r.U32LE();
    const std::uint16_t function = r.U16LE();
    if (function == 0 || words < 3 || words > (file.size() - pos) / 2) break;
    if ((function == 0x020B || function == 0x020C) && words >= 5) {
      const double y = r.S16LE();
      const double x = r.S16LE();
      if (function == 0x020B) {
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

}  // namespace

void Metafile::LoadFromStream(Stream& stream) { LoadFromBytes(stream.ReadRest()); }

void Metafile::LoadFromBytes(std::vector<std::uint8_t> bytes) {
  const std::span<const std::uint8_t> data(bytes);
  ByteReader r(data);
  bool enhanced = false;
  int width = 0, height = 0;
  std::size_t recordsStart = 0;
  std::size_t objectCount = 0;
  double pxPerMmX = kScreenDpi / 25.4, pxPerMmY = kScreenDpi / 25.4;
  Frame frame;
  try {
    if (data.size() >= 44 && data[0] == 1 && data[1] == 0 && data[2] == 0 && data[3] == 0) {
      // EMR_HEADER: bounds in device pixels, frame in 0.01 mm, the reference
      // device in pixels and millimetres.
      enhanced = true;
      r.Skip(4);
      const std::uint32_t headerSize = r.U32LE();
      std::int64_t bounds[4], frameBox[4];
      for (auto& v : bounds) v = r.S32LE();
      for (auto& v : frameBox) v = r.S32LE();
      if (r.U32LE() != kEmfSignature || headerSize < 88 || headerSize > data.size()) throw EInvalidMetafile();
      r.Skip(4 + 4 + 4);  // version, bytes, records
      objectCount = r.U16LE();
      r.Skip(2 + 4 + 4 + 4);  // reserved, description, palette entries
      const std::int64_t devW = r.S32LE(), devH = r.S32LE(), mmW = r.S32LE(), mmH = r.S32LE();
      if (devW > 0 && mmW > 0) pxPerMmX = static_cast<double>(devW) / mmW;
      if (devH > 0 && mmH > 0) pxPerMmY = static_cast<double>(devH) / mmH;
      const std::int64_t frameW = frameBox[2] - frameBox[0], frameH = frameBox[3] - frameBox[1];
      if (frameW > 0 && frameH > 0) {
        width = ToPixels(frameW, 2540);
        height = ToPixels(frameH, 2540);
        frame.left = frameBox[0] * pxPerMmX / 100;
        frame.top = frameBox[1] * pxPerMmY / 100;
        frame.width = frameW * pxPerMmX / 100;
        frame.height = frameH * pxPerMmY / 100;
      } else {
        const std::int64_t w = bounds[2] - bounds[0] + 1, h = bounds[3] - bounds[1] + 1;
        if (w <= 0 || h <= 0) throw EInvalidMetafile();
        width = static_cast<int>(std::min<std::int64_t>(w, kMaxImageDimension + 1));
        height = static_cast<int>(std::min<std::int64_t>(h, kMaxImageDimension + 1));
        frame = Frame{static_cast<double>(bounds[0]), static_cast<double>(bounds[1]), static_cast<double>(w),
                      static_cast<double>(h)};
      }
    } else {
      std::int64_t box[4] = {0, 0, 0, 0};
      std::int64_t inch = 0;
      const bool placeable = data.size() >= 22 && r.U32LE() == kPlaceableKey;
      if (placeable) {
        // The checksum is not checked: writers get it wrong often enough.
        r.Skip(2);
        for (auto& v : box) v = r.S16LE();
        inch = r.U16LE();
        r.Skip(4 + 2);
        if (inch == 0 || box[2] == box[0] || box[3] == box[1]) throw EInvalidMetafile();
      } else {
        r.Seek(0);
      }
      const std::uint16_t type = r.U16LE();
      const std::uint16_t headerWords = r.U16LE();
      const std::uint16_t version = r.U16LE();
      r.Skip(4);
      objectCount = r.U16LE();
      r.Skip(4 + 2);
      if ((type != 1 && type != 2) || headerWords != 9 || (version != 0x0100 && version != 0x0300))
        throw EInvalidMetafile();
      recordsStart = r.Position();
      if (placeable) {
        width = ToPixels(box[2] - box[0], inch);
        height = ToPixels(box[3] - box[1], inch);
        frame = Frame{static_cast<double>(std::min(box[0], box[2])), static_cast<double>(std::min(box[1], box[3])),
                      static_cast<double>(std::abs(box[2] - box[0])), static_cast<double>(std::abs(box[3] - box[1]))};
      } else {
        // One logical unit to the pixel.
        if (!FindWindow(data, recordsStart, frame)) throw EInvalidMetafile();
        width = static_cast<int>(std::min<double>(std::abs(frame.width), kMaxImageDimension + 1));
        height = static_cast<int>(std::min<double>(std::abs(frame.height), kMaxImageDimension + 1));
      }
    }
  } catch (const EReadError&) {
    throw EInvalidMetafile();
  }
  CheckImageSize(width, height);

  // The checking pass: every record parsed, nothing drawn.
  metafile::DeviceMapping mapping;
  if (enhanced) {
    mapping.pixelsPerMmX = pxPerMmX;
    mapping.pixelsPerMmY = pxPerMmY;
    metafile::Playback check(nullptr, mapping, false);
    metafile::PlayEmf(data, check, false);
    // Some writers give frame and bounds in logical units although the
    // records map to other device coordinates; the picture would be empty.
    // Such a file is framed by the extent of its drawing.
    const QRectF drawn = check.DrawnExtent();
    const QRectF framed(frame.left, frame.top, frame.width, frame.height);
    if (!drawn.isEmpty() && !drawn.intersects(framed)) {
      frame = Frame{drawn.left(), drawn.top(), drawn.width(), drawn.height()};
      const double limit = static_cast<double>(kMaxImageDimension + 1);
      width = static_cast<int>(std::lround(std::clamp(drawn.width() / pxPerMmX * kScreenDpi / 25.4, 1.0, limit)));
      height = static_cast<int>(std::lround(std::clamp(drawn.height() / pxPerMmY * kScreenDpi / 25.4, 1.0, limit)));
      CheckImageSize(width, height);
    }
  } else {
    metafile::Playback check(nullptr, mapping, true);
    metafile::PlayWmf(data, recordsStart, objectCount, check, false);
  }

  bytes_ = std::move(bytes);
  enhanced_ = enhanced;
  width_ = width;
  height_ = height;
  recordsStart_ = recordsStart;
  objectCount_ = objectCount;
  frame_ = frame;
}

void Metafile::AssignTo(Bitmap& target) const {
  Bitmap picture(width_, height_, pf24bit);
  picture.Fill(clWhite);
  Draw(picture.Canvas(), Bounds(width_, height_));
  target = std::move(picture);
}

void Metafile::Draw(Canvas& canvas, const Rect& rect) const {
  if (bytes_.empty() || rect.IsEmpty()) return;
  Bitmap& bitmap = canvas.Owner();
  const int left = std::max(0, rect.Left), top = std::max(0, rect.Top);
  const int right = std::min(bitmap.Width(), rect.Right), bottom = std::min(bitmap.Height(), rect.Bottom);
  if (right <= left || bottom <= top) return;
  const int w = right - left, h = bottom - top;

  // The covered part of the bitmap, in 32 bits for the painter.
  QImage image(w, h, QImage::Format_RGB32);
  if (image.isNull()) throw EImageTooLarge();
  const PixelFormat format = bitmap.PixelFormat();
  const bool direct = format == pf24bit || format == pf32bit || format == pfDevice;
  const int bytesPerPixel = format == pf24bit ? 3 : 4;
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
  const QImage before = direct ? QImage() : image.copy();

  metafile::DeviceMapping mapping;
  const double sx = rect.Width() / frame_.width, sy = rect.Height() / frame_.height;
  if (enhanced_) {
    mapping.toDestination = QTransform::fromTranslate(-frame_.left, -frame_.top) * QTransform::fromScale(sx, sy) *
                            QTransform::fromTranslate(rect.Left - left, rect.Top - top);
    // Reference device resolution, recovered from the header.
    ByteReader r(std::span<const std::uint8_t>(bytes_).subspan(72, 16));
    const double devW = r.S32LE(), devH = r.S32LE(), mmW = r.S32LE(), mmH = r.S32LE();
    if (devW > 0 && mmW > 0) mapping.pixelsPerMmX = devW / mmW;
    if (devH > 0 && mmH > 0) mapping.pixelsPerMmY = devH / mmH;
  } else {
    // The window is normalised to the unit square, which fills rect.
    mapping.toDestination = QTransform::fromScale(rect.Width(), rect.Height()) *
                            QTransform::fromTranslate(rect.Left - left, rect.Top - top);
  }
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    metafile::Playback playback(&painter, mapping, !enhanced_);
    const std::span<const std::uint8_t> data(bytes_);
    if (enhanced_) {
      metafile::PlayEmf(data, playback, true);
    } else {
      playback.SetWindowOrg(frame_.left, frame_.top);
      playback.SetWindowExt(frame_.width, frame_.height);
      metafile::PlayWmf(data, recordsStart_, objectCount_, playback, true);
    }
  }

  for (int y = 0; y < h; ++y) {
    const auto* in = reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
    if (direct) {
      std::uint8_t* out = bitmap.ScanLine(top + y) + static_cast<std::size_t>(left) * bytesPerPixel;
      for (int x = 0; x < w; ++x, out += bytesPerPixel) {
        out[0] = static_cast<std::uint8_t>(in[x]);
        out[1] = static_cast<std::uint8_t>(in[x] >> 8);
        out[2] = static_cast<std::uint8_t>(in[x] >> 16);
      }
    } else {
      // Only changed pixels are written, so untouched ones keep their exact
      // palette index or 16-bit value.
      const auto* old = reinterpret_cast<const std::uint32_t*>(before.constScanLine(y));
      for (int x = 0; x < w; ++x)
        if ((in[x] & 0xFFFFFF) != (old[x] & 0xFFFFFF))
          bitmap.SetPixel(left + x, top + y, RGB((in[x] >> 16) & 0xFF, (in[x] >> 8) & 0xFF, in[x] & 0xFF));
    }
  }
}

}  // namespace pixtrel
