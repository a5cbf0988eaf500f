#include "effects/resample.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "effects/fx_support.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pixtrel::fx {

namespace {

// The filters take and give single-precision values and compute in between
// in extended precision.
float BoxFilter(float x) { return (x > -0.5f && x <= 0.5f) ? 1.0f : 0.0f; }

float TriangleFilter(float x) {
  const long double t = std::fabs(static_cast<long double>(x));
  return t < 1 ? static_cast<float>(1 - t) : 0.0f;
}

float HermiteFilter(float x) {
  const long double t = std::fabs(static_cast<long double>(x));
  return t < 1 ? static_cast<float>((2 * t - 3) * t * t + 1) : 0.0f;
}

float BellFilter(float x) {
  const long double t = std::fabs(static_cast<long double>(x));
  if (t < 0.5L) return static_cast<float>(0.75L - t * t);
  if (t < 1.5L) return static_cast<float>(0.5L * (t - 1.5L) * (t - 1.5L));
  return 0.0f;
}

float BSplineFilter(float x) {
  const long double t = std::fabs(static_cast<long double>(x));
  if (t < 1) return static_cast<float>(0.5L * t * t * t - t * t + 2.0L / 3.0L);
  if (t < 2) {
    const long double u = 2 - t;
    return static_cast<float>(u * u * u / 6);
  }
  return 0.0f;
}

long double Sinc(long double u) {
  if (u == 0) return 1;
  const long double v = std::numbers::pi_v<long double> * u;
  return std::sin(v) / v;
}

float Lanczos3(float x) {
  const long double t = std::fabs(static_cast<long double>(x));
  return t < 3 ? static_cast<float>(Sinc(t) * Sinc(t / 3)) : 0.0f;
}

float MitchellFilter(float x) {
  const long double t = std::fabs(static_cast<long double>(x));
  if (t < 1) return static_cast<float>((7 * t * t * t - 12 * t * t + 16.0L / 3.0L) / 6);
  if (t < 2) return static_cast<float>((-7.0L / 3.0L * t * t * t + 12 * t * t - 20 * t + 32.0L / 3.0L) / 6);
  return 0.0f;
}

constexpr ResampleFilter kFilters[] = {
    {"Box", BoxFilter, 0.5f},           {"Triangle", TriangleFilter, 1.0f}, {"Hermite", HermiteFilter, 1.0f},
    {"Bell", BellFilter, 1.5f},         {"B-Spline", BSplineFilter, 2.0f},  {"Lanczos3", Lanczos3, 3.0f},
    {"Mitchell", MitchellFilter, 2.0f},
};

inline std::uint8_t ToByte(float sum) { return static_cast<std::uint8_t>(RoundEven(std::clamp(sum, 0.0f, 255.0f))); }

// The contributors of one axis in flat arrays: those of destination index i
// are first[i] .. first[i + 1] - 1, in the order the sums take them.
struct FlatTaps {
  std::vector<std::size_t> first;
  std::vector<int> offsets;  // 3 * source index (a pixel's first byte and float)
  std::vector<float> weights;

  explicit FlatTaps(const std::vector<std::vector<Contributor>>& lists) {
    first.reserve(lists.size() + 1);
    first.push_back(0);
    for (const std::vector<Contributor>& list : lists) {
      for (const Contributor& c : list) {
        offsets.push_back(3 * c.index);
        weights.push_back(c.weight);
      }
      first.push_back(offsets.size());
    }
  }
  std::size_t Count(std::size_t i) const { return first[i + 1] - first[i]; }
};

#if defined(__SSE2__)
// The clamped, rounded channels of one pixel's sums (lanes 0 to 2).
inline void StorePixel(__m128 sum, std::uint8_t* p) {
  sum = _mm_min_ps(_mm_max_ps(sum, _mm_setzero_ps()), _mm_set1_ps(255.0f));
  const __m128i n = _mm_cvtps_epi32(sum);  // to nearest, ties to even
  alignas(16) int lanes[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(lanes), n);
  p[0] = static_cast<std::uint8_t>(lanes[0]);
  p[1] = static_cast<std::uint8_t>(lanes[1]);
  p[2] = static_cast<std::uint8_t>(lanes[2]);
}

inline __m128 AddTap(__m128 sum, const float* v, const FlatTaps& taps, std::size_t k) {
  return _mm_add_ps(sum, _mm_mul_ps(_mm_set1_ps(taps.weights[k]), _mm_loadu_ps(v + taps.offsets[k])));
}
#endif

// First pass, one source row: every destination column from its contributors.
void ResampleRow(const std::uint8_t* in, int sourceWidth, const FlatTaps& columns, std::uint8_t* out,
                 std::vector<float>& values) {
  // The row as reals, with one spare value so four can be read at the last pixel.
  values.resize(3 * static_cast<std::size_t>(sourceWidth) + 1);
  const int bytes = 3 * sourceWidth;
  int i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  for (; i + 16 <= bytes; i += 16) {
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    const __m128i lo = _mm_unpacklo_epi8(b, zero);
    const __m128i hi = _mm_unpackhi_epi8(b, zero);
    _mm_storeu_ps(values.data() + i, _mm_cvtepi32_ps(_mm_unpacklo_epi16(lo, zero)));
    _mm_storeu_ps(values.data() + i + 4, _mm_cvtepi32_ps(_mm_unpackhi_epi16(lo, zero)));
    _mm_storeu_ps(values.data() + i + 8, _mm_cvtepi32_ps(_mm_unpacklo_epi16(hi, zero)));
    _mm_storeu_ps(values.data() + i + 12, _mm_cvtepi32_ps(_mm_unpackhi_epi16(hi, zero)));
  }
#endif
  for (; i < bytes; ++i) values[i] = in[i];
  values.back() = 0.0f;
  const float* v = values.data();
  const std::size_t width = columns.first.size() - 1;
  std::size_t x = 0;
#if defined(__SSE2__)
  // Lanes 0 to 2 carry blue, green and red through the same single-precision
  // products and sums, in the same order, as the scalar code below. Four
  // columns go side by side, each with its own sum, so that their additions
  // overlap; the taps one column has beyond the shortest are added after.
  for (; x + 4 <= width; x += 4) {
    const std::size_t f0 = columns.first[x], f1 = columns.first[x + 1], f2 = columns.first[x + 2],
                      f3 = columns.first[x + 3];
    const std::size_t n = std::min({f1 - f0, f2 - f1, f3 - f2, columns.first[x + 4] - f3});
    __m128 s0 = _mm_setzero_ps(), s1 = _mm_setzero_ps(), s2 = _mm_setzero_ps(), s3 = _mm_setzero_ps();
    for (std::size_t k = 0; k < n; ++k) {
      s0 = AddTap(s0, v, columns, f0 + k);
      s1 = AddTap(s1, v, columns, f1 + k);
      s2 = AddTap(s2, v, columns, f2 + k);
      s3 = AddTap(s3, v, columns, f3 + k);
    }
    for (std::size_t k = f0 + n; k < f1; ++k) s0 = AddTap(s0, v, columns, k);
    for (std::size_t k = f1 + n; k < f2; ++k) s1 = AddTap(s1, v, columns, k);
    for (std::size_t k = f2 + n; k < f3; ++k) s2 = AddTap(s2, v, columns, k);
    for (std::size_t k = f3 + n; k < columns.first[x + 4]; ++k) s3 = AddTap(s3, v, columns, k);
    StorePixel(s0, out + 3 * x);
    StorePixel(s1, out + 3 * x + 3);
    StorePixel(s2, out + 3 * x + 6);
    StorePixel(s3, out + 3 * x + 9);
  }
  for (; x < width; ++x) {
    __m128 sum = _mm_setzero_ps();
    for (std::size_t k = columns.first[x]; k < columns.first[x + 1]; ++k) sum = AddTap(sum, v, columns, k);
    StorePixel(sum, out + 3 * x);
  }
#else
  for (; x < width; ++x) {
    float b = 0.0f, g = 0.0f, r = 0.0f;
    for (std::size_t k = columns.first[x]; k < columns.first[x + 1]; ++k) {
      const float w = columns.weights[k];
      const float* p = v + columns.offsets[k];
      b = b + w * p[0];
      g = g + w * p[1];
      r = r + w * p[2];
    }
    std::uint8_t* p = out + 3 * x;
    p[0] = ToByte(b);
    p[1] = ToByte(g);
    p[2] = ToByte(r);
  }
#endif
}

// Second pass, one destination row: the weighted sum of whole work rows.
void ResampleColumnStep(const std::vector<const std::uint8_t*>& rows, const std::vector<Contributor>& taps, int bytes,
                        std::uint8_t* out, std::vector<float>& sums) {
  sums.assign(static_cast<std::size_t>(bytes), 0.0f);
  float* s = sums.data();
  for (const Contributor& c : taps) {
    const std::uint8_t* in = rows[static_cast<std::size_t>(c.index)];
    const float w = c.weight;
    int i = 0;
#if defined(__SSE2__)
    const __m128 wv = _mm_set1_ps(w);
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= bytes; i += 16) {
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
      const __m128i lo = _mm_unpacklo_epi8(b, zero);
      const __m128i hi = _mm_unpackhi_epi8(b, zero);
      const __m128 f0 = _mm_cvtepi32_ps(_mm_unpacklo_epi16(lo, zero));
      const __m128 f1 = _mm_cvtepi32_ps(_mm_unpackhi_epi16(lo, zero));
      const __m128 f2 = _mm_cvtepi32_ps(_mm_unpacklo_epi16(hi, zero));
      const __m128 f3 = _mm_cvtepi32_ps(_mm_unpackhi_epi16(hi, zero));
      _mm_storeu_ps(s + i, _mm_add_ps(_mm_loadu_ps(s + i), _mm_mul_ps(wv, f0)));
      _mm_storeu_ps(s + i + 4, _mm_add_ps(_mm_loadu_ps(s + i + 4), _mm_mul_ps(wv, f1)));
      _mm_storeu_ps(s + i + 8, _mm_add_ps(_mm_loadu_ps(s + i + 8), _mm_mul_ps(wv, f2)));
      _mm_storeu_ps(s + i + 12, _mm_add_ps(_mm_loadu_ps(s + i + 12), _mm_mul_ps(wv, f3)));
    }
#endif
    for (; i < bytes; ++i) s[i] = s[i] + w * static_cast<float>(in[i]);
  }
  int i = 0;
#if defined(__SSE2__)
  const __m128 low = _mm_setzero_ps();
  const __m128 high = _mm_set1_ps(255.0f);
  for (; i + 16 <= bytes; i += 16) {
    __m128i n[4];
    for (int k = 0; k < 4; ++k) n[k] = _mm_cvtps_epi32(_mm_min_ps(_mm_max_ps(_mm_loadu_ps(s + i + 4 * k), low), high));
    const __m128i words = _mm_packs_epi32(n[0], n[1]);
    const __m128i words2 = _mm_packs_epi32(n[2], n[3]);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(words, words2));
  }
#endif
  for (; i < bytes; ++i) out[i] = ToByte(s[i]);
}

}  // namespace

std::span<const ResampleFilter> ResampleFilters() { return kFilters; }

const ResampleFilter* FindResampleFilter(std::string_view name) {
  for (const ResampleFilter& f : kFilters)
    if (name == f.name) return &f;
  return nullptr;
}

const ResampleFilter& Lanczos3Filter() { return kFilters[5]; }

float AxisScale(int destinationLength, int sourceLength) {
  // A destination of one pixel would give the scale 0 by the first rule.
  if (sourceLength == 1 || destinationLength == 1)
    return static_cast<float>(destinationLength) / static_cast<float>(sourceLength);
  return static_cast<float>(destinationLength - 1) / static_cast<float>(sourceLength - 1);
}

std::vector<std::vector<Contributor>> AxisContributors(int destinationLength, int sourceLength, float scale,
                                                       const ResampleFilter& filter, float support) {
  std::vector<std::vector<Contributor>> lists(static_cast<std::size_t>(std::max(destinationLength, 0)));
  const int n = sourceLength;
  auto keep = [&](std::vector<Contributor>& list, long long j, float weight) {
    if (weight == 0.0f) return;
    long long index = j < 0 ? -j : (j >= n ? 2LL * n - 1 - j : j);
    index = std::clamp<long long>(index, 0, n - 1);
    list.push_back({static_cast<int>(index), weight});
  };
  for (int i = 0; i < destinationLength; ++i) {
    std::vector<Contributor>& list = lists[static_cast<std::size_t>(i)];
    const float center = static_cast<float>(i) / scale;
    if (scale >= 1.0f) {
      const long long low = static_cast<long long>(std::floor(center - support));
      const long long high = static_cast<long long>(std::ceil(center + support));
      list.reserve(static_cast<std::size_t>(high - low + 1));
      for (long long j = low; j <= high; ++j) keep(list, j, filter.function(center - static_cast<float>(j)));
    } else {
      const float width = support / scale;
      const float fscale = 1.0f / scale;
      const long long low = static_cast<long long>(std::floor(center - width));
      const long long high = static_cast<long long>(std::ceil(center + width));
      list.reserve(static_cast<std::size_t>(high - low + 1));
      for (long long j = low; j <= high; ++j)
        keep(list, j, filter.function((center - static_cast<float>(j)) / fscale) / fscale);
    }
  }
  return lists;
}

void ResampleBitmap(Bitmap& source, Bitmap& destination, const ResampleFilter& filter, float support) {
  if (source.Width() < 1 || source.Height() < 1) throw EResampleError();
  source.SetPixelFormat(pf24bit);
  destination.SetPixelFormat(source.PixelFormat());
  const int sw = source.Width();
  const int sh = source.Height();
  const int dw = destination.Width();
  const int dh = destination.Height();
  if (dw <= 0 || dh <= 0) return;

  // The first pass makes rows of DW pixels from the source rows, the second
  // each destination row from the work rows its contributors name. Each band
  // of destination rows makes the work rows it needs as it goes and keeps
  // them in a ring that holds one destination row's span of source rows, so
  // the work image is never whole; a row on the edge of two bands is made by
  // both, the same way.
  const FlatTaps columns(AxisContributors(dw, sw, AxisScale(dw, sw), filter, support));
  const std::vector<std::vector<Contributor>> rowTaps = AxisContributors(dh, sh, AxisScale(dh, sh), filter, support);
  int span = 1;
  for (const std::vector<Contributor>& taps : rowTaps) {
    if (taps.empty()) continue;
    const auto [low, high] = std::minmax_element(taps.begin(), taps.end(), [](const Contributor& a, const Contributor& b) {
      return a.index < b.index;
    });
    span = std::max(span, high->index - low->index + 1);
  }
  const std::size_t workStride = 3 * static_cast<std::size_t>(dw);
  ForRowBands(dh, 3LL * dw * 8, [&](int first, int last) {
    std::vector<std::uint8_t> ring(workStride * static_cast<std::size_t>(span));
    std::vector<int> held(static_cast<std::size_t>(span), -1);  // the source row in each slot
    std::vector<const std::uint8_t*> rows(static_cast<std::size_t>(sh));
    std::vector<float> values, sums;
    for (int y = first; y < last; ++y) {
      const std::vector<Contributor>& taps = rowTaps[static_cast<std::size_t>(y)];
      // The rows of one destination row lie within span, so they take
      // different slots.
      for (const Contributor& c : taps) {
        const std::size_t slot = static_cast<std::size_t>(c.index % span);
        std::uint8_t* row = ring.data() + slot * workStride;
        if (held[slot] != c.index) {
          ResampleRow(source.ScanLine(c.index), sw, columns, row, values);
          held[slot] = c.index;
        }
        rows[static_cast<std::size_t>(c.index)] = row;
      }
      ResampleColumnStep(rows, taps, static_cast<int>(workStride), destination.ScanLine(y), sums);
    }
  });
}

}  // namespace pixtrel::fx
