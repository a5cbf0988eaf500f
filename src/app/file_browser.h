// The left panel of the main window: the drive selector (the mounted file
// systems), the folder tree and the file list, linked so that choosing a
// drive or a folder shows that folder's image files. Folders change only
// here; the main window reads the folder and the selection and places the
// commands of the two pop-up menus.
#pragma once

#include <string>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHash>
#include <QIcon>
#include <QListWidget>
#include <QMenu>
#include <QSplitter>
#include <QStorageInfo>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QTreeView>
#include <QWidget>

class QFileSystemModel;

namespace pixtrel {

// Sizes of the main window's layout are designed at 120 pixels per inch.
int ScaleFromDesign(int designPixels, int dotsPerInch);

// The patterns the file list shows, separated by ";".
extern const std::string kFileListMask;

// Whether a file name matches one of the mask's patterns, ignoring letter case.
bool MatchesFileListMask(const QString& name);

class FileBrowser : public QWidget {
  Q_OBJECT

 public:
  explicit FileBrowser(QWidget* parent = nullptr);

  // Goes to a folder: the drive selector, the tree and the file list follow.
  // False (and nothing changes) when it is not an existing folder.
  bool SetFolder(const QString& folder);
  // The folder shown, absolute and without a trailing separator (except "/").
  QString Folder() const { return folder_; }

  // Re-reads the file list from disk, keeping the selection of names still there.
  void RefreshFiles();
  // Re-reads the mounted file systems.
  void RefreshDrives();

  // The names in the list and the selected ones, in list order.
  QStringList FileNames() const;
  QStringList SelectedNames() const;
  // Selects exactly these names (the others are deselected).
  void SelectNames(const QStringList& names);
  // The full path of a name in the shown folder.
  QString PathOf(const QString& name) const;

  QComboBox* Drives() const { return drives_; }
  QTreeView* Tree() const { return tree_; }
  QListWidget* Files() const { return files_; }
  QSplitter* Divider() const { return splitter_; }
  // The pop-up menus of the file list and the folder tree; the main window fills them.
  QMenu* FileMenu() const { return fileMenu_; }
  QMenu* TreeMenu() const { return treeMenu_; }

 signals:
  // A double-click on an entry, or Enter with an entry selected.
  void fileActivated(const QString& path);
  // A single click on an entry.
  void fileClicked(const QString& path);
  void folderChanged(const QString& folder);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void ShowDriveOf(const QString& folder);
  void ShowInTree(const QString& folder);
  QIcon IconFor(const QString& name);
  void ActivateCurrent();

  QComboBox* drives_;
  QTreeView* tree_;
  QFileSystemModel* treeModel_;
  QListWidget* files_;
  QSplitter* splitter_;
  QMenu* fileMenu_;
  QMenu* treeMenu_;
  QString folder_;
  QHash<QString, QIcon> icons_;
  QTimer* treeFollow_;
  QElapsedTimer followClock_;
  bool following_ = false;
};

}  // namespace pixtrel
