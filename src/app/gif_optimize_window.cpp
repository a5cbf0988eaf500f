#include "app/gif_optimize_window.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QPixmap>
#include <QScreen>
#include <QVBoxLayout>

#include "app/app_dialogs.h"
#include "app/guarded.h"
#include "core/qimage_bitmap.h"
#include "gif/gif_optimize.h"
#include "io/image_io.h"

namespace pixtrel {

namespace {

struct PaletteItem {
  const char* caption;
  const char* name;
  gif::ReductionMode mode;
};

// In menu order; "&Optimized (256 colors)" is the submenu.
constexpr PaletteItem kPaletteItems[] = {
    {"&None", "MenuPaletteNone", gif::NoReduction},
    {"&Windows system (20 colors)", "MenuPaletteWindows20", gif::WindowsSystem20},
    {"W&indows halftone (256 colors)", "MenuPaletteWindows256", gif::WindowsHalftone256},
    {"W&in&dows grayscale (4 colors)", "MenuPaletteWindowsGray4", gif::WindowsGray4},
    {"&Monochrome (black/white)", "MenuPaletteMonochrome", gif::Monochrome},
    {"&Grayscale (256 shades)", "MenuPaletteGrayScale256", gif::Grayscale256},
    {"N&etscape (216 colors)", "MenuPaletteNetscape216", gif::Netscape216},
    {"&Optimized (256 colors)", "MenuPaletteOptimized", gif::Optimized},
    {"&Optimized Windows (256 colors)", "MenuPaletteOptimizedWindows256", gif::OptimizedWindows256},
};

struct DitherItem {
  const char* caption;
  const char* name;
  gif::DitherMode mode;
};

constexpr DitherItem kDitherItems[] = {
    {"&Floyd Steinberg", "MenuDitheringFloydSteinberg", gif::FloydSteinberg},
    {"&Nearest color", "MenuDitheringNearest", gif::Nearest},
    {"Stucki", "MenuDitheringStucki", gif::Stucki},
    {"Burkes", "MenuDitheringBurkes", gif::Burkes},
    {"Sierra", "MenuDitheringSierra", gif::Sierra},
    {"JaJuNi", "MenuDitheringJaJuNi", gif::JaJuNi},
    {"SteveArche", "MenuDitheringSteveArche", gif::SteveArche},
};

constexpr char kSaveFilter[] = "GIF Files|*.gif|BMP Files|*.bmp";

// A pane: its caption above the picture, centred in a scroll box.
QWidget* Pane(const QString& caption, QLabel*& picture, QWidget* parent) {
  auto* pane = new QWidget(parent);
  auto* layout = new QVBoxLayout(pane);
  layout->setContentsMargins(2, 2, 2, 2);
  auto* label = new QLabel(caption, pane);
  layout->addWidget(label);
  auto* scroll = new QScrollArea(pane);
  scroll->setAlignment(Qt::AlignCenter);
  scroll->setMinimumWidth(0);
  picture = new QLabel;
  picture->setAlignment(Qt::AlignCenter);
  scroll->setWidget(picture);
  layout->addWidget(scroll, 1);
  return pane;
}

}  // namespace

PainterReduceF::PainterReduceF(gif::GifSettings& defaults, UserInteraction& ui, AppDialogs& dialogs, QWidget* parent)
    : QMainWindow(parent, Qt::Window), defaults_(defaults), ui_(ui), dialogs_(dialogs) {
  setObjectName(QStringLiteral("PainterReduceF"));
  setWindowTitle(QStringLiteral("GIF Optimizer"));
  resize(700, 460);

  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  auto* panes = new QHBoxLayout;
  panes->setSpacing(0);
  leftPane_ = Pane(QStringLiteral("Bitmap"), source_, central);
  leftPane_->setObjectName(QStringLiteral("ImageBitmap"));
  rightPane_ = Pane(QStringLiteral("GIF <= 256 colors"), gif_, central);
  rightPane_->setObjectName(QStringLiteral("ImageGIF"));
  panes->addWidget(leftPane_);
  panes->addWidget(rightPane_, 1);
  layout->addLayout(panes, 1);

  auto* strip = new QHBoxLayout;
  strip->setContentsMargins(4, 0, 4, 0);
  transparent_ = new QCheckBox(QStringLiteral("Transparent"), central);
  transparent_->setObjectName(QStringLiteral("ckTransparent"));
  convert_ = new QPushButton(QStringLiteral("Convert"), central);
  convert_->setObjectName(QStringLiteral("ButtonConvert"));
  save_ = new QPushButton(QStringLiteral("GIFSave"), central);
  save_->setObjectName(QStringLiteral("btnsave"));
  size_ = new QLabel(QStringLiteral("size="), central);
  size_->setObjectName(QStringLiteral("sizecap"));
  strip->addWidget(transparent_);
  strip->addWidget(convert_);
  strip->addWidget(save_);
  strip->addWidget(size_, 1);
  layout->addLayout(strip);
  progress_ = new QProgressBar(central);
  progress_->setRange(0, 100);
  progress_->setValue(0);
  progress_->setTextVisible(false);
  layout->addWidget(progress_);
  setCentralWidget(central);

  BuildMenus();
  connect(convert_, &QPushButton::clicked, this, &PainterReduceF::ButtonConvertClick);
  connect(save_, &QPushButton::clicked, this, &PainterReduceF::btnsaveClick);

  displayBits = [] {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->depth() : 24;
  };
}

void PainterReduceF::BuildMenus() {
  QMenu* palette = menuBar()->addMenu(QStringLiteral("&Palette"));
  palette_ = new QActionGroup(this);
  for (const PaletteItem& item : kPaletteItems) {
    QAction* action;
    if (item.mode == gif::Optimized) {
      QMenu* sizes = palette->addMenu(QString::fromUtf8(item.caption));
      action = sizes->menuAction();
      colors_ = new QActionGroup(this);
      for (int bits = 3; bits <= 8; ++bits) {
        QAction* count = sizes->addAction(QStringLiteral("%1 colors").arg(1 << bits));
        count->setObjectName(QStringLiteral("MenuPaletteOptimized%1").arg(1 << bits));
        count->setCheckable(true);
        count->setData(bits);
        count->setChecked(bits == 8);
        colors_->addAction(count);
        // The reduction bits change at once, for the program's saves too.
        connect(count, &QAction::triggered, this, [this, bits] { defaults_.reductionBits = bits; });
      }
      // Opening the submenu chooses the optimized palette.
      connect(sizes, &QMenu::aboutToShow, this, [action] { action->setChecked(true); });
    } else {
      action = palette->addAction(QString::fromUtf8(item.caption));
    }
    action->setObjectName(QString::fromLatin1(item.name));
    action->setCheckable(true);
    action->setData(static_cast<int>(item.mode));
    action->setChecked(item.mode == gif::OptimizedWindows256);
    palette_->addAction(action);
  }
  // The halftone item first tells what it does on a display of more than 256 colours.
  QAction* halftone = Item("MenuPaletteWindows256");
  connect(halftone, &QAction::triggered, this, [this] {
    if (const std::optional<std::string> note = gif::HalftoneWarning(displayBits ? displayBits() : 8))
      ui_.ShowMessage(*note);
  });

  QMenu* dithering = menuBar()->addMenu(QStringLiteral("&Dithering"));
  dithering_ = new QActionGroup(this);
  for (const DitherItem& item : kDitherItems) {
    QAction* action = dithering->addAction(QString::fromUtf8(item.caption));
    action->setObjectName(QString::fromLatin1(item.name));
    action->setCheckable(true);
    action->setData(static_cast<int>(item.mode));
    action->setChecked(item.mode == gif::FloydSteinberg);
    dithering_->addAction(action);
  }
}

QAction* PainterReduceF::Item(const char* name) const { return findChild<QAction*>(QString::fromLatin1(name)); }

void PainterReduceF::ShowPicture(const Bitmap& picture) {
  imageBitmap_ = picture;
  source_->setPixmap(QPixmap::fromImage(BitmapToQImage(imageBitmap_)));
  source_->adjustSize();
  show();
  raise();
  activateWindow();
}

void PainterReduceF::ShowResult(const QImage& image) {
  result_ = image;
  gif_->setPixmap(QPixmap::fromImage(result_));
  gif_->adjustSize();
}

void PainterReduceF::ButtonConvertClick() {
  if (imageBitmap_.Empty()) {
    ui_.ShowMessage("No bitmap to convert!");
    return;
  }
  convert_->setEnabled(false);
  ShowResult(QImage());
  // The checked items become the GIF defaults, tested in a fixed order.
  const auto checked = [](QActionGroup* group, int mode) {
    for (QAction* action : group->actions())
      if (action->data().toInt() == mode && action->isChecked()) return true;
    return false;
  };
  defaults_.reductionMode = gif::NoReduction;
  for (gif::ReductionMode mode : gif::kPaletteTestOrder)
    if (checked(palette_, mode)) {
      defaults_.reductionMode = mode;
      break;
    }
  for (gif::DitherMode mode : gif::kDitherTestOrder)
    if (checked(dithering_, mode)) {
      defaults_.ditherMode = mode;
      break;
    }
  Guarded(ui_, [&] {
    const gif::GifTrial trial =
        gif::TryGifSettings(imageBitmap_, defaults_, [this](int stage, int percent, const std::string&) {
          progress_->setValue(stage == 2 ? 0 : percent);
          QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        });
    size_->setText(QStringLiteral("Size= %1 bytes").arg(static_cast<qulonglong>(trial.bytes)));
    ShowResult(BitmapToQImage(trial.picture));
  });
  progress_->setValue(0);
  convert_->setEnabled(true);
}

void PainterReduceF::btnsaveClick() {
  const std::optional<SaveDialogChoice> choice = dialogs_.SaveFileName(this, kSaveFilter, 1, std::string());
  if (!choice || choice->path.empty()) return;
  // The dialog's default extension.
  std::string path = choice->path;
  if (ExtractExtension(path).empty()) path += ".gif";
  Guarded(ui_, [&] { gif::SaveOptimizedGif(path, imageBitmap_, defaults_, transparent_->isChecked()); });
}

void PainterReduceF::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  KeepHalves();
}

void PainterReduceF::KeepHalves() {
  leftPane_->setFixedWidth(width() / 2);
}

}  // namespace pixtrel
