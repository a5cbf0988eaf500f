// The field rules of the "Image Resize" window, free of widgets: two integer
// fields kept at the starting aspect ratio while "Keep aspect ratio" is on.
#pragma once

#include <string>

namespace pixtrel::fx {

class ResizeFields {
 public:
  static constexpr int kMinimum = 1;
  static constexpr int kMaximum = 2147483647;

  // Opening: both fields and labels show the current size, which is also the
  // starting size for the ratio; "Keep aspect ratio" is checked.
  void Open(int width, int height);

  // What the integer edit makes of a typed text: characters other than digits
  // are dropped, an empty field becomes 1, a value outside the limits the
  // nearest limit.
  static int EditValue(const std::string& text);

  // A typed field text; with the ratio kept, the other field follows, and so
  // on until the pair settles.
  void TypeWidth(const std::string& text) { SetWidth(EditValue(text)); }
  void TypeHeight(const std::string& text) { SetHeight(EditValue(text)); }
  void SetWidth(int width);
  void SetHeight(int height);

  void SetKeepAspect(bool keep) { keepAspect_ = keep; }
  bool KeepAspect() const { return keepAspect_; }

  int Width() const { return width_; }
  int Height() const { return height_; }
  // The labels beside the fields: the size at opening.
  int StartWidth() const { return startWidth_; }
  int StartHeight() const { return startHeight_; }

 private:
  void Settle(bool widthChanged);

  int width_ = 1;
  int height_ = 1;
  int startWidth_ = 1;
  int startHeight_ = 1;
  bool keepAspect_ = true;
};

}  // namespace pixtrel::fx
