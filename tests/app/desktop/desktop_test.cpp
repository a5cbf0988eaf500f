// The main window as a desktop program: zoom, the caption, recent files,
// drops, next and previous picture, help, and the batch's failing file,
// driven by keys and mouse events.
#include <QDropEvent>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMimeData>
#include <QScrollBar>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <QWheelEvent>

#include "app/batch_window.h"
#include "app/desktop_actions.h"
#include "app/edit_actions.h"
#include "app/icona_lib_window.h"
#include "app/shape_actions.h"
#include "app/shell/shell_fixture.h"
#include "app/workspace_view.h"
#include "io/formats.h"

namespace pixtrel::test {
namespace {

class DesktopTest : public ShellTest {
 protected:
  // The window shown and active, showing the images folder.
  PixtrelF& StartShown() {
    PixtrelF& window = Start();
    window.resize(900, 600);
    ShowActive();
    window.Browser()->SetFolder(images_);
    return window;
  }

  // Opens a file by a double-click in the file list.
  void DoubleClick(PixtrelF& window, const QString& name) {
    QListWidget* files = window.Browser()->Files();
    const QList<QListWidgetItem*> found = files->findItems(name, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << name.toStdString();
    files->scrollToItem(found[0]);
    const QRect item = files->visualItemRect(found[0]);
    QTest::mouseClick(files->viewport(), Qt::LeftButton, Qt::NoModifier, item.center());
    QTest::mouseDClick(files->viewport(), Qt::LeftButton, Qt::NoModifier, item.center());
    ASSERT_EQ(window.Desktop()->OpenFile(), window.Browser()->PathOf(name).toStdString());
  }

  QString ZoomPanel(PixtrelF& window) { return window.findChild<QLabel*>("panel2")->text(); }

  // A drag of local files dropped at a point of a widget.
  static void DropFiles(QWidget* target, const QStringList& paths, QPoint at) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
    data.setUrls(urls);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    EXPECT_TRUE(drop.isAccepted());
  }
};

TEST_F(DesktopTest, ViewMenuSitsBeforeHelpWithItsKeys) {
  PixtrelF& window = Start();
  QStringList menus;
  for (QAction* action : window.menuBar()->actions()) menus << action->text();
  const qsizetype view = menus.indexOf("&View");
  ASSERT_GE(view, 0);
  EXPECT_EQ(menus.at(view + 1), "&Help");
  EXPECT_GT(view, menus.indexOf("&Directories"));
  const DesktopActions& d = *window.Desktop();
  EXPECT_EQ(d.zoomIn->text(), "Zoom &In");
  EXPECT_EQ(d.zoomIn->shortcuts(), (QList<QKeySequence>{QKeySequence("Ctrl++"), QKeySequence("Ctrl+=")}));
  EXPECT_EQ(d.zoomOut->text(), "Zoom &Out");
  EXPECT_EQ(d.zoomOut->shortcut(), QKeySequence("Ctrl+-"));
  EXPECT_EQ(d.actualSize->text(), "&Actual Size");
  EXPECT_EQ(d.actualSize->shortcut(), QKeySequence("Ctrl+0"));
  EXPECT_EQ(d.fitToWindow->text(), "&Fit to Window");
  EXPECT_EQ(d.fitToWindow->shortcut(), QKeySequence("Ctrl+9"));
  // File keeps its commands and ends with the recent files.
  QMenu* file = window.MenuNamed("&File");
  EXPECT_EQ(file->actions().back()->text(), "Recent &Files");
  // The zoom panel comes after the Parts' two.
  EXPECT_EQ(window.StatusText(2), "100 %");
}

TEST_F(DesktopTest, LargePhotoOpensFittedSmallGifAtFullSizeAndKeysZoom) {
  WriteImage("large.png", Qt::darkGreen, 3000, 2000);
  WriteImage("small.gif", Qt::red, 70, 46);
  PixtrelF& window = StartShown();
  WorkspaceView* view = window.View();

  DoubleClick(window, "large.png");
  EXPECT_TRUE(view->Fitting());
  EXPECT_LT(view->Zoom(), 1.0);
  const QSize viewport = view->maximumViewportSize();
  EXPECT_LE(view->Canvas()->width(), viewport.width());
  EXPECT_LE(view->Canvas()->height(), viewport.height());
  EXPECT_NE(ZoomPanel(window), "100 %");
  // The image itself keeps its size.
  EXPECT_EQ(window.CurrentWorkspace().Image().Width(), 3000);

  QTest::keyClick(&window, Qt::Key_0, Qt::ControlModifier);
  EXPECT_DOUBLE_EQ(view->Zoom(), 1.0);
  EXPECT_EQ(ZoomPanel(window), "100 %");
  QTest::keyClick(&window, Qt::Key_9, Qt::ControlModifier);
  EXPECT_TRUE(view->Fitting());

  // "Actual Size" is the choice now: even the large photo opens at 100 %.
  QTest::keyClick(&window, Qt::Key_0, Qt::ControlModifier);
  DoubleClick(window, "small.gif");
  EXPECT_DOUBLE_EQ(view->Zoom(), 1.0);
  QTest::keyClick(&window, Qt::Key_Equal, Qt::ControlModifier);
  EXPECT_DOUBLE_EQ(view->Zoom(), 1.5);
  QTest::keyClick(&window, Qt::Key_Plus, Qt::ControlModifier);
  EXPECT_DOUBLE_EQ(view->Zoom(), 2.0);
  EXPECT_EQ(ZoomPanel(window), "200 %");
  QTest::keyClick(&window, Qt::Key_Minus, Qt::ControlModifier);
  EXPECT_DOUBLE_EQ(view->Zoom(), 1.5);
  // Fit to Window brings the tiny GIF up to the view.
  QTest::keyClick(&window, Qt::Key_9, Qt::ControlModifier);
  EXPECT_GT(view->Zoom(), 5.0);
  Close();
  EXPECT_TRUE(ReadText(SettingsFile()).contains("[View]\nFitLargeImages=1\n"))
      << ReadText(SettingsFile()).toStdString();
}

TEST_F(DesktopTest, ActualSizeChoiceSurvivesARestart) {
  WriteImage("large.png", Qt::darkGreen, 3000, 2000);
  StartShown();
  QTest::keyClick(window_.get(), Qt::Key_0, Qt::ControlModifier);
  Close();
  EXPECT_TRUE(ReadText(SettingsFile()).contains("FitLargeImages=0")) << ReadText(SettingsFile()).toStdString();
  PixtrelF& window = StartShown();
  EXPECT_FALSE(window.Desktop()->FitsLargeImages());
  DoubleClick(window, "large.png");
  EXPECT_DOUBLE_EQ(window.View()->Zoom(), 1.0);
}

TEST_F(DesktopTest, SelectionAndCropWorkInImagePixelsWhenZoomedIn) {
  WriteImage("grid.bmp", Qt::blue, 40, 30);
  PixtrelF& window = StartShown();
  DoubleClick(window, "grid.bmp");
  window.View()->SetZoom(4.0, QPoint(0, 0));
  QWidget* canvas = window.View()->Canvas();
  // From image pixel (2, 2) to (12, 7): canvas (8..11, 8..11) to (48, 28).
  QTest::mousePress(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(9, 10));
  QMouseEvent move(QEvent::MouseMove, QPointF(49, 30), canvas->mapToGlobal(QPointF(49, 30)), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(canvas, &move);
  EXPECT_EQ(window.StatusText(1), "x=12, y=7, w=10, h=5");
  QTest::mouseRelease(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(49, 30));
  const Rect selected = window.CurrentSelection().Normalized();
  EXPECT_EQ(selected, (Rect{2, 2, 12, 7}));
  // The outline is drawn around the zoomed pixels: the canvas pixel at the
  // selection's top-left corner is inverted, one inside the rectangle is not.
  const QImage shown = canvas->grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(QColor(shown.pixel(8, 8)), QColor(Qt::yellow));
  EXPECT_EQ(QColor(shown.pixel(20, 16)), QColor(Qt::blue));
  // A move without a button reports the image pixel under the mouse.
  QTest::mouseMove(canvas, QPoint(101, 61));
  EXPECT_EQ(window.StatusText(1), "x=25, y=15");

  window.Edits()->crop->trigger();
  EXPECT_EQ(window.CurrentWorkspace().Image().Width(), 10);
  EXPECT_EQ(window.CurrentWorkspace().Image().Height(), 5);
  // The zoom stays; the canvas shows the cropped image at it.
  EXPECT_DOUBLE_EQ(window.View()->Zoom(), 4.0);
}

TEST_F(DesktopTest, CtrlWheelZoomsAboutThePointer) {
  WriteImage("wide.png", Qt::gray, 1200, 900);
  PixtrelF& window = StartShown();
  QTest::keyClick(&window, Qt::Key_0, Qt::ControlModifier);
  DoubleClick(window, "wide.png");
  WorkspaceView* view = window.View();
  view->horizontalScrollBar()->setValue(100);
  view->verticalScrollBar()->setValue(50);
  const QPoint pointer(200, 120);
  const QPoint before = view->ImagePoint(view->Canvas()->mapFrom(view->viewport(), pointer));
  QWheelEvent wheel(QPointF(pointer), QPointF(view->viewport()->mapToGlobal(pointer)), QPoint(), QPoint(0, 120),
                    Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view->viewport(), &wheel);
  EXPECT_DOUBLE_EQ(view->Zoom(), 1.5);
  const QPoint after = view->ImagePoint(view->Canvas()->mapFrom(view->viewport(), pointer));
  EXPECT_NEAR(after.x(), before.x(), 1);
  EXPECT_NEAR(after.y(), before.y(), 1);
  // Without Ctrl the wheel scrolls and the zoom stays.
  QWheelEvent plain(QPointF(pointer), QPointF(view->viewport()->mapToGlobal(pointer)), QPoint(), QPoint(0, -120),
                    Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view->viewport(), &plain);
  EXPECT_DOUBLE_EQ(view->Zoom(), 1.5);
}

TEST_F(DesktopTest, OverlayDragsInImagePixelsWhenZoomed) {
  WriteImage("base.bmp", Qt::white, 60, 60);
  const QString overlay = WriteImage("over.bmp", Qt::red, 10, 10);
  PixtrelF& window = StartShown();
  DoubleClick(window, "base.bmp");
  dialogs_.openAnswers.push_back(overlay.toStdString());
  QMenu* file = window.MenuNamed("&File");
  for (QAction* action : file->actions())
    if (action->text() == "O&verlay...") action->trigger();
  QWidget* shown = window.View()->Canvas()->findChild<QWidget*>("Overlay");
  ASSERT_NE(shown, nullptr);
  window.View()->SetZoom(2.0, QPoint(0, 0));
  // The overlay at (200, 200) shows at twice that, twice its size.
  EXPECT_EQ(shown->geometry(), QRect(400, 400, 20, 20));
  // Grabbed at its image pixel (1, 1) and dragged 20 canvas pixels right.
  QTest::mousePress(shown, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
  QMouseEvent move(QEvent::MouseMove, QPointF(22, 2), shown->mapToGlobal(QPointF(22, 2)), Qt::NoButton, Qt::LeftButton,
                   Qt::NoModifier);
  QApplication::sendEvent(shown, &move);
  EXPECT_EQ(shown->geometry(), QRect(420, 400, 20, 20));
}

TEST_F(DesktopTest, ShapeShowsZoomedAndMovesInImagePixels) {
  WriteImage("base.bmp", Qt::white, 400, 300);
  PixtrelF& window = StartShown();
  DoubleClick(window, "base.bmp");
  QTest::keyClick(&window, Qt::Key_F3);  // View Shape
  ShapeView* shape = window.Shapes()->Widget();
  ASSERT_TRUE(shape->isVisible());
  shapes::ZepShape& model = window.CurrentShape();
  const QRect image(model.Left(), model.Top(), model.Width(), model.Height());
  window.View()->SetZoom(2.0, QPoint(0, 0));
  EXPECT_EQ(shape->geometry(), QRect(image.topLeft() * 2, image.size() * 2));
  // A drag of 54 screen pixels moves the shape 27 image pixels.
  QTest::mousePress(shape, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  QMouseEvent move(QEvent::MouseMove, QPointF(64, 10), shape->mapToGlobal(QPointF(64, 10)), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(shape, &move);
  QTest::mouseRelease(shape, Qt::LeftButton, Qt::NoModifier, QPoint(64, 10));
  EXPECT_EQ(model.Left(), image.left() + 27);
  EXPECT_EQ(model.Top(), image.top());
  EXPECT_EQ(shape->geometry().topLeft(), QPoint(2 * (image.left() + 27), 2 * image.top()));
}

TEST_F(DesktopTest, CaptionNamesTheFileAndMarksAnEdit) {
  WriteImage("photo.png", Qt::gray);
  PixtrelF& window = StartShown();
  EXPECT_EQ(window.windowTitle(), "Pixtrel 11");
  DoubleClick(window, "photo.png");
  EXPECT_EQ(window.windowTitle(), QString::fromUtf8("photo.png \u2014 Pixtrel 11"));
  QTest::keyClick(&window, Qt::Key_F5);  // Lighter
  EXPECT_EQ(window.windowTitle(), QString::fromUtf8("photo.png * \u2014 Pixtrel 11"));
  // Saved under a new name: the caption names it, unchanged.
  int bmp = 1;
  while (FilterIndexToExt(bmp) != ".BMP" && bmp < 50) ++bmp;
  dialogs_.saveAnswers.push_back(SaveDialogChoice{(images_ + "/copy.bmp").toStdString(), bmp});
  window.SaveAs1Click();
  EXPECT_TRUE(window.windowTitle().endsWith(QString::fromUtf8(" \u2014 Pixtrel 11")))
      << window.windowTitle().toStdString();
  EXPECT_FALSE(window.windowTitle().contains('*')) << window.windowTitle().toStdString();
  EXPECT_TRUE(window.windowTitle().startsWith("copy.")) << window.windowTitle().toStdString();
  // Undo is an edit too.
  QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_TRUE(window.windowTitle().contains(" * ")) << window.windowTitle().toStdString();
}

TEST_F(DesktopTest, RecentFilesAreKeptNewestFirstAndAGoneOneLeaves) {
  const QString a = WriteImage("a.png", Qt::red);
  const QString b = WriteImage("b.bmp", Qt::green);
  const QString c = WriteImage("c.gif", Qt::blue);
  PixtrelF& first = StartShown();
  DoubleClick(first, "a.png");
  DoubleClick(first, "b.bmp");
  DoubleClick(first, "c.gif");
  DoubleClick(first, "a.png");
  Close();
  EXPECT_TRUE(ReadText(SettingsFile())
                  .contains("[Recent Files]\nFile1=" + a.toUtf8() + "\nFile2=" + c.toUtf8() + "\nFile3=" + b.toUtf8() +
                            "\nFile4=\n"))
      << ReadText(SettingsFile()).toStdString();

  PixtrelF& window = StartShown();
  QMenu* recent = window.Desktop()->recentMenu;
  emit recent->aboutToShow();
  QStringList captions;
  for (QAction* action : recent->actions()) captions << action->text();
  EXPECT_EQ(captions, QStringList({"&1 " + a, "&2 " + c, "&3 " + b}));
  // Choosing one opens it, with the file list on it.
  window.Browser()->SetFolder(home_.path());
  recent->actions().at(2)->trigger();
  EXPECT_EQ(window.CurrentWorkspace().Image().Pixel(0, 0), RGB(0, 255, 0));
  EXPECT_EQ(window.Browser()->Folder(), images_);
  EXPECT_EQ(window.Browser()->SelectedNames(), QStringList({"b.bmp"}));
  // A file that went away is taken off the list when chosen.
  QFile::remove(c);
  emit recent->aboutToShow();
  for (QAction* action : recent->actions())
    if (action->text().endsWith(c)) action->trigger();
  EXPECT_EQ(answers_.messages.back(), "Cannot open file \"" + c.toStdString() + "\"");
  EXPECT_EQ(window.Desktop()->Recent().Files(), (std::vector<std::string>{b.toStdString(), a.toStdString()}));
}

TEST_F(DesktopTest, DroppedFilesOpenTheFirstThatExists) {
  const QString red = WriteImage("red.png", Qt::red);
  const QString green = WriteImage("green.png", Qt::green);
  PixtrelF& window = StartShown();
  window.Browser()->SetFolder(home_.path());
  WriteText(images_ + "/notes.txt", "dragged along");
  DropFiles(window.View()->viewport(), {images_ + "/missing.png", images_ + "/notes.txt", green, red}, QPoint(50, 50));
  EXPECT_EQ(window.CurrentWorkspace().Image().Pixel(0, 0), RGB(0, 255, 0));
  EXPECT_EQ(window.Browser()->Folder(), images_);
  EXPECT_EQ(window.Browser()->SelectedNames(), QStringList({"green.png"}));
  EXPECT_EQ(window.Desktop()->OpenFile(), green.toStdString());
  // Onto the rest of the window (the file list takes no drops of its own).
  DropFiles(&window, {red}, window.Browser()->mapTo(&window, QPoint(10, 10)));
  EXPECT_EQ(window.CurrentWorkspace().Image().Pixel(0, 0), RGB(255, 0, 0));
}

TEST_F(DesktopTest, PageDownAndUpWalkThePicturesOfTheList) {
  WriteImage("a.bmp", Qt::red);
  WriteText(images_ + "/b.icl", "not opened by paging");
  WriteImage("c.png", Qt::green);
  WriteImage("d.gif", Qt::blue);
  PixtrelF& window = StartShown();
  DoubleClick(window, "a.bmp");
  QWidget* canvas = window.View()->Canvas();
  QTest::mouseClick(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
  ASSERT_TRUE(window.View()->hasFocus());
  QTest::keyClick(window.View(), Qt::Key_PageDown);
  EXPECT_EQ(window.CurrentWorkspace().Image().Pixel(0, 0), RGB(0, 255, 0));
  EXPECT_EQ(window.Browser()->SelectedNames(), QStringList({"c.png"}));
  QTest::keyClick(window.View(), Qt::Key_PageDown);
  EXPECT_EQ(window.Browser()->SelectedNames(), QStringList({"d.gif"}));
  QTest::keyClick(window.View(), Qt::Key_PageDown);  // the end: nothing more
  EXPECT_EQ(window.Browser()->SelectedNames(), QStringList({"d.gif"}));
  QTest::keyClick(window.View(), Qt::Key_PageUp);
  QTest::keyClick(window.View(), Qt::Key_PageUp);
  EXPECT_EQ(window.CurrentWorkspace().Image().Pixel(0, 0), RGB(255, 0, 0));
  EXPECT_EQ(window.Browser()->SelectedNames(), QStringList({"a.bmp"}));
  EXPECT_FALSE(window.IconManagerWindow()->isVisible());
}

TEST_F(DesktopTest, BatchStoppedByAFileNamesItInTheTitle) {
  WriteImage("a.bmp", Qt::red);
  WriteText(images_ + "/b.png", "not a PNG at all");
  WriteImage("c.bmp", Qt::blue);
  const QString out = home_.path() + "/out";
  QDir().mkpath(out);
  PixtrelF& window = StartShown();
  window.Browser()->SelectNames({"a.bmp", "b.png", "c.bmp"});
  dialogs_.modalAnswers.push_back([&](QDialog& dialog) {
    auto& batch = static_cast<BatchF&>(dialog);
    batch.SetFormat("GIF");
    dialogs_.folderAnswers.push_back(out.toStdString());
    batch.DestinationButton()->click();
    return true;
  });
  window.BatchNow1Click();
  ASSERT_EQ(answers_.titles.size(), 1u);
  EXPECT_EQ(answers_.titles[0], (images_ + "/b.png").toStdString());
  // The message is the reader's own, as before.
  ASSERT_EQ(answers_.messages.size(), 1u);
  EXPECT_TRUE(QFileInfo::exists(out + "/a.gif"));
  EXPECT_FALSE(QFileInfo::exists(out + "/c.gif"));
}

TEST_F(DesktopTest, HelpOpensTheManualAndAboutNamesTheLibraries) {
  PixtrelF& window = Start();
  // No manual beside the program: said so.
  window.HelpContents();
  ASSERT_FALSE(answers_.messages.empty());
  EXPECT_NE(answers_.messages.back().find("Pixtrel.html"), std::string::npos);
  ASSERT_TRUE(QFile::copy(QStringLiteral(PIXTREL_SOURCE_DIR "/data/Pixtrel.html"), program_ + "/Pixtrel.html"));
  ShowActive();
  QTest::keyClick(&window, Qt::Key_F1);
  ASSERT_EQ(dialogs_.documents.size(), 1u);
  EXPECT_EQ(dialogs_.documents[0],
            QUrl::fromLocalFile(program_ + "/Pixtrel.html").toString().toStdString() + "#Pixtrel");
  // The web page; when no browser takes it, its address is shown.
  dialogs_.openDocuments = false;
  window.HelpOnTheWeb();
  EXPECT_EQ(dialogs_.documents.back().rfind("https://", 0), 0u);
  EXPECT_NE(answers_.messages.back().find(dialogs_.documents.back()), std::string::npos);
  window.HelpAbout();
  const std::string about = answers_.messages.back();
  EXPECT_EQ(about.rfind("Pixtrel 11", 0), 0u);
  for (const char* library : {"Qt ", "zlib ", "JPEG library ", "Crypto++ "})
    EXPECT_NE(about.find(library), std::string::npos) << about;
}

// Under a real X server with a window manager (on_x_server.sh): the
// favourite is added through the folder tree's pop-up menu and the real
// prompt by keys, and the "&Directories" menu opened by keys shows it at once.
TEST_F(DesktopTest, FavouriteAppearsAtOnceOnXServer) {
  if (QGuiApplication::platformName() != QStringLiteral("xcb"))
    GTEST_SKIP() << "needs an X server: tests/app/desktop/on_x_server.sh runs it";
  ShellOptions options;
  options.programPath = (program_ + QStringLiteral("/pixtrel")).toStdString();
  window_ = std::make_unique<PixtrelF>(options, dialogs_);  // the real prompt
  ShowActive();
  PixtrelF& window = *window_;
  ASSERT_TRUE(window.Browser()->SetFolder(images_));
  QTreeView* tree = window.Browser()->Tree();
  QTRY_VERIFY(tree->currentIndex().isValid());
  tree->scrollTo(tree->currentIndex());
  QTest::mouseClick(tree->viewport(), Qt::RightButton, Qt::NoModifier, tree->visualRect(tree->currentIndex()).center());
  QMenu* treeMenu = window.Browser()->TreeMenu();
  QTRY_VERIFY(treeMenu->isVisible());
  // The prompt runs its own loop: it is answered by keys once it shows.
  bool prompted = false;
  QTimer answer;
  answer.setInterval(50);
  QObject::connect(&answer, &QTimer::timeout, [&] {
    auto* prompt = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
    if (!prompt || !prompt->isVisible()) return;
    answer.stop();
    prompted = true;
    EXPECT_EQ(prompt->windowTitle(), "Pixtrel Directories");
    EXPECT_EQ(prompt->labelText(), "Enter alias");
    QLineEdit* line = prompt->findChild<QLineEdit*>();
    QTest::keyClicks(line, "pics");
    QTest::keyClick(line, Qt::Key_Return);
  });
  answer.start();
  QTest::keyClick(treeMenu, Qt::Key_A);
  QTRY_VERIFY(prompted);
  QTRY_COMPARE(window.Favourites().size(), std::size_t{1});

  // Somewhere else, then back through the menu, by keys.
  ASSERT_TRUE(window.Browser()->SetFolder(home_.path()));
  QTRY_VERIFY(QApplication::activeWindow() == &window);
  QTest::keyClick(&window, Qt::Key_D, Qt::AltModifier);
  QMenu* directories = window.DirectoriesMenu();
  QTRY_VERIFY(directories->isVisible());
  ASSERT_EQ(directories->actions().size(), 1);
  EXPECT_EQ(directories->actions().front()->text(), "pics");
  EXPECT_TRUE(directories->actionGeometry(directories->actions().front()).height() > 0);
  if (directories->activeAction() == nullptr) QTest::keyClick(directories, Qt::Key_Down);
  QTest::keyClick(directories, Qt::Key_Return);
  QTRY_COMPARE(window.Browser()->Folder(), images_);
}

TEST(Manual, DescribesEveryMenuCommand) {
  QFile file(QStringLiteral(PIXTREL_SOURCE_DIR "/data/Pixtrel.html"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QString manual = QString::fromUtf8(file.readAll());
  EXPECT_TRUE(manual.contains("id=\"Pixtrel\""));
  QTemporaryDir home;
  ScriptedAppDialogs dialogs;
  ScriptedInteraction answers;
  ShellOptions options;
  options.programPath = (home.path() + "/pixtrel").toStdString();
  options.interaction = &answers;
  PixtrelF window(options, dialogs);
  // Every command of the menu bar is named in the manual (without its "&").
  std::function<void(const QMenu*)> check = [&](const QMenu* menu) {
    for (const QAction* action : menu->actions()) {
      if (action->isSeparator() || action->text().isEmpty()) continue;
      if (action->menu()) check(action->menu());
      if (menu->objectName() == "Directories1" || menu->objectName() == "RecentFiles1") continue;
      // The shortcut a caption shows after a tab is not part of its name.
      QString caption = action->text().section('\t', 0, 0);
      caption.remove('&');
      caption = caption.simplified();
      EXPECT_TRUE(manual.contains(caption)) << caption.toStdString();
    }
  };
  for (QAction* action : window.menuBar()->actions())
    if (action->menu()) check(action->menu());
}

}  // namespace
}  // namespace pixtrel::test
