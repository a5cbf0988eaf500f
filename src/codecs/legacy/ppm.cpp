// Portable bitmaps, greymaps and pixmaps: "P1" to "P6", then width, height
// and (except for bitmaps) a maximum value as decimal text with "#" comments,
// then the pixels as text (P1 to P3) or bytes (P4 to P6).
#include <algorithm>
#include <cstring>

#include "codecs/legacy/legacy_formats.h"
#include "core/byte_reader.h"

namespace pixtrel {

namespace {

constexpr const char* kPPMFormat = "PBM, PGM or PPM";
constexpr const char* kPPMRead = "PPM";

bool IsDigit(int c) { return c >= '0' && c <= '9'; }
bool IsLineEnd(int c) { return c == '\r' || c == '\n'; }
bool IsSpace(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// Input through a 4096-byte buffer; needing more input at the end of the
// stream raises "Stream read error in PPM file.".
class BufferedInput {
 public:
  explicit BufferedInput(Stream& stream) : stream_(stream) {}

  // The next byte, or -1 at the end of the stream.
  int Peek() {
    if (position_ == length_ && !Fill()) return -1;
    return buffer_[position_];
  }
  int Next() {
    const int c = Peek();
    if (c < 0) ThrowLegacyError(LegacyError::StreamRead, kPPMRead);
    ++position_;
    return c;
  }
  void Read(std::uint8_t* out, std::size_t n) {
    while (n > 0) {
      if (position_ == length_ && !Fill()) ThrowLegacyError(LegacyError::StreamRead, kPPMRead);
      const std::size_t take = std::min(n, length_ - position_);
      std::memcpy(out, buffer_ + position_, take);
      position_ += take;
      out += take;
      n -= take;
    }
  }
  std::int64_t Remaining() const {
    return static_cast<std::int64_t>(length_ - position_) +
           std::max<std::int64_t>(stream_.Size() - stream_.Position(), 0);
  }

  // Skips to the next digit; "#" starts a comment that runs to the end of
  // its line.
  int SkipToDigit() {
    for (;;) {
      int c = Next();
      if (c == '#') {
        while (!IsLineEnd(c)) c = Next();
        continue;
      }
      if (IsDigit(c)) return c;
    }
  }

  // A decimal number; the first non-digit after it is consumed. The end of
  // the stream right after the digits ends the number.
  std::uint32_t Number() {
    std::uint64_t value = static_cast<std::uint64_t>(SkipToDigit() - '0');
    for (;;) {
      const int c = Peek();
      if (c < 0) break;
      ++position_;
      if (!IsDigit(c)) break;
      value = std::min<std::uint64_t>(value * 10 + static_cast<std::uint64_t>(c - '0'), 0xFFFFFFFFu);
    }
    return static_cast<std::uint32_t>(value);
  }

 private:
  bool Fill() {
    length_ = stream_.Read(buffer_, sizeof buffer_);
    position_ = 0;
    return length_ > 0;
  }

  Stream& stream_;
  std::uint8_t buffer_[4096];
  std::size_t position_ = 0;
  std::size_t length_ = 0;
};

}  // namespace

void PPMGraphic::LoadFromStream(Stream& stream) {
  BeginRead(stream);
  BufferedInput in(stream);
  // The magic: "P" and a digit 1 to 6, ending its line or followed by
  // blanks or a comment.
  if (in.Peek() != 'P') ThrowLegacyError(LegacyError::InvalidFormat, kPPMFormat);
  in.Next();
  const int kind = in.Peek() - '0';
  if (kind < 1 || kind > 6) ThrowLegacyError(LegacyError::InvalidFormat, kPPMFormat);
  in.Next();
  const int after = in.Peek();
  if (after >= 0 && !IsSpace(after) && after != '#') ThrowLegacyError(LegacyError::InvalidFormat, kPPMFormat);

  pixtrel::ImageProperties& p = properties_;
  p.width = in.Number();
  p.height = in.Number();
  const bool bitmap = kind == 1 || kind == 4;
  const bool grey = kind == 2 || kind == 5;
  if (!bitmap) in.Number();  // the maximum, not used
  if (p.width == 0 || p.height == 0) ThrowLegacyError(LegacyError::InvalidFormat, kPPMFormat);
  CheckImageSize(p.width, p.height, PixelLimit());
  p.compression = ctNone;
  p.colorScheme = bitmap ? csIndexed : (grey ? csG : csRGB);
  p.bitsPerSample = bitmap ? 1 : 8;
  p.samplesPerPixel = bitmap || grey ? 1 : 3;
  p.bitsPerPixel = p.bitsPerSample * p.samplesPerPixel;

  const std::uint64_t width = p.width;
  const std::uint64_t pixels = width * p.height;
  // The fewest bytes the pixels can take: a picture the rest of the file
  // cannot hold fails before anything is allocated.
  const std::uint64_t fewest = kind == 4 ? (width + 7) / 8 * p.height : pixels * (kind == 3 || kind == 6 ? 3 : 1);
  if (static_cast<std::uint64_t>(std::max<std::int64_t>(in.Remaining(), 0)) < fewest) {
    ThrowLegacyError(LegacyError::StreamRead, kPPMRead);
  }

  pixtrel::ColorManager& cm = colorManager_;
  cm.SetSourceColorScheme(p.colorScheme);
  cm.SetSourceBitsPerSample(p.bitsPerSample);
  cm.SetSourceSamplesPerPixel(p.samplesPerPixel);
  cm.SetTargetColorScheme(bitmap || grey ? p.colorScheme : csBGR);
  cm.SetTargetBitsPerSample(p.bitsPerSample);
  cm.SetTargetSamplesPerPixel(p.samplesPerPixel);
  cm.PrepareConversion();
  AllocatePicture(p.width, p.height, cm.TargetPixelFormat());
  if (bitmap) SetPalette({clWhite, clBlack});
  if (grey) SetPalette(cm.BuildGreyPalette(false));

  const int w = static_cast<int>(p.width);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 3);
  for (int y = 0; y < static_cast<int>(p.height); ++y) {
    std::uint8_t* target = ScanLine(y);
    switch (kind) {
      case 1:
        // One digit per pixel (bitmaps may omit the blanks between them);
        // its lowest bit is the pixel.
        std::memset(target, 0, (static_cast<std::size_t>(w) + 7) / 8);
        for (int x = 0; x < w; ++x) {
          if ((in.SkipToDigit() - '0') & 1) target[x >> 3] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
        }
        break;
      case 2:
        for (int x = 0; x < w; ++x) target[x] = static_cast<std::uint8_t>(in.Number());
        break;
      case 3:
        for (std::size_t i = 0; i < row.size(); ++i) row[i] = static_cast<std::uint8_t>(in.Number());
        cm.ConvertPixelRow(row.data(), w, target);
        break;
      case 4:
        in.Read(target, (static_cast<std::size_t>(w) + 7) / 8);
        break;
      case 5:
        in.Read(target, static_cast<std::size_t>(w));
        break;
      default:
        in.Read(row.data(), row.size());
        cm.ConvertPixelRow(row.data(), w, target);
        break;
    }
  }
}

}  // namespace pixtrel
