// Dr. Halo pictures: width, height and a reserved word, then one run-length
// row after another. The colours live in a companion palette file that is
// not read: index i is shown as grey i.
#include "codecs/legacy/decoders.h"
#include "codecs/legacy/legacy_formats.h"
#include "core/byte_reader.h"

namespace pixtrel {

void CUTGraphic::LoadFromStream(Stream& stream) {
  BeginRead(stream);
  const std::vector<std::uint8_t> data = ReadImageBytes(stream);
  ByteReader r(data);
  pixtrel::ImageProperties& p = properties_;
  p.width = r.U16LE();
  p.height = r.U16LE();
  r.Skip(2);
  p.colorScheme = csIndexed;
  p.bitsPerSample = 8;
  p.samplesPerPixel = 1;
  p.bitsPerPixel = 8;
  p.compression = ctRLE;
  if (p.width == 0 || p.height == 0) ThrowLegacyError(LegacyError::InvalidFormat, "CUT");

  pixtrel::ColorManager& cm = colorManager_;
  cm.SetSourceColorScheme(csIndexed);
  cm.SetSourceBitsPerSample(8);
  cm.SetSourceSamplesPerPixel(1);
  cm.SetTargetColorScheme(csIndexed);
  cm.SetTargetBitsPerSample(8);
  cm.SetTargetSamplesPerPixel(1);
  // A repeat packet of 2 bytes gives at most 127 pixels.
  CheckExpansion(r.Remaining(), static_cast<std::uint64_t>(p.width) * p.height, 64);
  AllocatePicture(p.width, p.height, pf8bit);
  SetPalette(cm.BuildGreyPalette(false));

  // Rows, top first, straight into the picture; a row the data does not
  // reach stays black.
  CUTRLEDecoder decoder;
  std::size_t at = r.Position();
  for (int y = 0; y < static_cast<int>(p.height) && at < data.size(); ++y) {
    const UnpackResult result = decoder.Unpack(data.data() + at, ScanLine(y), data.size() - at, p.width);
    at += result.consumed;
  }
}

}  // namespace pixtrel
