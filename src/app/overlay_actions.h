// The overlay, the "Blender" and "PNG" tabs and the GIF optimize window, as
// the actions, pages and windows the main window places: the overlay's
// commands and its view over the workspace, "View &Overlay" kept in step
// with the overlay's visibility, and the tabs' previews refreshed when the
// user (not a command) brings a tab to the front.
#pragma once

#include <QAction>
#include <QObject>
#include <QTabWidget>

#include "core/interaction.h"
#include "gif/color_reduction.h"
#include "io/session.h"
#include "shapes/zep_shape.h"
#include "workspace/overlay.h"
#include "workspace/png_transparency.h"
#include "workspace/workspace.h"

namespace pixtrel {

class AppDialogs;
class BlenderPage;
class FileBrowser;
class OverlayView;
class PainterReduceF;
class PngPage;
class WorkspaceView;

class CompositionActions : public QObject {
  Q_OBJECT

 public:
  // The "PNG" and "Blender" tabs are added to pages; the GIF optimize window
  // is created here, hidden, and writes into the session's GIF defaults.
  CompositionActions(Workspace& workspace, shapes::ZepShape& shape, Session& session, UserInteraction& ui,
                     AppDialogs& dialogs, WorkspaceView* view, FileBrowser* browser, QTabWidget* pages,
                     QWidget* window);
  ~CompositionActions() override;

  QAction* openOverlay;      // File: "O&verlay..."
  QAction* listOverlay;      // file list pop-up: "&Overlay"
  QAction* paintOverlay;     // Edit: "Paint &Overlay" Shift+F9
  QAction* viewOverlay;      // Options: "View &Overlay" F4, checked while the overlay shows
  QAction* gifOptimize;      // Tools: "&GIF optimize"
  QAction* pngTransparency;  // Tools: "&PNG Transparency"
  // The overlay's pop-up menu.
  QAction* popupPaint;   // "&Paint"
  QAction* popupGlue;    // "&Glue"
  QAction* popupSwap;    // "&Swap"
  QAction* popupInvert;  // "&Invert"

  Overlay& CurrentOverlay() { return overlay_; }
  PngTransparency& PngState() { return png_; }
  OverlayView* OverlayWidget() const { return overlayView_; }
  BlenderPage* Blender() const { return blenderPage_; }
  PngPage* Png() const { return pngPage_; }
  PainterReduceF* GifWindow() const { return gifWindow_; }

  // Loads a file as the overlay and shows it (the File and file list items).
  void LoadOverlayFile(const std::string& path);

 private:
  void OverlayChanged();
  // Brings a tab to the front as a command does: its preview stays.
  void ShowTab(QWidget* page);
  void TabChosen(int index);

  Workspace& workspace_;
  shapes::ZepShape& shape_;
  Session& session_;  // the GIF defaults and the pixel limit
  UserInteraction& ui_;
  AppDialogs& dialogs_;
  WorkspaceView* view_;
  FileBrowser* browser_;
  QTabWidget* pages_;
  QWidget* window_;
  Overlay overlay_;
  PngTransparency png_;
  OverlayView* overlayView_;
  BlenderPage* blenderPage_;
  PngPage* pngPage_;
  PainterReduceF* gifWindow_;
  bool commandSwitch_ = false;
};

}  // namespace pixtrel
