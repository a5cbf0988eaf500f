#include "workspace/editing.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "core/interaction.h"
#include "effects/effect_settings.h"

namespace pixtrel {

namespace {

constexpr const char* kNewCaption = "Pixtrel New Image";

// One prompt of "&New...": the text and its value, or nothing when the user
// cancelled or typed something that is not an integer (which is shown).
std::optional<std::pair<std::string, int>> AskDimension(UserInteraction& ui, const char* prompt,
                                                        const std::string& start) {
  const std::optional<std::string> text = ui.InputQuery(kNewCaption, prompt, start);
  if (!text) return std::nullopt;
  const std::optional<int> value = fx::ParseInteger(*text);
  if (!value) {
    ui.ShowMessage(*text + " is invalid");
    return std::nullopt;
  }
  return std::make_pair(*text, *value);
}

// The part of source (pf24bit) under the rectangle, in a white pf24bit image
// of the rectangle's size; the rectangle must have a positive extent.
Bitmap CopyArea(const Bitmap& source, int left, int top, int width, int height) {
  Bitmap area(width, height, pf24bit);
  area.Fill(clWhite);
  const long long x0 = std::max<long long>(left, 0);
  const long long y0 = std::max<long long>(top, 0);
  const long long x1 = std::min<long long>(static_cast<long long>(left) + width, source.Width());
  const long long y1 = std::min<long long>(static_cast<long long>(top) + height, source.Height());
  if (x0 >= x1 || y0 >= y1) return area;
  const std::size_t bytes = static_cast<std::size_t>(x1 - x0) * 3;
  for (long long y = y0; y < y1; ++y) {
    const std::uint8_t* from = source.ScanLine(static_cast<int>(y)) + x0 * 3;
    std::uint8_t* to = area.ScanLine(static_cast<int>(y - top)) + (x0 - left) * 3;
    std::memcpy(to, from, bytes);
  }
  return area;
}

}  // namespace

bool NewImage(Workspace& workspace, UserInteraction& ui) {
  const auto width = AskDimension(ui, "Enter image width:", "200");
  if (!width) return false;
  const auto height = AskDimension(ui, "Enter image height:", width->first);
  if (!height) return false;
  if (width->second <= 10 || height->second <= 10) return false;
  workspace.CheckResultSize(width->second, height->second);
  Bitmap image(width->second, height->second, pf24bit);
  image.Fill(clWhite);
  workspace.PrepareEdit();
  workspace.SetImage(image);
  return true;
}

bool CropToSelection(Workspace& workspace, Selection& selection, UserInteraction& ui) {
  if (!selection.Visible()) return false;
  if (selection.Width() < 5 || selection.Height() < 5) {
    ui.ShowMessage("selection too small");
    return false;
  }
  workspace.PrepareEdit();
  Bitmap cropped =
      CopyArea(workspace.WorkBitmap(), selection.Left(), selection.Top(), selection.Width(), selection.Height());
  workspace.SetImage(cropped);
  selection.Clear();
  return true;
}

PixelFormat DepthFormat(ColorDepth depth) {
  switch (depth) {
    case ColorDepth::Bits4:
      return pf4bit;
    case ColorDepth::Bits8:
      return pf8bit;
    case ColorDepth::Bits16:
      return pf16bit;
    case ColorDepth::Bits24:
      break;
  }
  return pf24bit;
}

void SetColorDepth(Workspace& workspace, ColorDepth depth) {
  workspace.PrepareEdit();
  Bitmap converted = workspace.Image();
  converted.SetPixelFormat(DepthFormat(depth));
  workspace.SetImage(converted);
}

bool ResizeGesture(Workspace& workspace, int x, int y) {
  if (x <= 10 || y <= 10) return false;
  workspace.ResampleImageTo(x, y);
  return true;
}

bool ResizeTo(Workspace& workspace, int width, int height) {
  if (width < 11 || height < 11) return false;
  workspace.ResampleImageTo(width, height);
  return true;
}

std::optional<Bitmap> CopySelection(const Bitmap& image, const Selection& selection) {
  if (!selection.Visible() || selection.Width() <= 0 || selection.Height() <= 0) return std::nullopt;
  if (image.PixelFormat() == pf24bit)
    return CopyArea(image, selection.Left(), selection.Top(), selection.Width(), selection.Height());
  Bitmap converted = image;
  converted.SetPixelFormat(pf24bit);
  return CopyArea(converted, selection.Left(), selection.Top(), selection.Width(), selection.Height());
}

std::optional<Bitmap> IconSelection(const Bitmap& image, Selection& selection) {
  if (!selection.Visible()) return std::nullopt;
  selection.SetSquareSize(32);
  return CopySelection(image, selection);
}

bool PasteImage(Workspace& workspace, const Bitmap& pasted) {
  if (pasted.Width() <= 0 || pasted.Height() <= 0) return false;
  workspace.SetImage(pasted);
  return true;
}

}  // namespace pixtrel
