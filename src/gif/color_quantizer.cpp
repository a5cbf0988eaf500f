#include "gif/color_quantizer.h"

#include <algorithm>

namespace pixtrel::gif {

ColorQuantizer::ColorQuantizer(int maxColors, int depth)
    : maxColors_(std::max(1, maxColors)), depth_(std::clamp(depth, 1, 8)) {
  reducible_.fill(kNone);
}

std::int32_t ColorQuantizer::NewNode(int level) {
  std::int32_t id;
  if (!free_.empty()) {
    id = free_.back();
    free_.pop_back();
    nodes_[static_cast<std::size_t>(id)] = Node{};
  } else {
    id = static_cast<std::int32_t>(nodes_.size());
    nodes_.emplace_back();
  }
  Node& node = nodes_[static_cast<std::size_t>(id)];
  node.children.fill(kNone);
  node.leaf = level == depth_;
  if (node.leaf) {
    ++leafCount_;
  } else {
    node.nextReducible = reducible_[static_cast<std::size_t>(level)];
    reducible_[static_cast<std::size_t>(level)] = id;
  }
  return id;
}

// Folded nodes have no children left, so a child is freed on its own.
void ColorQuantizer::FreeNode(std::int32_t node) {
  for (std::int32_t child : nodes_[static_cast<std::size_t>(node)].children)
    if (child != kNone) FreeNode(child);
  free_.push_back(node);
}

void ColorQuantizer::AddColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  if (root_ == kNone) root_ = NewNode(0);
  std::int32_t id = root_;
  for (int level = 0;; ++level) {
    Node* node = &nodes_[static_cast<std::size_t>(id)];
    if (node->leaf) {
      ++node->pixelCount;
      node->redSum += red;
      node->greenSum += green;
      node->blueSum += blue;
      break;
    }
    const int m = 128 >> level;
    const int s = 7 - level;
    const auto index =
        static_cast<std::size_t>((((red & m) >> s) << 2) + (((green & m) >> s) << 1) + ((blue & m) >> s));
    std::int32_t child = node->children[index];
    if (child == kNone) {
      child = NewNode(level + 1);  // may move the nodes
      nodes_[static_cast<std::size_t>(id)].children[index] = child;
    }
    id = child;
  }
  while (leafCount_ > maxColors_) ReduceOneNode();
}

void ColorQuantizer::ReduceOneNode() {
  int level = depth_ - 1;
  while (level > 0 && reducible_[static_cast<std::size_t>(level)] == kNone) --level;
  const std::int32_t id = reducible_[static_cast<std::size_t>(level)];
  if (id == kNone) return;
  Node& node = nodes_[static_cast<std::size_t>(id)];
  reducible_[static_cast<std::size_t>(level)] = node.nextReducible;
  std::int64_t red = 0, green = 0, blue = 0;
  int children = 0;
  for (std::int32_t& child : node.children) {
    if (child == kNone) continue;
    const Node& c = nodes_[static_cast<std::size_t>(child)];
    node.pixelCount += c.pixelCount;
    red += c.redSum;
    green += c.greenSum;
    blue += c.blueSum;
    FreeNode(child);
    child = kNone;
    ++children;
  }
  node.leaf = true;
  node.redSum = red;
  node.greenSum = green;
  node.blueSum = blue;
  leafCount_ -= children - 1;
}

void ColorQuantizer::QuantizeImage(const Bitmap& image) {
  if (image.PixelFormat() != pf24bit) {
    Bitmap copy(image);
    copy.SetPixelFormat(pf24bit);
    QuantizeImage(copy);
    return;
  }
  const int width = image.Width();
  for (int y = 0; y < image.Height(); ++y) {
    const std::uint8_t* row = image.ScanLine(y);
    for (int x = 0; x < width; ++x, row += 3) AddColor(row[2], row[1], row[0]);
  }
}

void ColorQuantizer::Extract(std::int32_t id, Palette& out) const {
  const Node& node = nodes_[static_cast<std::size_t>(id)];
  if (node.leaf) {
    if (node.pixelCount == 0) {
      out.push_back(RGB(0, 0, 0));
    } else {
      out.push_back(RGB(static_cast<int>(node.redSum / node.pixelCount),
                        static_cast<int>(node.greenSum / node.pixelCount),
                        static_cast<int>(node.blueSum / node.pixelCount)));
    }
    return;
  }
  for (std::int32_t child : node.children)
    if (child != kNone) Extract(child, out);
}

Palette ColorQuantizer::ExtractPalette() const {
  Palette out;
  out.reserve(static_cast<std::size_t>(leafCount_));
  if (root_ != kNone) Extract(root_, out);
  return out;
}

}  // namespace pixtrel::gif
