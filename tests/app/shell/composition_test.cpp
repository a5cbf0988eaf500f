// The overlay, the "Blender" and "PNG" tabs and the GIF optimize window as
// the user drives them: menus, shortcuts, the mouse and scripted dialogs.
#include <QActionGroup>
#include <QMenu>
#include <QScrollBar>
#include <set>

#include "app/blender_page.h"
#include "app/edit_actions.h"
#include "app/gif_optimize_window.h"
#include "app/overlay_actions.h"
#include "app/overlay_view.h"
#include "app/png_page.h"
#include "app/workspace_view.h"
#include "codecs/png/png_object.h"
#include "io/formats.h"
#include "shell_fixture.h"

namespace pixtrel::test {
namespace {

QRgb PixelAt(const Bitmap& bitmap, int x, int y) {
  const Color c = bitmap.Pixel(x, y);
  return qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
}

QByteArray Head(const QString& path, int bytes) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.read(bytes) : QByteArray();
}

class CompositionTest : public ShellTest {
 protected:
  // A main window with a black 300 x 260 image open and shown.
  PixtrelF& StartWithImage() {
    const QString black = WriteImage("black.bmp", Qt::black, 300, 260);
    PixtrelF& window = Start();
    window.Browser()->SetFolder(images_);
    window.filesDblClick(black);
    ShowActive();
    return window;
  }

  // An overlay file: white with a red 20 x 10 block at its top-left, 50 x 20.
  QString OverlayFile() {
    QImage image(50, 20, QImage::Format_RGB888);
    image.fill(Qt::white);
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 20; ++x) image.setPixel(x, y, qRgb(255, 0, 0));
    const QString path = images_ + QStringLiteral("/over.png");
    EXPECT_TRUE(image.save(path));
    return path;
  }
};

TEST_F(CompositionTest, OverlayLoadsShowsWithF4AndDragsByItsGrabPoint) {
  PixtrelF& window = StartWithImage();
  CompositionActions& c = *window.Compositions();
  EXPECT_FALSE(c.viewOverlay->isChecked());
  EXPECT_FALSE(c.OverlayWidget()->isVisible());

  dialogs_.openAnswers = {OverlayFile().toStdString()};
  c.openOverlay->trigger();
  EXPECT_TRUE(c.viewOverlay->isChecked());
  OverlayView* view = c.OverlayWidget();
  ASSERT_TRUE(view->isVisible());
  EXPECT_EQ(view->geometry(), QRect(200, 200, 50, 20));
  EXPECT_EQ(qAlpha(view->ShownImage().pixel(30, 15)), 0) << "white, the bottom-left colour, is see-through";
  EXPECT_EQ(view->ShownImage().pixel(5, 5), qRgb(255, 0, 0));

  // F4 hides and shows it, and the check mark follows.
  QTest::keyClick(&window, Qt::Key_F4);
  EXPECT_FALSE(c.viewOverlay->isChecked());
  EXPECT_FALSE(view->isVisible());
  QTest::keyClick(&window, Qt::Key_F4);
  EXPECT_TRUE(view->isVisible());

  // Pressed at (5, 4) of the overlay and moved: that point stays under the mouse.
  QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, QPoint(5, 4));
  QMouseEvent move(QEvent::MouseMove, QPointF(45, 24), view->mapToGlobal(QPointF(45, 24)), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(view, &move);
  QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, QPoint(5, 4));
  EXPECT_EQ(c.CurrentOverlay().Position(), (Point{240, 220}));
  EXPECT_EQ(view->pos(), QPoint(240, 220));

  // The pop-up menu has the four commands.
  QStringList captions;
  for (QAction* action : view->PopupMenu()->actions()) captions << action->text();
  EXPECT_EQ(captions, (QStringList{"&Paint", "&Glue", "&Swap", "&Invert"}));
  // The file list's "&Overlay" does nothing without a selected file.
  c.listOverlay->trigger();
  EXPECT_TRUE(answers_.messages.empty());
}

TEST_F(CompositionTest, PaintWorksHiddenAndGlueWidensWithUndo) {
  PixtrelF& window = StartWithImage();
  CompositionActions& c = *window.Compositions();
  c.LoadOverlayFile(OverlayFile().toStdString());
  c.viewOverlay->setChecked(false);
  EXPECT_FALSE(c.CurrentOverlay().Visible());
  QTest::keyClick(&window, Qt::Key_F9, Qt::ShiftModifier);
  EXPECT_EQ(PixelAt(window.CurrentWorkspace().Image(), 205, 205), qRgb(255, 0, 0));
  EXPECT_EQ(PixelAt(window.CurrentWorkspace().Image(), 240, 215), qRgb(0, 0, 0)) << "white left out";
  EXPECT_FALSE(window.Edits()->undo->isEnabled()) << "paint takes no snapshot";
  EXPECT_EQ(window.View()->ShownImage().pixel(205, 205), qRgb(255, 0, 0));

  c.CurrentOverlay().MoveTo(280, 100);
  c.popupGlue->trigger();
  EXPECT_EQ(window.CurrentWorkspace().Image().Width(), 330);
  EXPECT_EQ(window.View()->ShownImage().width(), 330);
  ASSERT_TRUE(window.Edits()->undo->isEnabled());
  window.Edits()->undo->trigger();
  EXPECT_EQ(window.CurrentWorkspace().Image().Width(), 300);

  c.popupSwap->trigger();
  EXPECT_EQ(window.CurrentWorkspace().Image().Width(), 50);
  EXPECT_EQ(c.CurrentOverlay().Image().Width(), 300);
  EXPECT_EQ(c.OverlayWidget()->width(), 300);
  c.popupInvert->trigger();
  EXPECT_EQ(PixelAt(c.CurrentOverlay().Image(), 0, 0), qRgb(255, 255, 255));
}

TEST_F(CompositionTest, BlenderPreviewsByHandAndUseTakesItWithoutASnapshot) {
  PixtrelF& window = StartWithImage();
  CompositionActions& c = *window.Compositions();
  BlenderPage* blender = c.Blender();
  QTabWidget* pages = window.Pages();
  ASSERT_EQ(pages->tabText(pages->indexOf(blender)), QStringLiteral("Blender"));
  // Chosen by hand (a click on its tab): the preview is made at once.
  QTabBar* bar = pages->tabBar();
  QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(pages->indexOf(blender)).center());
  ASSERT_EQ(pages->currentWidget(), blender);
  EXPECT_EQ(PixelAt(blender->Preview(), 10, 10), qRgb(255, 255, 255)) << "at 0 the white layer";
  blender->BlendBar()->setValue(50);
  EXPECT_EQ(PixelAt(blender->Preview(), 10, 10), qRgb(128, 128, 128));
  QTest::mouseClick(blender->UseButton(), Qt::LeftButton);
  EXPECT_EQ(pages->currentIndex(), 0) << "the Image tab comes to the front";
  EXPECT_EQ(PixelAt(window.CurrentWorkspace().Image(), 10, 10), qRgb(128, 128, 128));
  EXPECT_FALSE(window.Edits()->undo->isEnabled());
}

TEST_F(CompositionTest, PngTabTakesItsBaseAndSavesNamePngWithAlpha) {
  PixtrelF& window = StartWithImage();
  CompositionActions& c = *window.Compositions();
  PngPage* png = c.Png();
  QTabWidget* pages = window.Pages();
  ASSERT_EQ(pages->tabText(pages->indexOf(png)), QStringLiteral("PNG"));

  // By command: the base unchanged, no composition yet.
  c.pngTransparency->trigger();
  EXPECT_EQ(pages->currentWidget(), png);
  EXPECT_EQ(PixelAt(png->Preview(), 0, 0), qRgb(0, 0, 0));
  EXPECT_TRUE(png->UniformButton()->styleSheet().contains("#FF0000"));
  EXPECT_TRUE(png->ShapeButton()->styleSheet().contains("#C0C0C0"));
  EXPECT_TRUE(png->AlphaBar()->isEnabled());
  png->AlphaBar()->setValue(0);
  EXPECT_EQ(PixelAt(png->Preview(), 0, 0), qRgb(0x7D, 0x9B, 0xD7)) << "only the checkerboard";

  // Shape mode: a black ellipse is the opaque part.
  window.CurrentShape().SetShape(shapes::zstEllipse);
  window.CurrentShape().SetBrush({clBlack, bsSolid});
  QTest::mouseClick(png->ShapeButton(), Qt::LeftButton);
  EXPECT_FALSE(png->AlphaBar()->isEnabled());
  EXPECT_TRUE(png->ShapeButton()->styleSheet().contains("#FF0000"));
  EXPECT_EQ(PixelAt(png->Preview(), 150, 130), qRgb(0, 0, 0));
  EXPECT_NE(PixelAt(png->Preview(), 1, 1), qRgb(0, 0, 0));
  EXPECT_EQ(window.CurrentShape().Width(), 300);

  const QString typed = images_ + QStringLiteral("/cut.ico");
  dialogs_.saveAnswers = {SaveDialogChoice{typed.toStdString(), 2}};
  png->Save();
  ASSERT_FALSE(dialogs_.requests.empty());
  EXPECT_EQ(FilterIndexToExt(dialogs_.requests.back().filterIndex), ".PNG") << "the PNG entry is preselected";
  EXPECT_FALSE(QFileInfo::exists(typed));
  const QString written = images_ + QStringLiteral("/cut.png");
  ASSERT_TRUE(QFileInfo::exists(written));
  PNGObject saved;
  saved.LoadFromFile(written.toStdString());
  EXPECT_EQ(saved.Header()->colorType, 6);
  EXPECT_EQ(saved.AlphaRow(130)[150], 255);
  EXPECT_EQ(saved.AlphaRow(1)[1], 0);
  EXPECT_EQ(window.Browser()->Files()->findItems("cut.png", Qt::MatchExactly).size(), 0)
      << "the file list is not refreshed";

  // Edits made while the tab shows reach it only when it is entered again.
  window.CurrentWorkspace().SetImage(QImageToBitmap(QImage(10, 10, QImage::Format_RGB888)));
  EXPECT_EQ(c.PngState().base.Width(), 300);
  pages->setCurrentIndex(0);
  pages->setCurrentWidget(png);
  EXPECT_EQ(c.PngState().base.Width(), 10);
  EXPECT_EQ(png->Preview().Width(), 10);
}

TEST_F(CompositionTest, GifWindowChoicesBecomeTheProgramsGifDefaults) {
  PixtrelF& window = StartWithImage();
  // A picture with colours and greys.
  QImage colours(64, 48, QImage::Format_RGB888);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) colours.setPixel(x, y, qRgb(x * 4, y * 5, (x + y) * 2));
  window.CurrentWorkspace().SetImage(QImageToBitmap(colours));
  CompositionActions& c = *window.Compositions();
  PainterReduceF* gif = c.GifWindow();
  EXPECT_FALSE(gif->isVisible());
  EXPECT_EQ(gif->windowTitle(), QStringLiteral("GIF Optimizer"));
  EXPECT_TRUE(gif->Item("MenuPaletteOptimizedWindows256")->isChecked());
  EXPECT_TRUE(gif->Item("MenuDitheringFloydSteinberg")->isChecked());
  EXPECT_TRUE(gif->Item("MenuPaletteOptimized256")->isChecked());
  EXPECT_EQ(gif->sizecap()->text(), QStringLiteral("size="));

  // "64 colors" sets the bits at once.
  gif->Item("MenuPaletteOptimized64")->trigger();
  EXPECT_EQ(window.CurrentSession().conversion.gifDefaults.reductionBits, 6);

  c.gifOptimize->trigger();
  EXPECT_TRUE(gif->isVisible());
  EXPECT_EQ(gif->ImageBitmap().Width(), 64);
  EXPECT_EQ(window.CurrentWorkspace().Image().PixelFormat(), pf24bit);

  gif->Item("MenuPaletteMonochrome")->trigger();
  gif->Item("MenuDitheringNearest")->trigger();
  EXPECT_EQ(window.CurrentSession().conversion.gifDefaults.reductionMode, gif::Netscape216) << "only checked";
  QTest::mouseClick(gif->ButtonConvert(), Qt::LeftButton);
  EXPECT_EQ(window.CurrentSession().conversion.gifDefaults.reductionMode, gif::Monochrome);
  EXPECT_EQ(window.CurrentSession().conversion.gifDefaults.ditherMode, gif::Nearest);
  EXPECT_TRUE(gif->sizecap()->text().startsWith("Size= "));
  EXPECT_TRUE(gif->sizecap()->text().endsWith(" bytes"));
  EXPECT_TRUE(gif->ButtonConvert()->isEnabled());
  EXPECT_EQ(gif->Progress()->value(), 0);
  EXPECT_FALSE(gif->ImageGIF().isNull());

  // A later GIF from the main window is black and white too.
  const QString saved = images_ + QStringLiteral("/later.GIF");
  dialogs_.saveAnswers = {SaveDialogChoice{saved.toStdString(), 1}};
  ASSERT_EQ(FilterIndexToExt(1), ".GIF");
  window.SaveAs1Click();
  Bitmap reread;
  LoadImageFile(saved.toStdString(), reread, answers_);
  ASSERT_EQ(reread.Width(), 64);
  std::set<Color> seen;
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) seen.insert(reread.Pixel(x, y));
  for (Color color : seen) EXPECT_TRUE(color == clBlack || color == clWhite) << std::hex << color;

  // "GIFSave" under a ".bmp" name writes GIF89a data; a name without an
  // extension gets ".gif".
  const QString bmp = images_ + QStringLiteral("/trial.bmp");
  dialogs_.saveAnswers = {SaveDialogChoice{bmp.toStdString(), 2},
                          SaveDialogChoice{(images_ + QStringLiteral("/bare")).toStdString(), 1}};
  gif->ckTransparent()->setChecked(true);
  QTest::mouseClick(gif->btnsave(), Qt::LeftButton);
  EXPECT_EQ(Head(bmp, 6), QByteArray("GIF89a"));
  QTest::mouseClick(gif->btnsave(), Qt::LeftButton);
  EXPECT_EQ(Head(images_ + QStringLiteral("/bare.gif"), 6), QByteArray("GIF89a"));
  EXPECT_EQ(dialogs_.requests.back().text, "GIF Files|*.gif|BMP Files|*.bmp");
  EXPECT_TRUE(answers_.messages.empty());
}

TEST_F(CompositionTest, GifWindowNotesHalftoneAndRefusesAnEmptySource) {
  PixtrelF& window = Start();
  PainterReduceF* gif = window.Compositions()->GifWindow();
  QTest::mouseClick(gif->ButtonConvert(), Qt::LeftButton);
  ASSERT_EQ(answers_.messages.size(), 1u);
  EXPECT_EQ(answers_.messages.back(), "No bitmap to convert!");
  gif->displayBits = [] { return 32; };
  gif->Item("MenuPaletteWindows256")->trigger();
  ASSERT_EQ(answers_.messages.size(), 2u);
  EXPECT_NE(answers_.messages.back().find("currently in 4294967296 color mode"), std::string::npos);
  EXPECT_TRUE(gif->Item("MenuPaletteWindows256")->isChecked());
  gif->displayBits = [] { return 8; };
  gif->Item("MenuPaletteWindows256")->trigger();
  EXPECT_EQ(answers_.messages.size(), 2u);

  // The panes keep half the width each.
  gif->resize(700, 400);
  gif->show();
  QApplication::processEvents();
  EXPECT_EQ(gif->findChild<QWidget*>("ImageBitmap")->width(), 350);
  gif->close();
}

}  // namespace
}  // namespace pixtrel::test
