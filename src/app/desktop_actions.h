// What the main window does as a desktop program beyond its commands: the
// View menu's zoom with its status bar read-out, the open file's name in the
// caption, File > "Recent &Files", files dropped from the desktop, and Page
// Down / Page Up for the next and previous picture of the file list. The
// main window tells it when a file was opened or saved; it opens files
// through the window's own double-click handler.
#pragma once

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QObject>
#include <QStatusBar>
#include <functional>
#include <string>

#include "workspace/recent_files.h"
#include "workspace/workspace.h"

namespace pixtrel {

class FileBrowser;
class FormIni;
class UserInteraction;
class WorkspaceView;

class DesktopActions : public QObject {
  Q_OBJECT

 public:
  // open: what a double-click on the file does (the main window's
  // filesDblClick). Reads the zoom choice and the recent files from ini.
  DesktopActions(QWidget* window, Workspace& workspace, WorkspaceView* view, FileBrowser* browser,
                 QStatusBar* statusBar, UserInteraction& ui, const FormIni& ini,
                 std::function<void(const QString& path)> open);
  ~DesktopActions() override;

  // "&View": "Zoom &In" Ctrl++ and Ctrl+=, "Zoom &Out" Ctrl+-, "&Actual
  // Size" Ctrl+0, "&Fit to Window" Ctrl+9.
  QMenu* viewMenu;
  QAction* zoomIn;
  QAction* zoomOut;
  QAction* actualSize;
  QAction* fitToWindow;
  // File > "Recent &Files": the last eight files opened, newest first.
  QMenu* recentMenu;
  // The status bar's third panel: the zoom.
  QLabel* zoomPanel;

  // A file became the displayed image: the caption names it, it heads the
  // recent files, and it shows fitted when larger than the view (if that is
  // the choice) or else at 100 %.
  void Opened(const std::string& path);
  // The displayed image was saved as path: the caption names it, unchanged.
  void Saved(const std::string& path);
  // The file the caption names; empty when none was opened.
  const std::string& OpenFile() const { return openFile_; }
  bool Modified() const { return modified_; }
  const RecentFiles& Recent() const { return recent_; }
  // Whether a picture larger than the view opens fitted (the last choice
  // between "&Fit to Window" and "&Actual Size").
  bool FitsLargeImages() const { return fitLarge_; }

  // Opens the next (step 1) or previous (step -1) picture of the file list.
  void OpenNeighbour(int step);
  // Opens the first of the dropped files that exists and is of a kind the
  // file list shows.
  void OpenDropped(const QStringList& paths);

  // The zoom choice and the recent files, in sections of their own.
  void WriteSettings(const FormIni& ini) const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ZoomInClick();
  void ZoomOutClick();
  void ActualSizeClick();
  void FitClick();
  void UpdateCaption();
  void ShowZoom(double zoom);
  void BuildRecentMenu();
  void OpenRecent(const std::string& path);
  // Opens path as a double-click would, with the file list showing it.
  void OpenInBrowser(const QString& path);

  QWidget* window_;
  Workspace& workspace_;
  WorkspaceView* view_;
  FileBrowser* browser_;
  UserInteraction& ui_;
  std::function<void(const QString&)> open_;
  std::function<void()> previousImageChanged_;
  std::string program_;
  std::string openFile_;
  bool modified_ = false;
  bool fitLarge_ = true;
  RecentFiles recent_;
};

}  // namespace pixtrel
