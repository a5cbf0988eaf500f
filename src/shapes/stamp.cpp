#include "shapes/stamp.h"

#include "shapes/shape_controller.h"

namespace pixtrel::shapes {

void BuildStampShape(const StampRequest& r, ZepShape& shape) {
  shape.SetBounds(r.left, r.top, r.width, r.height);
  if (r.gradient) {
    shape.SetFillDirection(*r.gradient);
    shape.SetGradient(true);
  }
  if (r.gradientColor) shape.SetGradientColor(*r.gradientColor);
  if (r.caption) shape.SetCaption(*r.caption);
  if (r.captionX) shape.SetCaptionX(*r.captionX);
  if (r.captionY) shape.SetCaptionY(*r.captionY);
  if (r.captionAngle) shape.SetCaptionAngle(*r.captionAngle);
  if (r.userVector) shape.SetUserVectorString(*r.userVector);
  if (r.polyLine) shape.SetPolyLineMode(true);
  shape.SetShape(r.kind.value_or(zstUser));

  pixtrel::Brush brush = shape.Brush();
  if (r.brushColor) brush.color = *r.brushColor;
  if (r.brushStyle) brush.style = *r.brushStyle;
  shape.SetBrush(brush);
  pixtrel::Pen pen = shape.Pen();
  if (r.penColor) pen.color = *r.penColor;
  if (r.penWidth) pen.width = *r.penWidth;
  if (r.penStyle) pen.style = *r.penStyle;
  shape.SetPen(pen);
  pixtrel::Font font = shape.Font();
  if (r.fontName) font.name = *r.fontName;
  if (r.fontSize) font.SetSize(*r.fontSize);
  if (r.fontColor) font.color = *r.fontColor;
  if (r.bold) font.bold = true;
  if (r.italic) font.italic = true;
  if (r.underline) font.underline = true;
  shape.SetFont(font);
  // A placed caption is one the mouse moved: no longer centred.
  const bool placed = r.captionX || r.captionY;
  shape.SetCaptionCentered(r.captionCentered.value_or(!placed));
}

void StampShape(const StampRequest& request, Bitmap& image) {
  ZepShape shape;
  BuildStampShape(request, shape);
  PaintShape(shape, image);
}

}  // namespace pixtrel::shapes
