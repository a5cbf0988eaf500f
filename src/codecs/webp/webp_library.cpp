// WebP through libwebp: the PhotoLibrary members of the WebP codec.
#include "codecs/photo/photo_library.h"

#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "core/byte_reader.h"

namespace pixtrel {

namespace {

struct DemuxDeleter {
  void operator()(WebPDemuxer* demux) const { WebPDemuxDelete(demux); }
};
struct AnimDecoderDeleter {
  void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};
struct MuxDeleter {
  void operator()(WebPMux* mux) const { WebPMuxDelete(mux); }
};

// The chunk's bytes, or nothing.
std::span<const std::uint8_t> Chunk(WebPDemuxer* demux, const char* fourcc) {
  WebPChunkIterator chunk;
  if (!WebPDemuxGetChunk(demux, fourcc, 1, &chunk)) return {};
  std::span<const std::uint8_t> bytes(chunk.chunk.bytes, chunk.chunk.size);
  WebPDemuxReleaseChunkIterator(&chunk);
  return bytes;
}

// RGBA rows (any stride) into a pf24bit bitmap, alpha left out.
Bitmap FromRgba(const std::uint8_t* rgba, int width, int height, std::size_t stride) {
  Bitmap bitmap(width, height, pf24bit);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = rgba + static_cast<std::size_t>(y) * stride;
    std::uint8_t* out = bitmap.ScanLine(y);
    for (int x = 0; x < width; ++x, in += 4, out += 3) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
    }
  }
  return bitmap;
}

}  // namespace

Bitmap PhotoLibrary::DecodeWebP(std::span<const std::uint8_t> file, std::int64_t maxPixels,
                                ImageMetadata* metadata) const {
  WebPData data{file.data(), file.size()};
  WebPDemuxState state;
  std::unique_ptr<WebPDemuxer, DemuxDeleter> demux(WebPDemuxPartial(&data, &state));
  if (!demux || state != WEBP_DEMUX_DONE) throw EWebP(WebPError::InvalidFile);
  const int width = static_cast<int>(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH));
  const int height = static_cast<int>(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT));
  const std::uint32_t flags = WebPDemuxGetI(demux.get(), WEBP_FF_FORMAT_FLAGS);
  if (width <= 0 || height <= 0) throw EWebP(WebPError::InvalidFile);
  CheckImageSize(width, height, maxPixels);
  if (metadata) {
    *metadata = ImageMetadata();
    if (flags & EXIF_FLAG) metadata->exif = ExifFromTiffHeader(Chunk(demux.get(), "EXIF"));
    if (flags & XMP_FLAG) {
      const auto xmp = Chunk(demux.get(), "XMP ");
      metadata->xmp.assign(xmp.begin(), xmp.end());
    }
    if (flags & ICCP_FLAG) {
      const auto icc = Chunk(demux.get(), "ICCP");
      metadata->icc.assign(icc.begin(), icc.end());
    }
  }

  if (flags & ANIMATION_FLAG) {
    // The first frame as it shows on the canvas.
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) throw EWebP(WebPError::DecodeFailed);
    options.color_mode = MODE_RGBA;
    options.use_threads = 0;
    std::unique_ptr<WebPAnimDecoder, AnimDecoderDeleter> decoder(WebPAnimDecoderNew(&data, &options));
    if (!decoder) throw EWebP(WebPError::DecodeFailed);
    std::uint8_t* frame = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(decoder.get(), &frame, &timestamp)) throw EWebP(WebPError::DecodeFailed);
    return FromRgba(frame, width, height, static_cast<std::size_t>(width) * 4);
  }

  WebPDecoderConfig config;
  if (!WebPInitDecoderConfig(&config)) throw EWebP(WebPError::DecodeFailed);
  if (WebPGetFeatures(file.data(), file.size(), &config.input) != VP8_STATUS_OK)
    throw EWebP(WebPError::InvalidFile);
  if (config.input.width != width || config.input.height != height) throw EWebP(WebPError::InvalidFile);
  // Decoded straight into the bitmap's rows: blue, green, red.
  Bitmap bitmap(width, height, pf24bit);
  config.output.colorspace = MODE_BGR;
  config.output.is_external_memory = 1;
  config.output.u.RGBA.rgba = bitmap.ScanLine(0);
  config.output.u.RGBA.stride = static_cast<int>(bitmap.RowStride());
  config.output.u.RGBA.size = bitmap.RowStride() * static_cast<std::size_t>(height);
  const VP8StatusCode status = WebPDecode(file.data(), file.size(), &config);
  WebPFreeDecBuffer(&config.output);
  if (status != VP8_STATUS_OK) throw EWebP(WebPError::DecodeFailed);
  return bitmap;
}

std::vector<std::uint8_t> PhotoLibrary::EncodeWebP(const Bitmap& source, const WebPSettings& settings,
                                                   const ImageMetadata& metadata) const {
  if (source.Width() > WEBP_MAX_DIMENSION || source.Height() > WEBP_MAX_DIMENSION) throw EWebP(WebPError::TooLarge);
  if (source.Width() <= 0 || source.Height() <= 0) throw EWebP(WebPError::EncodeFailed);
  WebPConfig config;
  if (!WebPConfigInit(&config)) throw EWebP(WebPError::EncodeFailed);
  config.quality = static_cast<float>(std::clamp(settings.quality, 1, 100));
  config.lossless = settings.lossless ? 1 : 0;
  // Lossless keeps the colour under transparent pixels too.
  config.exact = settings.lossless ? 1 : 0;
  config.thread_level = settings.threads > 1 ? 1 : 0;
  if (settings.lossless) config.method = 4;

  // The picture from the source's rows: BGR, or BGRA when a transparent
  // colour becomes alpha 0.
  const Bitmap* image = &source;
  Bitmap converted;
  if (source.PixelFormat() != pf24bit) {
    converted = source;
    converted.SetPixelFormat(pf24bit);
    image = &converted;
  }
  WebPPicture picture;
  if (!WebPPictureInit(&picture)) throw EWebP(WebPError::EncodeFailed);
  picture.use_argb = settings.lossless ? 1 : 0;
  picture.width = source.Width();
  picture.height = source.Height();
  struct PictureGuard {
    WebPPicture* picture;
    ~PictureGuard() { WebPPictureFree(picture); }
  } pictureGuard{&picture};
  int imported = 0;
  if (source.Transparent()) {
    const Color key = source.TransparentColor();
    const std::size_t stride = static_cast<std::size_t>(source.Width()) * 4;
    std::vector<std::uint8_t> bgra(stride * static_cast<std::size_t>(source.Height()));
    for (int y = 0; y < source.Height(); ++y) {
      const std::uint8_t* in = image->ScanLine(y);
      std::uint8_t* out = bgra.data() + static_cast<std::size_t>(y) * stride;
      for (int x = 0; x < source.Width(); ++x, in += 3, out += 4) {
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
        out[3] = RGB(in[2], in[1], in[0]) == key ? 0 : 255;
      }
    }
    imported = WebPPictureImportBGRA(&picture, bgra.data(), static_cast<int>(stride));
  } else {
    imported = WebPPictureImportBGR(&picture, image->ScanLine(0), static_cast<int>(image->RowStride()));
  }
  if (!imported) throw EWebP(WebPError::EncodeFailed);

  WebPMemoryWriter writer;
  WebPMemoryWriterInit(&writer);
  struct WriterGuard {
    WebPMemoryWriter* writer;
    ~WriterGuard() { WebPMemoryWriterClear(writer); }
  } writerGuard{&writer};
  picture.writer = WebPMemoryWrite;
  picture.custom_ptr = &writer;
  if (!WebPEncode(&config, &picture)) throw EWebP(WebPError::EncodeFailed);
  if (metadata.Empty()) return {writer.mem, writer.mem + writer.size};

  // The extended format's chunks around the image.
  WebPData image_data{writer.mem, writer.size};
  std::unique_ptr<WebPMux, MuxDeleter> mux(WebPMuxCreate(&image_data, 1));
  if (!mux) throw EWebP(WebPError::EncodeFailed);
  auto set = [&](const char* fourcc, const std::uint8_t* bytes, std::size_t size) {
    if (size == 0) return;
    WebPData chunk{bytes, size};
    if (WebPMuxSetChunk(mux.get(), fourcc, &chunk, 1) != WEBP_MUX_OK) throw EWebP(WebPError::EncodeFailed);
  };
  set("EXIF", metadata.exif.data(), metadata.exif.size());
  set("XMP ", reinterpret_cast<const std::uint8_t*>(metadata.xmp.data()), metadata.xmp.size());
  set("ICCP", metadata.icc.data(), metadata.icc.size());
  WebPData assembled;
  WebPDataInit(&assembled);
  if (WebPMuxAssemble(mux.get(), &assembled) != WEBP_MUX_OK) throw EWebP(WebPError::EncodeFailed);
  std::vector<std::uint8_t> out(assembled.bytes, assembled.bytes + assembled.size);
  WebPDataClear(&assembled);
  return out;
}

}  // namespace pixtrel
