#include "gif/dither.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

namespace pixtrel::gif {

namespace {

inline std::uint8_t Clamp255(int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

// Direction and column shared by every engine.
class EngineBase {
 public:
  explicit EngineBase(int width) : width_(width) {}
  int Column() const { return column_; }
  int Direction() const { return direction_; }

 protected:
  void FlipDirection() {
    direction_ = -direction_;
    column_ = direction_ > 0 ? 0 : width_ - 1;
  }
  int width_;
  int direction_ = 1;
  int column_ = 0;
};

// Nearest colour, no diffusion.
template <class Lookup>
class NearestEngine : public EngineBase {
 public:
  NearestEngine(int width, Lookup& lookup) : EngineBase(width), lookup_(lookup) {}
  int DitherPixel(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    std::uint8_t pr, pg, pb;
    column_ += direction_;
    return lookup_.Map(r, g, b, pr, pg, pb);
  }
  void EndRow() { FlipDirection(); }

 private:
  Lookup& lookup_;
};

// Floyd-Steinberg with one accumulator row and three running values per
// channel. On right-to-left rows the pixel in column x uses position x + 2.
template <class Lookup>
class FloydSteinbergEngine : public EngineBase {
 public:
  FloydSteinbergEngine(int width, Lookup& lookup)
      : EngineBase(width), lookup_(lookup), errors_(3 * (static_cast<std::size_t>(width) + 2), 0) {}

  int DitherPixel(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    std::int32_t* e = &errors_[3 * static_cast<std::size_t>(position_)];
    const std::uint8_t in[3] = {r, g, b};
    std::uint8_t v[3];
    for (int c = 0; c < 3; ++c) v[c] = Clamp255(in[c] + (e[c] + cur_[c] + 8) / 16);
    std::uint8_t p[3];
    const int index = lookup_.Map(v[0], v[1], v[2], p[0], p[1], p[2]);
    for (int c = 0; c < 3; ++c) {
      const int err = v[c] - p[c];
      if (err != 0) {
        e[c] = belowPrev_[c] + 3 * err;
        belowPrev_[c] = below_[c] + 5 * err;
        below_[c] = err;
        cur_[c] = 7 * err;
      } else {
        cur_[c] = 0;
      }
    }
    position_ += direction_;
    column_ += direction_;
    return index;
  }

  void EndRow() {
    std::int32_t* e = &errors_[3 * static_cast<std::size_t>(position_)];
    for (int c = 0; c < 3; ++c) {
      e[c] = belowPrev_[c];
      cur_[c] = below_[c] = belowPrev_[c] = 0;
    }
    FlipDirection();
    position_ = direction_ > 0 ? 0 : width_ + 1;
  }

 private:
  Lookup& lookup_;
  std::vector<std::int32_t> errors_;  // W + 2 positions of red, green, blue
  int position_ = 0;
  std::array<std::int32_t, 3> cur_{}, below_{}, belowPrev_{};
};

struct Tap {
  int row;
  int offset;  // columns ahead in the scan direction
  int weight;
};

struct StuckiPattern {
  static constexpr int kRows = 3, kMargin = 2, kDivisor = 42, kRound = 21;
  static constexpr Tap kTaps[] = {{0, 1, 8}, {0, 2, 4},  {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4},
                                  {1, 2, 2}, {2, -2, 1}, {2, -1, 2}, {2, 0, 4},  {2, 1, 2}, {2, 2, 1}};
};
struct SierraPattern {
  static constexpr int kRows = 3, kMargin = 2, kDivisor = 32, kRound = 16;
  static constexpr Tap kTaps[] = {{0, 1, 5}, {0, 2, 3}, {1, -2, 2}, {1, -1, 4}, {1, 0, 5},
                                  {1, 1, 4}, {1, 2, 2}, {2, -1, 2}, {2, 0, 3},  {2, 1, 2}};
};
struct JaJuNiPattern {
  static constexpr int kRows = 3, kMargin = 2, kDivisor = 48, kRound = 24;
  static constexpr Tap kTaps[] = {{0, 1, 7}, {0, 2, 5},  {1, -2, 3}, {1, -1, 5}, {1, 0, 7}, {1, 1, 5},
                                  {1, 2, 3}, {2, -2, 1}, {2, -1, 3}, {2, 0, 5},  {2, 1, 3}, {2, 2, 1}};
};
struct BurkesPattern {
  static constexpr int kRows = 2, kMargin = 2, kDivisor = 32, kRound = 16;
  static constexpr Tap kTaps[] = {{0, 1, 8}, {0, 2, 4}, {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4}, {1, 2, 2}};
};
struct SteveArchePattern {
  static constexpr int kRows = 4, kMargin = 3, kDivisor = 200, kRound = 100;
  static constexpr Tap kTaps[] = {{0, 2, 32}, {1, -3, 12}, {1, -1, 26}, {1, 1, 30},  {1, 3, 16}, {2, -2, 12},
                                  {2, 0, 26}, {2, 2, 12},  {3, -3, 5},  {3, -1, 12}, {3, 1, 12}, {3, 3, 5}};
};

template <class Pattern>
constexpr int WeightSum() {
  int sum = 0;
  for (const Tap& t : Pattern::kTaps) sum += t.weight;
  return sum;
}
static_assert(WeightSum<StuckiPattern>() == StuckiPattern::kDivisor);
static_assert(WeightSum<SierraPattern>() == SierraPattern::kDivisor);
static_assert(WeightSum<JaJuNiPattern>() == JaJuNiPattern::kDivisor);
static_assert(WeightSum<BurkesPattern>() == BurkesPattern::kDivisor);
static_assert(WeightSum<SteveArchePattern>() == SteveArchePattern::kDivisor);

// The engines with rows of accumulators: the pixel in column x sits at
// position x + margin of each row, row 0 being the row in progress.
template <class Pattern, class Lookup>
class RowBufferEngine : public EngineBase {
 public:
  RowBufferEngine(int width, Lookup& lookup) : EngineBase(width), lookup_(lookup), position_(Pattern::kMargin) {
    const std::size_t length = static_cast<std::size_t>(width) + 2 * Pattern::kMargin;
    for (auto& row : rows_) row.assign(3 * length, 0);
  }

  int DitherPixel(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    const std::int32_t* a = &rows_[0][3 * static_cast<std::size_t>(position_)];
    const std::uint8_t in[3] = {r, g, b};
    std::uint8_t v[3];
    for (int c = 0; c < 3; ++c) v[c] = Clamp255(in[c] + (a[c] + Pattern::kRound) / Pattern::kDivisor);
    std::uint8_t p[3];
    const int index = lookup_.Map(v[0], v[1], v[2], p[0], p[1], p[2]);
    for (int c = 0; c < 3; ++c) {
      const int err = v[c] - p[c];
      if (err == 0) continue;
      for (const Tap& t : Pattern::kTaps) {
        const std::ptrdiff_t at = position_ + t.offset * direction_;
        rows_[static_cast<std::size_t>(t.row)][3 * static_cast<std::size_t>(at) + static_cast<std::size_t>(c)] +=
            err * t.weight;
      }
    }
    position_ += direction_;
    column_ += direction_;
    return index;
  }

  void EndRow() {
    std::fill(rows_[0].begin(), rows_[0].end(), 0);
    std::rotate(rows_.begin(), rows_.begin() + 1, rows_.end());
    FlipDirection();
    position_ = direction_ > 0 ? Pattern::kMargin : width_ - 1 + Pattern::kMargin;
  }

 private:
  Lookup& lookup_;
  std::array<std::vector<std::int32_t>, Pattern::kRows> rows_;
  int position_;
};

template <class Engine>
void RunRows(const Bitmap& source, std::uint8_t* result, std::size_t stride, Engine& engine) {
  const int width = source.Width();
  for (int y = 0; y < source.Height(); ++y) {
    const std::uint8_t* in = source.ScanLine(y);
    std::uint8_t* out = result + static_cast<std::size_t>(y) * stride;
    for (int x = engine.Column(); x >= 0 && x < width; x = engine.Column()) {
      const std::uint8_t* px = in + 3 * static_cast<std::size_t>(x);
      out[x] = static_cast<std::uint8_t>(engine.DitherPixel(px[2], px[1], px[0]));
    }
    engine.EndRow();
  }
}

template <class Lookup>
void Dither(const Bitmap& source, std::uint8_t* result, std::size_t stride, Lookup& lookup, DitherMode mode) {
  const int width = source.Width();
  switch (mode) {
    case Nearest: {
      NearestEngine<Lookup> engine(width, lookup);
      RunRows(source, result, stride, engine);
      break;
    }
    case FloydSteinberg: {
      FloydSteinbergEngine<Lookup> engine(width, lookup);
      RunRows(source, result, stride, engine);
      break;
    }
    case Stucki: {
      RowBufferEngine<StuckiPattern, Lookup> engine(width, lookup);
      RunRows(source, result, stride, engine);
      break;
    }
    case Sierra: {
      RowBufferEngine<SierraPattern, Lookup> engine(width, lookup);
      RunRows(source, result, stride, engine);
      break;
    }
    case JaJuNi: {
      RowBufferEngine<JaJuNiPattern, Lookup> engine(width, lookup);
      RunRows(source, result, stride, engine);
      break;
    }
    case SteveArche: {
      RowBufferEngine<SteveArchePattern, Lookup> engine(width, lookup);
      RunRows(source, result, stride, engine);
      break;
    }
    case Burkes: {
      RowBufferEngine<BurkesPattern, Lookup> engine(width, lookup);
      RunRows(source, result, stride, engine);
      break;
    }
  }
}

}  // namespace

Palette ReductionPalette(const Bitmap& image24, ReductionMode mode, const Palette* customPalette, int reductionBits) {
  switch (mode) {
    case WindowsSystem20:
      return DefaultPalette20();
    case WindowsHalftone256:
      return HalftonePalette256();
    case WindowsGray4:
      return WindowsGray4Palette();
    case Monochrome:
      return MonochromeReductionPalette();
    case Grayscale256:
      return Grayscale256Palette();
    case Netscape216:
      return Netscape216Palette();
    case Optimized:
      return BuildOptimizedPalette(image24, 1 << std::clamp(reductionBits, 1, 8), false);
    case OptimizedWindows256:
      return BuildOptimizedPalette(image24, 256, true);
    case CustomPalette:
      return customPalette ? *customPalette : Palette{};
    default:
      return {};
  }
}

Palette ReduceToIndices(const Bitmap& source, ReductionMode mode, DitherMode dither, const Palette* customPalette,
                        int reductionBits, std::uint8_t* out, std::size_t stride) {
  if (mode == NoReduction || mode > CustomPalette || dither > Burkes) return {};
  std::unique_ptr<Bitmap> converted;
  const Bitmap* image = &source;
  if (source.PixelFormat() != pf24bit) {
    converted = std::make_unique<Bitmap>(source);
    converted->SetPixelFormat(pf24bit);
    image = converted.get();
  }
  Palette palette = ReductionPalette(*image, mode, customPalette, reductionBits);
  if (palette.size() > 256) palette.resize(256);
  if (palette.empty() || image->Empty()) return palette;

  switch (mode) {
    case Monochrome: {
      MonochromeLookup lookup;
      Dither(*image, out, stride, lookup, dither);
      break;
    }
    case Grayscale256: {
      GrayScaleLookup lookup;
      Dither(*image, out, stride, lookup, dither);
      break;
    }
    case Netscape216: {
      NetscapeColorLookup lookup;
      Dither(*image, out, stride, lookup, dither);
      break;
    }
    default: {
      auto lookup = std::make_unique<FastColorLookup>(palette);
      Dither(*image, out, stride, *lookup, dither);
      break;
    }
  }
  return palette;
}

Bitmap ReduceBitmapColors(const Bitmap& source, ReductionMode mode, DitherMode dither, const Palette* customPalette,
                          int reductionBits) {
  if (mode == NoReduction) {
    Bitmap copy(source);
    copy.SetPixelFormat(pf24bit);
    return copy;
  }
  if (mode > CustomPalette || dither > Burkes) return Bitmap();
  Bitmap result(source.Width(), source.Height(), pf8bit);
  Palette palette = ReduceToIndices(source, mode, dither, customPalette, reductionBits,
                                    result.Empty() ? nullptr : result.ScanLine(0), result.RowStride());
  if (palette.empty()) return Bitmap();
  palette.resize(256, clBlack);
  result.SetPalette(std::move(palette));
  return result;
}

}  // namespace pixtrel::gif
