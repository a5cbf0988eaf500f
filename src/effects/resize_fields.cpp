#include "effects/resize_fields.h"

#include <algorithm>
#include <cmath>

namespace pixtrel::fx {

void ResizeFields::Open(int width, int height) {
  width_ = startWidth_ = width;
  height_ = startHeight_ = height;
  keepAspect_ = true;
}

int ResizeFields::EditValue(const std::string& text) {
  long long value = 0;
  bool any = false;
  for (const char c : text) {
    if (c < '0' || c > '9') continue;
    any = true;
    value = std::min<long long>(value * 10 + (c - '0'), 1LL << 40);
  }
  if (!any) return kMinimum;
  return static_cast<int>(std::clamp<long long>(value, kMinimum, kMaximum));
}

void ResizeFields::SetWidth(int width) {
  width = std::clamp(width, kMinimum, kMaximum);
  if (width == width_) return;
  width_ = width;
  Settle(true);
}

void ResizeFields::SetHeight(int height) {
  height = std::clamp(height, kMinimum, kMaximum);
  if (height == height_) return;
  height_ = height;
  Settle(false);
}

void ResizeFields::Settle(bool widthChanged) {
  if (!keepAspect_ || startWidth_ <= 0 || startHeight_ <= 0) return;
  auto follow = [](long double ratio, int value) {
    const long double v = std::nearbyint(ratio * value);
    return static_cast<int>(std::clamp<long double>(v, kMinimum, kMaximum));
  };
  const long double heightPerWidth = static_cast<long double>(startHeight_) / startWidth_;
  const long double widthPerHeight = static_cast<long double>(startWidth_) / startHeight_;
  // Each update is a change of the other field; a field set to the value it
  // holds is no change, which ends the exchange. The bound only guards
  // against a pair that never settles.
  for (int step = 0; step < 64; ++step) {
    if (widthChanged) {
      const int h = follow(heightPerWidth, width_);
      if (h == height_) return;
      height_ = h;
    } else {
      const int w = follow(widthPerHeight, height_);
      if (w == width_) return;
      width_ = w;
    }
    widthChanged = !widthChanged;
  }
}

}  // namespace pixtrel::fx
