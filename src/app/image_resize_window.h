// "Image Resize": two integer fields for the new width and height, kept at
// the starting aspect ratio while "Keep aspect ratio" is checked.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QSize>
#include <optional>

#include "effects/resize_fields.h"

namespace pixtrel {

class ImageResizeWindow : public QDialog {
  Q_OBJECT

 public:
  explicit ImageResizeWindow(QWidget* parent = nullptr);

  // Shows the window modally with the current size; the two field values
  // after "OK", nothing after "Cancel".
  std::optional<QSize> Ask(int width, int height);
  // Fills the window without showing it (Ask does this first).
  void Open(int width, int height);

  QLineEdit* WidthField() const { return edwidth_; }
  QLineEdit* HeightField() const { return edheight_; }
  QCheckBox* KeepAspect() const { return ckaspect_; }
  QSize FieldSize() const { return QSize(fields_.Width(), fields_.Height()); }

 private:
  void FieldEdited(bool width);
  void ShowFields();

  fx::ResizeFields fields_;
  QLineEdit* edwidth_;
  QLineEdit* edheight_;
  QLabel* meswidth_;
  QLabel* mesheight_;
  QCheckBox* ckaspect_;
  bool updating_ = false;
};

}  // namespace pixtrel
