#include "app/overlay_actions.h"

#include <QSignalBlocker>

#include "app/app_dialogs.h"
#include "app/blender_page.h"
#include "app/commands.h"
#include "app/file_browser.h"
#include "app/gif_optimize_window.h"
#include "app/guarded.h"
#include "app/overlay_view.h"
#include "app/png_page.h"
#include "app/workspace_view.h"
#include "io/formats.h"

namespace pixtrel {

namespace {}  // namespace

CompositionActions::CompositionActions(Workspace& workspace, shapes::ZepShape& shape, Session& session,
                                       UserInteraction& ui, AppDialogs& dialogs, WorkspaceView* view,
                                       FileBrowser* browser, QTabWidget* pages, QWidget* window)
    : QObject(window),
      workspace_(workspace),
      shape_(shape),
      session_(session),
      ui_(ui),
      dialogs_(dialogs),
      view_(view),
      browser_(browser),
      pages_(pages),
      window_(window) {
  openOverlay = NewCommand(this, "O&verlay...", "Overlay1");
  listOverlay = NewCommand(this, "&Overlay", "Overlay2");
  paintOverlay = NewCommand(this, "Paint &Overlay", "PaintOverlay1", "Shift+F9");
  viewOverlay = NewCommand(this, "View &Overlay", "ViewOverlay1", "F4");
  viewOverlay->setCheckable(true);
  gifOptimize = NewCommand(this, "&GIF optimize", "GIF1");
  pngTransparency = NewCommand(this, "&PNG Transparency", "PNGTransparency1");
  popupPaint = NewCommand(this, "&Paint", "Paint1");
  popupGlue = NewCommand(this, "&Glue", "Glue1");
  popupSwap = NewCommand(this, "&Swap", "Swap1");
  popupInvert = NewCommand(this, "&Invert", "Invert1");

  overlayView_ = new OverlayView(overlay_, *view_);
  overlayView_->PopupMenu()->addActions({popupPaint, popupGlue, popupSwap, popupInvert});
  overlay_.changed = [this] { OverlayChanged(); };

  pngPage_ = new PngPage(png_, shape_, ui_, dialogs_);
  pngPage_->startFolder = [this] { return browser_->Folder().toStdString(); };
  blenderPage_ = new BlenderPage(workspace_, overlay_, ui_);
  pages_->addTab(pngPage_, QStringLiteral("PNG"));
  pages_->addTab(blenderPage_, QStringLiteral("Blender"));
  connect(pages_, &QTabWidget::currentChanged, this, &CompositionActions::TabChosen);
  connect(blenderPage_, &BlenderPage::usedPreview, this, [this] { ShowTab(pages_->widget(0)); });

  gifWindow_ = new PainterReduceF(session.conversion.gifDefaults, ui_, dialogs_, window_);

  connect(openOverlay, &QAction::triggered, this, [this] {
    const std::optional<std::string> path =
        dialogs_.OpenFileName(window_, OpenDialogFilter(), browser_->Folder().toStdString());
    if (path) LoadOverlayFile(*path);
  });
  connect(listOverlay, &QAction::triggered, this, [this] {
    const QStringList names = browser_->SelectedNames();
    if (!names.isEmpty()) LoadOverlayFile(browser_->PathOf(names.front()).toStdString());
  });
  connect(viewOverlay, &QAction::toggled, this, [this](bool checked) { overlay_.SetVisible(checked); });
  const auto paint = [this] { Guarded(ui_, [&] { PaintOverlay(workspace_, overlay_); }); };
  connect(paintOverlay, &QAction::triggered, this, paint);
  connect(popupPaint, &QAction::triggered, this, paint);
  connect(popupGlue, &QAction::triggered, this, [this] { Guarded(ui_, [&] { GlueOverlay(workspace_, overlay_); }); });
  connect(popupSwap, &QAction::triggered, this, [this] { Guarded(ui_, [&] { SwapOverlay(workspace_, overlay_); }); });
  connect(popupInvert, &QAction::triggered, this, [this] { Guarded(ui_, [&] { InvertOverlay(overlay_); }); });
  connect(pngTransparency, &QAction::triggered, this, [this] {
    png_.Enter(workspace_.Image());
    pngPage_->ShowBase();
    ShowTab(pngPage_);
  });
  connect(gifOptimize, &QAction::triggered, this, [this] {
    // The picture becomes 24 bits in place, without a snapshot.
    workspace_.Image().SetPixelFormat(pf24bit);
    view_->Refresh();
    gifWindow_->ShowPicture(workspace_.Image());
  });
}

CompositionActions::~CompositionActions() {
  // The pages and views refer to the overlay and the PNG state held here.
  overlay_.changed = nullptr;
  pages_->disconnect(this);
  delete overlayView_;
  delete blenderPage_;
  delete pngPage_;
  delete gifWindow_;
}

void CompositionActions::LoadOverlayFile(const std::string& path) {
  Guarded(ui_, [&] { LoadOverlay(path, overlay_, ui_, session_.maxPixels); });
}

void CompositionActions::OverlayChanged() {
  {
    const QSignalBlocker block(viewOverlay);
    viewOverlay->setChecked(overlay_.Visible());
  }
  overlayView_->Refresh();
}

void CompositionActions::ShowTab(QWidget* page) {
  commandSwitch_ = true;
  pages_->setCurrentWidget(page);
  commandSwitch_ = false;
}

void CompositionActions::TabChosen(int index) {
  if (commandSwitch_) return;
  QWidget* page = pages_->widget(index);
  if (page == pngPage_) {
    png_.Enter(workspace_.Image());
    pngPage_->Compose();
  } else if (page == blenderPage_) {
    blenderPage_->Recompute();
  }
}

}  // namespace pixtrel
