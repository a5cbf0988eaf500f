// Kodak Photo CD image packs: the Base resolution (768 x 512), stored as
// pairs of luma rows followed by one row of each chroma plane at half
// resolution, PhotoYCC coded.
#include <algorithm>
#include <cstring>

#include "codecs/legacy/legacy_formats.h"

namespace pixtrel {

namespace {

constexpr const char* kPCD = "PCD";
constexpr int kWidth = 768;
constexpr int kHeight = 512;
constexpr int kChromaWidth = kWidth / 2;
constexpr std::int64_t kBaseOffset = 96 * 2048;
constexpr std::size_t kRotationOffset = 3586;

// One chroma plane (384 x 256) enlarged to 768 x 512.
void UpsampleChroma(const std::uint8_t* source, std::uint8_t* out) {
  // Even rows: source samples at even columns, the mean of neighbours at odd.
  for (int y = 0; y < kHeight / 2; ++y) {
    const std::uint8_t* s = source + static_cast<std::size_t>(y) * kChromaWidth;
    std::uint8_t* o = out + static_cast<std::size_t>(2 * y) * kWidth;
    for (int x = 0; x < kChromaWidth - 1; ++x) {
      o[2 * x] = s[x];
      o[2 * x + 1] = static_cast<std::uint8_t>((s[x] + s[x + 1] + 1) / 2);
    }
    o[kWidth - 2] = s[kChromaWidth - 1];
    o[kWidth - 1] = s[kChromaWidth - 1];
  }
  // Odd rows between two even ones, from the even columns above and below.
  for (int y = 0; y < kHeight / 2 - 1; ++y) {
    const std::uint8_t* u = out + static_cast<std::size_t>(2 * y) * kWidth;
    const std::uint8_t* d = u + 2 * kWidth;
    std::uint8_t* o = out + static_cast<std::size_t>(2 * y + 1) * kWidth;
    for (int x = 0; x < kChromaWidth - 1; ++x) {
      o[2 * x] = static_cast<std::uint8_t>((u[2 * x] + d[2 * x] + 1) / 2);
      o[2 * x + 1] = static_cast<std::uint8_t>((u[2 * x] + u[2 * x + 2] + d[2 * x] + d[2 * x + 2] + 2) / 4);
    }
    o[kWidth - 2] = static_cast<std::uint8_t>((u[kWidth - 2] + d[kWidth - 2] + 1) / 2);
    o[kWidth - 1] = o[kWidth - 2];
  }
  std::memcpy(out + static_cast<std::size_t>(kHeight - 1) * kWidth,
              out + static_cast<std::size_t>(kHeight - 2) * kWidth, kWidth);
}

}  // namespace

void PCDGraphic::LoadFromStream(Stream& stream) {
  BeginRead(stream);
  std::uint8_t head[kRotationOffset + 1] = {};
  const std::size_t got = stream.Read(head, sizeof head);
  const bool overview = got >= 7 && std::memcmp(head, "PCD_OPA", 7) == 0;
  const bool imagePack = got >= 2051 && std::memcmp(head + 2048, "PCD", 3) == 0;
  if (!overview && !imagePack) return;  // not a Photo CD file: nothing decoded
  if (overview) ThrowLegacyError(LegacyError::NotSupported, kPCD, "Overview packs are");
  if (got <= kRotationOffset) throw EReadError();

  pixtrel::ImageProperties& p = properties_;
  p.rotation = head[kRotationOffset] & 3;
  p.colorScheme = csPhotoYCC;
  p.bitsPerSample = 8;
  p.samplesPerPixel = 3;
  p.bitsPerPixel = 24;
  p.compression = ctNone;
  p.width = kWidth;
  p.height = kHeight;

  pixtrel::ColorManager& cm = colorManager_;
  cm.SetSourceColorScheme(csPhotoYCC);
  cm.SetSourceBitsPerSample(8);
  cm.SetSourceSamplesPerPixel(3);
  cm.SetTargetColorScheme(csBGR);
  cm.SetTargetBitsPerSample(8);
  cm.SetTargetSamplesPerPixel(3);
  cm.SetYCbCrParameters(0.2125, 0.7154, 0.0721);
  cm.PrepareConversion();

  // Per pair of rows: two luma rows, then one row of each chroma plane.
  constexpr std::size_t kPairBytes = 2 * kWidth + 2 * kChromaWidth;
  std::vector<std::uint8_t> base(kPairBytes * (kHeight / 2));
  stream.Seek(basePosition_ + kBaseOffset);
  stream.ReadBuffer(base.data(), base.size());

  std::vector<std::uint8_t> luma(static_cast<std::size_t>(kWidth) * kHeight);
  std::vector<std::uint8_t> c1(static_cast<std::size_t>(kChromaWidth) * (kHeight / 2));
  std::vector<std::uint8_t> c2(c1.size());
  for (int pair = 0; pair < kHeight / 2; ++pair) {
    const std::uint8_t* in = base.data() + pair * kPairBytes;
    std::memcpy(luma.data() + static_cast<std::size_t>(2 * pair) * kWidth, in, 2 * kWidth);
    std::memcpy(c1.data() + static_cast<std::size_t>(pair) * kChromaWidth, in + 2 * kWidth, kChromaWidth);
    std::memcpy(c2.data() + static_cast<std::size_t>(pair) * kChromaWidth, in + 2 * kWidth + kChromaWidth,
                kChromaWidth);
  }
  std::vector<std::uint8_t> chroma1(luma.size()), chroma2(luma.size());
  UpsampleChroma(c1.data(), chroma1.data());
  UpsampleChroma(c2.data(), chroma2.data());

  const bool turned = p.rotation == 1 || p.rotation == 3;
  Bitmap upright;
  Bitmap* into = this;
  if (turned) {
    upright = Bitmap(kWidth, kHeight, pf24bit);
    into = &upright;
  } else {
    AllocatePicture(kWidth, kHeight, pf24bit);
  }
  for (int y = 0; y < kHeight; ++y) {
    const std::size_t offset = static_cast<std::size_t>(y) * kWidth;
    const std::uint8_t* planes[3] = {luma.data() + offset, chroma1.data() + offset, chroma2.data() + offset};
    cm.ConvertPixelRow(planes, 3, 0xFF, kWidth, into->ScanLine(y));
  }
  if (!turned) return;

  // Attribute 1: a quarter turn anticlockwise, (x, y) to column y, row 767 - x;
  // attribute 3: clockwise, (x, y) to column 511 - y, row x.
  AllocatePicture(kHeight, kWidth, pf24bit);
  for (int row = 0; row < kWidth; ++row) {
    std::uint8_t* out = ScanLine(row);
    const int x = p.rotation == 1 ? kWidth - 1 - row : row;
    for (int column = 0; column < kHeight; ++column) {
      const int y = p.rotation == 1 ? column : kHeight - 1 - column;
      const std::uint8_t* in = upright.ScanLine(y) + 3 * x;
      out[3 * column] = in[0];
      out[3 * column + 1] = in[1];
      out[3 * column + 2] = in[2];
    }
  }
  p.width = kHeight;
  p.height = kWidth;
}

}  // namespace pixtrel
