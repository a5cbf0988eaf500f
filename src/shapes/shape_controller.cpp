#include "shapes/shape_controller.h"

#include <cctype>
#include <charconv>
#include <cmath>

#include "shapes/gradient_fill.h"

namespace pixtrel::shapes {

namespace {

constexpr double kPi = 3.14159265358979323846;

// An integer as a prompt reads it: optional spaces before, an optional
// sign, decimal digits and nothing after.
std::optional<int> PromptInteger(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  const char* first = text.data() + i;
  const char* last = text.data() + text.size();
  if (first < last && *first == '+') ++first;
  int value = 0;
  const auto [end, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || end != last || first == last) return std::nullopt;
  return value;
}

}  // namespace

int SnapToGrid(int v, int size) { return size == 0 ? v : (v / size) * size; }

int RotateTextAngle(int width, int height, int x, int y) {
  int dx = x - width / 2;
  if (dx == 0) dx = 1;
  const double dy = double(height / 2) - y;
  return RoundToInt(std::atan2(dy, double(dx)) * 180.0 / kPi);
}

bool ShapeMouseDown(ZepShape& shape, ShapeDrag& drag, MouseButton button, bool shift, int x, int y,
                    const DragRules* rules) {
  if (button != MouseButton::Left) return false;
  if (shift) return rules && shape.ActiveMouse();
  if (!shape.ActiveMouse()) return false;
  if (rules && rules->mouseModeController) shape.SetMouseMode(rules->mouseMode);
  drag.dragging = true;
  if (shape.MouseMode() == mmSizeObject) {
    drag.x = shape.Width() - x;
    drag.y = shape.Height() - y;
  } else {
    drag.x = x;
    drag.y = y;
  }
  return false;
}

void ShapeMouseMove(ZepShape& shape, ShapeDrag& drag, int x, int y, const DragRules* rules) {
  if (!drag.dragging || !shape.ActiveMouse()) return;
  const bool snap = rules && rules->Snaps();
  const int grid = rules ? rules->mouseGridSize : 0;
  switch (shape.MouseMode()) {
    case mmMoveObject: {
      int left = shape.Left() + x - drag.x, top = shape.Top() + y - drag.y;
      if (snap) {
        left = SnapToGrid(left, grid) - 1;
        top = SnapToGrid(top, grid) - 1;
      }
      shape.SetBounds(left, top, shape.Width(), shape.Height());
      break;
    }
    case mmSizeObject: {
      int width = drag.x + x, height = drag.y + y;
      if (snap) {
        width = SnapToGrid(width, grid) + 1;
        height = SnapToGrid(height, grid) + 1;
      }
      shape.SetBounds(shape.Left(), shape.Top(), width, height);
      break;
    }
    case mmMoveText:
      shape.SetCaptionCentered(false);
      shape.SetCaptionX(snap ? SnapToGrid(x, grid) : x);
      shape.SetCaptionY(snap ? SnapToGrid(y, grid) : y);
      break;
    case mmRotateText:
      shape.SetCaptionCentered(false);
      shape.SetCaptionAngle(RotateTextAngle(shape.Width(), shape.Height(), x, y));
      break;
    case mmfixed:
      break;
  }
}

void ShapeMouseUp(ShapeDrag& drag) { drag.dragging = false; }

void PaintShape(ZepShape& shape, Bitmap& image) { shape.PaintTo(image.Canvas(), shape.Left(), shape.Top(), 1.0, 1.0); }

Bitmap ShapeAsOverlay(ZepShape& shape, int width, int height) {
  Bitmap overlay(width, height, pf24bit);
  overlay.Fill(clWhite);
  shape.PaintTo(overlay.Canvas(), 0, 0, 1.0, 1.0);
  return overlay;
}

std::vector<Bitmap> BuildImages(Color brushColor, Color gradientColor, Color backColor,
                                const std::vector<std::string>& userShapes) {
  ZepShape sample;
  sample.SetBounds(0, 0, 16, 16);
  sample.SetBrush({brushColor, bsSolid});
  sample.SetGradientColor(gradientColor);
  std::vector<Bitmap> images;
  auto add = [&] {
    Bitmap image(16, 16, pf24bit);
    image.Fill(backColor);
    sample.PaintTo(image.Canvas(), 0, 0, 1.0, 1.0);
    images.push_back(std::move(image));
  };
  sample.SetGradient(false);
  for (int i = 0; i < kShapeTypeCount; ++i) {
    sample.SetShape(static_cast<ZepShapeType>(i));
    add();
  }
  sample.SetShape(zstSquare);
  sample.SetGradient(true);
  for (int i = 0; i < kFillDirectionCount; ++i) {
    sample.SetFillDirection(static_cast<ZepFillDirection>(i));
    add();
  }
  sample.SetGradient(false);
  sample.SetShape(zstUser);
  for (const std::string& line : userShapes) {
    sample.SetUserVectorString(line);
    add();
  }
  return images;
}

int LargerFontSize(int size) { return size < 144 ? RoundToInt(size * 1.1) : size; }

int SmallerFontSize(int size) { return size > 8 ? RoundToInt(size * 0.9) : size; }

std::optional<int> PenSizeFromPrompt(const std::string& text) {
  const int size = PromptInteger(text).value_or(1);
  if (size < 1 || size > 20) return std::nullopt;
  return size;
}

std::optional<int> CaptionAngleFromPrompt(const std::string& text) {
  const int angle = PromptInteger(text).value_or(0);
  if (angle < -180 || angle > 180) return std::nullopt;
  return angle;
}

void TextOnly(ZepShape& shape) {
  pixtrel::Brush brush = shape.Brush();
  brush.style = bsClear;
  shape.SetBrush(brush);
  pixtrel::Pen pen = shape.Pen();
  pen.style = psClear;
  shape.SetPen(pen);
  if (shape.Caption().empty()) shape.SetCaption("Pixtrel");
}

void SizeToImage(ZepShape& shape, const Bitmap& image) { shape.SetBounds(0, 0, image.Width(), image.Height()); }

}  // namespace pixtrel::shapes
