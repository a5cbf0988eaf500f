// Board: the drawing automation object. Scripts in the browser page and other
// programs draw through it on the displayed workspace image, in the pen,
// brush, font and pen position of that image's canvas, and steer the turtle
// that the window keeps. Board holds no drawing state of its own, so any
// number of them over one window behave as one.
//
// Every member except PenUp and PenDown is guarded: an error becomes a
// failure status carrying its message, and nothing after the failing step is
// done. Parameters are variants converted as variant.h says.
#pragma once

#include <functional>
#include <string>

#include "automation/variant.h"
#include "core/color.h"

namespace pixtrel {

class Canvas;
struct Font;
class Workspace;

namespace automation {

// The turtle: kept by the window and shared by all its boards.
struct Turtle {
  // Degrees, 0 pointing right (+x), 90 pointing down.
  int Heading = 0;
  bool PenIsDown = false;
};

// What a member reports: success, or failure with the error's message and code.
struct BoardStatus {
  bool ok = true;
  std::string message;
  std::string code;

  explicit operator bool() const { return ok; }
};

// "#RRGGBB" read as red, green and blue; any other text gives black.
Color HtmlToColor(const std::string& text);
// "#" and six upper-case hexadecimal digits, red first.
std::string ColorToHtml(Color color);

// TextRotated's angle in tenths of a degree: angle x 10 as variant arithmetic,
// converted to an integer (45.25 gives 452).
int RotationTenths(const Variant& angle);
// The font TextRotated writes in: the canvas font's face, style (without
// strike-out) and colour, its height taken as a cell height, turned by tenths.
Font RotatedFont(const Font& canvasFont, int tenths);

class Board {
 public:
  Board(Workspace& workspace, Turtle& turtle);

  // ShowImage's work: bring the window's image page to the front.
  std::function<void()> showImage;

  // The members in the order of the interface, each with its dispatch
  // identifier.
  BoardStatus Line(const Variant& x1, const Variant& y1, const Variant& x2, const Variant& y2);  // 1
  BoardStatus Ellipse(const Variant& x1, const Variant& y1, const Variant& x2, const Variant& y2);  // 2
  BoardStatus Rectangle(const Variant& x1, const Variant& y1, const Variant& x2, const Variant& y2);  // 3
  BoardStatus RoundRect(const Variant& x1, const Variant& y1, const Variant& x2, const Variant& y2,
                        const Variant& x3, const Variant& y3);  // 4
  BoardStatus Text(const Variant& x, const Variant& y, const Variant& value);  // 5
  BoardStatus TextRotated(const Variant& x, const Variant& y, const Variant& atext, const Variant& angle);  // 6
  BoardStatus FontName(const Variant& value);   // 7
  BoardStatus FontSize(const Variant& value);   // 8
  BoardStatus FontColor(const Variant& value);  // 9
  BoardStatus BrushColor(const Variant& value);  // 10
  BoardStatus BrushClear();                      // 11
  BoardStatus BrushSolid();                      // 12
  BoardStatus PenColor(const Variant& value);    // 13
  BoardStatus PenClear();                        // 14
  BoardStatus PenSolid();                        // 15
  BoardStatus ImageHeight(Variant& result);      // 16
  BoardStatus ImageWidth(Variant& result);       // 17
  BoardStatus ShowImage();                       // 18
  BoardStatus Clear();                           // 19
  BoardStatus NewImage(const Variant& width, const Variant& height);  // 20
  BoardStatus TextWidth(const Variant& value, Variant& result);       // 21
  BoardStatus TextHeight(const Variant& value, Variant& result);      // 22
  BoardStatus FontNormal();                      // 23
  BoardStatus FontItalic();                      // 24
  BoardStatus FontBold();                        // 25
  BoardStatus FontUnderline();                   // 26
  BoardStatus LineAngled(const Variant& angle, const Variant& length);  // 27
  BoardStatus MoveTo(const Variant& x, const Variant& y);  // 28
  BoardStatus LineTo(const Variant& x, const Variant& y);  // 29
  BoardStatus get_angle(Variant& value);         // 30
  BoardStatus set_angle(const Variant& value);   // 30
  BoardStatus PenUp();                           // 31
  BoardStatus PenDown();                         // 32
  BoardStatus Turn(const Variant& angle);        // 33
  BoardStatus Move(const Variant& distance);     // 34
  BoardStatus getPixelColor(const Variant& x, const Variant& y, Variant& result);  // 38
  BoardStatus FloodFillSurface(const Variant& x, const Variant& y, const Variant& color);  // 39
  BoardStatus FloodFillBorder(const Variant& x, const Variant& y, const Variant& color);   // 40
  BoardStatus PenWidth(const Variant& value);    // 35

  Workspace& CurrentWorkspace() { return workspace_; }
  Turtle& CurrentTurtle() { return turtle_; }

 private:
  // The canvas of the displayed image, for members that only change the
  // drawing state.
  Canvas& State();
  // The same canvas for members that draw: there must be an image.
  Canvas& Surface();
  // After drawing straight onto the displayed image.
  void Drawn();

  Workspace& workspace_;
  Turtle& turtle_;
};

}  // namespace automation
}  // namespace pixtrel
