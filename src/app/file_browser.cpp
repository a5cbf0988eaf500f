#include "app/file_browser.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QPixmap>
#include <QPolygon>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSet>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "io/formats.h"

namespace pixtrel {

const std::string kFileListMask = FileBrowserMask();

namespace {

constexpr int kDesignDpi = 120;
constexpr int kRowHeight = 18;

// Kernel and virtual file systems hold no images; the drive selector leaves
// them out.
bool IsPseudoFileSystem(const QByteArray& type) {
  static const QSet<QByteArray> kPseudo = {"proc",    "sysfs",      "devpts",   "cgroup",      "cgroup2",    "mqueue",
                                           "debugfs", "tracefs",    "pstore",   "bpf",         "securityfs", "configfs",
                                           "fusectl", "hugetlbfs",  "autofs",   "binfmt_misc", "devtmpfs",   "efivarfs",
                                           "nsfs",    "rpc_pipefs", "selinuxfs"};
  return kPseudo.contains(type);
}

QStringList MaskPatterns() { return QString::fromStdString(kFileListMask).split(QLatin1Char(';')); }

QString CleanFolder(const QString& folder) { return QDir::cleanPath(QFileInfo(folder).absoluteFilePath()); }

}  // namespace

int ScaleFromDesign(int designPixels, int dotsPerInch) {
  return static_cast<int>(std::lround(static_cast<double>(designPixels) * dotsPerInch / kDesignDpi));
}

bool MatchesFileListMask(const QString& name) {
  static const QList<QRegularExpression> kPatterns = [] {
    QList<QRegularExpression> patterns;
    for (const QString& pattern : MaskPatterns())
      patterns << QRegularExpression(QRegularExpression::wildcardToRegularExpression(pattern),
                                     QRegularExpression::CaseInsensitiveOption);
    return patterns;
  }();
  return std::any_of(kPatterns.begin(), kPatterns.end(),
                     [&](const QRegularExpression& pattern) { return pattern.match(name).hasMatch(); });
}

FileBrowser::FileBrowser(QWidget* parent) : QWidget(parent) {
  drives_ = new QComboBox(this);
  drives_->setObjectName(QStringLiteral("drives"));
  // Long mount points must not widen the panel.
  drives_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  drives_->setMinimumContentsLength(8);

  treeModel_ = new QFileSystemModel(this);
  treeModel_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
  treeModel_->setRootPath(QDir::rootPath());
  tree_ = new QTreeView;
  tree_->setObjectName(QStringLiteral("folders"));
  tree_->setModel(treeModel_);
  tree_->setHeaderHidden(true);
  for (int column = 1; column < treeModel_->columnCount(); ++column) tree_->hideColumn(column);
  // Deep folders scroll sideways instead of being cut off.
  tree_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  tree_->header()->setStretchLastSection(false);
  tree_->setContextMenuPolicy(Qt::CustomContextMenu);

  files_ = new QListWidget;
  files_->setObjectName(QStringLiteral("files"));
  files_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  files_->setUniformItemSizes(true);
  files_->setContextMenuPolicy(Qt::CustomContextMenu);
  const int row = ScaleFromDesign(kRowHeight, logicalDpiY());
  files_->setIconSize(QSize(std::max(row - 2, 8), std::max(row - 2, 8)));
  files_->installEventFilter(this);

  splitter_ = new QSplitter(Qt::Vertical);
  splitter_->addWidget(tree_);
  splitter_->addWidget(files_);
  splitter_->setChildrenCollapsible(false);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(drives_);
  layout->addWidget(splitter_, 1);

  fileMenu_ = new QMenu(this);
  treeMenu_ = new QMenu(this);

  RefreshDrives();

  connect(drives_, qOverload<int>(&QComboBox::activated), this, [this](int index) {
    const QString root = drives_->itemData(index).toString();
    if (!SetFolder(root)) ShowDriveOf(folder_);
  });
  // The tree's model reads and sorts folders in the background, which moves
  // the rows: for a moment after a change of folder the tree keeps opening
  // and showing it as rows arrive.
  treeFollow_ = new QTimer(this);
  treeFollow_->setSingleShot(true);
  treeFollow_->setInterval(20);
  connect(treeFollow_, &QTimer::timeout, this, [this] { ShowInTree(folder_); });
  const auto follow = [this] {
    if (followClock_.isValid() && !followClock_.hasExpired(3000)) treeFollow_->start();
  };
  connect(treeModel_, &QFileSystemModel::directoryLoaded, this, follow);
  connect(treeModel_, &QAbstractItemModel::rowsInserted, this, follow);
  connect(treeModel_, &QAbstractItemModel::layoutChanged, this, follow);
  connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
    if (following_ || !current.isValid()) return;
    SetFolder(treeModel_->filePath(current));
  });
  connect(files_, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem* item) { emit fileActivated(PathOf(item->text())); });
  connect(files_, &QListWidget::itemClicked, this,
          [this](QListWidgetItem* item) { emit fileClicked(PathOf(item->text())); });
  connect(files_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    if (!fileMenu_->isEmpty()) fileMenu_->popup(files_->viewport()->mapToGlobal(at));
  });
  connect(tree_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    if (!treeMenu_->isEmpty()) treeMenu_->popup(tree_->viewport()->mapToGlobal(at));
  });
}

bool FileBrowser::SetFolder(const QString& folder) {
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) return false;
  const QString clean = CleanFolder(folder);
  const bool changed = clean != folder_;
  folder_ = clean;
  followClock_.start();
  ShowDriveOf(folder_);
  ShowInTree(folder_);
  RefreshFiles();
  if (changed) emit folderChanged(folder_);
  return true;
}

void FileBrowser::ShowDriveOf(const QString& folder) {
  int best = -1;
  qsizetype bestLength = -1;
  for (int i = 0; i < drives_->count(); ++i) {
    const QString root = drives_->itemData(i).toString();
    const bool inside = folder == root || root == QDir::rootPath() || folder.startsWith(root + QLatin1Char('/'));
    if (inside && root.size() > bestLength) {
      best = i;
      bestLength = root.size();
    }
  }
  if (best >= 0) drives_->setCurrentIndex(best);
}

void FileBrowser::ShowInTree(const QString& folder) {
  const QModelIndex index = treeModel_->index(folder);
  if (!index.isValid()) return;
  following_ = true;
  for (QModelIndex parent = index.parent(); parent.isValid(); parent = parent.parent()) tree_->expand(parent);
  tree_->setCurrentIndex(index);
  tree_->scrollTo(index, QAbstractItemView::PositionAtCenter);
  // Scrolling to a deep folder must not hide the tree's left edge.
  tree_->horizontalScrollBar()->setValue(0);
  following_ = false;
}

void FileBrowser::RefreshDrives() {
  QList<QStorageInfo> volumes;
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    if (!volume.isValid() || !volume.isReady() || IsPseudoFileSystem(volume.fileSystemType())) continue;
    volumes << volume;
  }
  std::sort(volumes.begin(), volumes.end(),
            [](const QStorageInfo& a, const QStorageInfo& b) { return a.rootPath() < b.rootPath(); });
  drives_->clear();
  QSet<QString> seen;
  for (const QStorageInfo& volume : volumes) {
    const QString root = volume.rootPath();
    if (seen.contains(root)) continue;
    seen.insert(root);
    const QString name = volume.displayName();
    const QString caption =
        name.isEmpty() || name == root ? root : root + QStringLiteral("  [") + name + QLatin1Char(']');
    drives_->addItem(caption, root);
    drives_->setItemData(drives_->count() - 1, QString::fromUtf8(volume.device()), Qt::ToolTipRole);
  }
  if (!seen.contains(QDir::rootPath())) drives_->insertItem(0, QDir::rootPath(), QDir::rootPath());
  if (!folder_.isEmpty()) ShowDriveOf(folder_);
}

void FileBrowser::RefreshFiles() {
  const QStringList selected = SelectedNames();
  const QListWidgetItem* currentItem = files_->currentItem();
  const QString current = currentItem ? currentItem->text() : QString();

  QStringList names;
  if (!folder_.isEmpty()) {
    // Plain files only; letter case does not matter to the mask.
    names = QDir(folder_).entryList(MaskPatterns(), QDir::Files | QDir::NoDotAndDotDot, QDir::NoSort);
  }
  std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
    const int folded = a.compare(b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
  });

  const int row = ScaleFromDesign(kRowHeight, logicalDpiY());
  files_->clear();
  for (const QString& name : names) {
    auto* item = new QListWidgetItem(IconFor(name), name);
    item->setSizeHint(QSize(0, row));
    files_->addItem(item);
  }
  SelectNames(selected);
  if (!current.isEmpty()) {
    const QList<QListWidgetItem*> found = files_->findItems(current, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (!found.isEmpty()) files_->setCurrentItem(found.front(), QItemSelectionModel::NoUpdate);
  }
}

QStringList FileBrowser::FileNames() const {
  QStringList names;
  for (int i = 0; i < files_->count(); ++i) names << files_->item(i)->text();
  return names;
}

QStringList FileBrowser::SelectedNames() const {
  QStringList names;
  for (int i = 0; i < files_->count(); ++i)
    if (files_->item(i)->isSelected()) names << files_->item(i)->text();
  return names;
}

void FileBrowser::SelectNames(const QStringList& names) {
  const QSet<QString> wanted(names.begin(), names.end());
  for (int i = 0; i < files_->count(); ++i) files_->item(i)->setSelected(wanted.contains(files_->item(i)->text()));
}

QString FileBrowser::PathOf(const QString& name) const { return QDir(folder_).filePath(name); }

QIcon FileBrowser::IconFor(const QString& name) {
  const QString suffix = QFileInfo(name).suffix().toLower();
  auto found = icons_.constFind(suffix);
  if (found != icons_.constEnd()) return *found;
  // A page with a folded corner, coloured by the family of the file type.
  static const QHash<QString, QColor> kColors = {
      {"bmp", QColor(40, 90, 200)},   {"gif", QColor(40, 160, 60)},  {"jpg", QColor(230, 130, 20)},
      {"png", QColor(140, 60, 190)},  {"ico", QColor(220, 190, 20)}, {"icl", QColor(180, 150, 0)},
      {"tif", QColor(0, 150, 150)},   {"tga", QColor(200, 60, 120)}, {"wmf", QColor(110, 110, 110)},
      {"emf", QColor(110, 110, 110)}, {"xgif", QColor(200, 30, 30)}, {"xjpg", QColor(200, 30, 30)},
      {"xpng", QColor(200, 30, 30)}};
  const QColor color = kColors.value(suffix, QColor(140, 100, 60));
  const int side = files_->iconSize().height();
  QPixmap page(side, side);
  page.fill(Qt::transparent);
  {
    QPainter painter(&page);
    const int left = side / 8, right = side - side / 8 - 1, fold = side / 4;
    const QPolygon outline({QPoint(left, 0), QPoint(right - fold, 0), QPoint(right, fold), QPoint(right, side - 1),
                            QPoint(left, side - 1)});
    painter.setPen(QColor(90, 90, 90));
    painter.setBrush(Qt::white);
    painter.drawPolygon(outline);
    painter.fillRect(QRect(left + 1, side / 2, right - left, side / 2 - 1), color);
    painter.drawLine(right - fold, 0, right - fold, fold);
    painter.drawLine(right - fold, fold, right, fold);
  }
  const QIcon icon(page);
  icons_.insert(suffix, icon);
  return icon;
}

void FileBrowser::ActivateCurrent() {
  QListWidgetItem* item = files_->currentItem();
  if (!item || !item->isSelected()) {
    const QList<QListWidgetItem*> selected = files_->selectedItems();
    item = selected.isEmpty() ? nullptr : selected.front();
  }
  if (item) emit fileActivated(PathOf(item->text()));
}

void FileBrowser::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // A tree scrolls only once it has its size: show the folder when laid out.
  QTimer::singleShot(0, this, [this] { ShowInTree(folder_); });
}

bool FileBrowser::eventFilter(QObject* watched, QEvent* event) {
  if (watched == files_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      ActivateCurrent();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace pixtrel
