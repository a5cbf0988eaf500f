#include "workspace/selection.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "core/bitmap.h"

namespace pixtrel {

namespace {

int Saturated(long long v) {
  return static_cast<int>(std::clamp<long long>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

int SaturatedSum(int a, int b) { return Saturated(static_cast<long long>(a) + b); }
// A rectangle reaching the ends of the int range (a script or the automation
// object can place one there) must not overflow the drag arithmetic.
int SaturatedDifference(int a, int b) { return Saturated(static_cast<long long>(a) - b); }

}  // namespace

int Selection::Right() const { return SaturatedSum(left_, width_); }
int Selection::Bottom() const { return SaturatedSum(top_, height_); }

void Selection::SetBounds(int left, int top, int width, int height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  Changed();
}

void Selection::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  Changed();
}

void Selection::SetSquareSize(int side) {
  if (!visible_) return;
  SetBounds(left_, top_, side, side);
}

void Selection::SelectAll(const Bitmap& image) { SetBounds(0, 0, image.Width(), image.Height()); }

Rect Selection::Normalized() const {
  const int right = Right();
  const int bottom = Bottom();
  return Rect{std::min(left_, right), std::min(top_, bottom), std::max(left_, right), std::max(top_, bottom)};
}

bool Selection::Contains(int x, int y) const { return Normalized().Contains(x, y); }

void Selection::Changed() {
  if (changed) changed();
}

void SelectionMouse::LeftPress(int x, int y, bool overImage) {
  if (selection_.Visible() && selection_.Contains(x, y)) {
    mode_ = Mode::Dragging;
    grab_ = Point{SaturatedDifference(x, selection_.Left()), SaturatedDifference(y, selection_.Top())};
    return;
  }
  if (!overImage) {
    mode_ = Mode::Idle;
    return;
  }
  mode_ = Mode::Sizing;
  anchor_ = Point{x, y};
  selection_.SetBounds(x, y, 0, 0);
  selection_.SetVisible(true);
}

std::string SelectionMouse::Move(int x, int y, bool leftHeld, bool ctrl) {
  if (leftHeld && !ctrl) {
    if (mode_ == Mode::Sizing) {
      selection_.SetBounds(anchor_.X, anchor_.Y, SaturatedDifference(x, anchor_.X), SaturatedDifference(y, anchor_.Y));
      return PositionSizeText(x, y, selection_.Width(), selection_.Height());
    }
    if (mode_ == Mode::Dragging) {
      selection_.SetBounds(SaturatedDifference(x, grab_.X), SaturatedDifference(y, grab_.Y), selection_.Width(),
                           selection_.Height());
      return PositionSizeText(x, y, selection_.Width(), selection_.Height());
    }
  }
  return PositionText(x, y);
}

void SelectionMouse::Release() { mode_ = Mode::Idle; }

std::string PositionText(int x, int y) {
  char text[64];
  std::snprintf(text, sizeof text, "x=%d, y=%d", x, y);
  return text;
}

std::string PositionSizeText(int x, int y, int width, int height) {
  char text[96];
  std::snprintf(text, sizeof text, "x=%d, y=%d, w=%d, h=%d", x, y, width, height);
  return text;
}

}  // namespace pixtrel
