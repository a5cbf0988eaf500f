// Helpers shared by the effects: the byte clamp, rounding to nearest with
// ties to even, the pf24bit guard and the row splitter.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "core/bitmap.h"

namespace pixtrel::fx {

constexpr int ClampToByte(int v) { return v > 255 ? 255 : (v < 0 ? 0 : v); }

// Rounds to the nearest integer, ties to even (the default rounding mode).
inline long double RoundEven(long double v) { return std::nearbyint(v); }
inline float RoundEven(float v) { return std::nearbyint(v); }

// Whether a bitmap has pixels to work on.
inline bool HasPixels(const Bitmap& bitmap) { return bitmap.Width() > 0 && bitmap.Height() > 0; }

// Runs work(first, last) over the rows [0, rows) split into contiguous bands,
// one per core, when the job is large enough to pay for the threads;
// otherwise on the calling thread. Only for loops whose rows are independent:
// the bands' results equal those of one top-to-bottom pass.
void ForRowBands(int rows, std::int64_t bytesPerRow, const std::function<void(int first, int last)>& work);
// The bands ForRowBands would use, as [first, last) pairs.
std::vector<std::pair<int, int>> RowBands(int rows, std::int64_t bytesPerRow);
// Runs work(0) .. work(count - 1) at once, one thread each, the first on the
// calling thread; an exception of any is rethrown after all have ended.
void RunBands(std::size_t count, const std::function<void(std::size_t band)>& work);

}  // namespace pixtrel::fx
