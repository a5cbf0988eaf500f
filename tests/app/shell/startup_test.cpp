// Start-up, layout, command map, favourites and the settings file of the
// main window.
#include <QComboBox>
#include <QFileSystemModel>
#include <QListWidget>
#include <QMenuBar>
#include <QStatusBar>
#include <QTreeView>

#include "app/edit_actions.h"
#include "io/image_io.h"
#include "shell_fixture.h"

namespace pixtrel::test {
namespace {

QStringList Captions(const QMenu* menu) {
  QStringList captions;
  for (const QAction* action : menu->actions())
    if (!action->isSeparator()) captions << action->text();
  return captions;
}

QAction* Item(const QMenu* menu, const QString& caption) {
  for (QAction* action : menu->actions())
    if (action->text() == caption) return action;
  return nullptr;
}

TEST_F(ShellTest, StartsInProgramFolderWhenLastDirIsGone) {
  WriteText(SettingsFile(), "[Settings]\nlastDir=" + (home_.path() + "/deleted").toUtf8() + "\nbatchDir=/b\n");
  PixtrelF& window = Start();
  EXPECT_EQ(window.Browser()->Folder(), program_);
  EXPECT_EQ(window.windowTitle(), "Pixtrel 11");
  ASSERT_EQ(window.Pages()->count(), 4);
  EXPECT_EQ(window.Pages()->tabText(0), "Image");
  EXPECT_EQ(window.Pages()->tabText(1), "Browser");
  EXPECT_EQ(window.Pages()->tabText(2), "PNG");
  EXPECT_EQ(window.Pages()->tabText(3), "Blender");
  EXPECT_EQ(window.Pages()->currentIndex(), 0);
  Close();
  // The exit sequence writes the folder shown and the untouched "batchDir".
  const QByteArray ini = ReadText(SettingsFile());
  EXPECT_TRUE(ini.contains("lastDir=" + program_.toUtf8() + "\n")) << ini.toStdString();
  EXPECT_TRUE(ini.contains("batchDir=/b\n")) << ini.toStdString();
}

TEST_F(ShellTest, StartsInLastDirWhenItExists) {
  WriteText(SettingsFile(), "[settings]\nlastDir=" + images_.toUtf8() + "\n");
  EXPECT_EQ(Start().Browser()->Folder(), images_);
}

TEST_F(ShellTest, LayoutIsScaledFromTheDesign) {
  PixtrelF& window = Start();
  const int dpi = window.logicalDpiY();
  EXPECT_EQ(window.width(), ScaleFromDesign(873, dpi));
  EXPECT_EQ(window.height(), ScaleFromDesign(501, dpi));
  EXPECT_EQ(window.findChild<QLabel*>("panel0")->width(), ScaleFromDesign(300, dpi));
  EXPECT_EQ(window.findChild<QLabel*>("panel1")->width(), ScaleFromDesign(200, dpi));
  EXPECT_EQ(ScaleFromDesign(18, 120), 18);
  EXPECT_EQ(ScaleFromDesign(185, 96), 148);
  EXPECT_EQ(ScaleFromDesign(300, 144), 360);
}

TEST_F(ShellTest, CommandMapInMenuOrder) {
  PixtrelF& window = Start();
  QStringList menus;
  for (const QAction* action : window.menuBar()->actions()) menus << action->text();
  EXPECT_EQ(menus, QStringList({"&File", "&Edit", "&Options", "&Effects", "&Selection", "&Tools", "&Directories",
                                "&View", "&Help"}));
  EXPECT_EQ(Captions(window.MenuNamed("&File")), QStringList({"&New...", "&Capture...", "&Open...", "O&verlay...",
                                                             "Save &As...", "&Twain Scan...", "Recent &Files"}));
  EXPECT_EQ(Captions(window.MenuNamed("&Edit")),
            QStringList({"&Undo last", "Resize &Image...", "Make &Square", "&Crop to Selection", "Paint Shape",
                         "Paint &Overlay", "Shape as Overlay", "&Turn", "Copy to Clipboard",
                         "Copy Selection to Clipboard", "Paste from Clipboard", "&Append to Icon Library"}));
  EXPECT_EQ(Captions(window.MenuNamed("&Options")),
            QStringList({"Transparent GIF", "Show Image Info", "&Color Depth", "&View Shape", "View &Overlay",
                         "View &Batch directory", "Apply EXIF &Orientation", "Keep &Metadata", "Convert to s&RGB"}));
  EXPECT_EQ(Captions(window.MenuNamed("&Selection")),
            QStringList({"Select &None", "&1  16x16", "&2  32x32", "&3  64x64", "&4 All", "View as Icon"}));
  EXPECT_EQ(Captions(window.MenuNamed("&Tools")),
            QStringList({"&GIF optimize", "&JPG optimize", "&PNG Transparency", "&ICON Manager", "preview tiled",
                         "preview transparent", "Effect Settings", "&Refresh Files", "Load Wizard...\tF9"}));
  EXPECT_EQ(Captions(window.MenuNamed("&Help")), QStringList({"&Contents", "&About", "on the &Web"}));
  EXPECT_TRUE(Captions(window.MenuNamed("&Directories")).isEmpty());
  EXPECT_EQ(Captions(window.Browser()->FileMenu()), QStringList({"&Convert", "&Delete", "&Overlay", "&Refresh"}));
  EXPECT_EQ(Captions(window.Browser()->TreeMenu()), QStringList({"&Add to Favourites"}));

  EXPECT_EQ(Item(window.MenuNamed("&File"), "&Open...")->shortcut(), QKeySequence("Ctrl+O"));
  EXPECT_EQ(Item(window.MenuNamed("&Tools"), "&Refresh Files")->shortcut(), QKeySequence("F12"));
  EXPECT_EQ(Item(window.MenuNamed("&Edit"), "Paint &Overlay")->shortcut(), QKeySequence("Shift+F9"));
  EXPECT_EQ(Item(window.MenuNamed("&Options"), "View &Overlay")->shortcut(), QKeySequence("F4"));
  EXPECT_EQ(Item(window.MenuNamed("&Edit"), "Paint Shape")->shortcut(), QKeySequence("F9"));
  EXPECT_EQ(Item(window.MenuNamed("&Edit"), "Shape as Overlay")->shortcut(), QKeySequence("Ctrl+Shift+F9"));
  EXPECT_EQ(Item(window.MenuNamed("&Options"), "&View Shape")->shortcut(), QKeySequence("F3"));
  EXPECT_TRUE(Item(window.MenuNamed("&Options"), "&View Shape")->isCheckable());
  EXPECT_EQ(Item(window.MenuNamed("&Help"), "&Contents")->shortcut(), QKeySequence("F1"));
  EXPECT_FALSE(Item(window.MenuNamed("&Edit"), "&Undo last")->isEnabled());
  QAction* giftrans = Item(window.MenuNamed("&Options"), "Transparent GIF");
  EXPECT_TRUE(giftrans->isCheckable() && giftrans->isChecked());
  giftrans->trigger();
  EXPECT_FALSE(window.CurrentSession().conversion.gifTransparent);
  giftrans->trigger();
  EXPECT_TRUE(window.CurrentSession().conversion.gifTransparent);
}

TEST_F(ShellTest, FileListShowsMaskedFilesSortedWithScaledRows) {
  for (const char* name : {"b.PNG", "a.jpg", "C.gif", "notes.txt", "x.tiff", "icons.icl", "pic.xgif"})
    WriteText(images_ + "/" + name, "x");
  QDir().mkpath(images_ + "/folder.bmp");
  PixtrelF& window = Start();
  ASSERT_TRUE(window.Browser()->SetFolder(images_));
  EXPECT_EQ(window.Browser()->FileNames(), QStringList({"a.jpg", "b.PNG", "C.gif", "icons.icl", "pic.xgif"}));
  QListWidget* files = window.Browser()->Files();
  EXPECT_EQ(files->selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_EQ(files->item(0)->sizeHint().height(), ScaleFromDesign(18, window.logicalDpiY()));
  EXPECT_FALSE(files->item(0)->icon().isNull());
  EXPECT_TRUE(MatchesFileListMask("PHOTO.JPG"));
  EXPECT_FALSE(MatchesFileListMask("photo.jpeg"));
  EXPECT_EQ(QString::fromLatin1(kFileListMask),
            "*.bmp;*.ico;*.gif;*.jpg;*.png;*.wmf;*.emf;*.tga;*.tif;*.xjpg;*.xgif;*.icl;*.pcx;*.pcd;*.eps;*.psd;*.sgi;"
            "*.psp;*.ppm;*.cut;*.webp;*.avif;*.heic");
}

TEST_F(ShellTest, RefreshRereadsTheListKeepingTheSelection) {
  WriteText(images_ + "/a.bmp", "x");
  PixtrelF& window = Start();
  window.Browser()->SetFolder(images_);
  window.Browser()->SelectNames({"a.bmp"});
  WriteText(images_ + "/b.gif", "x");
  Item(window.MenuNamed("&Tools"), "&Refresh Files")->trigger();
  EXPECT_EQ(window.Browser()->FileNames(), QStringList({"a.bmp", "b.gif"}));
  EXPECT_EQ(window.Browser()->SelectedNames(), QStringList({"a.bmp"}));
  QFile::remove(images_ + "/a.bmp");
  Item(window.Browser()->FileMenu(), "&Refresh")->trigger();
  EXPECT_EQ(window.Browser()->FileNames(), QStringList({"b.gif"}));
  EXPECT_TRUE(window.Browser()->SelectedNames().isEmpty());
}

TEST_F(ShellTest, SecondaryWindowsExistButOnlyTheMainWindowShows) {
  PixtrelF& window = Start();
  window.show();
  int secondary = 0;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget == &window || widget->parentWidget() != &window) continue;
    ++secondary;
    EXPECT_FALSE(widget->isVisible()) << widget->metaObject()->className();
  }
  // JPEG optimize, batch, resize and icon options.
  EXPECT_GE(secondary, 4);
  EXPECT_NE(window.Edits()->JpegWindow(), nullptr);
  EXPECT_NE(window.Edits()->ResizeWindow(), nullptr);
  EXPECT_NE(window.BatchWindow(), nullptr);
}

TEST_F(ShellTest, DriveTreeAndListFollowEachOther) {
  PixtrelF& window = Start();
  FileBrowser* browser = window.Browser();
  ASSERT_GT(browser->Drives()->count(), 0);
  EXPECT_EQ(browser->Drives()->itemData(0).toString(), "/");
  ASSERT_TRUE(browser->SetFolder(images_));
  QTreeView* tree = browser->Tree();
  auto* model = static_cast<QFileSystemModel*>(tree->model());
  EXPECT_EQ(model->filePath(tree->currentIndex()), images_);
  EXPECT_FALSE(browser->SetFolder(images_ + "/missing"));
  EXPECT_EQ(browser->Folder(), images_);

  // Choosing a folder in the tree shows its files.
  WriteText(program_ + "/only-here.bmp", "x");
  tree->setCurrentIndex(model->index(program_));
  EXPECT_EQ(browser->Folder(), program_);
  EXPECT_EQ(browser->FileNames(), QStringList({"only-here.bmp"}));
  // Choosing a drive goes to its root.
  const int root = browser->Drives()->findData(QString("/"));
  ASSERT_GE(root, 0);
  browser->Drives()->activated(root);
  EXPECT_EQ(browser->Folder(), "/");
}

TEST_F(ShellTest, FavouritesWithOneAliasTwiceAreTwoItemsThenOneAfterRestart) {
  PixtrelF& window = Start();
  window.Browser()->SetFolder(images_);
  answers_.inputs = {std::string("pics"), std::string("pics"), std::string(""), std::nullopt};
  window.AddToFavourites();
  window.Browser()->SetFolder(program_);
  window.AddToFavourites();
  window.AddToFavourites();  // an empty alias adds nothing
  window.AddToFavourites();  // nor does cancel
  EXPECT_EQ(answers_.prompts.front(), "Pixtrel Directories: Enter alias");
  EXPECT_EQ(answers_.startValues.front(), "");
  EXPECT_EQ(Captions(window.DirectoriesMenu()), QStringList({"pics", "pics"}));

  // Each item goes to its own folder, by position.
  window.DirectoriesMenu()->actions().at(0)->trigger();
  EXPECT_EQ(window.Browser()->Folder(), images_);
  window.DirectoriesMenu()->actions().at(1)->trigger();
  EXPECT_EQ(window.Browser()->Folder(), program_);
  Close();

  PixtrelF& again = Start();
  EXPECT_EQ(Captions(again.DirectoriesMenu()), QStringList({"pics"}));
  again.DirectoriesMenu()->actions().at(0)->trigger();
  EXPECT_EQ(again.Browser()->Folder(), images_);  // the first one's folder
}

TEST_F(ShellTest, FavouriteOfAGoneFolderDoesNothing) {
  WriteText(SettingsFile(), "[directories]\ngone=" + (home_.path() + "/gone").toUtf8() + "\nplain\n");
  PixtrelF& window = Start();
  EXPECT_EQ(Captions(window.DirectoriesMenu()), QStringList({"gone"}));
  const QString before = window.Browser()->Folder();
  window.DirectoriesMenu()->actions().at(0)->trigger();
  EXPECT_EQ(window.Browser()->Folder(), before);
  EXPECT_TRUE(answers_.messages.empty());
  EXPECT_EQ(FavouriteAlias("a=b=c"), "a");
  EXPECT_EQ(FavouriteFolder("a=b=c"), "b=c");
  EXPECT_EQ(FavouriteFolder("/no/alias"), "/no/alias");
}

TEST_F(ShellTest, PlacementIsRestoredAtTheNextStart) {
  {
    PixtrelF& window = Start();
    window.move(20, 30);
    window.resize(640, 420);
    Close();
  }
  const QByteArray ini = ReadText(SettingsFile());
  EXPECT_TRUE(ini.contains("[PixtrelF]\nState=0\nLeft=20\nTop=30\nWidth=640\nHeight=420")) << ini.toStdString();
  PixtrelF& window = Start();
  EXPECT_EQ(window.pos(), QPoint(20, 30));
  EXPECT_EQ(window.size(), QSize(640, 420));
  Close();

  WriteText(SettingsFile(), "[PixtrelF]\nState=1\nLeft=0x64\n");
  EXPECT_TRUE(Start().windowState() & Qt::WindowMaximized);
  // A placement on no screen keeps the start bounds.
  WriteText(SettingsFile(), "[PixtrelF]\nState=0\nLeft=-90000\nTop=-90000\nWidth=500\nHeight=400\n");
  PixtrelF& offScreen = Start();
  EXPECT_GT(offScreen.x(), -90000);
}

TEST_F(ShellTest, FailedSettingsWriteIsShownAndStopsTheExitWrites) {
  const QString folder = home_.path() + "/settings";
  ASSERT_TRUE(QDir().mkpath(folder));
  const QString path = folder + "/pixtrel.ini";
  WriteText(path, "[Settings]\nlastDir=/\n");
  ShellOptions options;
  options.programPath = (program_ + "/pixtrel").toStdString();
  options.settingsFile = path.toStdString();
  options.customColorsFile = (home_.path() + "/colors.txt").toStdString();
  options.interaction = &answers_;
  auto window = std::make_unique<PixtrelF>(options, dialogs_);
  EXPECT_EQ(window->Browser()->Folder(), "/");
  // The settings folder goes away while the program runs.
  ASSERT_TRUE(QDir(folder).removeRecursively());
  window->close();
  window.reset();
  ASSERT_EQ(answers_.messages.size(), 1u);
  EXPECT_NE(answers_.messages[0].find("pixtrel.ini"), std::string::npos) << answers_.messages[0];
  EXPECT_FALSE(QFile::exists(path));
  // The custom colours were written first.
  EXPECT_TRUE(QFile::exists(home_.path() + "/colors.txt"));
}

TEST_F(ShellTest, ViewBatchDirectory) {
  PixtrelF& window = Start();
  window.ViewBatchDirectory();
  ASSERT_EQ(answers_.messages.size(), 1u);
  EXPECT_NE(answers_.messages[0].find("batch"), std::string::npos);
  ASSERT_TRUE(QDir().mkpath(program_ + "/batch"));
  window.ViewBatchDirectory();
  EXPECT_EQ(window.Browser()->Folder(), program_ + "/batch");
}

TEST_F(ShellTest, HelpCommands) {
  PixtrelF& window = Start();
  window.HelpAbout();
  ASSERT_EQ(answers_.messages.size(), 1u);
  EXPECT_EQ(answers_.messages[0].rfind("Pixtrel 11", 0), 0u);
  window.HelpContents();  // no help file yet
  EXPECT_EQ(answers_.messages.size(), 2u);
  WriteText(program_ + "/Pixtrel.html", "<title>help</title>");
  window.HelpContents();
  window.HelpOnTheWeb();
  ASSERT_EQ(dialogs_.documents.size(), 2u);
  EXPECT_EQ(dialogs_.documents[0], "file://" + program_.toStdString() + "/Pixtrel.html#Pixtrel");
  EXPECT_EQ(dialogs_.documents[1].rfind("https://", 0), 0u);
}

}  // namespace
}  // namespace pixtrel::test
