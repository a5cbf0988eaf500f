#include "app/desktop_actions.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>
#include <vector>

#include "app/commands.h"
#include "app/file_browser.h"
#include "app/workspace_view.h"
#include "core/interaction.h"
#include "settings/form_ini.h"
#include "workspace/zoom.h"

namespace pixtrel {

namespace {

constexpr char kViewSection[] = "View";
constexpr char kFitKey[] = "FitLargeImages";
constexpr char kRecentSection[] = "Recent Files";

QString Q(const std::string& text) { return QString::fromStdString(text); }

// The pictures of the file list: every entry but the icon libraries, which
// open in the icon manager.
bool IsPicture(const std::string& name) {
  return QFileInfo(Q(name)).suffix().compare(QStringLiteral("icl"), Qt::CaseInsensitive) != 0;
}

// The local files a drag carries, in order.
QStringList DraggedFiles(const QMimeData* data) {
  QStringList files;
  if (!data || !data->hasUrls()) return files;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) files << url.toLocalFile();
  return files;
}

}  // namespace

DesktopActions::DesktopActions(QWidget* window, Workspace& workspace, WorkspaceView* view, FileBrowser* browser,
                               QStatusBar* statusBar, UserInteraction& ui, const FormIni& ini,
                               std::function<void(const QString& path)> open)
    : QObject(window),
      window_(window),
      workspace_(workspace),
      view_(view),
      browser_(browser),
      ui_(ui),
      open_(std::move(open)) {
  // The View menu.
  viewMenu = new QMenu(QStringLiteral("&View"), window);
  viewMenu->setObjectName(QStringLiteral("View1"));
  zoomIn = AddCommand(viewMenu, this, "Zoom &In", "ZoomIn1", "Ctrl++", &DesktopActions::ZoomInClick);
  zoomIn->setShortcuts({QKeySequence(QStringLiteral("Ctrl++")), QKeySequence(QStringLiteral("Ctrl+="))});
  zoomOut = AddCommand(viewMenu, this, "Zoom &Out", "ZoomOut1", "Ctrl+-", &DesktopActions::ZoomOutClick);
  viewMenu->addSeparator();
  actualSize = AddCommand(viewMenu, this, "&Actual Size", "ActualSize1", "Ctrl+0", &DesktopActions::ActualSizeClick);
  fitToWindow = AddCommand(viewMenu, this, "&Fit to Window", "FittoWindow1", "Ctrl+9", &DesktopActions::FitClick);

  recentMenu = new QMenu(QStringLiteral("Recent &Files"), window);
  recentMenu->setObjectName(QStringLiteral("RecentFiles1"));
  connect(recentMenu, &QMenu::aboutToShow, this, &DesktopActions::BuildRecentMenu);

  zoomPanel = new QLabel;
  zoomPanel->setObjectName(QStringLiteral("panel2"));
  zoomPanel->setFrameShape(QFrame::Panel);
  zoomPanel->setFrameShadow(QFrame::Sunken);
  zoomPanel->setMinimumWidth(zoomPanel->fontMetrics().horizontalAdvance(QStringLiteral("8888.8 %")) + 8);
  statusBar->addWidget(zoomPanel);
  connect(view_, &WorkspaceView::zoomChanged, this, &DesktopActions::ShowZoom);
  ShowZoom(view_->Zoom());

  // The caption: the program's, then the file's name once one is open, with
  // a mark once an edit changed it.
  program_ = window_->windowTitle().toStdString();
  previousImageChanged_ = workspace_.imageChanged;
  workspace_.imageChanged = [this] {
    if (previousImageChanged_) previousImageChanged_();
    if (!openFile_.empty() && !modified_) {
      modified_ = true;
      UpdateCaption();
    }
  };

  // Files from the desktop, dropped anywhere on the window; the workspace's
  // own area takes them before the icon manager's entries are considered.
  window_->setAcceptDrops(true);
  window_->installEventFilter(this);
  view_->viewport()->setAcceptDrops(true);
  view_->viewport()->installEventFilter(this);
  // Page Down and Page Up on the focused workspace.
  view_->installEventFilter(this);

  std::string fit = "1";
  ini.ReadSetting(kViewSection, kFitKey, fit);
  fitLarge_ = fit != "0";
  std::vector<std::string> files;
  for (std::size_t index = 0; index < RecentFiles::kMaxFiles; ++index) {
    std::string file;
    ini.ReadSetting(kRecentSection, RecentFiles::Key(index), file);
    files.push_back(file);
  }
  recent_.SetFiles(files);
}

DesktopActions::~DesktopActions() { workspace_.imageChanged = previousImageChanged_; }

void DesktopActions::ZoomInClick() { view_->ZoomIn(); }
void DesktopActions::ZoomOutClick() { view_->ZoomOut(); }

void DesktopActions::ActualSizeClick() {
  fitLarge_ = false;
  view_->SetZoom(1.0);
}

void DesktopActions::FitClick() {
  fitLarge_ = true;
  view_->FitToWindow();
}

void DesktopActions::ShowZoom(double zoom) { zoomPanel->setText(Q(ZoomText(zoom))); }

void DesktopActions::UpdateCaption() { window_->setWindowTitle(Q(WindowCaption(program_, openFile_, modified_))); }

void DesktopActions::Opened(const std::string& path) {
  openFile_ = path;
  modified_ = false;
  UpdateCaption();
  recent_.Add(path);
  if (fitLarge_ && view_->ImageLargerThanView())
    view_->FitToWindow(false);
  else
    view_->SetZoom(1.0, QPoint(0, 0));
}

void DesktopActions::Saved(const std::string& path) {
  openFile_ = path;
  modified_ = false;
  UpdateCaption();
}

void DesktopActions::BuildRecentMenu() {
  recentMenu->clear();
  const std::vector<std::string>& files = recent_.Files();
  for (std::size_t index = 0; index < files.size(); ++index) {
    const std::string path = files[index];
    QString caption = Q(path);
    caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
    QAction* action = recentMenu->addAction(QStringLiteral("&%1 %2").arg(index + 1).arg(caption));
    action->setObjectName(QStringLiteral("Recent%1").arg(index + 1));
    connect(action, &QAction::triggered, this, [this, path] { OpenRecent(path); });
  }
  if (files.empty()) recentMenu->addAction(QStringLiteral("(none)"))->setEnabled(false);
}

void DesktopActions::OpenRecent(const std::string& path) {
  if (!QFileInfo(Q(path)).isFile()) {
    // A file that went away leaves the list.
    recent_.Remove(path);
    ui_.ShowMessage("Cannot open file \"" + path + "\"");
    return;
  }
  OpenInBrowser(Q(path));
}

void DesktopActions::OpenInBrowser(const QString& path) {
  const QFileInfo file(path);
  if (browser_->Folder() != file.absolutePath()) browser_->SetFolder(file.absolutePath());
  browser_->SelectNames({file.fileName()});
  open_(file.absoluteFilePath());
}

void DesktopActions::OpenNeighbour(int step) {
  std::vector<std::string> names;
  for (const QString& name : browser_->FileNames()) names.push_back(name.toStdString());
  // The open file when it is in the list, else the list's selection.
  std::string current;
  const QFileInfo open(Q(openFile_));
  if (!openFile_.empty() && open.absolutePath() == browser_->Folder())
    current = open.fileName().toStdString();
  else if (!browser_->SelectedNames().isEmpty())
    current = browser_->SelectedNames().front().toStdString();
  const std::string next = NeighbourFile(names, current, step, &IsPicture);
  if (next.empty()) return;
  OpenInBrowser(browser_->PathOf(Q(next)));
}

void DesktopActions::OpenDropped(const QStringList& paths) {
  // The first picture of the kinds the file list shows; other files (a text
  // dragged along) are passed over.
  for (const QString& path : paths) {
    const QFileInfo file(path);
    if (file.isFile() && MatchesFileListMask(file.fileName())) {
      OpenInBrowser(path);
      return;
    }
  }
}

bool DesktopActions::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDragMoveEvent*>(event);
      if (DraggedFiles(drag->mimeData()).isEmpty()) break;
      drag->acceptProposedAction();
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      const QStringList files = DraggedFiles(drop->mimeData());
      if (files.isEmpty()) break;
      drop->acceptProposedAction();
      OpenDropped(files);
      return true;
    }
    case QEvent::KeyPress: {
      if (watched != view_) break;
      const auto* key = static_cast<QKeyEvent*>(event);
      if ((key->modifiers() & ~Qt::KeyboardModifiers(Qt::KeypadModifier)) != Qt::NoModifier) break;
      if (key->key() == Qt::Key_PageDown || key->key() == Qt::Key_PageUp) {
        OpenNeighbour(key->key() == Qt::Key_PageDown ? 1 : -1);
        return true;
      }
      break;
    }
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}

void DesktopActions::WriteSettings(const FormIni& ini) const {
  ini.WriteSetting(kViewSection, kFitKey, fitLarge_ ? "1" : "0");
  const std::vector<std::string>& files = recent_.Files();
  for (std::size_t index = 0; index < RecentFiles::kMaxFiles; ++index)
    ini.WriteSetting(kRecentSection, RecentFiles::Key(index), index < files.size() ? files[index] : std::string());
}

}  // namespace pixtrel
