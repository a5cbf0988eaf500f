#include "reference.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace pixtrel::reference {

Plain FromBitmap(const Bitmap& bitmap) {
  Bitmap b = bitmap;
  b.SetPixelFormat(pf24bit);
  Plain p(b.Width(), b.Height());
  for (int y = 0; y < p.h; ++y)
    for (int x = 0; x < p.w; ++x)
      for (int c = 0; c < 3; ++c) p.at(x, y, c) = b.ScanLine(y)[3 * x + c];
  return p;
}

Bitmap ToBitmap(const Plain& p) {
  Bitmap b(p.w, p.h, pf24bit);
  for (int y = 0; y < p.h; ++y)
    for (int x = 0; x < p.w; ++x)
      for (int c = 0; c < 3; ++c) b.ScanLine(y)[3 * x + c] = static_cast<std::uint8_t>(p.at(x, y, c));
  return b;
}

Bitmap RandomBitmap(int width, int height, std::mt19937& rng, int levels) {
  Bitmap b(width, height, pf24bit);
  std::uniform_int_distribution<int> dist(0, levels - 1);
  for (int y = 0; y < height; ++y)
    for (int i = 0; i < 3 * width; ++i) {
      const int v = dist(rng);
      b.ScanLine(y)[i] = static_cast<std::uint8_t>(levels >= 256 ? v : v * 255 / std::max(levels - 1, 1));
    }
  return b;
}

int Clamp(int v) { return v > 255 ? 255 : (v < 0 ? 0 : v); }
long double Round(long double v) { return std::nearbyint(v); }

#define EACH(p)                   \
  for (int y = 0; y < p.h; ++y)   \
    for (int x = 0; x < p.w; ++x) \
      for (int c = 0; c < 3; ++c)

Plain Lighten(Plain p, int amount) {
  EACH(p) {
    int& v = p.at(x, y, c);
    v = Clamp(v + amount * (255 - v) / 255);
  }
  return p;
}

Plain Darken(Plain p, int amount) {
  EACH(p) {
    int& v = p.at(x, y, c);
    v = Clamp(v - amount * v / 255);
  }
  return p;
}

Plain AdjustContrast(Plain p, int amount) {
  EACH(p) {
    int& v = p.at(x, y, c);
    const int d = std::abs(127 - v) * amount / 255;
    v = v > 127 ? Clamp(v + d) : Clamp(v - d);
  }
  return p;
}

Plain AdjustSaturation(Plain p, int amount) {
  for (int y = 0; y < p.h; ++y)
    for (int x = 0; x < p.w; ++x) {
      const int g = (p.at(x, y, 0) + p.at(x, y, 1) + p.at(x, y, 2)) / 3;
      for (int c = 0; c < 3; ++c) p.at(x, y, c) = Clamp(g + (p.at(x, y, c) - g) * amount / 255);
    }
  return p;
}

Plain ToGrayscale(Plain p) {
  for (int y = 0; y < p.h; ++y)
    for (int x = 0; x < p.w; ++x) {
      const long double s = 0.3L * p.at(x, y, 2) + 0.59L * p.at(x, y, 1) + 0.11L * p.at(x, y, 0);
      const int v = static_cast<int>(Round(s));
      for (int c = 0; c < 3; ++c) p.at(x, y, c) = v;
    }
  return p;
}

Plain InvertColors(Plain p) {
  EACH(p) p.at(x, y, c) = 255 - p.at(x, y, c);
  return p;
}

Plain Posterize(const Plain& src, int depth) {
  Plain p = src;
  EACH(p) {
    const long double level = depth * Round(static_cast<long double>(src.at(x, y, c)) / depth);
    p.at(x, y, c) = level > 255 ? 255 : static_cast<int>(level);
  }
  return p;
}

Plain Solarize(const Plain& src, int threshold) {
  Plain p = src;
  for (int y = 0; y < p.h; ++y)
    for (int x = 0; x < p.w; ++x) {
      const int a = (src.at(x, y, 0) + src.at(x, y, 1) + src.at(x, y, 2)) / 3;
      if (a > threshold)
        for (int c = 0; c < 3; ++c) p.at(x, y, c) = 255 - src.at(x, y, c);
    }
  return p;
}

Plain Blend(const Plain& a, const Plain& b, double t) {
  Plain p = a;
  const long double tt = t;
  EACH(p) p.at(x, y, c) = static_cast<int>(Round((1 - tt) * a.at(x, y, c) + tt * b.at(x, y, c)));
  return p;
}

Plain Convolve3x3(const Plain& src, const int k[9], int divisor) {
  const int W = src.w, H = src.h;
  Plain f(W + 2, H + 2);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x)
      for (int c = 0; c < 3; ++c) f.at(x + 1, y + 1, c) = src.at(x, y, c);
  for (int c = 0; c < 3; ++c) {
    for (int x = 0; x < W; ++x) {
      f.at(x + 1, 0, c) = src.at(x, H - 1, c);
      f.at(x + 1, H + 1, c) = src.at(x, 0, c);
    }
    for (int y = 0; y < H; ++y) {
      f.at(0, y + 1, c) = src.at(W - 1, y, c);
      f.at(W + 1, y + 1, c) = src.at(0, y, c);
    }
    f.at(0, 0, c) = src.at(0, 0, c);
    f.at(W + 1, 0, c) = src.at(W - 1, 0, c);
    f.at(0, H + 1, c) = src.at(0, H - 1, c);
    f.at(W + 1, H + 1, c) = src.at(W - 1, H - 1, c);
  }
  Plain p = src;
  EACH(p) {
    int s = 0;
    for (int dy = 0; dy <= 2; ++dy)
      for (int dx = 0; dx <= 2; ++dx) s += k[3 * dy + dx] * f.at(x + dx, y + dy, c);
    const int v = s / divisor;
    p.at(x, y, c) = v > 254 ? 255 : (v < 1 ? 0 : v);
  }
  return p;
}

Plain AntiAlias(Plain p) {
  for (int y = 1; y <= p.h - 2; ++y)
    for (int x = 1; x <= p.w - 2; ++x)
      for (int c = 0; c < 3; ++c)
        p.at(x, y, c) = (p.at(x, y - 1, c) + p.at(x, y + 1, c) + p.at(x - 1, y, c) + p.at(x + 1, y, c)) >> 2;
  return p;
}

Plain SplitBlur(Plain p, int a) {
  if (a == 0) return p;
  const int W = p.w, H = p.h;
  for (int y = 0; y < H; ++y) {
    const int u = y - a < 0 ? y : y - a;
    int l = y + a >= H ? H - y : y + a;
    if (l >= H) l = H - 1;  // only on images of 3 rows or less
    for (int x = 0; x < W; ++x) {
      const int pc = x - a < 0 ? x : x - a;
      int q = x + a >= W ? W - x : x + a;
      if (q >= W) q = W - 1;
      for (int c = 0; c < 3; ++c)
        p.at(x, y, c) = (p.at(pc, u, c) + p.at(pc, l, c) + p.at(q, u, c) + p.at(q, l, c)) >> 2;
    }
  }
  return p;
}

Plain Emboss(Plain p) {
  for (int y = 0; y <= p.h - 2; ++y)
    for (int x = 0; x <= p.w - 4; ++x)
      for (int c = 0; c < 3; ++c) p.at(x, y, c) = (p.at(x, y, c) + 255 - p.at(x + 3, y + 1, c)) >> 1;
  return p;
}

Plain FlipVertical(const Plain& src) {
  Plain p = src;
  EACH(p) p.at(x, y, c) = src.at(x, src.h - 1 - y, c);
  return p;
}

Plain FlipHorizontal(const Plain& src) {
  Plain p = src;
  EACH(p) p.at(x, y, c) = src.at(src.w - 1 - x, y, c);
  return p;
}

Plain MirrorRight(Plain p) {
  for (int y = 0; y < p.h; ++y)
    for (int a = 0; a <= p.w / 2; ++a)
      for (int c = 0; c < 3; ++c) p.at(p.w - 1 - a, y, c) = p.at(a, y, c);
  return p;
}

Plain MirrorDown(Plain p) {
  for (int y = 0; y <= p.h / 2; ++y)
    for (int x = 0; x < p.w; ++x)
      for (int c = 0; c < 3; ++c) p.at(x, p.h - 1 - y, c) = p.at(x, y, c);
  return p;
}

Plain RotateQuarter(const Plain& src) {
  Plain p(src.h, src.w);
  EACH(src) p.at(src.h - 1 - y, x, c) = src.at(x, y, c);
  return p;
}

void SampleBilinear(const Plain& p, float sx, float sy, int out[3]) {
  const int W = p.w, H = p.h;
  if (!std::isfinite(sx) || std::fabs(sx) >= 4.6e18f) sx = 0;
  if (!std::isfinite(sy) || std::fabs(sy) >= 4.6e18f) sy = 0;
  long long tx = static_cast<long long>(std::trunc(sx));
  long long ty = static_cast<long long>(std::trunc(sy));
  float wx[2], wy[2];
  if (sx >= 0) {
    const float fx = sx - static_cast<float>(tx);
    wx[0] = 1 - fx;
    wx[1] = fx;
  } else {
    const float g = static_cast<float>(tx) - sx;
    wx[0] = g;
    wx[1] = 1 - g;
  }
  if (sy >= 0) {
    const float fy = sy - static_cast<float>(ty);
    wy[0] = 1 - fy;
    wy[1] = fy;
  } else {
    const float g = static_cast<float>(ty) - sy;
    wy[0] = g;
    wy[1] = 1 - g;
  }
  if (tx < 0)
    tx = W - ((-tx) % W) - 1;
  else if (tx > W - 1)
    tx = tx % W;
  if (ty < 0)
    ty = H - ((-ty) % H) - 1;
  else if (ty > H - 1)
    ty = ty % H;
  for (int c = 0; c < 3; ++c) {
    float s = 0;
    bool first = true;
    for (int j = 0; j < 2; ++j)
      for (int i = 0; i < 2; ++i) {
        long long col = tx + i, row = ty + j;
        if (col == W) col = W - tx - i;
        if (row == H) row = H - ty - j;
        const float term = (wx[i] * wy[j]) * static_cast<float>(p.at(static_cast<int>(col), static_cast<int>(row), c));
        s = first ? term : s + term;
        first = false;
      }
    out[c] = std::clamp(static_cast<int>(std::nearbyint(s)), 0, 255);
  }
}

Plain Fisheye(const Plain& src, double amount) {
  Plain p = src;
  const long double cx = src.w / 2.0L, cy = src.h / 2.0L;
  const long double R = src.w * static_cast<long double>(amount);
  for (int y = 0; y < p.h; ++y)
    for (int x = 0; x < p.w; ++x) {
      const long double dx = x - cx, dy = y - cy;
      const long double r = std::sqrt(dx * dx + dy * dy);
      long double sx, sy;
      if (r == 0) {
        sx = cx;
        sy = cy;
      } else if (1 - r / R == 0) {
        sx = x;
        sy = y;
      } else {
        const long double f = (1 / (1 - r / R) - 1) * (R / 2);
        sx = cx + dx * f / r;
        sy = cy + dy * f / r;
      }
      int out[3];
      SampleBilinear(src, static_cast<float>(sx), static_cast<float>(sy), out);
      for (int c = 0; c < 3; ++c) p.at(x, y, c) = out[c];
    }
  return p;
}

Plain Twist(const Plain& src, int amount) {
  Plain p = src;
  const long double cx = (src.w - 1) / 2.0L, cy = (src.h - 1) / 2.0L;
  const long double pi = std::numbers::pi_v<long double>;
  for (int y = 0; y < p.h; ++y)
    for (int x = 0; x < p.w; ++x) {
      const long double dx = x - cx, dy = y - cy;
      const long double r = std::sqrt(dx * dx + dy * dy);
      long double sx = cx, sy = cy;
      if (r != 0) {
        long double theta;
        if (dx == 0)
          theta = dy > 0 ? pi / 2 : -pi / 2;
        else {
          theta = std::atan(dy / dx);
          if (dx < 0) theta += pi;
        }
        const long double m = theta - r / amount + static_cast<long double>(1.5707964f);
        sx = cx + r * std::cos(m);
        sy = cy + r * std::sin(m);
      }
      int out[3];
      SampleBilinear(src, static_cast<float>(sx), static_cast<float>(sy), out);
      for (int c = 0; c < 3; ++c) p.at(x, y, c) = out[c];
    }
  return p;
}

Plain Mosaic(Plain p, int n) {
  const Plain src = p;
  EACH(p) p.at(x, y, c) = src.at(x - x % n, y - y % n, c);
  return p;
}

Plain Wipe(Plain p, int a) {
  if (a < 5) a = 5;
  a = (a / 2) * 2 + 1;
  const int h = a / 2;
  for (int y = 0; y < p.h; ++y) {
    int held[3] = {p.at(0, y, 0), p.at(0, y, 1), p.at(0, y, 2)};
    int f = y % (a - 1);
    if (f > h) f = 2 * h - f;
    if (f == 0) f = a;
    const int e = std::abs(h - (y % a)) + h;
    for (int x = 0; x < p.w; ++x) {
      if (x % f == 0)
        for (int c = 0; c < 3; ++c) held[c] = p.at(x, y, c);
      if (x % e == 1)
        for (int c = 0; c < 3; ++c) held[c] = p.at(x, y, c);
      for (int c = 0; c < 3; ++c) p.at(x, y, c) = held[c];
    }
  }
  return p;
}

Plain CastShadow(const Plain& src, int ox, int oy, bool upward) {
  Plain C = src;
  for (int i = 0; i < C.h; ++i) {
    const int y = upward ? i : C.h - 1 - i;
    for (int x = 0; x < C.w; ++x) {
      const int qx = x + ox, qy = y + oy;
      if (qx < 0 || qy < 0 || qx >= C.w || qy >= C.h) continue;
      if (C.at(qx, qy, 0) < C.at(x, y, 0))
        for (int c = 0; c < 3; ++c) C.at(x, y, c) = (C.at(qx, qy, c) + 1) & 0xFF;
    }
  }
  return C;
}

Plain MakeSeamless(Plain p, int a) {
  const int W = p.w, H = p.h;
  auto blend = [&](int tx, int ty, int fx, int fy, long double e) {
    for (int c = 0; c < 3; ++c)
      p.at(tx, ty, c) = static_cast<int>(Round((1 - e) * p.at(tx, ty, c) + e * p.at(fx, fy, c)));
  };
  for (int k = 0; k <= a; ++k) {
    if (k >= H) break;
    const int top = k, bottom = H - 1 - k;
    const long double e = 1 - k * (1.0L / a);
    for (int c = k; c <= W - 1 - k; ++c) blend(c, bottom, c, top, e);
    for (int f = 0; f <= k; ++f) {
      if (f >= W) break;
      const long double g = 1 - f * (1.0L / a);
      blend(W - 1 - f, top, f, top, g);
      blend(W - 1 - f, bottom, f, bottom, g);
    }
  }
  if (H - a - 1 >= a)
    for (int y = a; y <= H - a - 1; ++y)
      for (int f = 0; f <= a && f < W; ++f) blend(W - 1 - f, y, f, y, 1 - f * (1.0L / a));
  return p;
}

Plain ButtonizeRect(Plain p, int d, int w) {
  const int W = p.w, H = p.h;
  auto light = [&](int x, int y) {
    if (x < 0 || x >= W || y < 0 || y >= H) return;
    for (int c = 0; c < 3; ++c) p.at(x, y, c) = Clamp(p.at(x, y, c) + w * (255 - p.at(x, y, c)) / 255);
  };
  auto dark = [&](int x, int y) {
    if (x < 0 || x >= W || y < 0 || y >= H) return;
    for (int c = 0; c < 3; ++c) p.at(x, y, c) = Clamp(p.at(x, y, c) - w * p.at(x, y, c) / 255);
  };
  for (int k = 0; k <= d; ++k) {
    if (k >= H) break;
    const int T = k, B = H - 1 - k;
    if (W - 1 - k >= k)
      for (int x = k; x <= W - 1 - k; ++x) {
        light(x, T);
        dark(x, B);
      }
    for (int x = 0; x <= k; ++x) {
      light(x, T);
      dark(W - 1 - x, T);
      light(x, B);
      dark(W - 1 - x, B);
    }
  }
  if (H - d - 2 >= d + 1)
    for (int y = d + 1; y <= H - d - 2; ++y)
      for (int x = 0; x <= d; ++x) {
        light(x, y);
        dark(W - 1 - x, y);
      }
  return p;
}

namespace {

float Lanczos3(float x) {
  const long double t = std::fabs(static_cast<long double>(x));
  if (t >= 3) return 0;
  auto sinc = [](long double u) -> long double {
    if (u == 0) return 1;
    return std::sin(std::numbers::pi_v<long double> * u) / (std::numbers::pi_v<long double> * u);
  };
  return static_cast<float>(sinc(t) * sinc(t / 3));
}

float Scale(int d, int s) {
  if (s == 1 || d == 1) return static_cast<float>(d) / static_cast<float>(s);
  return static_cast<float>(d - 1) / static_cast<float>(s - 1);
}

// The (index, weight) taps of destination index i, made afresh each time.
std::vector<std::pair<int, float>> Taps(int i, int n, float s) {
  const float w = 3.0f;
  std::vector<std::pair<int, float>> taps;
  const float center = static_cast<float>(i) / s;
  float width = w, fs = 1.0f;
  if (s < 1) {
    width = w / s;
    fs = 1.0f / s;
  }
  for (long long j = static_cast<long long>(std::floor(center - width));
       j <= static_cast<long long>(std::ceil(center + width)); ++j) {
    const float weight =
        s >= 1 ? Lanczos3(center - static_cast<float>(j)) : Lanczos3((center - static_cast<float>(j)) / fs) / fs;
    if (weight == 0) continue;
    long long k = j < 0 ? -j : (j >= n ? 2LL * n - 1 - j : j);
    k = std::clamp<long long>(k, 0, n - 1);
    taps.emplace_back(static_cast<int>(k), weight);
  }
  return taps;
}

int ToByte(float s) {
  if (s > 255) return 255;
  if (s < 0) return 0;
  return static_cast<int>(std::nearbyint(s));
}

}  // namespace

Plain ResampleLanczos3(const Plain& src, int dw, int dh) {
  Plain work(dw, src.h);
  for (int y = 0; y < src.h; ++y)
    for (int x = 0; x < dw; ++x)
      for (int c = 0; c < 3; ++c) {
        float s = 0;
        for (const auto& [j, weight] : Taps(x, src.w, Scale(dw, src.w)))
          s += weight * static_cast<float>(src.at(j, y, c));
        work.at(x, y, c) = ToByte(s);
      }
  Plain out(dw, dh);
  for (int x = 0; x < dw; ++x)
    for (int y = 0; y < dh; ++y)
      for (int c = 0; c < 3; ++c) {
        float s = 0;
        for (const auto& [j, weight] : Taps(y, src.h, Scale(dh, src.h)))
          s += weight * static_cast<float>(work.at(x, j, c));
        out.at(x, y, c) = ToByte(s);
      }
  return out;
}

}  // namespace pixtrel::reference
