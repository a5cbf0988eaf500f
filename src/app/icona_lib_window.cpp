#include "app/icona_lib_window.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QShowEvent>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <exception>

#include "app/app_dialogs.h"
#include "app/commands.h"
#include "app/file_browser.h"
#include "app/guarded.h"
#include "core/qimage_bitmap.h"
#include "io/image_io.h"
#include "settings/settings_location.h"

namespace pixtrel {

namespace {

constexpr char kCaption[] = "Icon Manager";
constexpr char kIconFilter[] = "Icons (*.ico)|*.ico";
constexpr char kLibraryOpenFilter[] = "Libraries (*.exe; *.dll;*.icl)|*.exe;*.dll;*.icl";
constexpr char kLibrarySaveFilter[] = "Iconlibraries (*.icl)|*.icl";
constexpr char kImageMime[] = "application/x-pixtrel-icon-image";
constexpr int kDesignWidth = 700;
constexpr int kDesignHeight = 560;

QString Q(const std::string& text) { return QString::fromStdString(text); }

std::string FolderOf(const std::string& path) { return QFileInfo(Q(path)).absolutePath().toStdString(); }

// The rows of both lists: the image through its mask on the row's colour,
// centred in the first 60 pixels, and the caption at x = 100.
class IconRowDelegate : public QStyledItemDelegate {
 public:
  explicit IconRowDelegate(IconRowList* list) : QStyledItemDelegate(list), list_(list) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const bool selected = option.state & QStyle::State_Selected;
    const QColor back = option.palette.color(selected ? QPalette::Highlight : QPalette::Base);
    painter->save();
    painter->fillRect(option.rect, back);
    const icons::IconImage* image = list_->ImageOfRow(index.row());
    if (image) {
      try {
        Bitmap row(image->PixelWidth(), image->PixelHeight(), pf24bit);
        row.Fill(RGB(back.red(), back.green(), back.blue()));
        image->DrawAt(row, 0, 0);
        painter->drawImage(QPoint(option.rect.left() + icons::RowImageX(*image), option.rect.top() + 2),
                           BitmapToQImage(row));
      } catch (const std::exception&) {
        // Bits that make no picture leave the row without one.
      }
    }
    const QFontMetrics metrics(option.font);
    const int top = icons::RowCaptionY(option.rect.top(), image, metrics.height());
    painter->setFont(option.font);
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawText(QPoint(option.rect.left() + icons::kRowCaptionX, top + metrics.ascent()),
                      index.data().toString());
    painter->restore();
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const QFontMetrics metrics(option.font);
    return QSize(icons::kRowCaptionX + metrics.horizontalAdvance(index.data().toString()) + 8,
                 icons::RowHeight(list_->ImageOfRow(index.row())));
  }

 private:
  IconRowList* list_;
};

}  // namespace

// --- IconRowList ---

IconRowList::IconRowList(RowImage rowImage, QWidget* parent) : QListWidget(parent), rowImage_(std::move(rowImage)) {
  setItemDelegate(new IconRowDelegate(this));
  setUniformItemSizes(false);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setContextMenuPolicy(Qt::CustomContextMenu);
  setDropIndicatorShown(false);
}

QMimeData* IconRowList::MimeForRow(int row) const {
  auto* data = new QMimeData;
  data->setData(QString::fromLatin1(kImageMime),
                QStringLiteral("%1:%2").arg(reinterpret_cast<quintptr>(this)).arg(row).toLatin1());
  return data;
}

int IconRowList::DraggedRow(const QMimeData* data) const {
  if (!data || !data->hasFormat(QString::fromLatin1(kImageMime))) return -1;
  const QList<QByteArray> parts = data->data(QString::fromLatin1(kImageMime)).split(':');
  if (parts.size() != 2 || parts[0].toULongLong() != reinterpret_cast<quintptr>(this)) return -1;
  bool ok = false;
  const int row = parts[1].toInt(&ok);
  return ok && row >= 0 && row < count() ? row : -1;
}

void IconRowList::RowsChanged() {
  scheduleDelayedItemsLayout();
  viewport()->update();
}

void IconRowList::startDrag(Qt::DropActions) {
  const int row = currentRow();
  if (row < 0) return;
  auto* drag = new QDrag(this);
  drag->setMimeData(MimeForRow(row));
  drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
}

void IconRowList::dragEnterEvent(QDragEnterEvent* event) {
  if (DraggedRow(event->mimeData()) >= 0)
    event->acceptProposedAction();
  else
    event->ignore();
}

void IconRowList::dragMoveEvent(QDragMoveEvent* event) {
  if (DraggedRow(event->mimeData()) >= 0)
    event->acceptProposedAction();
  else
    event->ignore();
}

void IconRowList::dropEvent(QDropEvent* event) {
  const int dragged = DraggedRow(event->mimeData());
  if (dragged < 0) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  emit rowDropped(dragged, indexAt(event->position().toPoint()).row());
}

// --- IconaLibF ---

template <typename F>
void IconaLibF::Guarded(F&& command) {
  pixtrel::Guarded(ui_, std::forward<F>(command));
}

IconaLibF::IconaLibF(AppDialogs& dialogs, UserInteraction& ui, std::string programPath, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowStaysOnTopHint),
      dialogs_(dialogs),
      ui_(ui),
      programPath_(std::move(programPath)),
      programFolder_(FolderOf(programPath_)),
      lastFolder_(programFolder_) {
  setObjectName(QStringLiteral("IconaLibF"));
  setWindowTitle(QString::fromLatin1(kCaption));

  libList_ = new IconRowList([this](int row) -> const icons::IconImage* {
    if (row < 0 || row >= manager_.Library.Icons.Count()) return nullptr;
    return manager_.Library.Icons.Icon(row)->Images().Get(0);
  });
  libList_->setObjectName(QStringLiteral("LIBListBox"));
  icoList_ = new IconRowList([this](int row) { return manager_.CurrentIcon.Images().Get(row); });
  icoList_->setObjectName(QStringLiteral("ICOListBox"));
  icoList_->setDragEnabled(true);
  icoList_->setAcceptDrops(true);
  icoList_->setDragDropMode(QAbstractItemView::DragDrop);

  const auto pane = [](const char* caption, QWidget* list) {
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(new QLabel(QString::fromLatin1(caption)));
    layout->addWidget(list, 1);
    return box;
  };
  auto* panes = new QSplitter(Qt::Horizontal);
  panes->addWidget(pane("Icon Library", libList_));
  panes->addWidget(pane("Icon", icoList_));
  setCentralWidget(panes);
  resize(ScaleFromDesign(kDesignWidth, logicalDpiY()), ScaleFromDesign(kDesignHeight, logicalDpiY()));

  BuildMenus();

  manager_.libraryRefreshed = [this] { FillLibraryList(); };
  manager_.iconListRefreshed = [this] { FillIconList(); };
  connect(libList_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!filling_) Guarded([&] { manager_.ClickLibraryRow(row); });
  });
  connect(icoList_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!filling_) manager_.SelectImageRow(row);
  });
  connect(icoList_, &IconRowList::rowDropped, this,
          [this](int dragged, int target) { Guarded([&] { manager_.SwapImages(dragged, target); }); });
  connect(libList_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { libpop_->popup(libList_->viewport()->mapToGlobal(at)); });
  connect(icoList_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { icopop_->popup(icoList_->viewport()->mapToGlobal(at)); });
}

IconaLibF::~IconaLibF() {
  // The lists ask the model for their rows while they go.
  manager_.libraryRefreshed = nullptr;
  manager_.iconListRefreshed = nullptr;
}

void IconaLibF::BuildMenus() {
  const auto command = [this](QMenu* menu, const char* caption, const char* name, const char* shortcut,
                              void (IconaLibF::*run)()) {
    return AddCommand(menu, this, caption, name, shortcut, run);
  };

  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  command(file, "Load &Icon", "LoadICO", "Ctrl+F3", &IconaLibF::LoadICOClick);
  command(file, "Sa&ve Icon", "SaveIcon1", "Ctrl+F2", &IconaLibF::ButtonSaveIconClick);
  file->addSeparator();
  command(file, "&Load Library", "LoadLIB", "F3", &IconaLibF::LoadLIBClick);
  command(file, "&Save Library", "SaveLIB", "F2", &IconaLibF::SaveLIBClick);
  file->addSeparator();
  command(file, "Save Image as BMP", "btnsavebmp", nullptr, &IconaLibF::btnsavebmpClick);
  command(file, "Save Image as GIF", "SaveImageasGIF1", nullptr, &IconaLibF::SaveImageasGIF1Click);
  command(file, "Save Image as PNG", "SaveImageasPNG1", nullptr, &IconaLibF::SaveImageasPNG1Click);

  QMenu* options = menuBar()->addMenu(QStringLiteral("&Options"));
  giftrans_ = options->addAction(QStringLiteral("&Transparent GIF"));
  giftrans_->setObjectName(QStringLiteral("giftrans"));
  giftrans_->setCheckable(true);
  giftrans_->setChecked(true);

  libpop_ = new QMenu(this);
  libpop_->setObjectName(QStringLiteral("libpop"));
  command(libpop_, "&Load", "LoadLIB2", nullptr, &IconaLibF::LoadLIBClick);
  command(libpop_, "Save &As", "SaveLIB2", nullptr, &IconaLibF::SaveLIBClick);
  command(libpop_, "&Clear", "ButtonClearLibrary", nullptr, &IconaLibF::ButtonClearLibraryClick);
  libpop_->addSeparator();
  command(libpop_, "&Append Icon(s)", "AppendIcons1", nullptr, &IconaLibF::AppendIcons1Click);
  command(libpop_, "&Delete Icon", "ButtonDeleteLIBIcon", nullptr, &IconaLibF::ButtonDeleteLIBIconClick);
  command(libpop_, "&Rename Icon...", "Rename1", nullptr, &IconaLibF::Rename1Click);

  icopop_ = new QMenu(this);
  icopop_->setObjectName(QStringLiteral("icopop"));
  command(icopop_, "&Load", "LoadICO2", nullptr, &IconaLibF::LoadICOClick);
  command(icopop_, "&Save", "ButtonSaveIcon", nullptr, &IconaLibF::ButtonSaveIconClick);
  icopop_->addSeparator();
  command(icopop_, "Copy to &Editor", "ButtonEditIconImage", nullptr, &IconaLibF::ButtonEditIconImageClick);
  command(icopop_, "Sort Size", "ButtonSizeSort", nullptr, &IconaLibF::ButtonSizeSortClick);
  command(icopop_, "Sort Colors", "ButtonColorSort", nullptr, &IconaLibF::ButtonColorSortClick);
  icopop_->addSeparator();
  command(icopop_, "&Copy", "btncopyIcoImage", nullptr, &IconaLibF::btncopyIcoImageClick);
  command(icopop_, "Paste &Append", "btnAddIcoImage", nullptr, &IconaLibF::btnAddIcoImageClick);
  command(icopop_, "&Delete", "ButtonDeleteIconImage", nullptr, &IconaLibF::ButtonDeleteIconImageClick);
}

QMenu* IconaLibF::MenuNamed(const QString& caption) const {
  for (QAction* action : menuBar()->actions())
    if (action->menu() && action->text() == caption) return action->menu();
  return nullptr;
}

void IconaLibF::FillLibraryList() {
  filling_ = true;
  libList_->clear();
  for (int i = 0; i < manager_.Library.Icons.Count(); ++i) libList_->addItem(Q(manager_.Library.Icons.Name(i)));
  libList_->setCurrentRow(manager_.SelectedIcon());
  libList_->setEnabled(true);
  filling_ = false;
  setWindowTitle(Q(manager_.Caption()));
}

void IconaLibF::FillIconList() {
  filling_ = true;
  icoList_->clear();
  for (int i = 0; i < manager_.CurrentIcon.Images().Count(); ++i) icoList_->addItem(QString::number(i + 1));
  icoList_->setCurrentRow(manager_.SelectedImage());
  filling_ = false;
  // An icon whose images were sorted, swapped or deleted shows another
  // first image in the library list.
  libList_->RowsChanged();
}

void IconaLibF::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // A window coming back from the task bar shows what it showed.
  if (event->spontaneous()) return;
  if (keepLibraryOnShow_) {
    keepLibraryOnShow_ = false;
    return;
  }
  // The program's icons are with its shipped data (beside it in a build).
  Guarded([&] { manager_.LoadFromProgram(programPath_, ShippedDataFolder(programFolder_) + "icons"); });
}

void IconaLibF::ShowLibrary(const std::string& fileName) {
  Guarded([&] { manager_.LoadLibraryFile(fileName); });
  if (!isVisible()) {
    keepLibraryOnShow_ = true;
    show();
  }
  raise();
  activateWindow();
}

void IconaLibF::LoadICOClick() {
  const std::optional<std::string> path = dialogs_.OpenFileName(this, kIconFilter, lastFolder_);
  if (!path) return;
  lastFolder_ = FolderOf(*path);
  Guarded([&] { manager_.LoadIcon(*path); });
}

void IconaLibF::ButtonSaveIconClick() {
  if (!manager_.CanSaveIcon()) return;
  const std::optional<SaveDialogChoice> choice = dialogs_.SaveFileName(this, kIconFilter, 1, lastFolder_);
  if (!choice) return;
  const std::string target = icons::WithDefaultExt(choice->path, ".ico");
  lastFolder_ = FolderOf(target);
  Guarded([&] { manager_.SaveIcon(target); });
}

void IconaLibF::LoadLIBClick() {
  const std::optional<std::string> path = dialogs_.OpenFileName(this, kLibraryOpenFilter, programFolder_);
  if (!path) return;
  lastFolder_ = FolderOf(*path);
  Guarded([&] { manager_.LoadLibraryFile(*path); });
}

void IconaLibF::SaveLIBClick() {
  if (!manager_.CanSaveLibrary()) return;
  const std::optional<SaveDialogChoice> choice = dialogs_.SaveFileName(this, kLibrarySaveFilter, 1, lastFolder_);
  if (!choice) return;
  const std::string target = icons::WithDefaultExt(choice->path, ".icl");
  if (QFileInfo::exists(Q(target)) &&
      !ui_.Confirm(QFileInfo(Q(target)).fileName().toStdString() + " already exists.\nDo you want to replace it?"))
    return;
  lastFolder_ = FolderOf(target);
  Guarded([&] { manager_.SaveLibrary(target); });
}

void IconaLibF::Export(IconExport kind) {
  const icons::IconImage* image = manager_.SelectedImagePtr();
  if (!image) return;
  const std::optional<SaveDialogChoice> choice =
      dialogs_.SaveFileName(this, IconExportKindOf(kind).filter, 1, lastFolder_);
  if (!choice) return;
  lastFolder_ = FolderOf(choice->path);
  const SaveOptions session = sessionOptions ? sessionOptions() : SaveOptions();
  Guarded([&] { ExportIconImage(*image, choice->path, kind, session, giftrans_->isChecked()); });
}

void IconaLibF::btnsavebmpClick() { Export(IconExport::Bmp); }
void IconaLibF::SaveImageasGIF1Click() { Export(IconExport::Gif); }
void IconaLibF::SaveImageasPNG1Click() { Export(IconExport::Png); }

void IconaLibF::ButtonClearLibraryClick() { manager_.ClearLibrary(); }

void IconaLibF::AppendIcons1Click() {
  const std::vector<std::string> paths = dialogs_.OpenFileNames(this, kIconFilter, lastFolder_);
  if (paths.empty()) return;
  lastFolder_ = FolderOf(paths.front());
  Guarded([&] { manager_.AppendIcons(paths); });
}

void IconaLibF::ButtonDeleteLIBIconClick() { manager_.DeleteIcon(); }

void IconaLibF::Rename1Click() { manager_.RenameIcon(ui_); }

void IconaLibF::ButtonEditIconImageClick() {
  const icons::IconImage* image = manager_.SelectedImagePtr();
  if (image && copyToEditor) Guarded([&] { copyToEditor(*image); });
}

void IconaLibF::ButtonSizeSortClick() { manager_.SortSize(); }
void IconaLibF::ButtonColorSortClick() { manager_.SortColors(); }
void IconaLibF::btncopyIcoImageClick() { manager_.CopyImage(); }
void IconaLibF::btnAddIcoImageClick() {
  Guarded([&] { manager_.PasteAppend(); });
}
void IconaLibF::ButtonDeleteIconImageClick() { manager_.DeleteImage(); }

void IconaLibF::AcceptImageDropsOn(QWidget* viewport, std::function<bool(QPoint)> coversImage) {
  dropViewport_ = viewport;
  coversImage_ = std::move(coversImage);
  viewport->setAcceptDrops(true);
  viewport->installEventFilter(this);
}

bool IconaLibF::eventFilter(QObject* watched, QEvent* event) {
  if (watched != dropViewport_) return QMainWindow::eventFilter(watched, event);
  const auto takes = [this](const QMimeData* data, QPoint at) {
    return icoList_->DraggedRow(data) >= 0 && !(coversImage_ && coversImage_(at));
  };
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* move = static_cast<QDragMoveEvent*>(event);
      if (takes(move->mimeData(), move->position().toPoint()))
        move->acceptProposedAction();
      else
        move->ignore();
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      if (!takes(drop->mimeData(), drop->position().toPoint())) {
        drop->ignore();
        return true;
      }
      drop->acceptProposedAction();
      const int row = icoList_->DraggedRow(drop->mimeData());
      icoList_->setCurrentRow(row);
      ButtonEditIconImageClick();
      return true;
    }
    default:
      return QMainWindow::eventFilter(watched, event);
  }
}

}  // namespace pixtrel
