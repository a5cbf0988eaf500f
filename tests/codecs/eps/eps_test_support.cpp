#include "eps_test_support.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace pixtrel::test {

TiffBuilder& TiffBuilder::Set(std::uint16_t tag, std::uint16_t type, std::vector<std::uint32_t> values) {
  fields_.push_back(Field{tag, type, std::move(values), {}});
  return *this;
}

TiffBuilder& TiffBuilder::SetBytes(std::uint16_t tag, std::uint16_t type, Bytes bytes) {
  fields_.push_back(Field{tag, type, {}, std::move(bytes)});
  return *this;
}

TiffBuilder& TiffBuilder::Strips(std::vector<Bytes> strips, bool byteCounts) {
  strips_ = std::move(strips);
  byteCounts_ = byteCounts;
  return *this;
}

TiffBuilder& TiffBuilder::Image(int width, int height, int bits, int samples, int photometric, int compression,
                                int rowsPerStrip) {
  Set(256, 3, {static_cast<std::uint32_t>(width)});
  Set(257, 3, {static_cast<std::uint32_t>(height)});
  Set(258, 3, std::vector<std::uint32_t>(static_cast<std::size_t>(samples), static_cast<std::uint32_t>(bits)));
  Set(259, 3, {static_cast<std::uint32_t>(compression)});
  Set(262, 3, {static_cast<std::uint32_t>(photometric)});
  Set(277, 3, {static_cast<std::uint32_t>(samples)});
  if (rowsPerStrip > 0) Set(278, 4, {static_cast<std::uint32_t>(rowsPerStrip)});
  return *this;
}

void TiffBuilder::Put(Bytes& out, std::uint32_t v, int size) const {
  for (int i = 0; i < size; ++i) {
    const int shift = bigEndian_ ? 8 * (size - 1 - i) : 8 * i;
    out.push_back(static_cast<std::uint8_t>(v >> shift));
  }
}

Bytes TiffBuilder::Build() const {
  Bytes out;
  out.push_back(bigEndian_ ? 'M' : 'I');
  out.push_back(bigEndian_ ? 'M' : 'I');
  Put(out, 42, 2);
  Put(out, 0, 4);  // directory offset, patched below
  std::vector<std::uint32_t> offsets, counts;
  for (const Bytes& s : strips_) {
    offsets.push_back(static_cast<std::uint32_t>(out.size()));
    counts.push_back(static_cast<std::uint32_t>(s.size()));
    out.insert(out.end(), s.begin(), s.end());
  }
  std::vector<Field> fields = fields_;
  if (!strips_.empty()) {
    fields.push_back(Field{273, 4, offsets, {}});
    if (byteCounts_) fields.push_back(Field{279, 4, counts, {}});
  }
  // Value bytes of every field, in the file's byte order.
  std::vector<Bytes> values;
  std::vector<std::uint32_t> counts2;
  for (const Field& f : fields) {
    Bytes v;
    if (!f.raw.empty()) {
      v = f.raw;
      counts2.push_back(static_cast<std::uint32_t>(v.size()));
    } else {
      const int size = f.type == 3 ? 2 : (f.type == 1 ? 1 : 4);
      for (std::uint32_t x : f.values) Put(v, x, size);
      counts2.push_back(static_cast<std::uint32_t>(f.type == 5 ? f.values.size() / 2 : f.values.size()));
    }
    values.push_back(std::move(v));
  }
  std::vector<std::uint32_t> valueOffsets(fields.size(), 0);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (values[i].size() <= 4) continue;
    if (out.size() & 1) out.push_back(0);
    valueOffsets[i] = static_cast<std::uint32_t>(out.size());
    out.insert(out.end(), values[i].begin(), values[i].end());
  }
  if (out.size() & 1) out.push_back(0);
  const std::uint32_t ifd = static_cast<std::uint32_t>(out.size());
  Put(out, static_cast<std::uint32_t>(fields.size()), 2);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    Put(out, fields[i].tag, 2);
    Put(out, fields[i].type, 2);
    Put(out, counts2[i], 4);
    if (values[i].size() <= 4) {
      Bytes inline4 = values[i];
      inline4.resize(4, 0);
      out.insert(out.end(), inline4.begin(), inline4.end());
    } else {
      Put(out, valueOffsets[i], 4);
    }
  }
  Put(out, 0, 4);  // no next directory
  Bytes header;
  Put(header, ifd, 4);
  std::copy(header.begin(), header.end(), out.begin() + 4);
  return out;
}

Bytes WrapInEps(const Bytes& tiff, bool postScriptFirst) {
  const std::string ps = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 1 1\n%%EOF\n";
  Bytes out = {0xC5, 0xD0, 0xD3, 0xC6};
  auto put32 = [&](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  const std::uint32_t psOffset = postScriptFirst ? 30 : static_cast<std::uint32_t>(30 + tiff.size());
  const std::uint32_t tiffOffset = postScriptFirst ? static_cast<std::uint32_t>(30 + ps.size()) : 30;
  put32(psOffset);
  put32(static_cast<std::uint32_t>(ps.size()));
  put32(0);
  put32(0);
  put32(tiffOffset);
  put32(static_cast<std::uint32_t>(tiff.size()));
  out.push_back(0xFF);
  out.push_back(0xFF);
  if (postScriptFirst) {
    out.insert(out.end(), ps.begin(), ps.end());
    out.insert(out.end(), tiff.begin(), tiff.end());
  } else {
    out.insert(out.end(), tiff.begin(), tiff.end());
    out.insert(out.end(), ps.begin(), ps.end());
  }
  return out;
}

Bytes PackBits(const Bytes& bytes) {
  Bytes out;
  std::size_t i = 0;
  while (i < bytes.size()) {
    std::size_t run = 1;
    while (i + run < bytes.size() && run < 128 && bytes[i + run] == bytes[i]) ++run;
    if (run >= 3) {
      out.push_back(static_cast<std::uint8_t>(1 - static_cast<int>(run)));
      out.push_back(bytes[i]);
      i += run;
      continue;
    }
    std::size_t literal = 0;
    while (i + literal < bytes.size() && literal < 128) {
      const std::size_t j = i + literal;
      if (j + 2 < bytes.size() && bytes[j] == bytes[j + 1] && bytes[j] == bytes[j + 2]) break;
      ++literal;
    }
    out.push_back(static_cast<std::uint8_t>(literal - 1));
    out.insert(out.end(), bytes.begin() + static_cast<long>(i), bytes.begin() + static_cast<long>(i + literal));
    i += literal;
  }
  return out;
}

Bytes Deflate(const Bytes& bytes) {
  uLongf size = compressBound(static_cast<uLong>(bytes.size()));
  Bytes out(size);
  if (compress2(out.data(), &size, bytes.data(), static_cast<uLong>(bytes.size()), 6) != Z_OK) {
    throw std::runtime_error("compress2");
  }
  out.resize(size);
  return out;
}

Rgb TestPicture(int width, int height) {
  Rgb p{width, height, Bytes(static_cast<std::size_t>(width) * height * 3)};
  std::uint32_t seed = 12345;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      seed = seed * 1103515245u + 12345u;
      const int noise = static_cast<int>((seed >> 16) % 9) - 4;
      const bool disc = (x - width / 2) * (x - width / 2) + (y - height / 2) * (y - height / 2) < width * height / 8;
      int r = x * 255 / std::max(width - 1, 1);
      int g = disc ? 230 : y * 200 / std::max(height - 1, 1);
      int b = ((x / 8 + y / 8) & 1) ? 40 : 200;
      r = std::clamp(r + noise, 0, 255);
      g = std::clamp(g + noise, 0, 255);
      std::uint8_t* px = p.pixels.data() + (static_cast<std::size_t>(y) * width + x) * 3;
      px[0] = static_cast<std::uint8_t>(r);
      px[1] = static_cast<std::uint8_t>(g);
      px[2] = static_cast<std::uint8_t>(b);
    }
  }
  return p;
}

void WritePpm(const std::string& path, const Rgb& p) {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << p.width << " " << p.height << "\n255\n";
  out.write(reinterpret_cast<const char*>(p.pixels.data()), static_cast<std::streamsize>(p.pixels.size()));
}

void WritePgm(const std::string& path, const Rgb& p) {
  std::ofstream out(path, std::ios::binary);
  out << "P5\n" << p.width << " " << p.height << "\n255\n";
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) out.put(static_cast<char>(p.At(x, y, 1)));
  }
}

void WritePbm(const std::string& path, const Rgb& p) {
  std::ofstream out(path, std::ios::binary);
  out << "P4\n" << p.width << " " << p.height << "\n";
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; x += 8) {
      int byte = 0;
      for (int k = 0; k < 8; ++k) {
        if (x + k < p.width && p.At(x + k, y, 1) < 128) byte |= 0x80 >> k;
      }
      out.put(static_cast<char>(byte));
    }
  }
}

Rgb ReadPpm(const std::string& path) {
  const Bytes bytes = ReadBytes(path);
  std::size_t at = 0;
  auto number = [&] {
    while (at < bytes.size() && !std::isdigit(bytes[at])) {
      if (bytes[at] == '#') {
        while (at < bytes.size() && bytes[at] != '\n') ++at;
      }
      ++at;
    }
    int v = 0;
    while (at < bytes.size() && std::isdigit(bytes[at])) v = v * 10 + (bytes[at++] - '0');
    return v;
  };
  if (bytes.size() < 2 || bytes[0] != 'P' || bytes[1] != '6') throw std::runtime_error("not P6: " + path);
  at = 2;
  Rgb p;
  p.width = number();
  p.height = number();
  number();
  ++at;
  const std::size_t size = static_cast<std::size_t>(p.width) * p.height * 3;
  if (bytes.size() < at + size) throw std::runtime_error("short P6: " + path);
  p.pixels.assign(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at + size));
  return p;
}

Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

Difference CompareRgb(const Bitmap& picture, const Rgb& expected, int threshold) {
  Difference d;
  if (picture.Width() != expected.width || picture.Height() != expected.height) {
    d.max = 256;
    d.fractionOver = 1;
    return d;
  }
  long long sum = 0, over = 0, count = 0;
  for (int y = 0; y < expected.height; ++y) {
    for (int x = 0; x < expected.width; ++x) {
      const Color c = picture.Pixel(x, y);
      const int ours[3] = {GetRValue(c), GetGValue(c), GetBValue(c)};
      for (int k = 0; k < 3; ++k) {
        const int delta = std::abs(ours[k] - expected.At(x, y, k));
        d.max = std::max(d.max, delta);
        sum += delta;
        over += delta > threshold;
        ++count;
      }
    }
  }
  d.mean = count ? static_cast<double>(sum) / count : 0;
  d.fractionOver = count ? static_cast<double>(over) / count : 0;
  return d;
}

}  // namespace pixtrel::test

namespace pixtrel::test {

namespace {

std::uint32_t Le(const Bytes& b, std::size_t at, int size) {
  std::uint32_t v = 0;
  for (int i = size - 1; i >= 0; --i) v = v << 8 | b.at(at + static_cast<std::size_t>(i));
  return v;
}

// The entry of a tag in the first directory, or 0.
std::size_t FindEntry(const Bytes& tiff, std::uint16_t tag) {
  const std::size_t ifd = Le(tiff, 4, 4);
  const std::size_t count = Le(tiff, ifd, 2);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = ifd + 2 + 12 * i;
    if (Le(tiff, at, 2) == tag) return at;
  }
  return 0;
}

}  // namespace

std::size_t TagValueOffset(const Bytes& tiff, std::uint16_t tag) {
  const std::size_t at = FindEntry(tiff, tag);
  if (at == 0) return 0;
  const std::uint32_t type = Le(tiff, at + 2, 2), count = Le(tiff, at + 4, 4);
  const std::uint32_t size = type == 3 ? 2 : (type == 4 ? 4 : 1);
  return size * count <= 4 ? at + 8 : Le(tiff, at + 8, 4);
}

bool RenameTag(Bytes& tiff, std::uint16_t tag, std::uint16_t newTag) {
  const std::size_t at = FindEntry(tiff, tag);
  if (at == 0) return false;
  tiff.at(at) = static_cast<std::uint8_t>(newTag);
  tiff.at(at + 1) = static_cast<std::uint8_t>(newTag >> 8);
  return true;
}

bool PatchTag(Bytes& tiff, std::uint16_t tag, const std::vector<std::uint32_t>& values) {
  const std::size_t at = FindEntry(tiff, tag);
  if (at == 0) return false;
  const std::uint32_t type = Le(tiff, at + 2, 2), count = Le(tiff, at + 4, 4);
  if ((type != 3 && type != 4) || values.size() > count) return false;
  const std::size_t size = type == 3 ? 2 : 4;
  std::size_t where = TagValueOffset(tiff, tag);
  for (std::uint32_t v : values) {
    for (std::size_t i = 0; i < size; ++i) tiff.at(where + i) = static_cast<std::uint8_t>(v >> (8 * i));
    where += size;
  }
  return true;
}

}  // namespace pixtrel::test
