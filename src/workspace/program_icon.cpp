#include "workspace/program_icon.h"

#include <algorithm>

#include "effects/resample.h"
#include "icons/icon_encoder.h"

namespace pixtrel {

namespace {

// The picture at size x size in pf32bit with coverage. Colour and coverage
// are resampled apart, the colour premultiplied, so that the colour of
// transparent pixels does not bleed into the edges. The resampler's weights
// are not normalised, so the coverage is divided by what a fully covered
// picture gives, and a covered middle stays fully covered.
Bitmap ResampleWithCoverage(const icons::IconPicture& picture, int size) {
  const int width = picture.Width();
  const int height = picture.Height();
  Bitmap colour(width, height, pf24bit);
  Bitmap coverage(width, height, pf24bit);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* src = picture.color.ScanLine(y);
    std::uint8_t* c = colour.ScanLine(y);
    std::uint8_t* a = coverage.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      const int alpha = src[4 * x + 3];
      for (int k = 0; k < 3; ++k) {
        c[3 * x + k] = static_cast<std::uint8_t>((src[4 * x + k] * alpha + 127) / 255);
        a[3 * x + k] = static_cast<std::uint8_t>(alpha);
      }
    }
  }
  Bitmap full(width, height, pf24bit);
  full.Fill(clWhite);
  Bitmap smallColour(size, size, pf24bit);
  Bitmap smallCoverage(size, size, pf24bit);
  Bitmap smallFull(size, size, pf24bit);
  fx::ResampleBitmap(colour, smallColour, fx::Lanczos3Filter(), 3.0f);
  fx::ResampleBitmap(coverage, smallCoverage, fx::Lanczos3Filter(), 3.0f);
  fx::ResampleBitmap(full, smallFull, fx::Lanczos3Filter(), 3.0f);

  Bitmap out(size, size, pf32bit);
  for (int y = 0; y < size; ++y) {
    const std::uint8_t* c = smallColour.ScanLine(y);
    const std::uint8_t* a = smallCoverage.ScanLine(y);
    const std::uint8_t* unit = smallFull.ScanLine(y);
    std::uint8_t* dst = out.ScanLine(y);
    for (int x = 0; x < size; ++x) {
      const int raw = a[3 * x + 1];
      const int alpha = unit[3 * x + 1] == 0 ? raw : std::min(255, (raw * 255 + unit[3 * x + 1] / 2) / unit[3 * x + 1]);
      const int weight = std::max(raw, 1);
      for (int k = 0; k < 3; ++k)
        dst[4 * x + k] =
            alpha == 0 ? 0 : static_cast<std::uint8_t>(std::min(255, (c[3 * x + k] * 255 + weight / 2) / weight));
      dst[4 * x + 3] = static_cast<std::uint8_t>(alpha);
    }
  }
  return out;
}

}  // namespace

std::unique_ptr<icons::AdvancedIcon> MakeProgramIcon(std::span<const std::uint8_t> picture) {
  const icons::IconPicture source = icons::DecodeIconData(picture);
  auto icon = std::make_unique<icons::AdvancedIcon>();
  for (const int size : kProgramIconSizes) {
    const Bitmap resampled = ResampleWithCoverage(source, size);
    for (const int depth : kProgramIconDepths) icon->Images().Add(icons::MakeIconImage(resampled, depth));
  }
  return icon;
}

}  // namespace pixtrel
