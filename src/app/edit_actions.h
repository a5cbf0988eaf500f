// The commands of the Edit, Options, Effects, Selection and Tools menus that
// work on the workspace, as actions and menus the main window places: every
// command runs the workspace logic and refreshes the view.
#pragma once

#include <QAction>
#include <QMenu>
#include <QObject>
#include <QSize>
#include <functional>
#include <optional>

#include "effects/effect_settings.h"
#include "workspace/selection.h"
#include "workspace/workspace.h"

namespace pixtrel {

class UserInteraction;
class WorkspaceView;
class JpegPreviewWindow;
class ImageResizeWindow;

class EditActions : public QObject {
  Q_OBJECT

 public:
  // Every question and message of the commands goes to ui.
  EditActions(Workspace& workspace, Selection& selection, fx::EffectSettings& settings, UserInteraction& ui,
              WorkspaceView* view, QWidget* window);
  ~EditActions() override;

  // File, Edit and Options.
  QAction* newImage;         // "&New..."
  QAction* undo;             // "&Undo last" Ctrl+Z, disabled until the first snapshot
  QAction* resizeImage;      // "Resize &Image..."
  QAction* makeSquare;       // "Make &Square"
  QAction* crop;             // "&Crop to Selection"
  QAction* turn;             // "&Turn" Ctrl+T
  QAction* copyToClipboard;  // "Copy to Clipboard"
  QAction* copySelection;    // "Copy Selection to Clipboard"
  QAction* paste;            // "Paste from Clipboard"
  QAction* showImageInfo;    // "Show Image Info" Ctrl+I
  QMenu* colorDepth;         // "&Color Depth": "&4 bits/pixel" .. "&24 bits/pixel"

  // Selection.
  QAction* selectNone;  // "Select &None" Ctrl+D
  QAction* select16;    // "&1  16x16"
  QAction* select32;    // "&2  32x32"
  QAction* select64;    // "&3  64x64"
  QAction* selectAll;   // "&4 All"
  QAction* viewAsIcon;  // "View as Icon"

  // Effects and Tools.
  QMenu* effects;         // "&Effects"
  QMenu* effectSettings;  // "Effect Settings": the nine prompts and "Mask Oval color..."
  QAction* jpgOptimize;   // "&JPG optimize"

  // "Resize &Image..." asks here for the new size; nothing means cancelled.
  // Defaults to the "Image Resize" window; tests replace it.
  std::function<std::optional<QSize>(int width, int height)> askResize;

  JpegPreviewWindow* JpegWindow() const { return jpegWindow_; }
  ImageResizeWindow* ResizeWindow() const { return resizeWindow_; }

 private:
  void Edited();
  void OnResize();
  void OnCopyToClipboard();
  void OnCopySelection();
  void OnPaste();
  void OnViewAsIcon();

  Workspace& workspace_;
  Selection& selection_;
  fx::EffectSettings& settings_;
  UserInteraction& ui_;
  WorkspaceView* view_;
  QWidget* window_;
  JpegPreviewWindow* jpegWindow_;
  ImageResizeWindow* resizeWindow_;
};

}  // namespace pixtrel
