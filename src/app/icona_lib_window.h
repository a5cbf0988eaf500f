// "Icon Manager": the icon library on the left ("Icon Library"), the images
// of its selected icon on the right ("Icon"), both as owner-drawn rows, with
// the File and Options menus and the two lists' pop-up menus. The window
// stays on top, is not modal, and is created at start and kept; its model
// (the library, the icon being edited, the copied image) is
// icons::IconManager, and every command here only asks for file names and
// runs the model.
#pragma once

#include <QAction>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <functional>
#include <string>

#include "icons/icon_manager.h"
#include "io/image_io.h"
#include "workspace/icon_transfer.h"

namespace pixtrel {

class AppDialogs;
class UserInteraction;

// A list of owner-drawn rows; the image list drags its rows onto itself and
// onto the workspace.
class IconRowList : public QListWidget {
  Q_OBJECT

 public:
  // The image a row shows (nullptr: none).
  using RowImage = std::function<const icons::IconImage*(int row)>;
  IconRowList(RowImage rowImage, QWidget* parent = nullptr);

  const icons::IconImage* ImageOfRow(int row) const { return rowImage_(row); }
  // The drag's data for a row, which only this list and the workspace take.
  QMimeData* MimeForRow(int row) const;
  // The row a drag's data carries when it comes from this list, else -1.
  int DraggedRow(const QMimeData* data) const;
  // The rows' images changed: heights and pictures are taken again.
  void RowsChanged();

 signals:
  // A row of this list was dropped on the row target (-1: below the rows).
  void rowDropped(int dragged, int target);

 protected:
  void startDrag(Qt::DropActions actions) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  RowImage rowImage_;
};

class IconaLibF : public QMainWindow {
  Q_OBJECT

 public:
  // programPath: the program whose own icons showing the window loads.
  IconaLibF(AppDialogs& dialogs, UserInteraction& ui, std::string programPath, QWidget* parent = nullptr);
  ~IconaLibF() override;

  icons::IconManager& Manager() { return manager_; }

  // The commands.
  void LoadICOClick();
  void ButtonSaveIconClick();
  void LoadLIBClick();
  void SaveLIBClick();
  void btnsavebmpClick();
  void SaveImageasGIF1Click();
  void SaveImageasPNG1Click();
  void ButtonClearLibraryClick();
  void AppendIcons1Click();
  void ButtonDeleteLIBIconClick();
  void Rename1Click();
  void ButtonEditIconImageClick();
  void ButtonSizeSortClick();
  void ButtonColorSortClick();
  void btncopyIcoImageClick();
  void btnAddIcoImageClick();
  void ButtonDeleteIconImageClick();

  // The file browser's ".icl": the library is opened and the window shown
  // with it (showing does not reload the program's icons this time).
  void ShowLibrary(const std::string& fileName);
  // The workspace's scrolling area takes image rows dropped where the image
  // does not cover it (coversImage tells, in the area's coordinates), and
  // runs "Copy to &Editor" with the dropped row.
  void AcceptImageDropsOn(QWidget* viewport, std::function<bool(QPoint)> coversImage);

  // "Copy to &Editor" hands the image here (the main window's workspace).
  std::function<void(const icons::IconImage&)> copyToEditor;
  // The run's settings the GIF export reduces by.
  std::function<SaveOptions()> sessionOptions;

  IconRowList* LIBListBox() const { return libList_; }
  IconRowList* ICOListBox() const { return icoList_; }
  QMenu* LibPop() const { return libpop_; }
  QMenu* IcoPop() const { return icopop_; }
  QAction* GifTrans() const { return giftrans_; }
  // The menu bar's menus by caption.
  QMenu* MenuNamed(const QString& caption) const;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildMenus();
  void FillLibraryList();
  void FillIconList();
  void Export(IconExport kind);
  template <typename F>
  void Guarded(F&& command);

  AppDialogs& dialogs_;
  UserInteraction& ui_;
  std::string programPath_;
  std::string programFolder_;
  std::string lastFolder_;
  icons::IconManager manager_;
  bool keepLibraryOnShow_ = false;
  bool filling_ = false;

  IconRowList* libList_ = nullptr;
  IconRowList* icoList_ = nullptr;
  QMenu* libpop_ = nullptr;
  QMenu* icopop_ = nullptr;
  QAction* giftrans_ = nullptr;
  // The workspace's parts may go before this window does.
  QPointer<QWidget> dropViewport_;
  std::function<bool(QPoint)> coversImage_;
};

}  // namespace pixtrel
