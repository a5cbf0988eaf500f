#include "automation/board.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "core/bitmap.h"
#include "core/canvas.h"
#include "core/errors.h"
#include "workspace/effect_commands.h"
#include "workspace/workspace.h"

namespace pixtrel::automation {

namespace {

// The guard around a member: an error becomes a failure status.
template <typename Fn>
BoardStatus Guard(Fn&& member) {
  try {
    member();
    return {};
  } catch (const std::bad_alloc&) {
    return {false, "Out of memory", "core.OutOfMemory"};
  } catch (const Exception& e) {
    return {false, MessageWithContext(e), e.Code()};
  } catch (const std::exception& e) {
    return {false, e.what(), std::string()};
  }
}

constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;

// The end of a line of length from p at degrees (0 right, 90 down), each
// offset cut toward zero.
Point Toward(Point p, double degrees, double length) {
  const double radians = degrees * kRadiansPerDegree;
  const double dx = std::trunc(length * std::cos(radians));
  const double dy = std::trunc(length * std::sin(radians));
  const auto coordinate = [](double v) {
    if (!(std::abs(v) <= 2147483647.0)) throw EAutomationError(AutomationError::OutOfRange, "line end");
    return static_cast<int>(v);
  };
  return Point{coordinate(p.X + dx), coordinate(p.Y + dy)};
}

}  // namespace

Color HtmlToColor(const std::string& text) { return ParseHtmlColor(text).value_or(clBlack); }

std::string ColorToHtml(Color color) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", GetRValue(color), GetGValue(color), GetBValue(color));
  return text;
}

int RotationTenths(const Variant& angle) { return Product(angle, Variant(10)).ToInteger(); }

Font RotatedFont(const Font& canvasFont, int tenths) {
  Font font;
  font.name = canvasFont.name;
  font.height = std::abs(canvasFont.height);
  font.bold = canvasFont.bold;
  font.italic = canvasFont.italic;
  font.underline = canvasFont.underline;
  font.strikeOut = false;
  font.color = canvasFont.color;
  font.escapement = tenths;
  return font;
}

Board::Board(Workspace& workspace, Turtle& turtle) : workspace_(workspace), turtle_(turtle) {}

Canvas& Board::State() { return workspace_.Image().Canvas(); }

Canvas& Board::Surface() {
  if (workspace_.Image().Empty()) throw EAutomationError(AutomationError::NoImage, std::string());
  return workspace_.Image().Canvas();
}

void Board::Drawn() { workspace_.ImageDrawn(); }

// Each variant is converted just before the step that uses it, so that a
// value that fails stops the member at that step.

BoardStatus Board::Line(const Variant& x1, const Variant& y1, const Variant& x2, const Variant& y2) {
  return Guard([&] {
    Canvas& canvas = Surface();
    const int left = x1.ToInteger(), top = y1.ToInteger();
    canvas.MoveTo(left, top);
    const int right = x2.ToInteger(), bottom = y2.ToInteger();
    canvas.LineTo(right, bottom);
    Drawn();
  });
}

BoardStatus Board::Ellipse(const Variant& x1, const Variant& y1, const Variant& x2, const Variant& y2) {
  return Guard([&] {
    Canvas& canvas = Surface();
    const int left = x1.ToInteger(), top = y1.ToInteger(), right = x2.ToInteger(), bottom = y2.ToInteger();
    canvas.Ellipse(left, top, right, bottom);
    Drawn();
  });
}

BoardStatus Board::Rectangle(const Variant& x1, const Variant& y1, const Variant& x2, const Variant& y2) {
  return Guard([&] {
    Canvas& canvas = Surface();
    const int left = x1.ToInteger(), top = y1.ToInteger(), right = x2.ToInteger(), bottom = y2.ToInteger();
    canvas.Rectangle(left, top, right, bottom);
    Drawn();
  });
}

BoardStatus Board::RoundRect(const Variant& x1, const Variant& y1, const Variant& x2, const Variant& y2,
                             const Variant& x3, const Variant& y3) {
  return Guard([&] {
    Canvas& canvas = Surface();
    const int left = x1.ToInteger(), top = y1.ToInteger(), right = x2.ToInteger(), bottom = y2.ToInteger();
    const int cornerWidth = x3.ToInteger(), cornerHeight = y3.ToInteger();
    canvas.RoundRect(left, top, right, bottom, cornerWidth, cornerHeight);
    Drawn();
  });
}

BoardStatus Board::Text(const Variant& x, const Variant& y, const Variant& value) {
  return Guard([&] {
    Canvas& canvas = Surface();
    const int left = x.ToInteger(), top = y.ToInteger();
    canvas.TextOut(left, top, value.ToText());
    Drawn();
  });
}

BoardStatus Board::TextRotated(const Variant& x, const Variant& y, const Variant& atext, const Variant& angle) {
  return Guard([&] {
    Canvas& canvas = Surface();
    const int left = x.ToInteger(), top = y.ToInteger();
    const std::string text = atext.ToText();
    const int tenths = RotationTenths(angle);
    // Written with a font of its own on a transparent background; the
    // canvas keeps its font, brush and pen position.
    const Font font = canvas.Font();
    const Brush brush = canvas.Brush();
    const Point penPos = canvas.PenPos();
    canvas.Font() = RotatedFont(font, tenths);
    canvas.Brush().style = bsClear;
    try {
      canvas.TextOut(left, top, text);
    } catch (...) {
      canvas.Font() = font;
      canvas.Brush() = brush;
      canvas.MoveTo(penPos.X, penPos.Y);
      throw;
    }
    canvas.Font() = font;
    canvas.Brush() = brush;
    canvas.MoveTo(penPos.X, penPos.Y);
    Drawn();
  });
}

BoardStatus Board::FontName(const Variant& value) {
  return Guard([&] { State().Font().name = value.ToText(); });
}

BoardStatus Board::FontSize(const Variant& value) {
  return Guard([&] { State().Font().SetSize(value.ToInteger()); });
}

BoardStatus Board::FontColor(const Variant& value) {
  return Guard([&] { State().Font().color = HtmlToColor(value.ToText()); });
}

BoardStatus Board::BrushColor(const Variant& value) {
  return Guard([&] { State().Brush().color = HtmlToColor(value.ToText()); });
}

BoardStatus Board::BrushClear() {
  return Guard([&] { State().Brush().style = bsClear; });
}

BoardStatus Board::BrushSolid() {
  return Guard([&] { State().Brush().style = bsSolid; });
}

BoardStatus Board::PenColor(const Variant& value) {
  return Guard([&] { State().Pen().color = HtmlToColor(value.ToText()); });
}

BoardStatus Board::PenClear() {
  return Guard([&] { State().Pen().style = psClear; });
}

BoardStatus Board::PenSolid() {
  return Guard([&] { State().Pen().style = psSolid; });
}

BoardStatus Board::ImageHeight(Variant& result) {
  return Guard([&] { result = workspace_.Image().Height(); });
}

BoardStatus Board::ImageWidth(Variant& result) {
  return Guard([&] { result = workspace_.Image().Width(); });
}

BoardStatus Board::ShowImage() {
  return Guard([&] {
    if (showImage) showImage();
  });
}

BoardStatus Board::Clear() {
  return Guard([&] {
    Bitmap white(workspace_.Image().Width(), workspace_.Image().Height(), pf24bit);
    white.Fill(clWhite);
    workspace_.PrepareEdit();
    workspace_.SetImage(white);
  });
}

BoardStatus Board::NewImage(const Variant& width, const Variant& height) {
  return Guard([&] {
    const int w = width.ToInteger(), h = height.ToInteger();
    workspace_.CheckResultSize(w, h);
    Bitmap white(w, h, pf24bit);
    white.Fill(clWhite);
    workspace_.PrepareEdit();
    workspace_.SetImage(white);
  });
}

BoardStatus Board::TextWidth(const Variant& value, Variant& result) {
  return Guard([&] { result = State().TextWidth(value.ToText()); });
}

BoardStatus Board::TextHeight(const Variant& value, Variant& result) {
  return Guard([&] { result = State().TextHeight(value.ToText()); });
}

BoardStatus Board::FontNormal() {
  return Guard([&] {
    Font& font = State().Font();
    font.bold = font.italic = font.underline = font.strikeOut = false;
  });
}

BoardStatus Board::FontItalic() {
  return Guard([&] { State().Font().italic = true; });
}

BoardStatus Board::FontBold() {
  return Guard([&] { State().Font().bold = true; });
}

BoardStatus Board::FontUnderline() {
  return Guard([&] { State().Font().underline = true; });
}

BoardStatus Board::LineAngled(const Variant& angle, const Variant& length) {
  return Guard([&] {
    Canvas& canvas = Surface();
    const double degrees = angle.ToReal(), distance = length.ToReal();
    const Point to = Toward(canvas.PenPos(), degrees, distance);
    canvas.LineTo(to.X, to.Y);
    Drawn();
  });
}

BoardStatus Board::MoveTo(const Variant& x, const Variant& y) {
  return Guard([&] {
    const int left = x.ToInteger(), top = y.ToInteger();
    State().MoveTo(left, top);
  });
}

BoardStatus Board::LineTo(const Variant& x, const Variant& y) {
  return Guard([&] {
    Canvas& canvas = Surface();
    const int left = x.ToInteger(), top = y.ToInteger();
    canvas.LineTo(left, top);
    Drawn();
  });
}

BoardStatus Board::get_angle(Variant& value) {
  return Guard([&] { value = turtle_.Heading; });
}

BoardStatus Board::set_angle(const Variant& value) {
  return Guard([&] { turtle_.Heading = value.ToInteger(); });
}

BoardStatus Board::PenUp() {
  turtle_.PenIsDown = false;
  return {};
}

BoardStatus Board::PenDown() {
  turtle_.PenIsDown = true;
  return {};
}

BoardStatus Board::Turn(const Variant& angle) {
  return Guard([&] { turtle_.Heading = Sum(Variant(turtle_.Heading), angle).ToInteger(); });
}

BoardStatus Board::Move(const Variant& distance) {
  return Guard([&] {
    const int d = distance.ToInteger();
    if (turtle_.PenIsDown) {
      Canvas& canvas = Surface();
      const Point to = Toward(canvas.PenPos(), turtle_.Heading, d);
      canvas.LineTo(to.X, to.Y);
      Drawn();
    } else {
      Canvas& canvas = State();
      const Point to = Toward(canvas.PenPos(), turtle_.Heading, d);
      canvas.MoveTo(to.X, to.Y);
    }
  });
}

BoardStatus Board::getPixelColor(const Variant& x, const Variant& y, Variant& result) {
  return Guard([&] {
    const int left = x.ToInteger(), top = y.ToInteger();
    result = ColorToHtml(State().Pixels(left, top));
  });
}

BoardStatus Board::FloodFillSurface(const Variant& x, const Variant& y, const Variant& color) {
  return Guard([&] {
    Canvas& canvas = Surface();
    const int left = x.ToInteger(), top = y.ToInteger();
    canvas.FloodFill(left, top, HtmlToColor(color.ToText()), fsSurface);
    Drawn();
  });
}

BoardStatus Board::FloodFillBorder(const Variant& x, const Variant& y, const Variant& color) {
  return Guard([&] {
    Canvas& canvas = Surface();
    const int left = x.ToInteger(), top = y.ToInteger();
    canvas.FloodFill(left, top, HtmlToColor(color.ToText()), fsBorder);
    Drawn();
  });
}

BoardStatus Board::PenWidth(const Variant& value) {
  return Guard([&] { State().Pen().width = value.ToInteger(); });
}

}  // namespace pixtrel::automation
