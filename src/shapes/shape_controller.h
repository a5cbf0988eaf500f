// What the shape controller and the shape tool bar do to a shape, free of
// menus and buttons: the drag arithmetic of the mouse (move, size, move and
// rotate the caption, grid snapping), stamping the shape into the image,
// making it an overlay image, and the tool bar's font, pen and caption
// rules.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/bitmap.h"
#include "shapes/zep_shape.h"

namespace pixtrel::shapes {

// ---- Mouse ------------------------------------------------------------------

// What a controller lends the shape's mouse handling. In the program the
// controller's mode decides nothing (BuildMenu turns it off), so neither the
// grid nor a controller mode applies there.
struct DragRules {
  bool mouseModeController = false;
  ShapeMouseMode mouseMode = mmfixed;
  bool mouseGrid = false;
  int mouseGridSize = 10;

  bool Snaps() const { return mouseModeController && mouseGrid && mouseGridSize >= 2; }
};

// (v div size) x size, div truncating toward zero.
int SnapToGrid(int v, int size);

// The caption angle for a drag to (x, y) in a control of width x height:
// degrees counter-clockwise from the right, measured from the control's
// centre; a point straight above or below counts as one pixel to the right.
int RotateTextAngle(int width, int height, int x, int y);

// The dragging state of one shape: the press point, or in mmSizeObject the
// distances from it to the right and bottom edges.
struct ShapeDrag {
  bool dragging = false;
  int x = 0;
  int y = 0;
};

enum class MouseButton { Left, Right, Middle };

// A press at (x, y) in control coordinates. Shift with the left button
// selects rather than drags; it reports true when the controller should
// toggle the shape's selection (rules given and the shape reacts to the
// mouse).
bool ShapeMouseDown(ZepShape& shape, ShapeDrag& drag, MouseButton button, bool shift, int x, int y,
                    const DragRules* rules);
// A move to (x, y) in control coordinates while dragging.
void ShapeMouseMove(ZepShape& shape, ShapeDrag& drag, int x, int y, const DragRules* rules);
void ShapeMouseUp(ShapeDrag& drag);

// ---- Stamping ---------------------------------------------------------------

// "Paint Shape": the shape painted onto the image with its box at the
// shape's left and top, scale 1. The caller takes no undo snapshot.
void PaintShape(ZepShape& shape, Bitmap& image);

// "Shape as Overlay": a white bitmap of width x height with the shape
// painted at its top-left corner, whatever its position.
Bitmap ShapeAsOverlay(ZepShape& shape, int width, int height);

// The controller's menu images (BuildImages): 16 x 16 bitmaps filled with
// backColor, one per kind (gradient off), one per pattern (on a square with
// the gradient on) and one per user shape line (zstUser), in that order.
// The sample shape has brushColor and gradientColor.
std::vector<Bitmap> BuildImages(Color brushColor, Color gradientColor, Color backColor,
                                const std::vector<std::string>& userShapes);

// ---- Tool bar and menu rules ----------------------------------------------

// "Larger": below 144 points the size grows by a tenth, rounded (halves to
// even); otherwise it stays.
int LargerFontSize(int size);
// "Smaller": above 8 points the size shrinks by a tenth, rounded.
int SmallerFontSize(int size);

// "Size..." of the pen: the typed text as an integer (1 when it is not
// one); nothing when that lies outside 1 to 20.
std::optional<int> PenSizeFromPrompt(const std::string& text);
// "Angle" of the caption: the typed text as an integer (0 when it is not
// one); nothing when that lies outside -180 to 180.
std::optional<int> CaptionAngleFromPrompt(const std::string& text);

// "Clear brush and pen, text only": both styles clear; an empty caption
// becomes "Pixtrel".
void TextOnly(ZepShape& shape);
// "Size to image": the shape at (0, 0) with the image's width and height.
void SizeToImage(ZepShape& shape, const Bitmap& image);

}  // namespace pixtrel::shapes
