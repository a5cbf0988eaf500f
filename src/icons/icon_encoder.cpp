#include "icons/icon_encoder.h"

namespace pixtrel::icons {

namespace {

constexpr int kOpaqueFrom = 128;

void Put16(std::vector<std::uint8_t>& out, int v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

}  // namespace

std::unique_ptr<IconImage> MakeIconImage(const Bitmap& picture, int bitCount) {
  const int width = picture.Width();
  const int height = picture.Height();
  if ((bitCount != 4 && bitCount != 8 && bitCount != 32) || picture.PixelFormat() != pf32bit || width < 1 ||
      height < 1 || width > 256 || height > 256)
    throw EInvalidGraphic();
  const Palette* palette = bitCount == 4 ? &StandardPalette16() : bitCount == 8 ? &HalftonePalette256() : nullptr;
  const std::size_t colorRow = RowBytes(width, bitCount);
  const std::size_t maskRow = RowBytes(width, 1);
  const std::uint32_t colorBits = static_cast<std::uint32_t>(colorRow * height);
  const std::uint32_t maskBits = static_cast<std::uint32_t>(maskRow * height);

  std::vector<std::uint8_t> data;
  Put32(data, 40);
  Put32(data, static_cast<std::uint32_t>(width));
  Put32(data, static_cast<std::uint32_t>(2 * height));
  Put16(data, 1);
  Put16(data, bitCount);
  Put32(data, 0);
  Put32(data, colorBits + maskBits);
  Put32(data, 0);
  Put32(data, 0);
  Put32(data, 0);
  Put32(data, 0);
  if (palette) {
    for (std::size_t i = 0; i < (std::size_t{1} << bitCount); ++i) {
      const Color c = i < palette->size() ? (*palette)[i] : clBlack;
      data.push_back(static_cast<std::uint8_t>(GetBValue(c)));
      data.push_back(static_cast<std::uint8_t>(GetGValue(c)));
      data.push_back(static_cast<std::uint8_t>(GetRValue(c)));
      data.push_back(0);
    }
  }
  const int black = palette ? NearestPaletteIndex(*palette, clBlack) : 0;

  // Colour rows, bottom-up.
  for (int y = height - 1; y >= 0; --y) {
    const std::uint8_t* src = picture.ScanLine(y);
    std::vector<std::uint8_t> row(colorRow, 0);
    for (int x = 0; x < width; ++x) {
      const std::uint8_t* p = src + 4 * x;
      if (bitCount == 32) {
        std::copy(p, p + 4, row.begin() + 4 * x);
        continue;
      }
      const int index =
          p[3] >= kOpaqueFrom ? NearestPaletteIndex(*palette, RGB(p[2], p[1], p[0])) : black;
      if (bitCount == 8)
        row[x] = static_cast<std::uint8_t>(index);
      else
        row[x / 2] |= static_cast<std::uint8_t>(x % 2 == 0 ? index << 4 : index);
    }
    data.insert(data.end(), row.begin(), row.end());
  }
  // AND rows, bottom-up: 1 keeps what lies below.
  for (int y = height - 1; y >= 0; --y) {
    const std::uint8_t* src = picture.ScanLine(y);
    std::vector<std::uint8_t> row(maskRow, 0);
    for (int x = 0; x < width; ++x)
      if (src[4 * x + 3] < kOpaqueFrom) row[x >> 3] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
    data.insert(data.end(), row.begin(), row.end());
  }

  IconImage::Entry entry{};
  entry[0] = static_cast<std::uint8_t>(width);
  entry[1] = static_cast<std::uint8_t>(height);
  entry[2] = static_cast<std::uint8_t>(bitCount == 4 ? 16 : 0);
  entry[4] = 1;
  entry[6] = static_cast<std::uint8_t>(bitCount);
  const std::uint32_t size = static_cast<std::uint32_t>(data.size());
  for (int i = 0; i < 4; ++i) entry[8 + i] = static_cast<std::uint8_t>(size >> (8 * i));
  return std::make_unique<IconImage>(entry, std::move(data));
}

}  // namespace pixtrel::icons
