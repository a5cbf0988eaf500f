// The overlay: a second image floating over the workspace at a position in
// image coordinates, drawn without its transparent colour (the colour of its
// bottom-left pixel), and the commands that put it into the displayed image
// (paint, glue), exchange the two (swap), invert it, or cross-fade it with
// the displayed image (the blender). Free of widgets: the desktop program
// draws it and forwards the mouse, pixtrel-cli runs the same commands.
#pragma once

#include <functional>
#include <string>

#include "core/bitmap.h"
#include "core/geometry.h"
#include "workspace/workspace.h"

namespace pixtrel {

class UserInteraction;

class Overlay {
 public:
  static constexpr Point kStartPosition{200, 200};

  Bitmap& Image() { return image_; }
  const Bitmap& Image() const { return image_; }
  // The image becomes the overlay with its Transparent flag set; the
  // position and the visibility stay.
  void Take(Bitmap image);

  // "View &Overlay": hidden at start.
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);

  // The top-left corner over the workspace, in image pixels.
  Point Position() const { return position_; }
  void MoveTo(int x, int y);

  // Whether (x, y), in image coordinates, lies on the overlay's rectangle.
  bool Contains(int x, int y) const;

  // Dragging: a left press at (x, y) relative to the overlay's top-left
  // corner records the grab point; each move with the button held puts the
  // overlay so that the grab point lies under the mouse at (x, y) in image
  // coordinates.
  void Grab(int x, int y) { grab_ = {x, y}; }
  Point GrabPoint() const { return grab_; }
  void DragTo(int x, int y) { MoveTo(x - grab_.X, y - grab_.Y); }

  // Called after every change of the image, the position or the visibility.
  std::function<void()> changed;

 private:
  void Changed();

  Bitmap image_;
  Point position_ = kStartPosition;
  Point grab_;
  bool visible_ = false;
};

// "O&verlay..." and the file list's "&Overlay": the file read into a new
// bitmap becomes the overlay, which is shown. A file whose extension no
// reader takes changes nothing; a reader's error leaves the overlay as it
// was. Returns whether the overlay was replaced.
bool LoadOverlay(const std::string& path, Overlay& overlay, UserInteraction& ui,
                 std::int64_t maxPixels = kDefaultMaxPixels);

// "Paint &Overlay": the overlay drawn onto the displayed image at its
// position, its transparent colour left out. No snapshot; visible or not.
void PaintOverlay(Workspace& workspace, Overlay& overlay);

// "&Glue": a snapshot; the image widened and heightened to reach the
// overlay's right and bottom edges (never on the left or top), the new area
// filled as a size change fills it; then painted as PaintOverlay does.
void GlueOverlay(Workspace& workspace, Overlay& overlay);

// "&Swap": the displayed image and the overlay change places with their
// sizes, pixels and Transparent flags. No snapshot.
void SwapOverlay(Workspace& workspace, Overlay& overlay);

// "&Invert": the overlay in pf24bit with its colours inverted; the
// displayed image is untouched.
void InvertOverlay(Overlay& overlay);

// The blender's layer: a white bitmap of the displayed image's size with the
// overlay drawn on it at its position (its Transparent flag honoured).
Bitmap BlendLayer(const Bitmap& image, const Overlay& overlay);

// The blender's preview at position amount (0 to 100): WorkBitmap := a copy
// of the displayed image in pf24bit; each channel (1 - t) layer + t image,
// t = amount / 100, rounded half to even. 0 gives the layer, 100 the image.
Bitmap BlendPreview(Workspace& workspace, const Overlay& overlay, int amount);

}  // namespace pixtrel
