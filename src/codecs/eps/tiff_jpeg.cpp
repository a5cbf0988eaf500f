#include "codecs/eps/tiff_jpeg.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "codecs/eps/eps_errors.h"
#include "codecs/jpeg/jpeg_error.h"

namespace pixtrel {

namespace {

EpsError ErrorOf(ETIFFJPEGError::Kind kind) {
  switch (kind) {
    case ETIFFJPEGError::StripSize:
      return EpsError::JpegStripSize;
    case ETIFFJPEGError::ComponentCount:
      return EpsError::JpegComponentCount;
    case ETIFFJPEGError::DataPrecision:
      return EpsError::JpegDataPrecision;
    case ETIFFJPEGError::SamplingFactors:
      return EpsError::JpegSamplingFactors;
    case ETIFFJPEGError::FractionalRows:
      return EpsError::JpegFractionalRows;
    case ETIFFJPEGError::BogusTables:
      break;
  }
  return EpsError::JpegBogusTables;
}

// The stages below run under the error manager's setjmp (see jpeg_error.h):
// they hold nothing with a destructor.

int ReadTables(JpegDecompressor& d, const std::uint8_t* data, std::size_t size) {
  if (setjmp(d.errors.jump)) return -1;
  jpeg_mem_src(&d.cinfo, data, static_cast<unsigned long>(size));
  return jpeg_read_header(&d.cinfo, FALSE);
}

bool ReadStripHeader(JpegDecompressor& d, const std::uint8_t* data, std::size_t size) {
  if (setjmp(d.errors.jump)) return false;
  jpeg_mem_src(&d.cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&d.cinfo, TRUE);
  return true;
}

bool StartStrip(JpegDecompressor& d, J_COLOR_SPACE source, J_COLOR_SPACE output) {
  if (setjmp(d.errors.jump)) return false;
  d.cinfo.jpeg_color_space = source;
  d.cinfo.out_color_space = output;
  jpeg_start_decompress(&d.cinfo);
  return true;
}

// Reads rows into out (rowBytes apart) and returns the decompressor to its
// idle state, its tables kept for the next strip; rows of a padded strip
// beyond those wanted are never decoded.
bool ReadStripRows(JpegDecompressor& d, std::uint8_t* out, std::size_t rowBytes, JDIMENSION rows, JDIMENSION* read) {
  if (setjmp(d.errors.jump)) return false;
  jpeg_decompress_struct* cinfo = &d.cinfo;
  while (cinfo->output_scanline < rows) {
    JSAMPROW row = out + static_cast<std::size_t>(cinfo->output_scanline) * rowBytes;
    if (jpeg_read_scanlines(cinfo, &row, 1) != 1) break;
  }
  *read = cinfo->output_scanline;
  jpeg_abort_decompress(cinfo);
  return true;
}

void Abort(JpegDecompressor& d) {
  if (setjmp(d.errors.jump)) return;
  jpeg_abort_decompress(&d.cinfo);
}

}  // namespace

ETIFFJPEGError::ETIFFJPEGError(Kind kind)
    : EInvalidGraphic(EpsErrorCode(ErrorOf(kind)), EpsErrorMessage(ErrorOf(kind))), kind_(kind) {}

TIFFJPEGDecoder::TIFFJPEGDecoder(const Layout& layout, std::span<const std::uint8_t> tables)
    : layout_(layout), d_(std::make_unique<JpegDecompressor>()) {
  if (!CreateJpegDecompressor(*d_)) ThrowJpegError(d_->errors);
  if (!tables.empty() && ReadTables(*d_, tables.data(), tables.size()) != JPEG_HEADER_TABLES_ONLY) {
    throw ETIFFJPEGError(ETIFFJPEGError::BogusTables);
  }
}

TIFFJPEGDecoder::~TIFFJPEGDecoder() = default;

UnpackResult TIFFJPEGDecoder::Unpack(const std::uint8_t* packed, std::uint8_t* unpacked, std::size_t packedSize,
                                     std::size_t unpackedSize) {
  JpegDecompressor& d = *d_;
  if (packedSize == 0) return {0, 0};
  if (!ReadStripHeader(d, packed, packedSize)) ThrowJpegError(d.errors);
  const jpeg_decompress_struct& c = d.cinfo;

  Layout& l = layout_;
  const bool ycbcr = l.photometric == 6;
  try {
    if (ycbcr && !l.subsamplingGiven && c.num_components == 3) {
      const int h = c.comp_info[0].h_samp_factor, v = c.comp_info[0].v_samp_factor;
      const bool valid = (h == 1 || h == 2 || h == 4) && (v == 1 || v == 2 || v == 4) && v <= h;
      if (valid) {
        l.subsampleH = h;
        l.subsampleV = v;
      }
      l.subsamplingGiven = true;
    }
    // Libjpeg decodes whole chroma blocks: a strip that ends inside one
    // cannot be followed by another.
    if (ycbcr && !lastStrip_ && stripRows_ % l.subsampleV != 0) throw ETIFFJPEGError(ETIFFJPEGError::FractionalRows);
    // Strips span the image's width; a padded last strip may hold more rows.
    if (c.image_width != static_cast<JDIMENSION>(l.width) || c.image_height < static_cast<JDIMENSION>(stripRows_)) {
      throw ETIFFJPEGError(ETIFFJPEGError::StripSize);
    }
    if (c.num_components != l.samplesPerPixel) throw ETIFFJPEGError(ETIFFJPEGError::ComponentCount);
    if (c.data_precision != l.bitsPerSample) throw ETIFFJPEGError(ETIFFJPEGError::DataPrecision);
    for (int i = 0; i < c.num_components; ++i) {
      const int h = ycbcr && i == 0 ? l.subsampleH : 1;
      const int v = ycbcr && i == 0 ? l.subsampleV : 1;
      if (c.comp_info[i].h_samp_factor != h || c.comp_info[i].v_samp_factor != v) {
        throw ETIFFJPEGError(ETIFFJPEGError::SamplingFactors);
      }
    }
  } catch (...) {
    Abort(d);
    throw;
  }

  J_COLOR_SPACE source, output;
  switch (c.num_components) {
    case 1:
      source = output = JCS_GRAYSCALE;
      break;
    case 3:
      source = l.photometric == 2 ? JCS_RGB : JCS_YCbCr;
      output = JCS_EXT_BGR;
      break;
    default:
      source = output = JCS_CMYK;
      break;
  }
  const std::size_t rowBytes = static_cast<std::size_t>(l.width) * static_cast<std::size_t>(c.num_components);
  const std::size_t rows = std::min<std::size_t>(static_cast<std::size_t>(stripRows_), unpackedSize / rowBytes);
  const bool invertedInks = c.num_components == 4 && c.saw_Adobe_marker;
  if (!StartStrip(d, source, output)) ThrowJpegError(d.errors);
  JDIMENSION read = 0;
  if (!ReadStripRows(d, unpacked, rowBytes, static_cast<JDIMENSION>(rows), &read)) ThrowJpegError(d.errors);
  const std::size_t produced = std::min<std::size_t>(read, rows) * rowBytes;
  // Adobe's CMYK JPEG stores inverted inks.
  if (invertedInks) {
    for (std::size_t i = 0; i < produced; ++i) unpacked[i] = static_cast<std::uint8_t>(255 - unpacked[i]);
  }
  return {packedSize, produced};
}

}  // namespace pixtrel
