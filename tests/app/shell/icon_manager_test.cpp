// The icon manager window driven as a user drives it: opened from the Tools
// menu and by a double-clicked ".icl", its menus, shortcuts and pop-up
// menus, dragging image rows within the image list and onto the workspace,
// and "&Append to Icon Library" from the main window.
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QListWidget>
#include <QMenuBar>
#include <QMimeData>

#include "app/icona_lib_window.h"
#include "app/workspace_view.h"
#include "core/stream.h"
#include "icons/icon_library.h"
#include "shell_fixture.h"
#include "support/corpus.h"
#include "support/run_command.h"

namespace pixtrel::test {
namespace {

QStringList Rows(const QListWidget* list) {
  QStringList rows;
  for (int i = 0; i < list->count(); ++i) rows << list->item(i)->text();
  return rows;
}

QStringList Captions(const QMenu* menu) {
  QStringList captions;
  for (const QAction* action : menu->actions())
    if (!action->isSeparator()) captions << action->text();
  return captions;
}

QAction* Item(const QMenu* menu, const QString& caption) {
  for (QAction* action : menu->actions())
    if (action->text() == caption) return action;
  ADD_FAILURE() << "no menu item " << caption.toStdString();
  static QAction none;
  return &none;
}

std::vector<int> Widths(const icons::AdvancedIcon& icon) {
  std::vector<int> widths;
  for (int i = 0; i < icon.Images().Count(); ++i) widths.push_back(icon.Images().Get(i)->PixelWidth());
  return widths;
}

// Drags a row of the image list over target and drops it at `at`; true when
// the drop was taken.
bool DropRow(const IconRowList* list, int row, QWidget* target, QPoint at) {
  std::unique_ptr<QMimeData> data(list->MimeForRow(row));
  QDragEnterEvent enter(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  QDragMoveEvent move(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &move);
  if (!move.isAccepted()) return false;
  QDropEvent drop(QPointF(at), Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  return drop.isAccepted();
}

class IconManagerWindowTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    // The program's own icons, as the build puts them beside the program.
    ASSERT_TRUE(QDir().mkpath(program_ + "/icons"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(PIXTREL_PROGRAM_ICON), program_ + "/icons/pixtrel.ico"));
  }

  // Opens the manager from the Tools menu and waits until it takes keys.
  IconaLibF& OpenManager(PixtrelF& window) {
    Item(window.MenuNamed("&Tools"), "&ICON Manager")->trigger();
    IconaLibF& manager = *window.IconManagerWindow();
    QApplication::setActiveWindow(&manager);
    EXPECT_TRUE(QTest::qWaitForWindowActive(&manager));
    return manager;
  }

  // A copy of a corpus library in the images folder.
  QString CorpusCopy(const QString& name, const QString& as) {
    const QString target = images_ + "/" + as;
    EXPECT_TRUE(QFile::copy(QString::fromStdString(CorpusDir()) + "/icl/" + name, target));
    return target;
  }

  // An ICO of three images, 16, 32 and 48 pixels wide.
  QString ThreeImageIco(const QString& name = "three.ico") {
    icons::IconLibrary library;
    library.LoadFromProgram((program_ + "/pixtrel").toStdString());
    icons::AdvancedIcon three;
    const icons::AdvancedIcon& own = *library.Icons.Icon(0);
    for (int i = 2; i < own.Images().Count(); i += 3) three.Images().Add(std::make_unique<icons::IconImage>(*own.Images().Get(i)));
    const QString path = images_ + "/" + name;
    three.SaveToFile(path.toStdString());
    return path;
  }
};

TEST_F(IconManagerWindowTest, MenusShortcutsAndPopUpsOfTheWindow) {
  PixtrelF& window = Start();
  IconaLibF& manager = *window.IconManagerWindow();
  EXPECT_FALSE(manager.isVisible());
  EXPECT_EQ(manager.windowTitle(), "Icon Manager");
  EXPECT_TRUE(manager.windowFlags() & Qt::WindowStaysOnTopHint);
  QStringList menus;
  for (const QAction* action : manager.menuBar()->actions()) menus << action->text();
  EXPECT_EQ(menus, QStringList({"&File", "&Options"}));
  EXPECT_EQ(Captions(manager.MenuNamed("&File")),
            QStringList({"Load &Icon", "Sa&ve Icon", "&Load Library", "&Save Library", "Save Image as BMP",
                         "Save Image as GIF", "Save Image as PNG"}));
  EXPECT_EQ(Item(manager.MenuNamed("&File"), "Load &Icon")->shortcut(), QKeySequence("Ctrl+F3"));
  EXPECT_EQ(Item(manager.MenuNamed("&File"), "Sa&ve Icon")->shortcut(), QKeySequence("Ctrl+F2"));
  EXPECT_EQ(Item(manager.MenuNamed("&File"), "&Load Library")->shortcut(), QKeySequence("F3"));
  EXPECT_EQ(Item(manager.MenuNamed("&File"), "&Save Library")->shortcut(), QKeySequence("F2"));
  EXPECT_EQ(Captions(manager.MenuNamed("&Options")), QStringList({"&Transparent GIF"}));
  EXPECT_TRUE(manager.GifTrans()->isChecked());
  EXPECT_EQ(Captions(manager.LibPop()), QStringList({"&Load", "Save &As", "&Clear", "&Append Icon(s)", "&Delete Icon",
                                                     "&Rename Icon..."}));
  EXPECT_EQ(Captions(manager.IcoPop()), QStringList({"&Load", "&Save", "Copy to &Editor", "Sort Size", "Sort Colors",
                                                     "&Copy", "Paste &Append", "&Delete"}));
}

TEST_F(IconManagerWindowTest, ToolsMenuShowsTheProgramsOwnLibraryDrawnInRows) {
  PixtrelF& window = Start();
  ShowActive();
  IconaLibF& manager = OpenManager(window);
  EXPECT_TRUE(manager.isVisible());
  EXPECT_EQ(manager.windowTitle(), "Library: " + program_ + "/pixtrel");
  EXPECT_EQ(Rows(manager.LIBListBox()), QStringList({"pixtrel"}));
  EXPECT_EQ(manager.LIBListBox()->currentRow(), 0);
  EXPECT_EQ(Rows(manager.ICOListBox()), QStringList({"1", "2", "3", "4", "5", "6", "7", "8", "9"}));
  EXPECT_EQ(manager.ICOListBox()->currentRow(), 0);

  // Rows are as high as their image plus 4; the library row shows the
  // first image (16 pixels). The picture sits at (60 - w) / 2, 2 pixels down.
  QListWidget* images = manager.ICOListBox();
  EXPECT_EQ(images->visualItemRect(images->item(0)).height(), 20);
  EXPECT_EQ(images->visualItemRect(images->item(3)).height(), 36);
  EXPECT_EQ(images->visualItemRect(images->item(8)).height(), 52);
  EXPECT_EQ(manager.LIBListBox()->visualItemRect(manager.LIBListBox()->item(0)).height(), 20);
  images->scrollToItem(images->item(8));
  const QImage shown = images->viewport()->grab().toImage();
  const QRect row = images->visualItemRect(images->item(8));
  ASSERT_TRUE(shown.rect().contains(row));
  // The middle of the 48-pixel program icon is its light blue sky; left of
  // the picture the row is bare.
  const QColor middle = shown.pixelColor(row.left() + 6 + 20, row.top() + 2 + 16);
  EXPECT_GT(middle.blue(), 200);
  EXPECT_LT(middle.red(), 200);
  EXPECT_EQ(shown.pixelColor(row.left() + 2, row.top() + 20), images->palette().color(QPalette::Base));
}

TEST_F(IconManagerWindowTest, DoubleClickedLibraryShowsEvenAfterTheWindowWasClosed) {
  const QString library = CorpusCopy("own-icl-named-shift4-shared.icl", "five.ICL");
  PixtrelF& window = Start();
  window.Browser()->SetFolder(images_);
  ShowActive();
  IconaLibF& manager = OpenManager(window);
  manager.close();
  EXPECT_FALSE(manager.isVisible());

  QListWidget* files = window.Browser()->Files();
  ASSERT_EQ(Rows(files), QStringList({"five.ICL"}));
  const QRect first = files->visualItemRect(files->item(0));
  QTest::mouseClick(files->viewport(), Qt::LeftButton, Qt::NoModifier, first.center());
  QTest::mouseDClick(files->viewport(), Qt::LeftButton, Qt::NoModifier, first.center());
  EXPECT_TRUE(manager.isVisible());
  EXPECT_EQ(manager.windowTitle(), "Library: " + library);
  EXPECT_EQ(Rows(manager.LIBListBox()), QStringList({"HH", "WINEMINE", "NOTEPAD", "python", "smile"}));
  // The workspace was not touched.
  EXPECT_EQ(window.CurrentWorkspace().Image().Width(), 0);
  EXPECT_TRUE(answers_.messages.empty());
}

TEST_F(IconManagerWindowTest, LoadIconEmptiesTheLibraryAndSaveLibraryThenAsksNothing) {
  const QString ico = ThreeImageIco();
  PixtrelF& window = Start();
  IconaLibF& manager = OpenManager(window);
  dialogs_.openAnswers = {ico.toStdString()};
  QTest::keyClick(&manager, Qt::Key_F3, Qt::ControlModifier);
  ASSERT_EQ(dialogs_.requests.size(), 1u);
  EXPECT_EQ(dialogs_.requests[0].text, "Icons (*.ico)|*.ico");
  EXPECT_TRUE(Rows(manager.LIBListBox()).isEmpty());
  EXPECT_EQ(Rows(manager.ICOListBox()), QStringList({"1", "2", "3"}));
  QTest::keyClick(&manager, Qt::Key_F2);
  Item(manager.LibPop(), "Save &As")->trigger();
  EXPECT_EQ(dialogs_.requests.size(), 1u);

  // The icon itself is saved with Ctrl+F2, the default extension added.
  dialogs_.saveAnswers = {SaveDialogChoice{(images_ + "/saved").toStdString(), 1}};
  QTest::keyClick(&manager, Qt::Key_F2, Qt::ControlModifier);
  EXPECT_EQ(ReadFileBytes((images_ + "/saved.ico").toStdString()), ReadFileBytes(ico.toStdString()));
}

TEST_F(IconManagerWindowTest, AppendedNonIconIsARowOfDefaultHeightWithoutAPicture) {
  WriteText(images_ + "/readme.ico", "plain text");
  PixtrelF& window = Start();
  IconaLibF& manager = OpenManager(window);
  dialogs_.openManyAnswers = {{(images_ + "/readme.ico").toStdString()}};
  Item(manager.LibPop(), "&Append Icon(s)")->trigger();
  QListWidget* library = manager.LIBListBox();
  ASSERT_EQ(Rows(library), QStringList({"pixtrel", "readme"}));
  EXPECT_EQ(library->currentRow(), 0);
  const QRect row = library->visualItemRect(library->item(1));
  EXPECT_EQ(row.height(), 48);
  const QImage shown = library->viewport()->grab().toImage();
  const QColor base = library->palette().color(QPalette::Base);
  for (int x = row.left(); x < row.left() + 60; x += 3)
    EXPECT_EQ(shown.pixelColor(x, row.center().y()), base) << x;
  // Clicking the row selects the icon, which has no images.
  QTest::mouseClick(library->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
  EXPECT_EQ(manager.Manager().SelectedIcon(), 1);
  EXPECT_TRUE(Rows(manager.ICOListBox()).isEmpty());
}

TEST_F(IconManagerWindowTest, DraggingImageOneOntoImageThreeSwapsThem) {
  const QString ico = ThreeImageIco();
  PixtrelF& window = Start();
  IconaLibF& manager = OpenManager(window);
  dialogs_.openManyAnswers = {{ico.toStdString()}};
  Item(manager.LibPop(), "&Append Icon(s)")->trigger();
  QListWidget* library = manager.LIBListBox();
  QTest::mouseClick(library->viewport(), Qt::LeftButton, Qt::NoModifier,
                    library->visualItemRect(library->item(1)).center());
  IconRowList* images = manager.ICOListBox();
  ASSERT_EQ(Rows(images), QStringList({"1", "2", "3"}));
  QTest::mousePress(images->viewport(), Qt::LeftButton, Qt::NoModifier,
                    images->visualItemRect(images->item(0)).center());
  QTest::mouseRelease(images->viewport(), Qt::LeftButton, Qt::NoModifier,
                      images->visualItemRect(images->item(0)).center());
  EXPECT_TRUE(DropRow(images, 0, images->viewport(), images->visualItemRect(images->item(2)).center()));
  EXPECT_EQ(Widths(manager.Manager().CurrentIcon), (std::vector<int>{48, 32, 16}));
  EXPECT_EQ(Widths(*manager.Manager().Library.Icons.Icon(1)), (std::vector<int>{48, 32, 16}));
  EXPECT_EQ(images->currentRow(), 0);
  // The new order is drawn: the first row is now 52 pixels high.
  EXPECT_EQ(images->visualItemRect(images->item(0)).height(), 52);
  // A row of another list is refused.
  EXPECT_FALSE(DropRow(manager.LIBListBox(), 0, images->viewport(), images->visualItemRect(images->item(1)).center()));
}

TEST_F(IconManagerWindowTest, RenameToEmptyKeepsTheNameAndDeleteKeepsTheLastImage) {
  PixtrelF& window = Start();
  IconaLibF& manager = OpenManager(window);
  answers_.inputs = {std::string(), std::string("mine")};
  Item(manager.LibPop(), "&Rename Icon...")->trigger();
  ASSERT_EQ(answers_.prompts.size(), 1u);
  EXPECT_EQ(answers_.prompts[0], "Icon Rename: Rename to:");
  EXPECT_EQ(answers_.startValues, std::vector<std::string>({"pixtrel"}));
  EXPECT_EQ(Rows(manager.LIBListBox()), QStringList({"pixtrel"}));
  Item(manager.LibPop(), "&Rename Icon...")->trigger();
  EXPECT_EQ(Rows(manager.LIBListBox()), QStringList({"mine"}));

  QAction* remove = Item(manager.IcoPop(), "&Delete");
  for (int i = 0; i < 12; ++i) remove->trigger();
  EXPECT_EQ(Rows(manager.ICOListBox()), QStringList({"1"}));
  EXPECT_EQ(manager.Manager().Library.Icons.Icon(0)->Images().Count(), 1);
  // Copy and paste the one image back twice, then sort.
  Item(manager.IcoPop(), "&Copy")->trigger();
  Item(manager.IcoPop(), "Paste &Append")->trigger();
  Item(manager.IcoPop(), "Paste &Append")->trigger();
  EXPECT_EQ(manager.Manager().Library.Icons.Icon(0)->Images().Count(), 3);
  EXPECT_EQ(Rows(manager.ICOListBox()), QStringList({"1", "2", "3"}));

  // "&Clear" empties both lists; closing the main window closes this one.
  Item(manager.LibPop(), "&Clear")->trigger();
  EXPECT_TRUE(Rows(manager.LIBListBox()).isEmpty());
  EXPECT_TRUE(Rows(manager.ICOListBox()).isEmpty());
  window.close();
  EXPECT_FALSE(manager.isVisible());
}

TEST_F(IconManagerWindowTest, EditedCorpusLibrarySavedWithF2ReadsBackInWrestool) {
  const QString library = CorpusCopy("own-icl-named-shift0-shared.icl", "two.icl");
  PixtrelF& window = Start();
  IconaLibF& manager = OpenManager(window);
  dialogs_.openAnswers = {library.toStdString()};
  QTest::keyClick(&manager, Qt::Key_F3);
  EXPECT_EQ(dialogs_.requests.back().text, "Libraries (*.exe; *.dll;*.icl)|*.exe;*.dll;*.icl");
  EXPECT_EQ(dialogs_.requests.back().startFolder, program_.toStdString());
  ASSERT_EQ(manager.LIBListBox()->count(), 2);
  const int firstImages = manager.ICOListBox()->count();
  // Sort the first icon's images by colours, then delete the second icon.
  Item(manager.IcoPop(), "Sort Colors")->trigger();
  manager.LIBListBox()->setCurrentRow(1);
  Item(manager.LibPop(), "&Delete Icon")->trigger();

  dialogs_.saveAnswers = {SaveDialogChoice{(images_ + "/edited").toStdString(), 1},
                          SaveDialogChoice{(images_ + "/edited.icl").toStdString(), 1}};
  QTest::keyClick(&manager, Qt::Key_F2);
  const std::string saved = (images_ + "/edited.icl").toStdString();
  EXPECT_EQ(dialogs_.requests.back().text, "Iconlibraries (*.icl)|*.icl");
  // Saving over it asks first; "No" keeps the file.
  answers_.confirmations = {false};
  const std::vector<std::uint8_t> before = ReadFileBytes(saved);
  QTest::keyClick(&manager, Qt::Key_F2);
  EXPECT_EQ(answers_.questions.size(), 1u);
  EXPECT_EQ(ReadFileBytes(saved), before);

  const std::string listing = RunCommand("wrestool -l '" + saved + "'").output;
  int groups = 0, images = 0;
  for (std::size_t p = 0; (p = listing.find("type=group_icon", p)) != std::string::npos; ++p) ++groups;
  for (std::size_t p = 0; (p = listing.find("[type=icon ", p)) != std::string::npos; ++p) ++images;
  EXPECT_EQ(groups, 1) << listing;
  EXPECT_EQ(images, firstImages) << listing;
  icons::IconLibrary back;
  back.LoadFromFile(saved);
  ASSERT_EQ(back.Icons.Count(), 1);
  EXPECT_EQ(back.Icons.Name(0), manager.Manager().Library.Icons.Name(0));
  for (int i = 1; i < back.Icons.Icon(0)->Images().Count(); ++i)
    EXPECT_LE(back.Icons.Icon(0)->Images().Get(i - 1)->BitCount(), back.Icons.Icon(0)->Images().Get(i)->BitCount());
}

TEST_F(IconManagerWindowTest, TooManyIconsShowTheLimitMessage) {
  PixtrelF& window = Start();
  IconaLibF& manager = OpenManager(window);
  for (int i = 0; i < 32767; ++i)
    manager.Manager().Library.Icons.AddIcon("x", std::make_unique<icons::AdvancedIcon>());
  dialogs_.saveAnswers = {SaveDialogChoice{(images_ + "/big.icl").toStdString(), 1}};
  QTest::keyClick(&manager, Qt::Key_F2);
  EXPECT_EQ(answers_.messages, std::vector<std::string>({"Iconlibraries with more than 32767 are not possible"}));
  EXPECT_FALSE(QFile::exists(images_ + "/big.icl"));
}

TEST_F(IconManagerWindowTest, AppendToIconLibraryAddsQuickAddUntilTheWindowIsOpenedAgain) {
  PixtrelF& window = Start();
  window.CurrentWorkspace().SetImage(QImageToBitmap([] {
    QImage image(60, 20, QImage::Format_RGB888);
    image.fill(Qt::darkGreen);
    return image;
  }()));
  IconaLibF& manager = *window.IconManagerWindow();
  Item(window.MenuNamed("&Edit"), "&Append to Icon Library")->trigger();
  EXPECT_FALSE(manager.isVisible());
  ASSERT_EQ(manager.Manager().Library.Icons.Count(), 1);
  EXPECT_EQ(manager.Manager().Library.Icons.Name(0), "quick-add");
  const icons::IconImage& image = *manager.Manager().Library.Icons.Icon(0)->Images().Get(0);
  EXPECT_EQ(image.Width(), 32);
  EXPECT_EQ(image.ColorCount(), 8);
  EXPECT_EQ(image.BytesInRes(), 2216u);
  EXPECT_EQ(Rows(manager.LIBListBox()), QStringList({"quick-add"}));
  // Opening the window reloads the program's icons.
  OpenManager(window);
  EXPECT_EQ(Rows(manager.LIBListBox()), QStringList({"pixtrel"}));
  Item(window.MenuNamed("&Edit"), "&Append to Icon Library")->trigger();
  EXPECT_EQ(Rows(manager.LIBListBox()), QStringList({"pixtrel", "quick-add"}));
  EXPECT_TRUE(answers_.messages.empty());
}

TEST_F(IconManagerWindowTest, ImageRowDroppedBesideTheImageGoesToTheEditor) {
  PixtrelF& window = Start();
  ShowActive();
  window.CurrentWorkspace().SetImage(QImageToBitmap([] {
    QImage image(40, 40, QImage::Format_RGB888);
    image.fill(Qt::black);
    return image;
  }()));
  window.View()->Refresh();
  IconaLibF& manager = OpenManager(window);
  QWidget* viewport = window.View()->viewport();
  // Over the image the drop is refused.
  EXPECT_FALSE(DropRow(manager.ICOListBox(), 8, viewport, QPoint(10, 10)));
  EXPECT_EQ(window.CurrentWorkspace().Image().Width(), 40);
  EXPECT_TRUE(DropRow(manager.ICOListBox(), 8, viewport, QPoint(200, 200)));
  EXPECT_EQ(window.CurrentWorkspace().Image().Width(), 48);
  // Transparent corners come out white; no undo snapshot was taken.
  EXPECT_EQ(window.CurrentWorkspace().Image().Pixel(0, 0), clWhite);
  EXPECT_FALSE(window.CurrentWorkspace().UndoEnabled());
  EXPECT_EQ(window.View()->ShownImage().size(), QSize(48, 48));
  EXPECT_TRUE(manager.isVisible());
  // The same by the pop-up menu, with the 16-pixel first image.
  manager.ICOListBox()->setCurrentRow(0);
  Item(manager.IcoPop(), "Copy to &Editor")->trigger();
  EXPECT_EQ(window.CurrentWorkspace().Image().Width(), 16);
}

TEST_F(IconManagerWindowTest, ExportsWriteTheSelectedImageOnWhite) {
  PixtrelF& window = Start();
  IconaLibF& manager = OpenManager(window);
  manager.ICOListBox()->setCurrentRow(5);  // 32 x 32, 32 bits
  dialogs_.saveAnswers = {SaveDialogChoice{(images_ + "/a.ico").toStdString(), 1},
                          SaveDialogChoice{(images_ + "/b").toStdString(), 1},
                          SaveDialogChoice{(images_ + "/c.bmp").toStdString(), 1},
                          SaveDialogChoice{(images_ + "/d").toStdString(), 1}};
  Item(manager.MenuNamed("&File"), "Save Image as BMP")->trigger();
  Item(manager.MenuNamed("&File"), "Save Image as PNG")->trigger();
  Item(manager.MenuNamed("&File"), "Save Image as GIF")->trigger();
  Item(manager.MenuNamed("&Options"), "&Transparent GIF")->trigger();
  EXPECT_FALSE(manager.GifTrans()->isChecked());
  Item(manager.MenuNamed("&File"), "Save Image as GIF")->trigger();
  ASSERT_EQ(dialogs_.requests.size(), 4u);
  EXPECT_EQ(dialogs_.requests[0].text, "Windows Bitmap Files (*.bmp)|*.bmp");
  EXPECT_EQ(dialogs_.requests[1].text, "Portable Network Graphics (*.png)|*.png");
  EXPECT_EQ(dialogs_.requests[2].text, "Compuserve Graphics Interchange (*.gif)|*.gif");
  const QImage bmp(images_ + "/a.bmp");
  ASSERT_EQ(bmp.size(), QSize(32, 32));
  EXPECT_EQ(bmp.pixelColor(0, 0), QColor(Qt::white));
  EXPECT_EQ(QImage(images_ + "/b.png").size(), QSize(32, 32));
  EXPECT_NE(RunCommand("gifsicle -I '" + (images_ + "/c.gif").toStdString() + "'").output.find("transparent"),
            std::string::npos);
  EXPECT_EQ(RunCommand("gifsicle -I '" + (images_ + "/d.gif").toStdString() + "'").output.find("transparent"),
            std::string::npos);
  EXPECT_TRUE(answers_.messages.empty());
}

}  // namespace
}  // namespace pixtrel::test
