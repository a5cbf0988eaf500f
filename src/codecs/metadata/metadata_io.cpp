#include "codecs/metadata/metadata_io.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <string_view>

namespace pixtrel {

namespace {

constexpr std::string_view kExifId("Exif\0\0", 6);
constexpr std::string_view kXmpId("http://ns.adobe.com/xap/1.0/\0", 29);
constexpr std::string_view kIccId("ICC_PROFILE\0", 12);
constexpr std::string_view kXmpKeyword("XML:com.adobe.xmp");
// Data bytes of one JPEG segment: 65535 less the length field.
constexpr std::size_t kSegmentData = 65533;
constexpr std::size_t kIccPiece = kSegmentData - kIccId.size() - 2;
// A profile or packet larger than this is not inflated.
constexpr std::size_t kMaxInflated = std::size_t{64} << 20;

bool StartsWith(std::span<const std::uint8_t> bytes, std::string_view prefix) {
  return bytes.size() >= prefix.size() && std::memcmp(bytes.data(), prefix.data(), prefix.size()) == 0;
}

std::uint32_t BigEndian32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

void Append(std::vector<std::uint8_t>& out, std::string_view text) { out.insert(out.end(), text.begin(), text.end()); }
void Append(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}
void AppendBig32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

// The whole zlib stream inflated, or empty when it is damaged or too large.
std::vector<std::uint8_t> Inflate(std::span<const std::uint8_t> data) {
  std::vector<std::uint8_t> out;
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return out;
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  std::uint8_t buffer[16384];
  int result = Z_OK;
  while (result == Z_OK) {
    z.next_out = buffer;
    z.avail_out = sizeof buffer;
    result = inflate(&z, Z_NO_FLUSH);
    out.insert(out.end(), buffer, buffer + (sizeof buffer - z.avail_out));
    if (out.size() > kMaxInflated) result = Z_MEM_ERROR;
    if (result == Z_BUF_ERROR && z.avail_in == 0) break;
  }
  inflateEnd(&z);
  if (result != Z_STREAM_END) out.clear();
  return out;
}

std::vector<std::uint8_t> Deflate(std::span<const std::uint8_t> data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  std::vector<std::uint8_t> out(size);
  if (compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), Z_BEST_COMPRESSION) != Z_OK) return {};
  out.resize(size);
  return out;
}

void AppendPngChunk(std::vector<std::uint8_t>& out, const char* type, std::span<const std::uint8_t> data) {
  AppendBig32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t typeAt = out.size();
  Append(out, std::string_view(type, 4));
  Append(out, data);
  const uLong crc = crc32(0, out.data() + typeAt, static_cast<uInt>(4 + data.size()));
  AppendBig32(out, static_cast<std::uint32_t>(crc));
}

void AppendJpegSegment(std::vector<std::uint8_t>& out, std::uint8_t marker, std::string_view id,
                       std::span<const std::uint8_t> data, const std::uint8_t* extra = nullptr,
                       std::size_t extraSize = 0) {
  const std::size_t length = 2 + id.size() + extraSize + data.size();
  out.push_back(0xFF);
  out.push_back(marker);
  out.push_back(static_cast<std::uint8_t>(length >> 8));
  out.push_back(static_cast<std::uint8_t>(length));
  Append(out, id);
  if (extra) out.insert(out.end(), extra, extra + extraSize);
  Append(out, data);
}

std::span<const std::uint8_t> AsBytes(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

ImageMetadata ReadJpegMetadata(std::span<const std::uint8_t> file) {
  ImageMetadata metadata;
  if (file.size() < 4 || file[0] != 0xFF || file[1] != 0xD8) return metadata;
  // The ICC pieces by sequence number (1 to count).
  std::vector<std::vector<std::uint8_t>> pieces;
  std::size_t at = 2;
  while (at + 4 <= file.size()) {
    if (file[at] != 0xFF) break;
    const std::uint8_t marker = file[at + 1];
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    if (marker == 0xD9 || marker == 0xDA) break;  // end of image, start of scan
    const std::size_t length = (std::size_t{file[at + 2]} << 8) | file[at + 3];
    if (length < 2 || at + 2 + length > file.size()) break;
    const std::span<const std::uint8_t> data = file.subspan(at + 4, length - 2);
    if (marker == 0xE1 && StartsWith(data, kExifId) && metadata.exif.empty()) {
      metadata.exif = ExifFromTiffHeader(data.subspan(kExifId.size()));
    } else if (marker == 0xE1 && StartsWith(data, kXmpId) && metadata.xmp.empty()) {
      const auto packet = data.subspan(kXmpId.size());
      metadata.xmp.assign(packet.begin(), packet.end());
    } else if (marker == 0xE2 && StartsWith(data, kIccId) && data.size() >= kIccId.size() + 2) {
      const std::size_t sequence = data[kIccId.size()];
      const std::size_t count = data[kIccId.size() + 1];
      if (pieces.empty() && count > 0) pieces.resize(count);
      if (sequence >= 1 && sequence <= pieces.size() && count == pieces.size()) {
        const auto piece = data.subspan(kIccId.size() + 2);
        pieces[sequence - 1].assign(piece.begin(), piece.end());
      }
    }
    at += 2 + length;
  }
  // A profile with a piece missing is no profile.
  bool whole = !pieces.empty();
  for (const auto& piece : pieces) whole = whole && !piece.empty();
  if (whole)
    for (const auto& piece : pieces) Append(metadata.icc, piece);
  return metadata;
}

ImageMetadata ReadPngMetadata(std::span<const std::uint8_t> file) {
  ImageMetadata metadata;
  constexpr std::uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
  if (file.size() < 8 || std::memcmp(file.data(), kSignature, 8) != 0) return metadata;
  std::size_t at = 8;
  while (at + 12 <= file.size()) {
    const std::size_t length = BigEndian32(&file[at]);
    if (length > file.size() - at - 12) break;
    const std::string_view type(reinterpret_cast<const char*>(&file[at + 4]), 4);
    const std::span<const std::uint8_t> data = file.subspan(at + 8, length);
    if (type == "IEND") break;
    if (type == "eXIf" && metadata.exif.empty()) {
      metadata.exif = ExifFromTiffHeader(data);
    } else if (type == "iCCP" && metadata.icc.empty()) {
      // name, zero, compression method 0, zlib stream
      const auto zero = std::find(data.begin(), data.end(), 0);
      const std::size_t name = static_cast<std::size_t>(zero - data.begin());
      if (name < data.size() && name + 2 <= data.size() && data[name + 1] == 0)
        metadata.icc = Inflate(data.subspan(name + 2));
    } else if (type == "iTXt" && metadata.xmp.empty() && StartsWith(data, kXmpKeyword) &&
               data.size() > kXmpKeyword.size() + 2 && data[kXmpKeyword.size()] == 0) {
      // keyword, zero, compression flag, method, language, zero, translated keyword, zero, text
      const bool compressed = data[kXmpKeyword.size() + 1] != 0;
      std::size_t p = kXmpKeyword.size() + 3;
      for (int field = 0; field < 2 && p <= data.size(); ++field) {
        const auto end = std::find(data.begin() + static_cast<std::ptrdiff_t>(p), data.end(), 0);
        p = static_cast<std::size_t>(end - data.begin()) + 1;
      }
      if (p <= data.size()) {
        const auto text = data.subspan(p);
        if (compressed) {
          const std::vector<std::uint8_t> inflated = Inflate(text);
          metadata.xmp.assign(inflated.begin(), inflated.end());
        } else {
          metadata.xmp.assign(text.begin(), text.end());
        }
      }
    }
    at += 12 + length;
  }
  return metadata;
}

ImageMetadata ReadTiffMetadata(std::span<const std::uint8_t> file) {
  ImageMetadata metadata;
  if (file.size() < 8) return metadata;
  const bool big = file[0] == 'M';
  if (!((file[0] == 'I' && file[1] == 'I' && file[2] == 42 && file[3] == 0) ||
        (file[0] == 'M' && file[1] == 'M' && file[2] == 0 && file[3] == 42)))
    return metadata;
  auto read = [&](std::size_t at, int size) {
    std::uint32_t value = 0;
    for (int i = 0; i < size; ++i) {
      const std::uint32_t byte = file[at + static_cast<std::size_t>(i)];
      value |= big ? byte << (8 * (size - 1 - i)) : byte << (8 * i);
    }
    return value;
  };
  const std::size_t ifd = read(4, 4);
  if (ifd < 8 || ifd > file.size() - 2) return metadata;
  const std::size_t count = read(ifd, 2);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t entry = ifd + 2 + 12 * i;
    if (entry + 12 > file.size()) break;
    const std::uint32_t tag = read(entry, 2);
    const std::uint32_t type = read(entry + 2, 2);
    const std::size_t size = read(entry + 4, 4);
    // BYTE, UNDEFINED (and ASCII for XMP written that way): one byte a value.
    if ((tag != 700 && tag != 34675) || !(type == 1 || type == 2 || type == 7)) continue;
    const std::size_t at = size <= 4 ? entry + 8 : read(entry + 8, 4);
    if (at > file.size() || size > file.size() - at) continue;
    const auto data = file.subspan(at, size);
    if (tag == 700)
      metadata.xmp.assign(data.begin(), data.end());
    else
      metadata.icc.assign(data.begin(), data.end());
  }
  return metadata;
}

std::vector<std::uint8_t> EmbedJpegMetadata(std::span<const std::uint8_t> jpeg, const ImageMetadata& metadata) {
  if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) return {jpeg.begin(), jpeg.end()};
  // After SOI and a JFIF APP0, which must come first.
  std::size_t at = 2;
  if (jpeg[2] == 0xFF && jpeg[3] == 0xE0 && jpeg.size() >= 6) {
    const std::size_t length = (std::size_t{jpeg[4]} << 8) | jpeg[5];
    if (2 + 2 + length <= jpeg.size()) at = 2 + 2 + length;
  }
  std::vector<std::uint8_t> out(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(at));
  if (!metadata.exif.empty() && metadata.exif.size() + kExifId.size() <= kSegmentData)
    AppendJpegSegment(out, 0xE1, kExifId, metadata.exif);
  if (!metadata.xmp.empty() && metadata.xmp.size() + kXmpId.size() <= kSegmentData)
    AppendJpegSegment(out, 0xE1, kXmpId, AsBytes(metadata.xmp));
  const std::size_t pieces = (metadata.icc.size() + kIccPiece - 1) / kIccPiece;
  if (pieces > 0 && pieces <= 255) {
    const std::span<const std::uint8_t> icc(metadata.icc);
    for (std::size_t i = 0; i < pieces; ++i) {
      const std::uint8_t numbers[2] = {static_cast<std::uint8_t>(i + 1), static_cast<std::uint8_t>(pieces)};
      const std::size_t first = i * kIccPiece;
      AppendJpegSegment(out, 0xE2, kIccId, icc.subspan(first, std::min(kIccPiece, icc.size() - first)), numbers,
                        2);
    }
  }
  out.insert(out.end(), jpeg.begin() + static_cast<std::ptrdiff_t>(at), jpeg.end());
  return out;
}

std::vector<std::uint8_t> EmbedPngMetadata(std::span<const std::uint8_t> png, const ImageMetadata& metadata) {
  constexpr std::size_t kAfterIhdr = 8 + 12 + 13;
  if (png.size() < kAfterIhdr || std::memcmp(&png[12], "IHDR", 4) != 0 || BigEndian32(&png[8]) != 13)
    return {png.begin(), png.end()};
  std::vector<std::uint8_t> out(png.begin(), png.begin() + kAfterIhdr);
  if (!metadata.icc.empty()) {
    const std::vector<std::uint8_t> deflated = Deflate(metadata.icc);
    if (!deflated.empty()) {
      std::vector<std::uint8_t> data;
      Append(data, std::string_view("ICC profile\0\0", 13));
      Append(data, deflated);
      AppendPngChunk(out, "iCCP", data);
    }
  }
  if (!metadata.exif.empty()) AppendPngChunk(out, "eXIf", metadata.exif);
  if (!metadata.xmp.empty()) {
    std::vector<std::uint8_t> data;
    Append(data, kXmpKeyword);
    Append(data, std::string_view("\0\0\0\0\0", 5));  // zero, uncompressed, method, no language, no translation
    Append(data, AsBytes(metadata.xmp));
    AppendPngChunk(out, "iTXt", data);
  }
  out.insert(out.end(), png.begin() + kAfterIhdr, png.end());
  return out;
}

}  // namespace pixtrel
