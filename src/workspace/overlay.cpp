#include "workspace/overlay.h"

#include <algorithm>
#include <utility>

#include "core/canvas.h"
#include "effects/point_effects.h"
#include "io/image_io.h"

namespace pixtrel {

void Overlay::Take(Bitmap image) {
  image_ = std::move(image);
  image_.SetTransparent(true);
  Changed();
}

void Overlay::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  Changed();
}

void Overlay::MoveTo(int x, int y) {
  if (position_ == Point{x, y}) return;
  position_ = {x, y};
  Changed();
}

bool Overlay::Contains(int x, int y) const {
  return x >= position_.X && y >= position_.Y && x - position_.X < image_.Width() && y - position_.Y < image_.Height();
}

void Overlay::Changed() {
  if (changed) changed();
}

bool LoadOverlay(const std::string& path, Overlay& overlay, UserInteraction& ui, std::int64_t maxPixels) {
  Bitmap image;
  if (!LoadImageFile(path, image, ui, maxPixels).known) return false;
  overlay.Take(std::move(image));
  overlay.SetVisible(true);
  return true;
}

namespace {

void DrawOverlay(Bitmap& target, Overlay& overlay) {
  overlay.Image().SetTransparent(true);
  if (target.Empty()) return;
  target.Canvas().Draw(overlay.Position().X, overlay.Position().Y, overlay.Image());
}

}  // namespace

void PaintOverlay(Workspace& workspace, Overlay& overlay) {
  DrawOverlay(workspace.Image(), overlay);
  // Setting the image to itself only announces the change.
  workspace.SetImage(workspace.Image());
}

void GlueOverlay(Workspace& workspace, Overlay& overlay) {
  // Only the right and bottom edges grow: an overlay hanging off the left or
  // the top is cut there.
  const int right = overlay.Position().X + overlay.Image().Width();
  const int bottom = overlay.Position().Y + overlay.Image().Height();
  workspace.CheckResultSize(std::max(workspace.Image().Width(), right),
                            std::max(std::abs(workspace.Image().Height()), bottom));
  workspace.PrepareEdit();
  Bitmap& work = workspace.WorkBitmap();
  work.SetSize(std::max(work.Width(), right), std::max(work.Height(), bottom));
  workspace.CommitEdit();
  PaintOverlay(workspace, overlay);
}

void SwapOverlay(Workspace& workspace, Overlay& overlay) {
  Bitmap displayed = std::move(workspace.Image());
  workspace.Image() = std::move(overlay.Image());
  overlay.Image() = std::move(displayed);
  workspace.SetImage(workspace.Image());  // announces the change
  if (overlay.changed) overlay.changed();
}

void InvertOverlay(Overlay& overlay) {
  Bitmap inverted = overlay.Image();
  inverted.SetPixelFormat(pf24bit);
  fx::InvertColors(inverted);
  overlay.Image() = std::move(inverted);
  if (overlay.changed) overlay.changed();
}

Bitmap BlendLayer(const Bitmap& image, const Overlay& overlay) {
  Bitmap layer(image.Width(), image.Height(), pf24bit);
  layer.Fill(clWhite);
  if (!layer.Empty()) layer.Canvas().Draw(overlay.Position().X, overlay.Position().Y, overlay.Image());
  return layer;
}

Bitmap BlendPreview(Workspace& workspace, const Overlay& overlay, int amount) {
  const double t = std::clamp(amount, 0, 100) / 100.0;
  const Bitmap layer = BlendLayer(workspace.Image(), overlay);
  Bitmap& work = workspace.WorkBitmap();
  work = workspace.Image();
  work.SetPixelFormat(pf24bit);
  Bitmap preview;
  fx::Blend(layer, work, preview, t);
  return preview;
}

}  // namespace pixtrel
