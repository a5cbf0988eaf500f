// "GIF Optimizer": a modeless window that tries the colour reduction and
// dithering of its menus on the workspace picture, shows the result and its
// GIF size, and saves it. Its menu choices become the run's GIF defaults, so
// every later GIF save of the program follows them.
#pragma once

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <functional>
#include <optional>
#include <string>

#include "core/bitmap.h"
#include "core/interaction.h"
#include "gif/color_reduction.h"

namespace pixtrel {

class AppDialogs;

class PainterReduceF : public QMainWindow {
  Q_OBJECT

 public:
  // defaults: the session's GIF defaults, changed by "Convert" and by the
  // "N colors" items.
  PainterReduceF(gif::GifSettings& defaults, UserInteraction& ui, AppDialogs& dialogs, QWidget* parent);

  // "&GIF optimize": the picture goes into the source pane, the window shows.
  void ShowPicture(const Bitmap& picture);
  // "Convert" and "GIFSave".
  void ButtonConvertClick();
  void btnsaveClick();

  // The display's bits per pixel times its planes, asked before the halftone
  // item is checked. Defaults to the primary screen's depth; tests replace it.
  std::function<int()> displayBits;

  const Bitmap& ImageBitmap() const { return imageBitmap_; }
  const QImage& ImageGIF() const { return result_; }
  QCheckBox* ckTransparent() const { return transparent_; }
  QPushButton* ButtonConvert() const { return convert_; }
  QPushButton* btnsave() const { return save_; }
  QLabel* sizecap() const { return size_; }
  QProgressBar* Progress() const { return progress_; }
  // A menu item by its object name ("MenuPaletteMonochrome", "MenuPaletteOptimized64").
  QAction* Item(const char* name) const;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void BuildMenus();
  void KeepHalves();
  void ShowResult(const QImage& image);

  gif::GifSettings& defaults_;
  UserInteraction& ui_;
  AppDialogs& dialogs_;
  Bitmap imageBitmap_;
  QImage result_;

  QActionGroup* palette_ = nullptr;
  QActionGroup* dithering_ = nullptr;
  QActionGroup* colors_ = nullptr;
  QWidget* leftPane_ = nullptr;
  QWidget* rightPane_ = nullptr;
  QLabel* source_ = nullptr;
  QLabel* gif_ = nullptr;
  QCheckBox* transparent_ = nullptr;
  QPushButton* convert_ = nullptr;
  QPushButton* save_ = nullptr;
  QLabel* size_ = nullptr;
  QProgressBar* progress_ = nullptr;
};

}  // namespace pixtrel
