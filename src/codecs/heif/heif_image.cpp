#include "codecs/heif/heif_image.h"

#include <string_view>

#include "codecs/photo/photo_engine.h"

namespace pixtrel {

PIXTREL_DEFINE_ERRORS(HeifError, "heif", PIXTREL_HEIF_ERRORS)

namespace {

// The children of a box's content: calls visit(type, content) for each whole
// box; stops at the first damaged size.
template <typename Visit>
void ForEachBox(std::span<const std::uint8_t> bytes, Visit visit) {
  std::size_t at = 0;
  while (bytes.size() - at >= 8) {
    std::uint64_t size = (std::uint64_t{bytes[at]} << 24) | (std::uint64_t{bytes[at + 1]} << 16) |
                         (std::uint64_t{bytes[at + 2]} << 8) | bytes[at + 3];
    std::size_t header = 8;
    if (size == 1) {  // a 64-bit size follows the type
      if (bytes.size() - at < 16) return;
      size = 0;
      for (int i = 0; i < 8; ++i) size = (size << 8) | bytes[at + 8 + static_cast<std::size_t>(i)];
      header = 16;
    } else if (size == 0) {  // to the end
      size = bytes.size() - at;
    }
    if (size < header || size > bytes.size() - at) return;
    const std::string_view type(reinterpret_cast<const char*>(&bytes[at + 4]), 4);
    visit(type, bytes.subspan(at + header, static_cast<std::size_t>(size) - header));
    at += static_cast<std::size_t>(size);
  }
}

}  // namespace

bool HeifHasTransformations(std::span<const std::uint8_t> file) {
  bool found = false;
  ForEachBox(file, [&](std::string_view type, std::span<const std::uint8_t> meta) {
    if (type != "meta" || meta.size() < 4) return;
    ForEachBox(meta.subspan(4), [&](std::string_view type, std::span<const std::uint8_t> iprp) {  // after version and flags
      if (type != "iprp") return;
      ForEachBox(iprp, [&](std::string_view type, std::span<const std::uint8_t> ipco) {
        if (type != "ipco") return;
        ForEachBox(ipco, [&](std::string_view type, std::span<const std::uint8_t>) {
          found = found || type == "irot" || type == "imir";
        });
      });
    });
  });
  return found;
}

Bitmap DecodeHeif(std::span<const std::uint8_t> file, std::int64_t maxPixels, bool applyTransformations,
                  ImageMetadata* metadata) {
  return PhotoCodecs().DecodeHeif(file, maxPixels, applyTransformations, metadata);
}

}  // namespace pixtrel
