// The "Browser" tab: a web view whose pages get the window's drawing object
// as window.external, the previews of the workspace image shown in it, the
// wizard pages it opens, and the file list's single click, which shows some
// image files there while the tab is in front.
#pragma once

#include <QAction>
#include <QObject>
#include <QTabWidget>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <functional>
#include <string>

#include "automation/board.h"
#include "automation/browser_previews.h"
#include "core/interaction.h"
#include "io/session.h"
#include "shapes/zep_shape.h"
#include "workspace/png_transparency.h"
#include "workspace/workspace.h"

namespace pixtrel {

class AppDialogs;
class FileBrowser;

// What the engine needs before the application object exists: contexts
// shared with the GUI, and its sandbox off when the process runs as root,
// where the engine cannot start with it. Users keep the sandbox.
void PrepareWebEngine();

// A page whose prompts marked as calls of the drawing interface are answered
// by the board; the page's own alerts, questions and prompts go through the
// interaction layer like every other message of the program.
class BoardWebPage : public QWebEnginePage {
  Q_OBJECT

 public:
  // The profile must outlive the page.
  BoardWebPage(automation::Board& board, UserInteraction& ui, QWebEngineProfile* profile, QObject* parent = nullptr);

 protected:
  bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg, const QString& defaultValue,
                        QString* result) override;
  void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
  bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;

 private:
  automation::Board& board_;
  UserInteraction& ui_;
};

class BrowserPage : public QObject {
  Q_OBJECT

 public:
  struct Parts {
    automation::Board& board;
    Workspace& workspace;
    Session& session;
    PngTransparency& png;
    shapes::ZepShape& shape;
    UserInteraction& ui;
    AppDialogs& dialogs;
  };
  // Adds the "Browser" tab to pages after "Image"; the file list's single
  // click is followed from files.
  BrowserPage(const Parts& parts, const std::string& programFolder, QTabWidget* pages, FileBrowser* files,
              QWidget* window);

  QAction* previewTiled;        // Tools: "preview tiled" F2
  QAction* previewTransparent;  // Tools: "preview transparent" Ctrl+F2
  QAction* loadWizard;          // Tools: "Load Wizard..." (F9 shown, the key is "Paint Shape"'s)
  QAction* previewInBrowser;    // the PNG preview's pop-up menu: "Preview in Browser"

  // Navigates to the file and brings the tab to the front.
  void ShowPage(const std::string& path);

  // The commands.
  void previewtiled1Click();
  void previewtransparent1Click();
  void PreviewinBrowser1Click();
  void LoadWizard1Click();
  void FilesClick(const QString& path);

  // The tab, and the web view in it, made (and the engine started) at the
  // first call.
  QWidget* Tab() const { return tab_; }
  QWebEngineView* View();
  const automation::PreviewFolders& Folders() const { return folders_; }

 private:
  // Runs a preview; the page is shown only when every file was written.
  void Preview(const std::function<std::string()>& write);

  Parts parts_;
  automation::PreviewFolders folders_;
  QTabWidget* pages_;
  QWidget* window_;
  QWidget* tab_;
  QWebEngineView* view_ = nullptr;
};

}  // namespace pixtrel
