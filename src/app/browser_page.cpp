#include "app/browser_page.h"

#include <unistd.h>
#include <QCoreApplication>
#include <QFileInfo>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <cstdlib>
#include <optional>

#include "app/app_dialogs.h"
#include "app/commands.h"
#include "app/file_browser.h"
#include "app/guarded.h"
#include "automation/page_bridge.h"
#include "settings/settings_location.h"

namespace pixtrel {

void PrepareWebEngine() {
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  // The engine's sandbox refuses to start under root; only there is it off.
  if (::geteuid() == 0) setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
}

BoardWebPage::BoardWebPage(automation::Board& board, UserInteraction& ui, QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile, parent), board_(board), ui_(ui) {
  QWebEngineScript bridge;
  bridge.setName(QStringLiteral("pixtrel-board"));
  bridge.setSourceCode(QString::fromStdString(automation::BridgeScript()));
  bridge.setInjectionPoint(QWebEngineScript::DocumentCreation);
  bridge.setWorldId(QWebEngineScript::MainWorld);
  bridge.setRunsOnSubFrames(true);
  scripts().insert(bridge);
  settings()->setAttribute(QWebEngineSettings::AutoLoadImages, true);
  settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, true);
}

bool BoardWebPage::javaScriptPrompt(const QUrl&, const QString& msg, const QString& defaultValue, QString* result) {
  if (msg == QLatin1String(automation::kBridgeMarker)) {
    *result = QString::fromStdString(automation::AnswerBridgeCall(board_, defaultValue.toStdString()));
    return true;
  }
  const std::optional<std::string> answer =
      ui_.InputQuery(title().toStdString(), msg.toStdString(), defaultValue.toStdString());
  if (!answer) return false;
  *result = QString::fromStdString(*answer);
  return true;
}

void BoardWebPage::javaScriptAlert(const QUrl&, const QString& msg) { ui_.ShowMessage(msg.toStdString()); }

bool BoardWebPage::javaScriptConfirm(const QUrl&, const QString& msg) { return ui_.Confirm(msg.toStdString()); }

BrowserPage::BrowserPage(const Parts& parts, const std::string& programFolder, QTabWidget* pages, FileBrowser* files,
                         QWidget* window)
    : QObject(window), parts_(parts), pages_(pages), window_(window) {
  folders_.shipped = ShippedDataFolder(programFolder);
  folders_.writable = WritableDataFolder(programFolder);

  // The engine starts when the tab is first shown or a page first asked
  // for: a session that never uses the tab does not start it.
  tab_ = new QWidget;
  tab_->setObjectName(QStringLiteral("BrowserTab"));
  auto* layout = new QVBoxLayout(tab_);
  layout->setContentsMargins(0, 0, 0, 0);
  pages_->insertTab(1, tab_, QStringLiteral("Browser"));
  connect(pages_, &QTabWidget::currentChanged, this, [this](int index) {
    if (pages_->widget(index) == tab_) View();
  });

  previewTiled = NewCommand(this, "preview tiled", "previewtiled1", "F2");
  previewTransparent = NewCommand(this, "preview transparent", "previewtransparent1", "Ctrl+F2");
  // F9 belongs to "Paint Shape", which comes first in the menus; the item
  // only shows the key.
  loadWizard = NewCommand(this, "Load Wizard...\tF9", "LoadWizard1");
  previewInBrowser = NewCommand(this, "Preview in Browser", "PreviewinBrowser1");
  connect(previewTiled, &QAction::triggered, this, &BrowserPage::previewtiled1Click);
  connect(previewTransparent, &QAction::triggered, this, &BrowserPage::previewtransparent1Click);
  connect(loadWizard, &QAction::triggered, this, &BrowserPage::LoadWizard1Click);
  connect(previewInBrowser, &QAction::triggered, this, &BrowserPage::PreviewinBrowser1Click);
  connect(files, &FileBrowser::fileClicked, this, &BrowserPage::FilesClick);
}

QWebEngineView* BrowserPage::View() {
  if (view_) return view_;
  view_ = new QWebEngineView;
  view_->setObjectName(QStringLiteral("browser"));
  auto* profile = new QWebEngineProfile(this);
  // The previews rewrite their files under the same names: nothing is kept.
  profile->setHttpCacheType(QWebEngineProfile::NoCache);
  view_->setPage(new BoardWebPage(parts_.board, parts_.ui, profile, view_));
  tab_->layout()->addWidget(view_);
  return view_;
}

void BrowserPage::ShowPage(const std::string& path) {
  QWebEngineView* view = View();
  const QUrl url = QUrl::fromLocalFile(QFileInfo(QString::fromStdString(path)).absoluteFilePath());
  // The same page again has new files behind it: read them afresh.
  if (url == view->url())
    view->triggerPageAction(QWebEnginePage::ReloadAndBypassCache);
  else
    view->load(url);
  pages_->setCurrentWidget(tab_);
}

void BrowserPage::Preview(const std::function<std::string()>& write) {
  std::string page;
  Guarded(parts_.ui, [&] { page = write(); });
  if (!page.empty()) ShowPage(page);
}

void BrowserPage::previewtiled1Click() {
  Preview([this] { return automation::PreviewTiled(parts_.workspace.Image(), parts_.session.conversion, folders_); });
}

void BrowserPage::previewtransparent1Click() {
  Preview(
      [this] { return automation::PreviewTransparent(parts_.workspace.Image(), parts_.session.conversion, folders_); });
}

void BrowserPage::PreviewinBrowser1Click() {
  Preview([this] { return automation::PreviewPng(parts_.png, parts_.shape, folders_); });
}

void BrowserPage::LoadWizard1Click() {
  const std::optional<std::string> path =
      parts_.dialogs.OpenFileName(window_, automation::kWizardFilter, automation::WizardFolder(folders_));
  if (path) ShowPage(*path);
}

void BrowserPage::FilesClick(const QString& path) {
  if (pages_->currentWidget() != tab_) return;
  if (automation::ShowsInBrowser(path.toStdString())) ShowPage(path.toStdString());
}

}  // namespace pixtrel
