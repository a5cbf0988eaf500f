// Separable resampling: a filter table and ResampleBitmap, rows then columns,
// in single precision.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "core/bitmap.h"
#include "core/errors.h"

namespace pixtrel::fx {

using FilterFunction = float (*)(float);

struct ResampleFilter {
  const char* name;
  FilterFunction function;
  float support;
};

// "Box", "Triangle", "Hermite", "Bell", "B-Spline", "Lanczos3", "Mitchell".
std::span<const ResampleFilter> ResampleFilters();
// nullptr for an unknown name.
const ResampleFilter* FindResampleFilter(std::string_view name);
const ResampleFilter& Lanczos3Filter();

class EResampleError : public Exception {
 public:
  EResampleError() : Exception("Source bitmap too small") {}
};

// One source index and its weight.
struct Contributor {
  int index;
  float weight;
};

// The contributors of every destination index along one axis, the weights
// unnormalised, zero weights left out, and indices mirrored into the source
// (and, for sources shorter than the filter reaches, clamped into it).
std::vector<std::vector<Contributor>> AxisContributors(int destinationLength, int sourceLength, float scale,
                                                       const ResampleFilter& filter, float support);
// The scale of one axis: (D - 1) / (S - 1), or D / S when S is 1 or D is 1.
float AxisScale(int destinationLength, int sourceLength);

// Scales source into destination's size (set by the caller). source becomes
// pf24bit; destination takes the source's format and every pixel is rewritten.
// Throws EResampleError for a source without pixels.
void ResampleBitmap(Bitmap& source, Bitmap& destination, const ResampleFilter& filter, float support);

}  // namespace pixtrel::fx
