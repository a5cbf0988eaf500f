#include "app/edit_actions.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <exception>

#include "app/guarded.h"
#include "app/image_resize_window.h"
#include "app/jpeg_preview_window.h"
#include "app/workspace_view.h"
#include "core/interaction.h"
#include "core/qimage_bitmap.h"
#include "icons/qx_icon.h"
#include "workspace/editing.h"
#include "workspace/effect_commands.h"
#include "workspace/image_info.h"

namespace pixtrel {

namespace {

// An icon's colour bitmap and AND mask as one image with alpha: the mask's
// white pixels are transparent.
QImage IconImage(const icons::MaskedIcon& icon) {
  QImage image(icon.color.Width(), icon.color.Height(), QImage::Format_ARGB32);
  for (int y = 0; y < image.height(); ++y) {
    QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      const Color c = icon.color.Pixel(x, y);
      const bool transparent = (icon.mask.Pixel(x, y) & 0xFFFFFF) == clWhite;
      row[x] = qRgba(GetRValue(c), GetGValue(c), GetBValue(c), transparent ? 0 : 255);
    }
  }
  return image;
}

}  // namespace

EditActions::EditActions(Workspace& workspace, Selection& selection, fx::EffectSettings& settings, UserInteraction& ui,
                         WorkspaceView* view, QWidget* window)
    : QObject(window),
      workspace_(workspace),
      selection_(selection),
      settings_(settings),
      ui_(ui),
      view_(view),
      window_(window),
      jpegWindow_(new JpegPreviewWindow(workspace, ui, window)),
      resizeWindow_(new ImageResizeWindow(window)) {
  const auto make = [this](const char* caption, const char* handler, const char* shortcut, std::function<void()> run) {
    auto* action = new QAction(QString::fromUtf8(caption), this);
    action->setObjectName(handler);
    if (shortcut) action->setShortcut(QKeySequence(QString::fromUtf8(shortcut)));
    connect(action, &QAction::triggered, this, [this, run = std::move(run)] {
      Guarded(ui_, run);
      Edited();
    });
    return action;
  };

  newImage = make("&New...", "New1", nullptr, [this] { NewImage(workspace_, ui_); });
  undo = make("&Undo last", "Undolast1", "Ctrl+Z", [this] { workspace_.Undo(); });
  undo->setEnabled(workspace_.UndoEnabled());
  resizeImage = make("Resize &Image...", "ResizeImage1", nullptr, [this] { OnResize(); });
  makeSquare = make("Make &Square", "MakeSquare1", nullptr, [this] { workspace_.MakeSquare(); });
  crop =
      make("&Crop to Selection", "CroptoSelection1", nullptr, [this] { CropToSelection(workspace_, selection_, ui_); });
  turn = make("&Turn", "Turn1", "Ctrl+T", [this] { workspace_.Turn(); });
  copyToClipboard = make("Copy to Clipboard", "CopytoClipboard1", nullptr, [this] { OnCopyToClipboard(); });
  copySelection =
      make("Copy Selection to Clipboard", "CopySelectiontoClipboard1", nullptr, [this] { OnCopySelection(); });
  paste = make("Paste from Clipboard", "PastefromClipboard1", nullptr, [this] { OnPaste(); });
  showImageInfo = make("Show Image Info", "ShowImageInfo1", "Ctrl+I",
                       [this] { ui_.ShowMessage(ImageInfoText(workspace_.Image())); });

  colorDepth = new QMenu("&Color Depth", window_);
  colorDepth->setObjectName("ColorDepth1");
  const struct {
    const char* caption;
    const char* handler;
    ColorDepth depth;
  } depths[] = {{"&4 bits/pixel", "N4bitspixel1", ColorDepth::Bits4},
                {"&8 bits/pixel", "N8bitspixel1", ColorDepth::Bits8},
                {"&16 bits/pixel", "N16bitspixel1", ColorDepth::Bits16},
                {"&24 bits/pixel", "N24bitspixel1", ColorDepth::Bits24}};
  for (const auto& d : depths) {
    const ColorDepth depth = d.depth;
    colorDepth->addAction(make(d.caption, d.handler, nullptr, [this, depth] { SetColorDepth(workspace_, depth); }));
  }

  selectNone = make("Select &None", "SelectNone1", "Ctrl+D", [this] { selection_.Clear(); });
  select16 = make("&1  16x16", "N16x161", nullptr, [this] { selection_.SetSquareSize(16); });
  select32 = make("&2  32x32", "N32x321", nullptr, [this] { selection_.SetSquareSize(32); });
  select64 = make("&3  64x64", "N64x641", nullptr, [this] { selection_.SetSquareSize(64); });
  selectAll = make("&4 All", "All1", nullptr, [this] { selection_.SelectAll(workspace_.Image()); });
  viewAsIcon = make("View as Icon", "ViewasIcon1", nullptr, [this] { OnViewAsIcon(); });

  jpgOptimize = make("&JPG optimize", "png1", nullptr, [this] { jpegWindow_->ShowAndCompose(); });

  // The Effects and Effect Settings menus, both made from the command table.
  effects = new QMenu("&Effects", window_);
  effects->setObjectName("Effects1");
  effectSettings = new QMenu("Effect Settings", window_);
  effectSettings->setObjectName("EffectSettings1");
  for (const fx::EffectSettingRule& rule : fx::EffectSettingRules())
    effectSettings->addAction(
        make(rule.caption, rule.handler, nullptr, [this, &rule] { fx::EditEffectSetting(settings_, rule, ui_); }));
  QMenu* submenu = nullptr;
  for (const EffectCommand& command : EffectCommands()) {
    if (command.menu == EffectMenu::Elsewhere) continue;
    QAction* action = make(command.caption, command.handler, command.shortcut,
                           [this, &command] { RunEffectCommand(workspace_, settings_, command, ui_); });
    if (command.menu == EffectMenu::EffectSettings) {
      effectSettings->addAction(action);
    } else if (!command.submenu) {
      effects->addAction(action);
      submenu = nullptr;
    } else {
      // The table keeps a submenu's items together.
      if (!submenu || submenu->title() != QString::fromUtf8(command.submenu)) {
        submenu = effects->addMenu(QString::fromUtf8(command.submenu));
        submenu->setObjectName(QString::fromUtf8(command.submenu) + "1");
      }
      submenu->addAction(action);
    }
  }

  askResize = [this](int width, int height) { return resizeWindow_->Ask(width, height); };
  // Snapshots taken elsewhere (capture, scripts) enable "&Undo last" as well.
  if (view_) connect(view_, &WorkspaceView::refreshed, this, [this] { undo->setEnabled(workspace_.UndoEnabled()); });
}

EditActions::~EditActions() = default;

// The view repaints from the workspace's change notice; only the state of
// "&Undo last" is left to follow.
void EditActions::Edited() { undo->setEnabled(workspace_.UndoEnabled()); }

void EditActions::OnResize() {
  if (!askResize) return;
  const std::optional<QSize> size = askResize(workspace_.Image().Width(), workspace_.Image().Height());
  if (size) ResizeTo(workspace_, size->width(), size->height());
}

void EditActions::OnCopyToClipboard() {
  const QImage image = BitmapToQImage(workspace_.Image());
  if (!image.isNull()) QGuiApplication::clipboard()->setImage(image);
}

void EditActions::OnCopySelection() {
  const std::optional<Bitmap> part = CopySelection(workspace_.Image(), selection_);
  if (part) QGuiApplication::clipboard()->setImage(BitmapToQImage(*part));
}

void EditActions::OnPaste() {
  const QImage image = QGuiApplication::clipboard()->image();
  if (image.isNull()) return;
  PasteImage(workspace_, QImageToBitmap(image));
}

void EditActions::OnViewAsIcon() {
  const std::optional<Bitmap> part = IconSelection(workspace_.Image(), selection_);
  if (!part) return;
  const icons::QxIcon qxIcon;
  const QIcon icon(QPixmap::fromImage(IconImage(qxIcon.CreateIconFromGraphic(*part))));
  QApplication::setWindowIcon(icon);
  if (window_) window_->window()->setWindowIcon(icon);
}

}  // namespace pixtrel
