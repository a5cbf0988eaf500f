#include "effects/convolution.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "effects/fx_support.h"

namespace pixtrel::fx {

namespace {

constexpr std::array<ConvolutionKernel, 9> kKernels = {{
    {{-1, -1, -1, -1, 8, -1, -1, -1, -1}, 1},
    {{-1, -1, -1, -1, 9, -1, -1, -1, -1}, 1},
    {{1, 1, 1, 1, -2, 1, -1, -1, -1}, 1},
    {{-1, -1, -1, -1, 16, -1, -1, -1, -1}, 8},
    {{0, -1, 0, -1, 5, -1, 0, -1, 0}, 1},
    {{1, 0, 1, 0, 0, 0, 1, 0, -2}, 1},
    {{2, 2, 2, 2, 0, 2, 2, 2, 2}, 16},
    {{3, 3, 3, 3, 8, 3, 3, 3, 3}, 32},
    {{0, 1, 0, 1, 2, 1, 0, 1, 0}, 6},
}};

// The image with a one-pixel frame around it, rows of 3 (W + 2) bytes.
struct Framed {
  int width = 0;  // of the frame: W + 2
  int height = 0;
  std::vector<std::uint8_t> bytes;
  std::uint8_t* Row(int y) { return bytes.data() + static_cast<std::size_t>(y) * 3 * width; }
  const std::uint8_t* Row(int y) const { return bytes.data() + static_cast<std::size_t>(y) * 3 * width; }
};

// Frame rows and columns wrap around; the corners are the image's own corners,
// or with wrapCorners the diagonally opposite ones.
Framed MakeFramed(const Bitmap& c, bool wrapCorners) {
  const int w = c.Width();
  const int h = c.Height();
  Framed f;
  f.width = w + 2;
  f.height = h + 2;
  f.bytes.resize(static_cast<std::size_t>(f.width) * 3 * f.height);
  auto fill = [&](std::uint8_t* out, const std::uint8_t* row, const std::uint8_t* left, const std::uint8_t* right) {
    std::memcpy(out, left, 3);
    std::memcpy(out + 3, row, 3 * static_cast<std::size_t>(w));
    std::memcpy(out + 3 + 3 * static_cast<std::size_t>(w), right, 3);
  };
  auto px = [&](int x, int y) { return c.ScanLine(y) + 3 * static_cast<std::size_t>(x); };
  for (int y = 0; y < h; ++y) fill(f.Row(y + 1), c.ScanLine(y), px(w - 1, y), px(0, y));
  if (wrapCorners) {
    fill(f.Row(0), c.ScanLine(h - 1), px(w - 1, h - 1), px(0, h - 1));
    fill(f.Row(h + 1), c.ScanLine(0), px(w - 1, 0), px(0, 0));
  } else {
    fill(f.Row(0), c.ScanLine(h - 1), px(0, 0), px(w - 1, 0));
    fill(f.Row(h + 1), c.ScanLine(0), px(0, h - 1), px(w - 1, h - 1));
  }
  return f;
}

inline std::uint8_t ConvolvedByte(int s, int divisor) {
  // A negative sum gives a quotient below 1, which becomes 0 like any other.
  if (s <= 0) return 0;
  const int v = s / divisor;
  return static_cast<std::uint8_t>(v > 254 ? 255 : v);
}

// One output row; K is the number of a kernel known when compiled, so the
// weights and the divisor become constants, or -1 for a kernel given at run time.
template <int K>
void ConvolveRow(const std::uint8_t* r0, const std::uint8_t* r1, const std::uint8_t* r2, std::uint8_t* out, int bytes,
                 const ConvolutionKernel& runtime) {
  const ConvolutionKernel& kernel = K >= 0 ? kKernels[K < 0 ? 0 : K] : runtime;
  const auto& k = kernel.k;
  const int divisor = kernel.divisor;
  for (int i = 0; i < bytes; ++i) {
    const int s = k[0] * r0[i] + k[1] * r0[i + 3] + k[2] * r0[i + 6] + k[3] * r1[i] + k[4] * r1[i + 3] +
                  k[5] * r1[i + 6] + k[6] * r2[i] + k[7] * r2[i + 3] + k[8] * r2[i + 6];
    out[i] = ConvolvedByte(s, divisor);
  }
}

// Frames one image row: the wrap-around pixel on each side.
void FrameRow(std::uint8_t* out, const std::uint8_t* row, int w, const std::uint8_t* left, const std::uint8_t* right) {
  std::memcpy(out, left, 3);
  std::memcpy(out + 3, row, 3 * static_cast<std::size_t>(w));
  std::memcpy(out + 3 + 3 * static_cast<std::size_t>(w), right, 3);
}

// The same result as convolving a framed copy of the whole picture, with only
// three framed rows per band: a row is framed just before the row above it is
// rewritten, and the rows beyond each band's ends are framed before any band starts.
template <int K>
void ConvolveBands(Bitmap& bitmap, const ConvolutionKernel& kernel) {
  const int w = bitmap.Width();
  const int h = bitmap.Height();
  const int bytes = 3 * w;
  const std::size_t framedBytes = 3 * static_cast<std::size_t>(w + 2);
  auto px = [&](int x, int y) { return bitmap.ScanLine(y) + 3 * static_cast<std::size_t>(x); };
  // Framed row j of the picture (1..H), or the frame's own top (0) and bottom (H + 1) rows.
  auto framed = [&](int j, std::uint8_t* out) {
    if (j == 0)
      FrameRow(out, bitmap.ScanLine(h - 1), w, px(0, 0), px(w - 1, 0));
    else if (j == h + 1)
      FrameRow(out, bitmap.ScanLine(0), w, px(0, h - 1), px(w - 1, h - 1));
    else
      FrameRow(out, bitmap.ScanLine(j - 1), w, px(w - 1, j - 1), px(0, j - 1));
  };
  const std::vector<std::pair<int, int>> bands = RowBands(h, 9LL * bytes);
  std::vector<std::vector<std::uint8_t>> edges(2 * bands.size(), std::vector<std::uint8_t>(framedBytes));
  for (std::size_t b = 0; b < bands.size(); ++b) {
    framed(bands[b].first, edges[2 * b].data());
    framed(bands[b].second + 1, edges[2 * b + 1].data());
  }
  auto run = [&](std::size_t b) {
    const auto [first, last] = bands[b];
    std::vector<std::uint8_t> ring(3 * framedBytes);
    std::uint8_t* r0 = edges[2 * b].data();
    std::uint8_t* r1 = ring.data();
    std::uint8_t* spare = ring.data() + framedBytes;
    framed(first + 1, r1);
    for (int y = first; y < last; ++y) {
      std::uint8_t* r2 = y + 1 < last ? spare : edges[2 * b + 1].data();
      if (y + 1 < last) framed(y + 2, r2);
      ConvolveRow<K>(r0, r1, r2, bitmap.ScanLine(y), bytes, kernel);
      // The oldest row's buffer is free again (the band's top edge is never reused).
      std::uint8_t* freed = r0 == edges[2 * b].data() ? ring.data() + 2 * framedBytes : r0;
      r0 = r1;
      r1 = r2;
      spare = freed;
    }
  };
  RunBands(bands.size(), run);
}

int KnownKernel(const ConvolutionKernel& kernel) {
  for (int n = 0; n < 9; ++n)
    if (kKernels[n].k == kernel.k && kKernels[n].divisor == kernel.divisor) return n;
  return -1;
}

// Each channel of (x, y) := (up + down + left + right) shr 2, in place.
inline void MeanOfFour(std::uint8_t* up, std::uint8_t* here, std::uint8_t* down, int x) {
  const std::size_t i = 3 * static_cast<std::size_t>(x);
  for (std::size_t c = i; c < i + 3; ++c)
    here[c] = static_cast<std::uint8_t>((up[c] + down[c] + here[c - 3] + here[c + 3]) >> 2);
}

}  // namespace

const ConvolutionKernel& Kernel(int number) { return kKernels[static_cast<std::size_t>(std::clamp(number, 0, 8))]; }

void Convolve3x3(Bitmap& bitmap, const ConvolutionKernel& kernel) {
  bitmap.SetPixelFormat(pf24bit);
  if (!HasPixels(bitmap) || kernel.divisor <= 0) return;
  switch (KnownKernel(kernel)) {
    case 0:
      ConvolveBands<0>(bitmap, kernel);
      break;
    case 1:
      ConvolveBands<1>(bitmap, kernel);
      break;
    case 2:
      ConvolveBands<2>(bitmap, kernel);
      break;
    case 3:
      ConvolveBands<3>(bitmap, kernel);
      break;
    case 4:
      ConvolveBands<4>(bitmap, kernel);
      break;
    case 5:
      ConvolveBands<5>(bitmap, kernel);
      break;
    case 6:
      ConvolveBands<6>(bitmap, kernel);
      break;
    case 7:
      ConvolveBands<7>(bitmap, kernel);
      break;
    case 8:
      ConvolveBands<8>(bitmap, kernel);
      break;
    default:
      ConvolveBands<-1>(bitmap, kernel);
      break;
  }
}

void AntiAlias(Bitmap& bitmap) {
  bitmap.SetPixelFormat(pf24bit);
  const int w = bitmap.Width();
  const int h = bitmap.Height();
  if (w < 3 || h < 3) return;
  for (int y = 1; y <= h - 2; ++y) {
    std::uint8_t* up = bitmap.ScanLine(y - 1);
    std::uint8_t* here = bitmap.ScanLine(y);
    std::uint8_t* down = bitmap.ScanLine(y + 1);
    for (int x = 1; x <= w - 2; ++x) MeanOfFour(up, here, down, x);
  }
}

void SplitBlur(Bitmap& bitmap, int distance) {
  bitmap.SetPixelFormat(pf24bit);
  const int w = bitmap.Width();
  const int h = bitmap.Height();
  if (!HasPixels(bitmap) || distance == 0) return;
  const int a = distance;
  std::vector<int> left(static_cast<std::size_t>(w)), right(static_cast<std::size_t>(w));
  for (int x = 0; x < w; ++x) {
    left[x] = x - a < 0 ? x : x - a;
    right[x] = x + a >= w ? std::min(w - x, w - 1) : std::max(x + a, 0);
    left[x] = std::clamp(left[x], 0, w - 1);
  }
  for (int y = 0; y < h; ++y) {
    const int u = std::clamp(y - a < 0 ? y : y - a, 0, h - 1);
    const int l = y + a >= h ? std::min(h - y, h - 1) : std::max(y + a, 0);
    std::uint8_t* rowU = bitmap.ScanLine(u);
    std::uint8_t* rowL = bitmap.ScanLine(l);
    std::uint8_t* here = bitmap.ScanLine(y);
    for (int x = 0; x < w; ++x) {
      const std::size_t p = 3 * static_cast<std::size_t>(left[x]);
      const std::size_t q = 3 * static_cast<std::size_t>(right[x]);
      for (std::size_t c = 0; c < 3; ++c)
        here[3 * static_cast<std::size_t>(x) + c] =
            static_cast<std::uint8_t>((rowU[p + c] + rowL[p + c] + rowU[q + c] + rowL[q + c]) >> 2);
    }
  }
}

void GaussianBlur(Bitmap& bitmap, int depth) {
  for (int pass = 0; pass <= depth; ++pass) SplitBlur(bitmap, 3);
}

void Emboss(Bitmap& bitmap) {
  bitmap.SetPixelFormat(pf24bit);
  const int w = bitmap.Width();
  const int h = bitmap.Height();
  if (w < 4 || h < 2) return;
  const int bytes = 3 * (w - 3);
  // Each row reads the next one before that is rewritten.
  for (int y = 0; y <= h - 2; ++y) {
    std::uint8_t* here = bitmap.ScanLine(y);
    const std::uint8_t* below = bitmap.ScanLine(y + 1) + 9;
    for (int i = 0; i < bytes; ++i) here[i] = static_cast<std::uint8_t>((here[i] + 255 - below[i]) >> 1);
  }
}

void Trace(Bitmap& bitmap, int intensity, Color color) {
  (void)intensity;  // only one pass exists: the menu asks for intensity 1
  bitmap.SetPixelFormat(pf24bit);
  if (!HasPixels(bitmap)) return;
  const int w = bitmap.Width();
  const int h = bitmap.Height();
  const Framed f = MakeFramed(bitmap, true);
  Bitmap copy(f.width, f.height, pf24bit);
  for (int y = 0; y < f.height; ++y) std::memcpy(copy.ScanLine(y), f.Row(y), 3 * static_cast<std::size_t>(f.width));
  Bitmap indices = copy;
  indices.SetPixelFormat(pf8bit);
  const std::uint8_t b = static_cast<std::uint8_t>(GetBValue(color));
  const std::uint8_t g = static_cast<std::uint8_t>(GetGValue(color));
  const std::uint8_t r = static_cast<std::uint8_t>(GetRValue(color));
  auto paint = [&](int x, int y) {
    std::uint8_t* p = copy.ScanLine(y) + 3 * static_cast<std::size_t>(x);
    p[0] = b;
    p[1] = g;
    p[2] = r;
  };
  bool seen = false;
  int reference = 0;
  for (int y = 0; y <= h; ++y) {
    const std::uint8_t* row = indices.ScanLine(y);
    const std::uint8_t* next = indices.ScanLine(y + 1);
    for (int x = 0; x <= w; ++x) {
      const int here = row[x];
      if (row[x + 1] != here) {
        if (!seen) {
          paint(x, y);
          reference = row[x + 1];
          seen = true;
        } else if (here == reference) {
          paint(x + 1, y);
        } else {
          paint(x, y);
        }
      }
      if (next[x] != here) {
        if (!seen) {
          paint(x, y);
          reference = next[x];
          seen = true;
        } else if (here == reference) {
          paint(x, y + 1);
        } else {
          paint(x, y);
        }
      }
    }
  }
  for (int y = 0; y < h; ++y)
    std::memcpy(bitmap.ScanLine(y), copy.ScanLine(y + 1) + 3, 3 * static_cast<std::size_t>(w));
}

}  // namespace pixtrel::fx
