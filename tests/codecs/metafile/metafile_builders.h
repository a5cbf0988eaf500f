// Small writers of WMF and EMF files for the tests, record by record.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace pixtrel::test {

inline void Put16(std::vector<std::uint8_t>& out, int v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void Put32(std::vector<std::uint8_t>& out, std::int64_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
inline void PutFloat(std::vector<std::uint8_t>& out, float f) {
  std::uint32_t bits;
  std::memcpy(&bits, &f, 4);
  Put32(out, bits);
}

constexpr std::uint32_t ColorRef(int r, int g, int b) { return static_cast<std::uint32_t>(r | (g << 8) | (b << 16)); }

// A bottom-up 24-bit DIB (info header and bits) of rows given top-down as
// 0xRRGGBB values.
inline std::vector<std::uint8_t> Dib24(int width, const std::vector<std::uint32_t>& topDown) {
  const int height = static_cast<int>(topDown.size()) / width;
  std::vector<std::uint8_t> out;
  Put32(out, 40);
  Put32(out, width);
  Put32(out, height);
  Put16(out, 1);
  Put16(out, 24);
  for (int i = 0; i < 6; ++i) Put32(out, 0);
  const int stride = (width * 3 + 3) & ~3;
  for (int y = height - 1; y >= 0; --y) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t c = topDown[static_cast<std::size_t>(y * width + x)];
      out.push_back(static_cast<std::uint8_t>(c));
      out.push_back(static_cast<std::uint8_t>(c >> 8));
      out.push_back(static_cast<std::uint8_t>(c >> 16));
    }
    for (int p = width * 3; p < stride; ++p) out.push_back(0);
  }
  return out;
}

// An EMF whose frame is width x height pixels at 96 dpi on a 96 dpi
// reference device, so logical units are destination pixels in MM_TEXT.
class EmfBuilder {
 public:
  EmfBuilder(int width, int height) : width_(width), height_(height) {}

  EmfBuilder& Record(std::uint32_t type, std::initializer_list<std::int64_t> values) {
    std::vector<std::uint8_t> params;
    for (auto v : values) Put32(params, v);
    return Bytes(type, params);
  }
  EmfBuilder& Bytes(std::uint32_t type, const std::vector<std::uint8_t>& params) {
    Put32(records_, type);
    Put32(records_, static_cast<std::int64_t>(8 + params.size()));
    records_.insert(records_.end(), params.begin(), params.end());
    ++count_;
    return *this;
  }
  // A record whose size field claims more than it holds.
  EmfBuilder& Raw(const std::vector<std::uint8_t>& bytes) {
    records_.insert(records_.end(), bytes.begin(), bytes.end());
    return *this;
  }

  std::vector<std::uint8_t> Finish(std::int64_t frameRight = -1) const {
    std::vector<std::uint8_t> out;
    const std::int64_t fr = frameRight >= 0 ? frameRight : static_cast<std::int64_t>(width_) * 2540 / 96;
    Put32(out, 1);
    Put32(out, 88);
    for (auto v : {0, 0, width_ - 1, height_ - 1}) Put32(out, v);
    for (auto v : std::initializer_list<std::int64_t>{0, 0, fr, static_cast<std::int64_t>(height_) * 2540 / 96})
      Put32(out, v);
    Put32(out, 0x464D4520);
    Put32(out, 0x10000);
    Put32(out, static_cast<std::int64_t>(88 + records_.size() + 20));
    Put32(out, count_ + 2);
    Put16(out, 16);
    Put16(out, 0);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 960);
    Put32(out, 960);
    Put32(out, 254);
    Put32(out, 254);
    out.insert(out.end(), records_.begin(), records_.end());
    Put32(out, 14);
    Put32(out, 20);
    Put32(out, 0);
    Put32(out, 16);
    Put32(out, 20);
    return out;
  }

 private:
  int width_, height_;
  std::vector<std::uint8_t> records_;
  int count_ = 0;
};

// A placeable WMF with bounding box (0, 0, width, height) at 96 units per
// inch: one logical unit to the pixel.
class WmfBuilder {
 public:
  WmfBuilder(int width, int height, bool placeable = true, int objects = 8)
      : width_(width), height_(height), placeable_(placeable), objects_(objects) {}

  WmfBuilder& Record(int function, std::initializer_list<int> words) {
    std::vector<std::uint8_t> params;
    for (int w : words) Put16(params, w);
    return Bytes(function, params);
  }
  WmfBuilder& Bytes(int function, const std::vector<std::uint8_t>& params) {
    Put32(records_, static_cast<std::int64_t>(3 + (params.size() + 1) / 2));
    Put16(records_, function);
    records_.insert(records_.end(), params.begin(), params.end());
    if (params.size() & 1) records_.push_back(0);
    return *this;
  }

  std::vector<std::uint8_t> Finish(int inch = 96) const {
    std::vector<std::uint8_t> out;
    if (placeable_) {
      Put32(out, 0x9AC6CDD7);
      Put16(out, 0);
      for (int v : {0, 0, width_, height_}) Put16(out, v);
      Put16(out, inch);
      Put32(out, 0);
      Put16(out, 0);
    }
    Put16(out, 1);
    Put16(out, 9);
    Put16(out, 0x300);
    Put32(out, static_cast<std::int64_t>((18 + records_.size() + 6) / 2));
    Put16(out, objects_);
    Put32(out, 0);
    Put16(out, 0);
    out.insert(out.end(), records_.begin(), records_.end());
    Put32(out, 3);
    Put16(out, 0);
    return out;
  }

 private:
  int width_, height_;
  bool placeable_;
  int objects_;
  std::vector<std::uint8_t> records_;
};

}  // namespace pixtrel::test
