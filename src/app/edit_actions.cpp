#include "app/edit_actions.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <exception>
#include <string_view>

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

// One item of the Effects menu: the effect command it runs, its caption,
// the name of its handler and its shortcut.
struct EffectItem {
  const char* submenu;  // nullptr: directly in "&Effects"
  const char* command;
  const char* caption;
  const char* handler;
  const char* shortcut;  // nullptr: none
};

constexpr EffectItem kEffectItems[] = {
    {nullptr, "lighter", "Lighter", "Lighter1", "F5"},
    {nullptr, "darker", "Darker", "Darker1", "F6"},
    {nullptr, "contrast", "Contrast", "Contrast1", "F7"},
    {nullptr, "saturation", "Saturation", "Saturation1", "F8"},
    {"Colorize", "posterize", "&Posterize", "Posterize1", nullptr},
    {"Colorize", "solarize", "&Solarize", "Solarize1", nullptr},
    {"Colorize", "invert", "&Invert", "Invert1", nullptr},
    {"Colorize", "grayscale", "&Grayscale", "Grayscale1", nullptr},
    {"Focus", "anti-alias", "&Anti Alias", "AntiAlias1", nullptr},
    {"Focus", "blur", "&Blur", "Blur1", nullptr},
    {"Focus", "gaussian-blur", "&Gaussian Blur", "GaussianBlur1", nullptr},
    {"Focus", "sharpen", "S&harpen", "Sharpen1", nullptr},
    {"Focus", "soften", "&Soften", "soften1", nullptr},
    {"Focus", "soften-less", "Soften &Less", "SoftenLess1", nullptr},
    {"Edge", "color-emboss", "&Color Emboss", "ColorEmboss1", nullptr},
    {"Edge", "edge-enhance", "&Edge Enhance", "EdgeEnhance1", nullptr},
    {"Edge", "emboss", "Emboss", "Emboss1", nullptr},
    {"Edge", "find-edges", "&Find Edges", "FindEdges1", nullptr},
    {"Edge", "highpass", "&Highpass", "Highpass1", nullptr},
    {"Edge", "laplace", "&Laplace", "Laplace1", nullptr},
    {"Edge", "trace", "&Trace", "Trace1", nullptr},
    {"Flip", "flip-down", "&Down", "Down1", nullptr},
    {"Flip", "flip-right", "&Right", "Right1", nullptr},
    {"Mirror", "mirror-right", "&Right", "Right2", nullptr},
    {"Mirror", "mirror-down", "&Down", "Down2", nullptr},
    {"Distortions", "fisheye", "&Fisheye", "Fisheye1", nullptr},
    {"Distortions", "mosaic", "Mosaic", "Mosaic1", nullptr},
    {"Distortions", "twist", "&Twist", "Twist1", nullptr},
    {"Distortions", "wipe", "&Whipe", "Triangles1", nullptr},
    {"Shadow", "shadow-up-right", "Up right", "Upright1", nullptr},
    {"Shadow", "shadow-up-left", "Up left", "Upleft1", nullptr},
    {"Shadow", "shadow-down-left", "Down left", "Downleft1", nullptr},
    {"Shadow", "shadow-down-right", "Down right", "Downright1", nullptr},
    {nullptr, "seamless", "Seamless", "Seamless1", nullptr},
    {"Buttonize", "buttonize-rectangle", "Rectangle", "Buttonize1", nullptr},
    {"Buttonize", "buttonize-oval", "Oval", "Oval1", nullptr},
    {"Buttonize", "buttonize-oval-masked", "Oval Masked", "ButonizeOval1", nullptr},
    {"Buttonize", "buttonize-oval-rimmed", "Oval Rimmed", "Ovalrimmed1", nullptr},
    {"Buttonize", "buttonize-oval-rimmed-masked", "Oval Rimmed masked", "ButtonizeOvalRimmed1", nullptr},
    {"Buttonize", "buttonize-oval-frame", "Oval Frame", "OvalDouble1", nullptr},
    {nullptr, "mask-oval", "Mask Oval", "MaskOval1", nullptr},
};

// The handler names of the Effect Settings prompts, in the rules' order.
constexpr const char* kSettingHandlers[] = {"ButtonizeDepth1", "Buttonizeweight1", "FisheyeDepth1",
                                            "GaussianDepth1",  "MosaicSize1",      "PosterizeDepth1",
                                            "SeamlessDepth1",  "SolarizeDepth1",   "TwistDepth1"};

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

EditActions::EditActions(Workspace& workspace, Selection& selection, fx::EffectSettings& settings, WorkspaceView* view,
                         QWidget* window)
    : QObject(window),
      workspace_(workspace),
      selection_(selection),
      settings_(settings),
      view_(view),
      window_(window),
      jpegWindow_(new JpegPreviewWindow(workspace, window)),
      resizeWindow_(new ImageResizeWindow(window)) {
  const auto make = [this](const char* caption, const char* handler, const char* shortcut, std::function<void()> run) {
    auto* action = new QAction(QString::fromUtf8(caption), this);
    action->setObjectName(handler);
    if (shortcut) action->setShortcut(QKeySequence(QString::fromUtf8(shortcut)));
    connect(action, &QAction::triggered, this, [this, run = std::move(run)] {
      Guarded(run);
      Edited();
    });
    return action;
  };

  newImage = make("&New...", "New1", nullptr, [this] { NewImage(workspace_); });
  undo = make("&Undo last", "Undolast1", "Ctrl+Z", [this] { workspace_.Undo(); });
  undo->setEnabled(workspace_.UndoEnabled());
  resizeImage = make("Resize &Image...", "ResizeImage1", nullptr, [this] { OnResize(); });
  makeSquare = make("Make &Square", "MakeSquare1", nullptr, [this] { workspace_.MakeSquare(); });
  crop = make("&Crop to Selection", "CroptoSelection1", nullptr, [this] { CropToSelection(workspace_, selection_); });
  turn = make("&Turn", "Turn1", "Ctrl+T", [this] { workspace_.Turn(); });
  copyToClipboard = make("Copy to Clipboard", "CopytoClipboard1", nullptr, [this] { OnCopyToClipboard(); });
  copySelection =
      make("Copy Selection to Clipboard", "CopySelectiontoClipboard1", nullptr, [this] { OnCopySelection(); });
  paste = make("Paste from Clipboard", "PastefromClipboard1", nullptr, [this] { OnPaste(); });
  showImageInfo = make("Show Image Info", "ShowImageInfo1", "Ctrl+I",
                       [this] { Interaction().ShowMessage(ImageInfoText(workspace_.Image())); });

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

  effects = new QMenu("&Effects", window_);
  effects->setObjectName("Effects1");
  QMenu* current = nullptr;
  const char* currentName = nullptr;
  for (const EffectItem& item : kEffectItems) {
    const EffectCommand* command = FindEffectCommand(item.command);
    if (!command) continue;
    QAction* action = make(item.caption, item.handler, item.shortcut,
                           [this, command] { RunEffectCommand(workspace_, settings_, *command); });
    if (!item.submenu) {
      effects->addAction(action);
      current = nullptr;
      currentName = nullptr;
      continue;
    }
    if (!current || std::string_view(currentName) != item.submenu) {
      current = effects->addMenu(QString::fromUtf8(item.submenu));
      current->setObjectName(QString::fromUtf8(item.submenu) + "1");
      currentName = item.submenu;
    }
    current->addAction(action);
  }

  effectSettings = new QMenu("Effect Settings", window_);
  effectSettings->setObjectName("EffectSettings1");
  const auto rules = fx::EffectSettingRules();
  for (std::size_t i = 0; i < rules.size(); ++i) {
    const fx::EffectSettingRule* rule = &rules[i];
    const char* handler = i < std::size(kSettingHandlers) ? kSettingHandlers[i] : rule->name;
    effectSettings->addAction(
        make(rule->caption, handler, nullptr, [this, rule] { fx::EditEffectSetting(settings_, *rule); }));
  }
  if (const EffectCommand* maskColor = FindEffectCommand("mask-oval-color")) {
    effectSettings->addAction(make("Mask Oval color...", "MaskOvalcolor1", nullptr,
                                   [this, maskColor] { RunEffectCommand(workspace_, settings_, *maskColor); }));
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
