#include "workspace/workspace.h"

#include <algorithm>
#include <cstdlib>

#include "core/canvas.h"
#include "effects/geometric.h"
#include "effects/resample.h"

namespace pixtrel {

void Workspace::SetImage(const Bitmap& image) {
  image_ = image;
  Changed();
}

void Workspace::PrepareEdit() {
  undoEnabled_ = true;
  if (keepsUndo_) {
    undo_ = image_;
    work_ = image_;
  } else {
    work_ = std::move(image_);
  }
  work_.SetPixelFormat(pf24bit);
}

void Workspace::CommitEdit() {
  if (keepsUndo_)
    image_ = work_;
  else
    image_ = std::move(work_);
  Changed();
}

void Workspace::Undo() {
  if (!undoEnabled_ || !keepsUndo_) return;
  image_ = undo_;
  Changed();
}

void Workspace::ResampleImageTo(int width, int height) {
  if (width < 11 || height < 11) return;
  CheckResultSize(width, height);
  pixtrel::ResampleImageTo(image_, width, height);
  Changed();
}

void Workspace::MakeSquare() {
  const std::int64_t side = std::max(image_.Width(), std::abs(image_.Height()));
  CheckResultSize(side, side);
  pixtrel::MakeSquare(image_);
  Changed();
}

void Workspace::Turn() {
  PrepareEdit();
  Bitmap turned(work_.Height(), work_.Width(), pf24bit);
  fx::RotateQuarter(work_, turned);
  image_ = std::move(turned);
  Changed();
}

void Workspace::Changed() {
  if (imageChanged) imageChanged();
}

void ResampleImageTo(Bitmap& image, int width, int height) {
  if (width < 11 || height < 11) return;
  Bitmap resized(width, height, pf24bit);
  fx::ResampleBitmap(image, resized, fx::Lanczos3Filter(), 3.0f);
  image = std::move(resized);
}

void MakeSquare(Bitmap& image) {
  const int width = image.Width();
  const int height = image.Height();
  const int side = std::max(width, height);
  Bitmap square(side, side);
  square.Fill(clWhite);
  if (width > height)
    square.Canvas().Draw(0, (width - height) / 2, image);
  else
    square.Canvas().Draw((height - width) / 2, 0, image);
  image = std::move(square);
}

}  // namespace pixtrel
