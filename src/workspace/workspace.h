// The workspace model: the displayed image, the one-level undo copy and the
// pf24bit working copy every effect runs on, free of widgets so that the
// desktop program, the automation object and pixtrel-cli share it.
#pragma once

#include <functional>

#include "core/bitmap.h"
#include "core/byte_reader.h"

namespace pixtrel {

class Workspace {
 public:
  // The image shown, saved and read by every command.
  Bitmap& Image() { return image_; }
  const Bitmap& Image() const { return image_; }
  // Replaces the displayed image without a snapshot (opening a file, paste).
  void SetImage(const Bitmap& image);

  Bitmap& UndoBitmap() { return undo_; }
  const Bitmap& UndoBitmap() const { return undo_; }
  Bitmap& WorkBitmap() { return work_; }
  const Bitmap& WorkBitmap() const { return work_; }

  // "&Undo last": disabled until the first snapshot, then never again.
  bool UndoEnabled() const { return undoEnabled_; }

  // Snapshot: UndoBitmap := the displayed image; WorkBitmap := a copy of it in pf24bit.
  void PrepareEdit();
  // The displayed image := a copy of WorkBitmap.
  void CommitEdit();
  // The displayed image := a copy of UndoBitmap; the snapshot stays.
  void Undo();

  // Resamples the displayed image with "Lanczos3", support 3; no snapshot.
  // Sizes below 11 do nothing.
  void ResampleImageTo(int width, int height);
  // Pads the displayed image to a white square; no snapshot.
  void MakeSquare();
  // Snapshot, then the displayed image := WorkBitmap turned a quarter clockwise.
  void Turn();

  // A workspace that nobody can undo in (pixtrel-cli) skips the copies: the
  // snapshot moves the displayed image into WorkBitmap (the displayed image
  // is empty until the commit) and the commit moves it back.
  void SetKeepsUndo(bool keeps) { keepsUndo_ = keeps; }

  // The pixel limit of the program (the user's, or its default), which the
  // results of commands that make a larger picture are held to as files are.
  std::int64_t PixelLimit() const { return pixelLimit_; }
  void SetPixelLimit(std::int64_t limit) { pixelLimit_ = limit; }
  // Throws EImageTooLarge when a result of width x height would exceed it.
  void CheckResultSize(std::int64_t width, std::int64_t height) const {
    CheckImageSize(width, height, pixelLimit_);
  }

  // Called after every change of the displayed image (the desktop repaints).
  std::function<void()> imageChanged;
  // For code that drew straight onto Image() (the automation object).
  void ImageDrawn() { Changed(); }

 private:
  void Changed();

  Bitmap image_;
  Bitmap undo_;
  Bitmap work_;
  bool undoEnabled_ = false;
  bool keepsUndo_ = true;
  std::int64_t pixelLimit_ = kDefaultMaxPixels;
};

// ResampleImageTo on any image (the icon save resamples the displayed image).
void ResampleImageTo(Bitmap& image, int width, int height);
// side = the larger of width and height; the image drawn into a white square
// of that side, centred along the shorter axis (halves rounded down).
void MakeSquare(Bitmap& image);

}  // namespace pixtrel
