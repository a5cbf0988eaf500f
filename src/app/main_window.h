// The main window "Pixtrel 11": the file browser on the left, the work area
// with the "Image" tab on the right, the status bar, and the commands of the
// File, Options, Tools, Directories and Help menus that are the shell's own
// (open, save as, batch, delete, favourites, help). The workspace commands
// come from EditActions; every message and question goes through the
// interaction layer and every file dialog through AppDialogs.
#pragma once

#include <QAction>
#include <QBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "automation/board.h"
#include "core/interaction.h"
#include "effects/effect_settings.h"
#include "io/session.h"
#include "settings/form_ini.h"
#include "shapes/zep_shape.h"
#include "workspace/selection.h"
#include "workspace/workspace.h"

namespace pixtrel {

class AppDialogs;
class BatchF;
class BrowserPage;
class CompositionActions;
class DesktopActions;
class EditActions;
class FileBrowser;
class FormatOptions;
class IconaLibF;
class QtInteraction;
class ShapeActions;
class SpyF;
class WorkspaceView;

// The open dialog's filter, from the format table.
extern const std::string kOpenFilter;
// The Save As dialog's filter; its types are FilterIndexToExt's indexes.
extern const std::string kSaveFilter;

// Save As's target: the chosen name with the extension of its file name (from
// the last dot) replaced by ext, in upper case; ext is added when the name
// has none.
std::string SaveAsTargetName(const std::string& chosen, const std::string& ext);

// A favourite is "alias=folder": the alias is the text before the first "=",
// the folder the text after it (the whole text when there is none).
std::string FavouriteAlias(const std::string& item);
std::string FavouriteFolder(const std::string& item);

struct ShellOptions {
  // The program file; its folder is the program folder ("batch", "Pixtrel.hlp").
  std::string programPath;
  // The settings and custom-colours files; empty: beside the program, or in
  // the user's configuration folder when the program folder is read-only.
  std::string settingsFile;
  std::string customColorsFile;
  // The interaction layer the window asks through (tests, the answer
  // script); nullptr: its own dialogs.
  UserInteraction* interaction = nullptr;
  // The TWAIN source managers "&Twain Scan..." tries; empty: the program's own, then the system's.
  std::vector<std::string> twainSourceManagers;
};

class PixtrelF : public QMainWindow {
  Q_OBJECT

 public:
  PixtrelF(const ShellOptions& options, AppDialogs& dialogs, QWidget* parent = nullptr);
  ~PixtrelF() override;

  // The commands.
  void Open1Click();
  // File "&Capture...": the snapshot, then the capture frame, modally.
  void Capture1Click();
  void SaveAs1Click();
  void filesDblClick(const QString& path);
  void BatchNow1Click();
  void Delete1Click();
  void RefreshFiles();
  void ViewBatchDirectory();
  void AddToFavourites();
  void FavouriteClick(int position);
  void HelpContents();
  void HelpAbout();
  void HelpOnTheWeb();
  // Tools "&ICON Manager" and Edit "&Append to Icon Library".
  void IconManager1Click();
  void Appendassubicon1Click();

  // The exit sequence: custom colours, "lastDir", "batchDir", the favourites
  // and the placement. Runs once, when the window closes.
  void SaveSettings();

  Workspace& CurrentWorkspace() { return workspace_; }
  Selection& CurrentSelection() { return selection_; }
  FileBrowser* Browser() const { return browser_; }
  EditActions* Edits() const { return edits_.get(); }
  // The overlay, the "PNG" and "Blender" tabs and the GIF optimize window.
  CompositionActions* Compositions() const { return compositions_.get(); }
  // The shape drawn over the workspace, which the PNG tab turns into a mask.
  shapes::ZepShape& CurrentShape() { return shape_; }
  // The shape's widget, pop-up menu, tool bar and commands.
  ShapeActions* Shapes() const { return shapes_.get(); }
  WorkspaceView* View() const { return view_; }
  // Zoom, the caption, recent files, drops, next and previous picture.
  DesktopActions* Desktop() const { return desktop_.get(); }
  // The "Browser" tab with its previews and wizards.
  BrowserPage* WebPage() const { return webPage_; }
  BatchF* BatchWindow() const { return batch_; }
  SpyF* CaptureWindow() const { return spy_; }
  IconaLibF* IconManagerWindow() const { return iconaLib_; }
  QPlainTextEdit* PngMemo() const { return pngmemo_; }
  QTabWidget* Pages() const { return pages_; }
  QMenu* DirectoriesMenu() const { return directoriesMenu_; }
  QAction* GifTransparent() const { return giftrans_; }
  // Options > "Apply EXIF Orientation", "Keep Metadata", "Convert to sRGB".
  FormatOptions* Formats() const { return formatOptions_; }
  QString StatusText(int panel) const;  // panels 0 and 1; 2 is the zoom
  // The run's lasting settings: what every save takes.
  Session& CurrentSession() { return session_; }
  // Where messages and questions go.
  UserInteraction& UI();
  const std::vector<std::string>& Favourites() const { return favourites_; }
  const std::string& ProgramFolderPath() const { return programFolder_; }
  // The manual, "Pixtrel.html" with the program's shipped data.
  std::string ManualPath() const;
  const std::string& SettingsFilePath() const { return settingsFile_; }
  // The menu bar's menus and items by caption (tests and the window's own wiring).
  QMenu* MenuNamed(const QString& caption) const;

  // The drawing object the browser's pages get, and a new one for each other
  // client; all draw on the displayed image and share the turtle.
  automation::Board& CurrentBoard() { return *board_; }
  std::unique_ptr<automation::Board> NewBoard();

  // Where ".icl" files from the file list go: the icon manager opens them
  // and is shown.
  std::function<void(const std::string& path)> openIconLibrary;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildLayout();
  void BuildMenus();
  void LoadPlacement();
  FormPlacement CurrentPlacement() const;
  void AddFavouriteItem(const std::string& item);
  // Runs a command; an error it raises is shown, as the general handler would.
  template <typename F>
  void Guarded(F&& command);
  void ShowPngText();
  void LoadIntoWorkspace(const std::string& path);
  void SetBusy(bool busy);
  int Scaled(int designPixels) const;

  AppDialogs& dialogs_;
  std::string programFolder_;
  std::string settingsFile_;
  std::string customColorsFile_;
  std::string batchDir_;
  std::vector<std::string> favourites_;

  Workspace workspace_;
  Selection selection_;
  fx::EffectSettings effectSettings_;
  Session session_;
  shapes::ZepShape shape_;
  UserInteraction* externalInteraction_ = nullptr;
  automation::Turtle turtle_;
  std::unique_ptr<automation::Board> board_;

  std::unique_ptr<QtInteraction> interaction_;
  FileBrowser* browser_ = nullptr;
  QTabWidget* pages_ = nullptr;
  WorkspaceView* view_ = nullptr;
  QPlainTextEdit* pngmemo_ = nullptr;
  QLabel* status_[2] = {nullptr, nullptr};
  std::unique_ptr<EditActions> edits_;
  std::unique_ptr<CompositionActions> compositions_;
  std::unique_ptr<ShapeActions> shapes_;
  std::unique_ptr<DesktopActions> desktop_;
  QBoxLayout* imageArea_ = nullptr;
  BatchF* batch_ = nullptr;
  SpyF* spy_ = nullptr;
  BrowserPage* webPage_ = nullptr;
  IconaLibF* iconaLib_ = nullptr;
  QMenu* directoriesMenu_ = nullptr;
  QAction* giftrans_ = nullptr;
  FormatOptions* formatOptions_ = nullptr;
  QAction* twainScan_ = nullptr;
  bool busy_ = false;
  bool settingsSaved_ = false;
};

}  // namespace pixtrel
