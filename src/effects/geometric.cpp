#include "effects/geometric.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "effects/fx_support.h"

namespace pixtrel::fx {

namespace {

// The source in pf24bit, copied only when it is in another format or is the destination.
const Bitmap& Readable(const Bitmap& source, const Bitmap& destination, Bitmap& scratch) {
  if (source.PixelFormat() == pf24bit && &source != &destination) return source;
  scratch = source;
  scratch.SetPixelFormat(pf24bit);
  return scratch;
}

void PrepareDestination(const Bitmap& source, Bitmap& destination) {
  destination.SetPixelFormat(pf24bit);
  if (destination.Width() != source.Width() || destination.Height() != source.Height())
    destination.SetSize(source.Width(), source.Height());
}

// One axis of a bilinear sample: the two source indices and their weights.
struct Taps {
  int first;
  int second;
  float w0;
  float w1;
};

Taps AxisTaps(float s, int n) {
  // Beyond 2^62 a float is a whole number far outside any image; such
  // positions, and those that are not finite, are taken as 0.
  if (!std::isfinite(s) || std::fabs(s) >= 4.6e18f) s = 0.0f;
  long long t = static_cast<long long>(s);
  Taps taps;
  if (s >= 0) {
    const float f = s - static_cast<float>(t);
    taps.w0 = 1.0f - f;
    taps.w1 = f;
  } else {
    const float g = static_cast<float>(t) - s;
    taps.w0 = g;
    taps.w1 = 1.0f - g;
  }
  if (t < 0)
    t = n - ((-t) % n) - 1;
  else if (t > n - 1)
    t = t % n;
  taps.first = static_cast<int>(t);
  taps.second = taps.first + 1 == n ? n - taps.first - 1 : taps.first + 1;
  return taps;
}

// Writes the bilinear sample at (sx, sy) as blue, green, red.
inline void SampleInto(const Bitmap& source, float sx, float sy, std::uint8_t* out) {
  const Taps tx = AxisTaps(sx, source.Width());
  const Taps ty = AxisTaps(sy, source.Height());
  const std::uint8_t* r0 = source.ScanLine(ty.first);
  const std::uint8_t* r1 = source.ScanLine(ty.second);
  const std::size_t c0 = 3 * static_cast<std::size_t>(tx.first);
  const std::size_t c1 = 3 * static_cast<std::size_t>(tx.second);
  const float w00 = tx.w0 * ty.w0, w10 = tx.w1 * ty.w0, w01 = tx.w0 * ty.w1, w11 = tx.w1 * ty.w1;
  for (std::size_t c = 0; c < 3; ++c) {
    float s = w00 * r0[c0 + c];
    s = s + w10 * r0[c1 + c];
    s = s + w01 * r1[c0 + c];
    s = s + w11 * r1[c1 + c];
    out[c] = static_cast<std::uint8_t>(std::clamp(RoundEven(s), 0.0f, 255.0f));
  }
}

// Fills every destination pixel from the source position position(x, y) gives.
template <class Position>
void Distort(const Bitmap& source, Bitmap& destination, Position position) {
  const int w = destination.Width();
  ForRowBands(destination.Height(), 60LL * w, [&](int first, int last) {
    for (int y = first; y < last; ++y) {
      std::uint8_t* out = destination.ScanLine(y);
      for (int x = 0; x < w; ++x) {
        long double sx, sy;
        position(x, y, sx, sy);
        SampleInto(source, static_cast<float>(sx), static_cast<float>(sy), out + 3 * static_cast<std::size_t>(x));
      }
    }
  });
}

inline void BlendByte(std::uint8_t& target, std::uint8_t toward, long double e) {
  const long double v = RoundEven((1 - e) * target + e * toward);
  target = static_cast<std::uint8_t>(std::clamp(v, 0.0L, 255.0L));
}

inline void BlendPixel(std::uint8_t* row, int target, int toward, long double e) {
  for (int c = 0; c < 3; ++c) BlendByte(row[3 * target + c], row[3 * toward + c], e);
}

}  // namespace

void FlipVertical(Bitmap& bitmap) {
  bitmap.SetPixelFormat(pf24bit);
  const int h = bitmap.Height();
  const std::size_t bytes = 3 * static_cast<std::size_t>(bitmap.Width());
  std::vector<std::uint8_t> keep(bytes);
  for (int y = 0; y < h / 2; ++y) {
    std::uint8_t* top = bitmap.ScanLine(y);
    std::uint8_t* bottom = bitmap.ScanLine(h - 1 - y);
    std::memcpy(keep.data(), top, bytes);
    std::memcpy(top, bottom, bytes);
    std::memcpy(bottom, keep.data(), bytes);
  }
}

void FlipHorizontal(Bitmap& bitmap) {
  bitmap.SetPixelFormat(pf24bit);
  const int w = bitmap.Width();
  ForRowBands(bitmap.Height(), 3LL * w, [&](int first, int last) {
    for (int y = first; y < last; ++y) {
      std::uint8_t* row = bitmap.ScanLine(y);
      for (int a = 0, b = w - 1; a < b; ++a, --b)
        for (int c = 0; c < 3; ++c) std::swap(row[3 * a + c], row[3 * b + c]);
    }
  });
}

void MirrorRight(Bitmap& bitmap) {
  bitmap.SetPixelFormat(pf24bit);
  const int w = bitmap.Width();
  if (w == 0) return;
  ForRowBands(bitmap.Height(), 3LL * w, [&](int first, int last) {
    for (int y = first; y < last; ++y) {
      std::uint8_t* row = bitmap.ScanLine(y);
      for (int a = 0; a <= w / 2; ++a) std::memmove(row + 3 * (w - 1 - a), row + 3 * a, 3);
    }
  });
}

void MirrorDown(Bitmap& bitmap) {
  bitmap.SetPixelFormat(pf24bit);
  const int h = bitmap.Height();
  if (h == 0) return;
  const std::size_t bytes = 3 * static_cast<std::size_t>(bitmap.Width());
  for (int y = 0; y <= h / 2; ++y) std::memmove(bitmap.ScanLine(h - 1 - y), bitmap.ScanLine(y), bytes);
}

void RotateQuarter(const Bitmap& source, Bitmap& destination) {
  Bitmap scratch;
  const Bitmap& src = Readable(source, destination, scratch);
  const int w = src.Width();
  const int h = src.Height();
  destination.SetPixelFormat(pf24bit);
  destination.SetSize(h, w);
  if (w == 0 || h == 0) return;
  // Destination row x is source column x read from the bottom up; bands of
  // destination rows go to the cores.
  ForRowBands(w, 3LL * h, [&](int first, int last) {
    for (int x = first; x < last; ++x) {
      std::uint8_t* out = destination.ScanLine(x);
      const std::size_t column = 3 * static_cast<std::size_t>(x);
      for (int y = 0; y < h; ++y)
        std::memcpy(out + 3 * static_cast<std::size_t>(h - 1 - y), src.ScanLine(y) + column, 3);
    }
  });
}

Color SampleBilinear(const Bitmap& source, float sx, float sy) {
  if (source.Width() <= 0 || source.Height() <= 0) return clBlack;
  Bitmap scratch;
  const Bitmap* src = &source;
  if (source.PixelFormat() != pf24bit) {
    scratch = source;
    scratch.SetPixelFormat(pf24bit);
    src = &scratch;
  }
  std::uint8_t bgr[3];
  SampleInto(*src, sx, sy, bgr);
  return RGB(bgr[2], bgr[1], bgr[0]);
}

void Fisheye(const Bitmap& source, Bitmap& destination, double amount) {
  Bitmap scratch;
  const Bitmap& src = Readable(source, destination, scratch);
  PrepareDestination(src, destination);
  if (!HasPixels(src)) return;
  const long double cx = src.Width() / 2.0L;
  const long double cy = src.Height() / 2.0L;
  const long double radius = destination.Width() * static_cast<long double>(amount);
  Distort(src, destination, [&](int x, int y, long double& sx, long double& sy) {
    const long double dx = x - cx;
    const long double dy = y - cy;
    const long double r = std::sqrt(dx * dx + dy * dy);
    if (r == 0) {
      sx = cx;
      sy = cy;
      return;
    }
    const long double inside = 1 - r / radius;
    if (inside == 0) {
      // On the lens rim the mapping has no finite position.
      sx = x;
      sy = y;
      return;
    }
    const long double f = (1 / inside - 1) * (radius / 2);
    sx = cx + dx * f / r;
    sy = cy + dy * f / r;
  });
}

void Twist(const Bitmap& source, Bitmap& destination, int amount) {
  Bitmap scratch;
  const Bitmap& src = Readable(source, destination, scratch);
  PrepareDestination(src, destination);
  if (!HasPixels(src)) return;
  if (amount < 1) {
    for (int y = 0; y < src.Height(); ++y)
      std::memcpy(destination.ScanLine(y), src.ScanLine(y), 3 * static_cast<std::size_t>(src.Width()));
    return;
  }
  const long double cx = (src.Width() - 1) / 2.0L;
  const long double cy = (src.Height() - 1) / 2.0L;
  const long double pi = std::numbers::pi_v<long double>;
  const long double quarter = static_cast<long double>(1.5707964f);
  Distort(src, destination, [&](int x, int y, long double& sx, long double& sy) {
    const long double dx = x - cx;
    const long double dy = y - cy;
    const long double r = std::sqrt(dx * dx + dy * dy);
    if (r == 0) {
      sx = cx;
      sy = cy;
      return;
    }
    long double theta;
    if (dx == 0)
      theta = dy > 0 ? pi / 2 : -pi / 2;
    else
      theta = std::atan(dy / dx) + (dx < 0 ? pi : 0.0L);
    const long double m = theta - r / amount + quarter;
    sx = cx + r * std::cos(m);
    sy = cy + r * std::sin(m);
  });
}

void Mosaic(Bitmap& bitmap, int n) {
  bitmap.SetPixelFormat(pf24bit);
  if (!HasPixels(bitmap) || n <= 1) return;
  const int w = bitmap.Width();
  const int h = bitmap.Height();
  const int blockRows = (h + n - 1) / n;
  const std::size_t bytes = 3 * static_cast<std::size_t>(w);
  ForRowBands(blockRows, 3LL * w * n, [&](int first, int last) {
    for (int block = first; block < last; ++block) {
      const int top = block * n;
      std::uint8_t* lead = bitmap.ScanLine(top);
      for (int x0 = 0; x0 < w; x0 += n)
        for (int x = x0 + 1; x < std::min(x0 + n, w); ++x) std::memcpy(lead + 3 * x, lead + 3 * x0, 3);
      for (int y = top + 1; y < std::min(top + n, h); ++y) std::memcpy(bitmap.ScanLine(y), lead, bytes);
    }
  });
}

void Wipe(Bitmap& bitmap, int a) {
  bitmap.SetPixelFormat(pf24bit);
  if (!HasPixels(bitmap)) return;
  if (a < 5) a = 5;
  a = (a / 2) * 2 + 1;
  const int h = a / 2;
  const int w = bitmap.Width();
  ForRowBands(bitmap.Height(), 3LL * w, [&](int first, int last) {
    for (int y = first; y < last; ++y) {
      std::uint8_t* row = bitmap.ScanLine(y);
      int f = y % (a - 1);
      if (f > h) f = 2 * h - f;
      if (f == 0) f = a;
      const int e = std::abs(h - y % a) + h;
      std::uint8_t held[3] = {row[0], row[1], row[2]};
      for (int x = 0; x < w; ++x) {
        std::uint8_t* p = row + 3 * static_cast<std::size_t>(x);
        if (x % f == 0 || x % e == 1) std::memcpy(held, p, 3);
        std::memcpy(p, held, 3);
      }
    }
  });
}

void CastShadow(Bitmap& bitmap, ShadowDirection direction) {
  bitmap.SetPixelFormat(pf24bit);
  if (!HasPixels(bitmap)) return;
  int ox = 4, oy = 4;
  switch (direction) {
    case ShadowDirection::UpLeft:
      ox = 4;
      oy = 4;
      break;
    case ShadowDirection::UpRight:
      ox = -4;
      oy = 4;
      break;
    case ShadowDirection::DownLeft:
      ox = 4;
      oy = -4;
      break;
    case ShadowDirection::DownRight:
      ox = -4;
      oy = -4;
      break;
  }
  // The visiting order makes every comparison read the picture as it was, so
  // the result is computed from an untouched copy, rows in any order.
  const Bitmap before = bitmap;
  const int w = bitmap.Width();
  const int h = bitmap.Height();
  ForRowBands(h, 3LL * w, [&](int first, int last) {
    for (int y = first; y < last; ++y) {
      const int sy = y + oy;
      if (sy < 0 || sy >= h) continue;
      const std::uint8_t* own = before.ScanLine(y);
      const std::uint8_t* other = before.ScanLine(sy);
      std::uint8_t* out = bitmap.ScanLine(y);
      for (int x = std::max(0, -ox); x < std::min(w, w - ox); ++x) {
        const std::uint8_t* q = other + 3 * static_cast<std::size_t>(x + ox);
        if (q[0] < own[3 * x]) {
          for (int c = 0; c < 3; ++c) out[3 * x + c] = static_cast<std::uint8_t>(q[c] + 1);
        }
      }
    }
  });
}

void MakeSeamless(Bitmap& bitmap, int a) {
  bitmap.SetPixelFormat(pf24bit);
  if (!HasPixels(bitmap) || a <= 0) return;
  const int w = bitmap.Width();
  const int h = bitmap.Height();
  const long double step = 1.0L / a;
  for (int k = 0; k <= a && k < h; ++k) {
    std::uint8_t* top = bitmap.ScanLine(k);
    std::uint8_t* bottom = bitmap.ScanLine(h - 1 - k);
    const long double e = 1 - k * step;
    for (int c = k; c <= w - 1 - k; ++c)
      for (int i = 0; i < 3; ++i) BlendByte(bottom[3 * c + i], top[3 * c + i], e);
    for (int f = 0; f <= k && f < w; ++f) {
      const long double g = 1 - f * step;
      BlendPixel(top, w - 1 - f, f, g);
      BlendPixel(bottom, w - 1 - f, f, g);
    }
  }
  if (h - a - 1 >= a) {
    for (int y = a; y <= h - a - 1; ++y) {
      std::uint8_t* row = bitmap.ScanLine(y);
      for (int f = 0; f <= a && f < w; ++f) BlendPixel(row, w - 1 - f, f, 1 - f * step);
    }
  }
}

}  // namespace pixtrel::fx
