// The octree quantizer: at most N representative colours of a true-colour
// image. The tree is folded as soon as it holds N + 1 leaves, deepest level
// first and, within a level, the most recently created inner node first, so
// the pixel order and the folding order decide the result.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "core/bitmap.h"

namespace pixtrel::gif {

class ColorQuantizer {
 public:
  // maxColors >= 1; depth is the level of the leaves (the callers pass 8).
  ColorQuantizer(int maxColors, int depth);

  // Feeds every pixel of a pf24bit image, rows from the top, left to right.
  void QuantizeImage(const Bitmap& image);
  // Feeds one colour.
  void AddColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

  int LeafCount() const { return leafCount_; }
  // The leaves' colours in tree order (children 0 to 7, depth first), each
  // channel the truncated average of its bucket; LeafCount() entries.
  Palette ExtractPalette() const;

 private:
  static constexpr std::int32_t kNone = -1;
  struct Node {
    bool leaf = false;
    // 64-bit so that a bucket of a large picture cannot overflow.
    std::int64_t pixelCount = 0;
    std::int64_t redSum = 0, greenSum = 0, blueSum = 0;
    std::int32_t nextReducible = kNone;
    std::array<std::int32_t, 8> children;
  };

  std::int32_t NewNode(int level);
  void FreeNode(std::int32_t node);
  void ReduceOneNode();
  void Extract(std::int32_t node, Palette& out) const;

  std::vector<Node> nodes_;
  std::vector<std::int32_t> free_;
  std::int32_t root_ = kNone;
  int leafCount_ = 0;
  std::array<std::int32_t, 8> reducible_;
  int maxColors_;
  int depth_;
};

}  // namespace pixtrel::gif
