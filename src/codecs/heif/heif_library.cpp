// HEIF and AVIF through libheif: the PhotoLibrary member of the HEIF reader.
#include <libheif/heif.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "codecs/heif/heif_image.h"
#include "codecs/photo/photo_library.h"
#include "core/byte_reader.h"

namespace pixtrel {

namespace {

struct ContextDeleter {
  void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HandleDeleter {
  void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct ImageDeleter {
  void operator()(heif_image* image) const { heif_image_release(image); }
};
struct OptionsDeleter {
  void operator()(heif_decoding_options* options) const { heif_decoding_options_free(options); }
};

// The first metadata block of a type ("Exif", "mime") whose content type
// starts with contentType (for "mime"), or empty.
std::vector<std::uint8_t> MetadataBlock(const heif_image_handle* handle, const char* type, const char* contentType) {
  const int count = heif_image_handle_get_number_of_metadata_blocks(handle, type);
  if (count <= 0) return {};
  std::vector<heif_item_id> ids(static_cast<std::size_t>(count));
  heif_image_handle_get_list_of_metadata_block_IDs(handle, type, ids.data(), count);
  for (const heif_item_id id : ids) {
    if (contentType) {
      const char* content = heif_image_handle_get_metadata_content_type(handle, id);
      if (!content || std::strncmp(content, contentType, std::strlen(contentType)) != 0) continue;
    }
    std::vector<std::uint8_t> block(heif_image_handle_get_metadata_size(handle, id));
    if (block.empty() || heif_image_handle_get_metadata(handle, id, block.data()).code != heif_error_Ok) continue;
    return block;
  }
  return {};
}

void ReadMetadata(const heif_image_handle* handle, ImageMetadata& metadata) {
  metadata = ImageMetadata();
  metadata.exif = ExifFromTiffHeader(MetadataBlock(handle, "Exif", nullptr));
  const std::vector<std::uint8_t> xmp = MetadataBlock(handle, "mime", "application/rdf+xml");
  metadata.xmp.assign(xmp.begin(), xmp.end());
  const heif_color_profile_type profile = heif_image_handle_get_color_profile_type(handle);
  if (profile == heif_color_profile_type_prof || profile == heif_color_profile_type_rICC) {
    metadata.icc.resize(heif_image_handle_get_raw_color_profile_size(handle));
    if (metadata.icc.empty() ||
        heif_image_handle_get_raw_color_profile(handle, metadata.icc.data()).code != heif_error_Ok)
      metadata.icc.clear();
  }
}

}  // namespace

Bitmap PhotoLibrary::DecodeHeif(std::span<const std::uint8_t> file, std::int64_t maxPixels,
                                bool applyTransformations, ImageMetadata* metadata) const {
  std::unique_ptr<heif_context, ContextDeleter> context(heif_context_alloc());
  if (!context) throw EHeif(HeifError::DecodeFailed);
  // libheif's own ceiling, below which the program's limit decides.
  heif_context_set_maximum_image_size_limit(context.get(), static_cast<int>(kMaxImageDimension));
  if (heif_context_read_from_memory_without_copy(context.get(), file.data(), file.size(), nullptr).code !=
      heif_error_Ok)
    throw EHeif(HeifError::InvalidFile);
  heif_image_handle* rawHandle = nullptr;
  if (heif_context_get_primary_image_handle(context.get(), &rawHandle).code != heif_error_Ok || !rawHandle)
    throw EHeif(HeifError::NoPrimaryImage);
  std::unique_ptr<heif_image_handle, HandleDeleter> handle(rawHandle);
  const int width = heif_image_handle_get_width(handle.get());
  const int height = heif_image_handle_get_height(handle.get());
  if (width <= 0 || height <= 0) throw EHeif(HeifError::InvalidFile);
  CheckImageSize(width, height, maxPixels);
  // What is decoded (a grid's or an overlay's canvas, its alpha, coded frames
  // padded to whole blocks) may not be much larger than the size checked
  // above: libheif refuses anything wider or taller than its limit.
  constexpr int kCodedPadding = 1024;
  heif_context_set_maximum_image_size_limit(
      context.get(),
      static_cast<int>(std::min<std::int64_t>(std::max(width, height) + kCodedPadding, kMaxImageDimension)));
  if (metadata) ReadMetadata(handle.get(), *metadata);

  const int bits = heif_image_handle_get_luma_bits_per_pixel(handle.get());
  const bool deep = bits > 8;
  std::unique_ptr<heif_decoding_options, OptionsDeleter> options(heif_decoding_options_alloc());
  options->ignore_transformations = applyTransformations ? 0 : 1;
  options->convert_hdr_to_8bit = 0;
  heif_image* rawImage = nullptr;
  const heif_error decoded =
      heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB,
                        deep ? heif_chroma_interleaved_RRGGBB_LE : heif_chroma_interleaved_RGB, options.get());
  if (decoded.code != heif_error_Ok || !rawImage)
    throw EHeif(decoded.code == heif_error_Unsupported_feature ? HeifError::UnsupportedCodec
                                                                : HeifError::DecodeFailed);
  std::unique_ptr<heif_image, ImageDeleter> image(rawImage);
  const int outWidth = heif_image_get_width(image.get(), heif_channel_interleaved);
  const int outHeight = heif_image_get_height(image.get(), heif_channel_interleaved);
  CheckImageSize(outWidth, outHeight, maxPixels);
  int stride = 0;
  const std::uint8_t* plane = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
  if (!plane || outWidth <= 0 || outHeight <= 0) throw EHeif(HeifError::DecodeFailed);
  const int shift = deep ? heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved) - 8 : 0;

  Bitmap bitmap(outWidth, outHeight, pf24bit);
  for (int y = 0; y < outHeight; ++y) {
    const std::uint8_t* in = plane + static_cast<std::ptrdiff_t>(y) * stride;
    std::uint8_t* out = bitmap.ScanLine(y);
    for (int x = 0; x < outWidth; ++x, out += 3) {
      if (deep) {
        // Little-endian samples of bits bits: their high 8 bits.
        auto sample = [&](int c) {
          const int v = in[2 * c] | (in[2 * c + 1] << 8);
          return static_cast<std::uint8_t>(std::min(v >> shift, 255));
        };
        out[0] = sample(2);
        out[1] = sample(1);
        out[2] = sample(0);
        in += 6;
      } else {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
        in += 3;
      }
    }
  }
  return bitmap;
}

}  // namespace pixtrel
