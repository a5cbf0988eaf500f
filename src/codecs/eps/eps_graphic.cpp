#include "codecs/eps/eps_graphic.h"

#include <algorithm>

#include "codecs/eps/eps_errors.h"
#include "core/byte_reader.h"

namespace pixtrel {

namespace {

constexpr std::size_t kHeaderSize = 30;
constexpr std::uint8_t kMagic[4] = {0xC5, 0xD0, 0xD3, 0xC6};

}  // namespace

void EPSGraphic::LoadFromStream(Stream& stream) {
  BeginRead(stream);
  stream.Seek(basePosition_);
  const ByteBuffer data = stream.ReadRestBuffer();
  if (data.size() < kHeaderSize || !std::equal(kMagic, kMagic + 4, data.begin())) {
    ThrowEpsError(EpsError::BadMagic);
  }
  ByteReader header(std::span<const std::uint8_t>(data).first(kHeaderSize));
  header.Skip(20);  // magic, PostScript and metafile preview
  const std::uint32_t tiffOffset = header.U32LE();
  const std::uint32_t tiffLength = header.U32LE();
  // No preview at all, or one that starts past the end of the file. The
  // length is not trusted beyond telling that there is a preview: previews
  // are decoded up to the end of the file.
  if (tiffOffset == 0 || tiffLength == 0 || tiffOffset >= data.size()) {
    ThrowEpsError(EpsError::NoPreview);
  }
  basePosition_ += tiffOffset;
  DecodeTIFF(std::span<const std::uint8_t>(data).subspan(tiffOffset));
}

}  // namespace pixtrel
