// The selection rectangle of the workspace, held in image pixel coordinates,
// and the mouse gesture that draws and drags it. Free of widgets: the view
// feeds it mouse events in image coordinates and shows what it reports.
#pragma once

#include <functional>
#include <string>

#include "core/geometry.h"

namespace pixtrel {

class Bitmap;

class Selection {
 public:
  // Hidden at start. Width and height may be negative after a drag to the
  // left of or above the anchor; the commands treat that as too small.
  bool Visible() const { return visible_; }
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // left + width and top + height (held within the int range).
  int Right() const;
  int Bottom() const;

  void SetBounds(int left, int top, int width, int height);
  void SetVisible(bool visible);
  // "Select &None", opening a file, a successful crop.
  void Clear() { SetVisible(false); }

  // "&1  16x16", "&2  32x32", "&3  64x64": only when visible, keeping the top-left corner.
  void SetSquareSize(int side);
  // "&4 All": the whole image, visibility unchanged.
  void SelectAll(const Bitmap& image);

  // Whether (x, y) lies inside the rectangle, edges included, for any sign of
  // width and height.
  bool Contains(int x, int y) const;
  // The rectangle with a positive extent (empty when width or height is 0 or
  // less); what the outline is drawn around.
  Rect Normalized() const;

  // Called after every change of the rectangle or of its visibility.
  std::function<void()> changed;

 private:
  void Changed();

  int left_ = 0;
  int top_ = 0;
  int width_ = 0;
  int height_ = 0;
  bool visible_ = false;
};

// The mouse state machine over the image: pressing starts a selection or
// grabs the visible one, moving sizes or drags it, and every move reports
// the status text of the status bar's second panel. Coordinates are image
// pixels (the point under the mouse, also beside the image).
class SelectionMouse {
 public:
  explicit SelectionMouse(Selection& selection) : selection_(selection) {}

  // A left press without Ctrl. overImage: the point lies on the image (a
  // press beside it starts nothing, unless it falls inside the selection).
  void LeftPress(int x, int y, bool overImage);
  // A move; leftHeld and ctrl as the mouse and keyboard stand. Returns the
  // status text: "x=%d, y=%d, w=%d, h=%d" while sizing or dragging with the
  // left button, "x=%d, y=%d" otherwise.
  std::string Move(int x, int y, bool leftHeld, bool ctrl);
  // A release of the left button ends the gesture.
  void Release();

  enum class Mode { Idle, Sizing, Dragging };
  Mode CurrentMode() const { return mode_; }
  Point Anchor() const { return anchor_; }

 private:
  Selection& selection_;
  Mode mode_ = Mode::Idle;
  Point anchor_;
  Point grab_;  // the grab point within the rectangle while dragging
};

// "x=%d, y=%d" and "x=%d, y=%d, w=%d, h=%d".
std::string PositionText(int x, int y);
std::string PositionSizeText(int x, int y, int width, int height);

}  // namespace pixtrel
