#include "app/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenuBar>
#include <QScreen>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStatusBar>
#include <QThread>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>

#include "app/app_dialogs.h"
#include "app/batch_window.h"
#include "app/browser_page.h"
#include "app/commands.h"
#include "app/desktop_actions.h"
#include "app/edit_actions.h"
#include "app/file_browser.h"
#include "app/format_options.h"
#include "app/gif_optimize_window.h"
#include "app/guarded.h"
#include "app/icona_lib_window.h"
#include "app/jpeg_preview_window.h"
#include "app/overlay_actions.h"
#include "app/png_page.h"
#include "app/qt_interaction.h"
#include "app/shape_actions.h"
#include "app/spy_window.h"
#include "app/twain_scan_command.h"
#include "app/workspace_view.h"
#include "core/errors.h"
#include "core/qimage_bitmap.h"
#include "io/batch.h"
#include "io/formats.h"
#include "io/image_io.h"
#include "io/library_versions.h"
#include "settings/settings_location.h"
#include "workspace/icon_transfer.h"
#include "workspace/saving.h"

namespace pixtrel {

const std::string kOpenFilter = OpenDialogFilter();
const std::string kSaveFilter = SaveDialogFilter();

namespace {

constexpr char kWindowName[] = "PixtrelF";
constexpr char kCaption[] = "Pixtrel 11";
constexpr char kWebAddress[] = "https://pixtrel.example.org/";
constexpr int kDesignWidth = 873;
constexpr int kDesignHeight = 501;
constexpr int kDesignPanelWidth = 185;
constexpr int kDesignStatusWidths[2] = {300, 200};

QString Q(const std::string& text) { return QString::fromStdString(text); }

// The PNG text travels as the chunk's Latin-1 bytes with CR LF line breaks;
// the text box shows plain line feeds.
QString MemoText(const std::string& pngText) {
  QString text = QString::fromLatin1(pngText.data(), static_cast<qsizetype>(pngText.size()));
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

std::string PngText(const QString& memo) {
  const QByteArray bytes = memo.toLatin1();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace

std::string SaveAsTargetName(const std::string& chosen, const std::string& ext) {
  const std::size_t slash = chosen.find_last_of('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = chosen.rfind('.');
  const std::string stem = dot != std::string::npos && dot >= nameStart ? chosen.substr(0, dot) : chosen;
  return stem + UpperCase(ext);
}

std::string FavouriteAlias(const std::string& item) { return item.substr(0, item.find('=')); }

std::string FavouriteFolder(const std::string& item) {
  const std::size_t equals = item.find('=');
  return equals == std::string::npos ? item : item.substr(equals + 1);
}

template <typename F>
void PixtrelF::Guarded(F&& command) {
  pixtrel::Guarded(UI(), std::forward<F>(command));
}

PixtrelF::PixtrelF(const ShellOptions& options, AppDialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs) {
  setObjectName(QString::fromLatin1(kWindowName));
  setWindowTitle(QString::fromLatin1(kCaption));
  // The window is designed in an 8-point sans serif face.
  QFont face(QStringLiteral("MS Sans Serif"));
  face.setStyleHint(QFont::SansSerif);
  face.setPointSize(8);
  setFont(face);

  // The program folder, and the settings files beside it (or in the user's
  // configuration folder when the program folder is read-only).
  programFolder_ = ProgramFolder(options.programPath);
  settingsFile_ = options.settingsFile.empty() ? pixtrel::SettingsFilePath(options.programPath) : options.settingsFile;
  customColorsFile_ =
      options.customColorsFile.empty() ? CustomColorsFilePath(options.programPath) : options.customColorsFile;

  // The window's parts over the workspace; the JPEG optimize and resize
  // windows come with the edit actions, the icon options window with the
  // interaction layer.
  BuildLayout();
  // The interaction layer: the window's own dialogs, or the one the host
  // gives (tests, the answer script).
  interaction_ = std::make_unique<QtInteraction>(this);
  externalInteraction_ = options.interaction;
  edits_ = std::make_unique<EditActions>(workspace_, selection_, effectSettings_, UI(), view_, this);
  compositions_ =
      std::make_unique<CompositionActions>(workspace_, shape_, session_, UI(), dialogs_, view_, browser_, pages_, this);
  // The shape over the workspace, its tool bar above the image.
  shapes_ = std::make_unique<ShapeActions>(shape_, workspace_, *compositions_, UI(), dialogs_, view_, imageArea_, this);
  twainScan_ = NewTwainScanCommand(this, workspace_, UI(), options.twainSourceManagers, programFolder_);
  // The "Browser" tab: its pages draw through the window's drawing object.
  board_ = NewBoard();
  webPage_ = new BrowserPage({*board_, workspace_, session_, compositions_->PngState(), shape_, UI(), dialogs_},
                             programFolder_, pages_, browser_, this);
  compositions_->Png()->PopupMenu()->addAction(webPage_->previewInBrowser);
  batch_ = new BatchF(dialogs_, this);
  spy_ = new SpyF(this);
  // The icon manager: created now, shown on demand; images travel between
  // it and the workspace.
  iconaLib_ = new IconaLibF(dialogs_, UI(), options.programPath, this);
  iconaLib_->copyToEditor = [this](const icons::IconImage& image) {
    CopyIconImageToEditor(image, workspace_);
    view_->Refresh();
  };
  iconaLib_->sessionOptions = [this] { return session_.conversion; };
  iconaLib_->AcceptImageDropsOn(view_->viewport(), [this](QPoint at) {
    return view_->CanvasRect(view_->ShownImage().rect()).translated(view_->Canvas()->pos()).contains(at);
  });
  openIconLibrary = [this](const std::string& path) { iconaLib_->ShowLibrary(path); };
  desktop_ =
      std::make_unique<DesktopActions>(this, workspace_, view_, browser_, statusBar(), UI(), FormIni(settingsFile_),
                                       [this](const QString& path) { filesDblClick(path); });
  BuildMenus();
  connect(edits_->JpegWindow(), &JpegPreviewWindow::qualityChanged, this,
          [this](int quality) { session_.conversion.jpegQuality = quality; });

  // The colour dialog's custom colours.
  if (QFileInfo::exists(Q(customColorsFile_))) interaction_->LoadCustomColors(customColorsFile_);

  // The last folder, or the program folder when it is gone.
  const FormIni ini(settingsFile_);
  std::string lastDir;
  ini.ReadSetting("Settings", "lastDir", lastDir);
  if (lastDir.empty() || !browser_->SetFolder(Q(lastDir))) browser_->SetFolder(Q(programFolder_));

  // "batchDir" is kept as read and written back at exit.
  ini.ReadSetting("Settings", "batchDir", batchDir_);
  session_.maxPixels = ini.ReadPixelLimit(session_.maxPixels);
  workspace_.SetPixelLimit(session_.maxPixels);

  // The placement, the favourites, and the "Image" tab in front.
  LoadPlacement();
  for (const std::string& item : ini.ReadSettingList("directories")) {
    favourites_.push_back(item);
    AddFavouriteItem(item);
  }
  pages_->setCurrentIndex(0);
}

PixtrelF::~PixtrelF() {
  desktop_.reset();
  // Tabs going away change the current one: the web engine must not start now.
  pages_->disconnect(webPage_);
  shapes_.reset();
  compositions_.reset();
  edits_.reset();
  // The windows that hold the workspace go before it does.
  qDeleteAll(findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
}

std::unique_ptr<automation::Board> PixtrelF::NewBoard() {
  auto board = std::make_unique<automation::Board>(workspace_, turtle_);
  board->showImage = [this] { pages_->setCurrentIndex(0); };
  return board;
}

int PixtrelF::Scaled(int designPixels) const { return ScaleFromDesign(designPixels, logicalDpiY()); }

void PixtrelF::BuildLayout() {
  browser_ = new FileBrowser;
  view_ = new WorkspaceView(workspace_, selection_);
  pngmemo_ = new QPlainTextEdit;
  pngmemo_->setObjectName(QStringLiteral("pngmemo"));

  auto* imagePage = new QSplitter(Qt::Vertical);
  imagePage->setObjectName(QStringLiteral("imagePage"));
  // The shape tool bar joins the workspace view at the top of this area.
  auto* imageArea = new QWidget;
  imageArea->setObjectName(QStringLiteral("imageArea"));
  imageArea_ = new QVBoxLayout(imageArea);
  imageArea_->setContentsMargins(0, 0, 0, 0);
  imageArea_->setSpacing(0);
  imageArea_->addWidget(view_);
  imagePage->addWidget(imageArea);
  imagePage->addWidget(pngmemo_);
  imagePage->setStretchFactor(0, 1);
  imagePage->setStretchFactor(1, 0);
  imagePage->setSizes({Scaled(kDesignHeight), Scaled(60)});

  // The "Browser", "PNG" and "Blender" tabs join "Image" here.
  pages_ = new QTabWidget;
  pages_->setObjectName(QStringLiteral("pages"));
  pages_->addTab(imagePage, QStringLiteral("Image"));

  auto* divider = new QSplitter(Qt::Horizontal);
  divider->setObjectName(QStringLiteral("divider"));
  divider->addWidget(browser_);
  divider->addWidget(pages_);
  divider->setStretchFactor(0, 0);
  divider->setStretchFactor(1, 1);
  divider->setSizes({Scaled(kDesignPanelWidth), Scaled(kDesignWidth - kDesignPanelWidth)});
  setCentralWidget(divider);

  for (int panel = 0; panel < 2; ++panel) {
    status_[panel] = new QLabel;
    status_[panel]->setObjectName(QStringLiteral("panel%1").arg(panel));
    status_[panel]->setFixedWidth(Scaled(kDesignStatusWidths[panel]));
    status_[panel]->setFrameShape(QFrame::Panel);
    status_[panel]->setFrameShadow(QFrame::Sunken);
    statusBar()->addWidget(status_[panel]);
  }

  resize(Scaled(kDesignWidth), Scaled(kDesignHeight));
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - rect().center());
  }

  connect(view_, &WorkspaceView::mouseStatus, status_[1], &QLabel::setText);
  connect(browser_, &FileBrowser::fileActivated, this, &PixtrelF::filesDblClick);
  connect(pngmemo_, &QPlainTextEdit::textChanged, this,
          [this] { session_.conversion.pngText = PngText(pngmemo_->toPlainText()); });
}

QMenu* PixtrelF::MenuNamed(const QString& caption) const {
  for (QAction* action : menuBar()->actions())
    if (action->menu() && action->text() == caption) return action->menu();
  return nullptr;
}

void PixtrelF::BuildMenus() {
  EditActions& e = *edits_;
  const auto command = [this](QMenu* menu, const char* caption, const char* name, const char* shortcut,
                              void (PixtrelF::*run)()) { return AddCommand(menu, this, caption, name, shortcut, run); };

  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  file->addAction(e.newImage);
  command(file, "&Capture...", "Capture1", nullptr, &PixtrelF::Capture1Click);
  command(file, "&Open...", "Open1", "Ctrl+O", &PixtrelF::Open1Click);
  file->addAction(compositions_->openOverlay);
  command(file, "Save &As...", "SaveAs1", nullptr, &PixtrelF::SaveAs1Click);
  file->addAction(twainScan_);
  file->addSeparator();
  file->addMenu(desktop_->recentMenu);

  QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
  edit->addAction(e.undo);
  edit->addSeparator();
  edit->addAction(e.resizeImage);
  edit->addAction(e.makeSquare);
  edit->addAction(e.crop);
  edit->addAction(shapes_->paintShape);
  edit->addAction(compositions_->paintOverlay);
  edit->addAction(shapes_->shapeAsOverlay);
  edit->addAction(e.turn);
  edit->addSeparator();
  edit->addAction(e.copyToClipboard);
  edit->addAction(e.copySelection);
  edit->addAction(e.paste);
  edit->addSeparator();
  command(edit, "&Append to Icon Library", "Appendassubicon1", nullptr, &PixtrelF::Appendassubicon1Click);

  QMenu* options = menuBar()->addMenu(QStringLiteral("&Options"));
  giftrans_ = options->addAction(QStringLiteral("Transparent GIF"));
  giftrans_->setObjectName(QStringLiteral("giftrans"));
  giftrans_->setCheckable(true);
  giftrans_->setChecked(true);
  session_.conversion.gifTransparent = true;
  connect(giftrans_, &QAction::toggled, this, [this](bool checked) { session_.conversion.gifTransparent = checked; });
  options->addAction(e.showImageInfo);
  options->addMenu(e.colorDepth);
  options->addAction(shapes_->viewShape);
  options->addAction(compositions_->viewOverlay);
  command(options, "View &Batch directory", "ViewBatchdirectory1", nullptr, &PixtrelF::ViewBatchDirectory);
  options->addSeparator();
  formatOptions_ = new FormatOptions(session_, settingsFile_, options);

  menuBar()->addMenu(e.effects);

  QMenu* selection = menuBar()->addMenu(QStringLiteral("&Selection"));
  selection->addAction(e.selectNone);
  selection->addAction(e.select16);
  selection->addAction(e.select32);
  selection->addAction(e.select64);
  selection->addAction(e.selectAll);
  selection->addSeparator();
  selection->addAction(e.viewAsIcon);

  QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
  tools->addAction(compositions_->gifOptimize);
  tools->addAction(e.jpgOptimize);
  tools->addAction(compositions_->pngTransparency);
  command(tools, "&ICON Manager", "IconManager1", nullptr, &PixtrelF::IconManager1Click);
  tools->addActions({webPage_->previewTiled, webPage_->previewTransparent});
  tools->addMenu(e.effectSettings);
  command(tools, "&Refresh Files", "RefreshFiles1", "F12", &PixtrelF::RefreshFiles);
  tools->addAction(webPage_->loadWizard);

  directoriesMenu_ = menuBar()->addMenu(QStringLiteral("&Directories"));
  directoriesMenu_->setObjectName(QStringLiteral("Directories1"));

  menuBar()->addMenu(desktop_->viewMenu);

  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  command(help, "&Contents", "Contents1", "F1", &PixtrelF::HelpContents);
  command(help, "&About", "About1", nullptr, &PixtrelF::HelpAbout);
  command(help, "on the &Web", "ontheWeb1", nullptr, &PixtrelF::HelpOnTheWeb);

  // The pop-up menus of the file list and the folder tree.
  QMenu* files = browser_->FileMenu();
  command(files, "&Convert", "BatchNow1", nullptr, &PixtrelF::BatchNow1Click);
  command(files, "&Delete", "Delete1", nullptr, &PixtrelF::Delete1Click);
  files->addAction(compositions_->listOverlay);
  command(files, "&Refresh", "Refresh1", nullptr, &PixtrelF::RefreshFiles);
  command(browser_->TreeMenu(), "&Add to Favourites", "AddtoFavourites1", nullptr, &PixtrelF::AddToFavourites);
}

UserInteraction& PixtrelF::UI() { return externalInteraction_ ? *externalInteraction_ : *interaction_; }

QString PixtrelF::StatusText(int panel) const {
  if (panel == 2) return desktop_->zoomPanel->text();
  return panel >= 0 && panel < 2 ? status_[panel]->text() : QString();
}

void PixtrelF::ShowPngText() {
  const QSignalBlocker block(pngmemo_);
  pngmemo_->setPlainText(MemoText(session_.conversion.pngText));
}

void PixtrelF::LoadIntoWorkspace(const std::string& path) {
  // Whatever the file turns out to be, the selection goes and the text box
  // empties; a PNG then shows its first text.
  selection_.Clear();
  session_.conversion.pngText.clear();
  bool opened = false;
  Guarded([&] {
    LoadResult loaded = LoadImageFile(path, workspace_.Image(), UI(), session_.maxPixels, session_.opening);
    session_.conversion.pngText = std::move(loaded.pngText);
    session_.conversion.metadata = std::move(loaded.metadata);
    opened = loaded.known;
  });
  view_->Refresh();
  ShowPngText();
  if (opened) desktop_->Opened(path);
}

void PixtrelF::Open1Click() {
  const std::optional<std::string> path = dialogs_.OpenFileName(this, kOpenFilter, browser_->Folder().toStdString());
  if (path) LoadIntoWorkspace(*path);
}

void PixtrelF::Capture1Click() {
  workspace_.PrepareEdit();
  view_->Refresh();
  dialogs_.RunModal(*spy_);
  const QImage captured = spy_->TakeCapture();
  if (!captured.isNull()) workspace_.SetImage(QImageToBitmap(captured));
  view_->Refresh();
}

void PixtrelF::filesDblClick(const QString& path) {
  const std::string file = path.toStdString();
  if (QFileInfo(path).suffix().compare(QStringLiteral("icl"), Qt::CaseInsensitive) == 0) {
    // Icon libraries belong to the icon manager.
    if (openIconLibrary) Guarded([&] { openIconLibrary(file); });
    return;
  }
  LoadIntoWorkspace(file);
}

void PixtrelF::SaveAs1Click() {
  const std::optional<SaveDialogChoice> choice =
      dialogs_.SaveFileName(this, kSaveFilter, 1, browser_->Folder().toStdString());
  if (!choice) return;
  const std::string ext = FilterIndexToExt(choice->filterIndex);
  const std::string target = SaveAsTargetName(choice->path, ext);
  if (QFileInfo::exists(Q(target)) && !UI().Confirm("This file allready exists. Do yo want to overwrite it?")) return;
  const bool lossless = session_.conversion.webpLossless;
  Guarded([&] {
    // Any save that was not abandoned shows in the file list at once.
    const SaveOutcome outcome = SaveDisplayedImage(target, workspace_.Image(), ext, session_.conversion, UI());
    if (outcome != SaveOutcome::Abandoned) browser_->RefreshFiles();
    if (outcome == SaveOutcome::Written) desktop_->Saved(target);
  });
  formatOptions_->NoteWebPLossless(lossless);
  // An icon save may have resampled and reduced the displayed image.
  view_->Refresh();
}

void PixtrelF::SetBusy(bool busy) {
  busy_ = busy;
  menuBar()->setEnabled(!busy);
  centralWidget()->setEnabled(!busy);
}

void PixtrelF::BatchNow1Click() {
  const QStringList names = browser_->SelectedNames();
  if (names.isEmpty()) {
    UI().ShowMessage("You did not select any files for conversion");
    return;
  }
  if (!dialogs_.RunModal(*batch_)) return;
  BatchSettings settings = batch_->Settings();
  if (settings.destination.empty()) {
    // Without a chosen folder the files would land in the file system's root.
    const std::optional<std::string> folder =
        dialogs_.SelectFolder(this, "Select target folder", browser_->Folder().toStdString());
    if (!folder) return;
    batch_->SetDestination(*folder);
    settings = batch_->Settings();
  }
  settings.maxPixels = session_.maxPixels;
  settings.opening = session_.opening;

  std::vector<std::string> selected;
  for (const QString& name : names) selected.push_back(name.toStdString());
  const std::vector<std::string> workList = BatchWorkList(browser_->Folder().toStdString(), selected);

  // The files convert on worker threads, each with a copy of the session's
  // settings, while this thread shows the progress.
  const int jobs = std::clamp(QThread::idealThreadCount(), 1, 4);
  SetBusy(true);
  bool completed = false;
  Guarded([&] {
    try {
      RunBatch(
          workList, settings, session_.conversion,
          [this](const BatchFileResult& result) {
            // Every load leaves its text in the text box.
            session_.conversion.pngText = result.pngText;
            status_[0]->setText(Q(result.target));
            status_[1]->setText(QStringLiteral("%1 of %2").arg(result.index + 1).arg(result.count));
            QCoreApplication::processEvents();
          },
          jobs);
      completed = true;
    } catch (const Exception& error) {
      // The file the batch stopped at names the message box.
      if (error.File().empty()) throw;
      UI().ShowMessageBox(error.File(), ErrorText(error));
    }
  });
  SetBusy(false);

  if (!workList.empty()) selection_.Clear();
  ShowPngText();
  if (completed) {
    status_[0]->setText(QStringLiteral("Conversion completed"));
    status_[1]->clear();
  }
  browser_->RefreshFiles();
}

void PixtrelF::Delete1Click() {
  const QStringList names = browser_->SelectedNames();
  if (names.isEmpty()) {
    UI().ShowMessage("You did not select any file to delete");
    return;
  }
  if (!UI().Confirm("Are you sure you want to delete the selected files?")) return;
  QStringList workList;
  for (const QString& name : names) workList << browser_->PathOf(name);
  // A file that cannot be deleted is passed over.
  for (const QString& path : workList) QFile::remove(path);
  browser_->RefreshFiles();
}

void PixtrelF::RefreshFiles() { browser_->RefreshFiles(); }

void PixtrelF::ViewBatchDirectory() {
  const QString folder = Q(programFolder_) + QStringLiteral("batch");
  if (!browser_->SetFolder(folder))
    UI().ShowMessage("Cannot open folder \"" + folder.toStdString() + "\": " + std::strerror(ENOENT));
}

void PixtrelF::AddFavouriteItem(const std::string& item) {
  QAction* action = directoriesMenu_->addAction(Q(FavouriteAlias(item)));
  connect(action, &QAction::triggered, this,
          [this, action] { FavouriteClick(static_cast<int>(directoriesMenu_->actions().indexOf(action))); });
}

void PixtrelF::AddToFavourites() {
  const std::optional<std::string> alias = UI().InputQuery("Pixtrel Directories", "Enter alias", "");
  if (!alias || alias->empty()) return;
  const std::string item = *alias + "=" + browser_->Folder().toStdString();
  favourites_.push_back(item);
  AddFavouriteItem(item);
}

void PixtrelF::FavouriteClick(int position) {
  if (position < 0 || position >= static_cast<int>(favourites_.size())) return;
  browser_->SetFolder(Q(FavouriteFolder(favourites_[static_cast<std::size_t>(position)])));
}

std::string PixtrelF::ManualPath() const { return ShippedDataFolder(programFolder_) + "Pixtrel.html"; }

void PixtrelF::HelpContents() {
  // The manual is shipped with the program as HTML under the help file's name.
  const QString path = Q(ManualPath());
  if (!QFileInfo::exists(path)) {
    UI().ShowMessage("Cannot find the help file \"" + path.toStdString() + "\"");
    return;
  }
  QUrl url = QUrl::fromLocalFile(path);
  url.setFragment(QStringLiteral("Pixtrel"));
  if (!dialogs_.OpenDocument(url.toString().toStdString()))
    UI().ShowMessage("Cannot open the help file \"" + path.toStdString() + "\": no program to show it was found");
}

void PixtrelF::HelpAbout() {
  std::string text = std::string(kCaption) + "\nVersion " + QCoreApplication::applicationVersion().toStdString() +
                     "\nImage converter and light image editor.\n\nBuilt on:";
  for (const auto& [library, version] : LibraryVersions()) text += "\n" + library + " " + version;
  UI().ShowMessage(text);
}

void PixtrelF::IconManager1Click() {
  iconaLib_->show();
  iconaLib_->raise();
  iconaLib_->activateWindow();
}

void PixtrelF::Appendassubicon1Click() {
  Guarded([&] { AppendToIconLibrary(workspace_.Image(), iconaLib_->Manager()); });
}

void PixtrelF::HelpOnTheWeb() {
  // Without a browser to hand the address to, the user at least learns it.
  if (!dialogs_.OpenDocument(kWebAddress))
    UI().ShowMessage(std::string("The project's page is ") + kWebAddress + "\nNo web browser was found to open it.");
}

void PixtrelF::LoadPlacement() {
  FormPlacement placement{false, x(), y(), width(), height()};
  FormIni(settingsFile_).LoadFormPlacement(kWindowName, placement);
  if (placement.maximized) {
    setWindowState(windowState() | Qt::WindowMaximized);
    return;
  }
  // A placement that lies on no screen (a display that went away) or is too
  // small to use keeps the start bounds.
  const QRect bounds(placement.left, placement.top, placement.width, placement.height);
  bool visible = false;
  for (const QScreen* screen : QGuiApplication::screens())
    visible = visible || screen->availableGeometry().intersects(bounds);
  if (visible && placement.width >= 100 && placement.height >= 100) {
    move(placement.left, placement.top);
    resize(placement.width, placement.height);
  }
}

FormPlacement PixtrelF::CurrentPlacement() const {
  FormPlacement placement;
  placement.maximized = isMaximized();
  const bool normal = !isMaximized() && !isMinimized() && !isFullScreen();
  const QRect bounds = normal ? QRect(pos(), size()) : normalGeometry();
  placement.left = bounds.x();
  placement.top = bounds.y();
  placement.width = bounds.width();
  placement.height = bounds.height();
  return placement;
}

void PixtrelF::SaveSettings() {
  if (settingsSaved_) return;
  settingsSaved_ = true;
  // Each value is its own write; the first that fails is shown and ends the
  // sequence, and the file keeps what it held before that write.
  Guarded([&] {
    interaction_->SaveCustomColors(customColorsFile_);
    const FormIni ini(settingsFile_);
    ini.WriteSetting("Settings", "lastDir", browser_->Folder().toStdString());
    ini.WriteSetting("Settings", "batchDir", batchDir_);
    ini.WriteSettingList("directories", favourites_);
    desktop_->WriteSettings(ini);
    ini.SaveFormPlacement(kWindowName, CurrentPlacement());
  });
}

void PixtrelF::closeEvent(QCloseEvent* event) {
  if (busy_) {
    event->ignore();
    return;
  }
  SaveSettings();
  if (JpegPreviewWindow* jpeg = edits_->JpegWindow()) jpeg->close();
  compositions_->GifWindow()->close();
  iconaLib_->close();
  event->accept();
}

}  // namespace pixtrel
