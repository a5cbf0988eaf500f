#include "icons/qx_icon.h"

#include "core/canvas.h"
#include "core/stream.h"
#include "icons/icon_image.h"

namespace pixtrel::icons {

namespace {

void Put16(std::vector<std::uint8_t>& out, int v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// A 40-byte BITMAPINFOHEADER with the fields WriteIcon sets.
void PutInfoHeader(std::vector<std::uint8_t>& out, int width, int height, int bits, int colorsUsed,
                   std::uint32_t sizeImage) {
  Put32(out, 40);
  Put32(out, static_cast<std::uint32_t>(width));
  Put32(out, static_cast<std::uint32_t>(height));
  Put16(out, 1);
  Put16(out, bits);
  Put32(out, 0);
  Put32(out, sizeImage);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, static_cast<std::uint32_t>(colorsUsed));
  Put32(out, 0);
}

}  // namespace

MaskedIcon QxIcon::CreateIconFromGraphic(const Graphic& graphic) const {
  const int w = kStandardIconSize;
  const int h = kStandardIconSize;
  Bitmap image(w, h, pf24bit);
  image.Fill(clWhite);
  image.Canvas().Draw(0, 0, graphic);
  const Color t = image.Pixel(0, h - 1);

  MaskedIcon icon;
  icon.color = Bitmap(w, h, pf24bit);
  icon.mask = Bitmap(w, h, pf1bit);
  icon.mask.SetPalette(MonochromePalette());
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* src = image.ScanLine(y);
    std::uint8_t* dst = icon.color.ScanLine(y);
    std::uint8_t* maskRow = icon.mask.ScanLine(y);
    std::fill(maskRow, maskRow + icon.mask.RowStride(), 0);
    for (int x = 0; x < w; ++x) {
      Color c = RGB(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
      if (t != clBlack && c == clBlack) c = kGuardColor;  // park real black
      if (c == t) c = clBlack;                            // transparent pixels become black
      if (c == clBlack) maskRow[x >> 3] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
      if (c == kGuardColor) c = clBlack;  // the parked black comes back
      dst[3 * x] = static_cast<std::uint8_t>(GetBValue(c));
      dst[3 * x + 1] = static_cast<std::uint8_t>(GetGValue(c));
      dst[3 * x + 2] = static_cast<std::uint8_t>(GetRValue(c));
    }
  }
  return icon;
}

void WriteIcon(Stream& stream, const MaskedIcon& icon, int colors) {
  const int bits = colors == 16 ? 4 : 8;
  const int width = icon.color.Width();
  const int height = icon.color.Height();
  const std::uint32_t colorRow = static_cast<std::uint32_t>(RowBytes(width, bits));
  const std::uint32_t maskRow = static_cast<std::uint32_t>(RowBytes(icon.mask.Width(), 1));
  const std::uint32_t colorBitsSize = colorRow * static_cast<std::uint32_t>(height);
  const std::uint32_t maskBitsSize = maskRow * static_cast<std::uint32_t>(icon.mask.Height());
  const std::uint32_t colorInfoSize = 40 + 4 * (1u << bits);

  // The colour bitmap at the depth, in the platform's colour table for it.
  Bitmap reduced(icon.color);
  reduced.SetPixelFormat(bits == 4 ? pf4bit : pf8bit);
  const Palette& palette = bits == 4 ? StandardPalette16() : HalftonePalette256();
  if (reduced.Palette() != palette) {
    Bitmap mapped(width, height, bits == 4 ? pf4bit : pf8bit);
    mapped.SetPalette(palette);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) mapped.SetPixelIndex(x, y, NearestPaletteIndex(palette, reduced.Pixel(x, y)));
    reduced = std::move(mapped);
  }

  std::vector<std::uint8_t> out;
  out.reserve(22 + colorInfoSize + colorBitsSize + maskBitsSize);
  Put16(out, 0);
  Put16(out, 1);
  Put16(out, 1);
  out.push_back(static_cast<std::uint8_t>(width));
  out.push_back(static_cast<std::uint8_t>(height));
  Put16(out, 1 * bits);  // biPlanes x biBitCount: colour-count byte and reserved byte
  Put16(out, 0);
  Put16(out, 0);
  Put32(out, colorInfoSize + colorBitsSize + maskBitsSize);
  Put32(out, 22);
  PutInfoHeader(out, width, 2 * height, bits, bits == 4 ? 16 : 0, colorBitsSize);
  for (std::size_t i = 0; i < (std::size_t{1} << bits); ++i) {
    const Color c = i < palette.size() ? palette[i] : clBlack;
    out.push_back(static_cast<std::uint8_t>(GetBValue(c)));
    out.push_back(static_cast<std::uint8_t>(GetGValue(c)));
    out.push_back(static_cast<std::uint8_t>(GetRValue(c)));
    out.push_back(0);
  }
  for (int y = height - 1; y >= 0; --y) {
    const std::uint8_t* row = reduced.ScanLine(y);
    out.insert(out.end(), row, row + colorRow);
  }
  for (int y = icon.mask.Height() - 1; y >= 0; --y) {
    const std::uint8_t* row = icon.mask.ScanLine(y);
    out.insert(out.end(), row, row + maskRow);
  }
  stream.Write(out.data(), out.size());
}

void QxIcon::SaveIcon16(const Graphic& graphic, const std::string& fileName) const {
  MemoryStream stream;
  WriteIcon(stream, CreateIconFromGraphic(graphic), 16);
  WriteFileBytes(fileName, stream.Bytes());
}

void QxIcon::SaveIcon256(const Graphic& graphic, const std::string& fileName) const {
  MemoryStream stream;
  WriteIcon(stream, CreateIconFromGraphic(graphic), 256);
  WriteFileBytes(fileName, stream.Bytes());
}

void QxIcon::BitmapToIconStream(const Bitmap& bitmap, MemoryStream& stream) const {
  stream.Seek(0);
  WriteIcon(stream, CreateIconFromGraphic(bitmap), 256);
}

}  // namespace pixtrel::icons
