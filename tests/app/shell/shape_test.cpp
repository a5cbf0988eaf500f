// The shape over the workspace as the user drives it: "&View Shape", the
// mouse modes, the pop-up menu, the tool bar, stamping and the shape as the
// overlay.
#include <QMenu>
#include <QToolButton>

#include "app/edit_actions.h"
#include "app/overlay_actions.h"
#include "app/overlay_view.h"
#include "app/shape_actions.h"
#include "app/workspace_view.h"
#include "shapes/shape_controller.h"
#include "shell_fixture.h"
#include "support/io_support.h"
#include "support/run_command.h"

namespace pixtrel::test {
namespace {

using shapes::ZepShape;

class ShapeTest : public ShellTest {
 protected:
  // A main window with a black 300 x 260 BMP open and shown, the shape
  // shown with F3.
  PixtrelF& StartWithShape() {
    imagePath_ = WriteImage("black.bmp", Qt::black, 300, 260);
    PixtrelF& window = Start();
    window.Browser()->SetFolder(images_);
    window.filesDblClick(imagePath_);
    ShowActive();
    QTest::keyClick(&window, Qt::Key_F3);
    return window;
  }

  ShapeView* View() { return window_->Shapes()->Widget(); }
  ZepShape& Shape() { return window_->CurrentShape(); }

  // A left-button drag on the shape's widget: press at from, one move to
  // to, release there (both in the widget's coordinates when pressed).
  void Drag(QPoint from, QPoint to, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* w = View();
    QTest::mousePress(w, Qt::LeftButton, modifiers, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), w->mapToGlobal(QPointF(to)), Qt::NoButton, Qt::LeftButton,
                     modifiers);
    QApplication::sendEvent(w, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(to), w->mapToGlobal(QPointF(to)), Qt::LeftButton,
                        Qt::NoButton, modifiers);
    QApplication::sendEvent(w, &release);
  }

  void Click(const char* button) {
    QToolButton* b = window_->Shapes()->Button(QString::fromLatin1(button));
    ASSERT_NE(b, nullptr) << button;
    QTest::mouseClick(b, Qt::LeftButton);
  }

  QAction* Popup(const std::vector<std::string>& path) {
    QAction* action = View()->PopupAction(path);
    EXPECT_NE(action, nullptr) << path.back();
    return action;
  }

  QString imagePath_;
};

QRgb Pixel(const Bitmap& bitmap, int x, int y) {
  const Color c = bitmap.Pixel(x, y);
  return qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
}

bool SamePixels(const Bitmap& a, const Bitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (Pixel(a, x, y) != Pixel(b, x, y)) return false;
  return true;
}

TEST_F(ShapeTest, F3ShowsTheShapeAndItsToolBarAtItsPlace) {
  PixtrelF& window = Start();
  ShowActive();
  ShapeActions& s = *window.Shapes();
  EXPECT_FALSE(s.viewShape->isChecked());
  EXPECT_FALSE(s.Widget()->isVisible());
  EXPECT_FALSE(s.ToolBar()->isVisible());
  EXPECT_EQ(s.Widget()->objectName(), "zepShape1");
  QTest::keyClick(&window, Qt::Key_F3);
  EXPECT_TRUE(s.viewShape->isChecked());
  EXPECT_TRUE(s.Widget()->isVisible());
  EXPECT_TRUE(s.ToolBar()->isVisible());
  EXPECT_EQ(s.Widget()->geometry(), QRect(232, 88, 65, 65));
  EXPECT_EQ(s.Widget()->parentWidget(), window.View()->Canvas());
  // Only the move button is down at start.
  EXPECT_TRUE(s.Button("btnmoveObject")->isChecked());
  EXPECT_FALSE(s.Button("btnsizeobject")->isChecked());
  // Hiding keeps the settings.
  window.CurrentShape().SetCaption("kept");
  QTest::keyClick(&window, Qt::Key_F3);
  EXPECT_FALSE(s.Widget()->isVisible());
  EXPECT_FALSE(s.ToolBar()->isVisible());
  EXPECT_EQ(window.CurrentShape().Caption(), "kept");
  // With no image open, stamping and the overlay have nothing to work on.
  ASSERT_TRUE(window.CurrentWorkspace().Image().Empty());
  QTest::keyClick(&window, Qt::Key_F9);
  QTest::keyClick(&window, Qt::Key_F9, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_TRUE(window.CurrentWorkspace().Image().Empty());
  EXPECT_TRUE(window.Compositions()->CurrentOverlay().Image().Empty());
}

TEST_F(ShapeTest, F9StampsAtTheShapesBoxAndUndoDoesNotRemoveIt) {
  PixtrelF& window = StartWithShape();
  Bitmap expected;
  expected.Assign(window.CurrentWorkspace().Image());
  Shape().SetSelected(true);  // the mark shows on screen only
  shapes::PaintShape(Shape(), expected);
  QTest::keyClick(&window, Qt::Key_F9);
  const Bitmap& image = window.CurrentWorkspace().Image();
  EXPECT_TRUE(SamePixels(image, expected));
  // The white box from (232, 88): black pen on its edge, white inside, the
  // image around; no red selection mark in its centre.
  EXPECT_EQ(Pixel(image, 240, 95), qRgb(255, 255, 255));
  EXPECT_EQ(Pixel(image, 264, 120), qRgb(255, 255, 255));
  EXPECT_EQ(Pixel(image, 232, 120), qRgb(0, 0, 0));
  EXPECT_EQ(Pixel(image, 233, 120), qRgb(255, 255, 255));
  EXPECT_EQ(Pixel(image, 296, 120), qRgb(0, 0, 0));
  EXPECT_EQ(Pixel(image, 295, 120), qRgb(255, 255, 255));
  EXPECT_EQ(Pixel(image, 231, 95), qRgb(0, 0, 0));
  // The view shows it, and Undo has nothing to take back.
  EXPECT_EQ(window.View()->ShownImage().pixel(240, 95), qRgb(255, 255, 255));
  EXPECT_FALSE(window.Edits()->undo->isEnabled());
  window.Edits()->undo->trigger();
  EXPECT_EQ(Pixel(window.CurrentWorkspace().Image(), 240, 95), qRgb(255, 255, 255));
  // The tool bar's "Stamp" does the same.
  Shape().SetLeft(10);
  Click("btnStamp");
  EXPECT_EQ(Pixel(window.CurrentWorkspace().Image(), 20, 95), qRgb(255, 255, 255));
}

TEST_F(ShapeTest, ShapeAsOverlayPutsTheShapeAtTheOverlaysTopLeft) {
  PixtrelF& window = StartWithShape();
  Drag(QPoint(10, 10), QPoint(40, 30));  // the shape now at (262, 108)
  EXPECT_EQ(View()->geometry(), QRect(262, 108, 65, 65));
  CompositionActions& c = *window.Compositions();
  EXPECT_FALSE(c.viewOverlay->isChecked());
  QTest::keyClick(&window, Qt::Key_F9, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_TRUE(c.viewOverlay->isChecked());
  EXPECT_TRUE(c.OverlayWidget()->isVisible());
  const Bitmap& overlay = c.CurrentOverlay().Image();
  ASSERT_EQ(overlay.Width(), 300);
  ASSERT_EQ(overlay.Height(), 260);
  EXPECT_EQ(Pixel(overlay, 0, 0), qRgb(0, 0, 0));
  EXPECT_EQ(Pixel(overlay, 64, 64), qRgb(0, 0, 0));
  EXPECT_EQ(Pixel(overlay, 63, 63), qRgb(255, 255, 255));
  EXPECT_EQ(Pixel(overlay, 65, 30), qRgb(255, 255, 255));
  EXPECT_EQ(Pixel(overlay, 270, 120), qRgb(255, 255, 255));
  // The workspace itself is untouched.
  EXPECT_EQ(Pixel(window.CurrentWorkspace().Image(), 270, 120), qRgb(0, 0, 0));
}

TEST_F(ShapeTest, MouseModesMoveSizeAndPlaceTheCaption) {
  PixtrelF& window = StartWithShape();
  ShapeActions& s = *window.Shapes();
  Drag(QPoint(5, 5), QPoint(32, 5));
  EXPECT_EQ(Shape().Left(), 259);
  EXPECT_EQ(Shape().Top(), 88);

  Click("btnsizeobject");
  EXPECT_TRUE(s.Button("btnsizeobject")->isChecked());
  EXPECT_FALSE(s.Button("btnmoveObject")->isChecked());
  EXPECT_EQ(Shape().MouseMode(), shapes::mmSizeObject);
  Drag(QPoint(60, 60), QPoint(95, 75));  // 5 and 5 from the edges
  EXPECT_EQ(View()->geometry(), QRect(259, 88, 100, 80));

  Click("btnmovetext");
  Drag(QPoint(1, 1), QPoint(20, 30));
  EXPECT_FALSE(Shape().CaptionCentered());
  EXPECT_EQ(Shape().CaptionX(), 20);
  EXPECT_EQ(Shape().CaptionY(), 30);

  Click("btnrotatetext");
  Drag(QPoint(1, 1), QPoint(90, 40));  // right of the centre, at its height
  EXPECT_EQ(Shape().CaptionAngle(), 0);
  Drag(QPoint(1, 1), QPoint(50, 40 - 50));  // straight above the centre
  EXPECT_EQ(Shape().CaptionAngle(), 89);
  Drag(QPoint(1, 1), QPoint(10, 40));  // to the left
  EXPECT_EQ(Shape().CaptionAngle(), 180);

  // Shift with the left button selects: the red mark shows on screen.
  Shape().SetCaption("");
  Drag(QPoint(3, 3), QPoint(30, 30), Qt::ShiftModifier);
  EXPECT_TRUE(Shape().Selected());
  EXPECT_EQ(View()->geometry(), QRect(259, 88, 100, 80));
  const QImage shown = View()->grab().toImage();
  EXPECT_EQ(shown.pixel(50, 40), qRgb(255, 0, 0));
  QTest::mouseClick(View(), Qt::LeftButton, Qt::ShiftModifier, QPoint(3, 3));
  EXPECT_FALSE(Shape().Selected());
  // The image shows around the shape's outline, which is an ellipse now.
  Shape().SetShape(shapes::zstEllipse);
  const QImage ellipse = View()->grab().toImage();
  EXPECT_EQ(ellipse.pixel(1, 1), qRgb(0, 0, 0));
  EXPECT_EQ(ellipse.pixel(50, 40), qRgb(255, 255, 255));
}

TEST_F(ShapeTest, ControllerGridSnapsADrag) {
  PixtrelF& window = StartWithShape();
  shapes::ShapeController& controller = window.Shapes()->Controller();
  controller.MouseModeController = true;
  controller.MouseMode = shapes::mmMoveObject;
  controller.MouseGrid = true;
  controller.MouseGridSize = 10;
  Shape().SetBounds(0, 40, 65, 65);
  Drag(QPoint(5, 5), QPoint(32, 5));
  EXPECT_EQ(Shape().Left(), 19);
  EXPECT_EQ(Shape().Top(), 39);
  // A grid of 1 does not snap.
  controller.MouseGridSize = 1;
  Drag(QPoint(5, 5), QPoint(32, 5));
  EXPECT_EQ(Shape().Left(), 46);
}

TEST_F(ShapeTest, ActiveMouseOffLeavesTheShapeWhereItIs) {
  StartWithShape();
  Shape().SetActiveMouse(false);
  Drag(QPoint(5, 5), QPoint(32, 5));
  EXPECT_EQ(Shape().Left(), 232);
}

TEST_F(ShapeTest, PopUpMenuIsBuiltTrimmedAndSynced) {
  PixtrelF& window = StartWithShape();
  QMenu* menu = View()->PopupMenu();
  QStringList visible, all;
  for (QAction* a : menu->actions()) {
    if (a->isSeparator()) continue;
    all << a->text();
    if (a->isVisible()) visible << a->text();
  }
  EXPECT_EQ(visible, QStringList({"Shape Style", "GradientStyle", "Gradient", "Gradient Color...", "Brush Color...",
                                  "Brush Style", "Pen", "Caption"}));
  EXPECT_EQ(all.mid(8),
            QStringList({"Mouse Mode", "ActiveMouse", "Align/Size", "GroupName", "ConnectorN", "ConnectorE",
                         "ConnectorS", "ConnectorW", "PolyLineMode", "BringToFront", "SendToBack", "Delete Object"}));
  EXPECT_FALSE(Popup({"Caption", "Caption..."})->isVisible());
  EXPECT_FALSE(Popup({"Caption", "Font..."})->isVisible());
  EXPECT_TRUE(Popup({"Caption", "Centered"})->isVisible());
  EXPECT_TRUE(Popup({"Caption", "Angle"})->isVisible());

  // Every kind and pattern with its 16 x 16 image, in order.
  QMenu* kinds = Popup({"Shape Style"})->menu();
  ASSERT_EQ(kinds->actions().size(), 76);
  EXPECT_EQ(kinds->actions().front()->text(), "zstRectangle");
  EXPECT_EQ(kinds->actions().back()->text(), "zstUser");
  for (QAction* a : kinds->actions()) EXPECT_FALSE(a->icon().isNull()) << a->text().toStdString();
  EXPECT_EQ(kinds->actions().at(5)->icon().availableSizes().value(0), QSize(16, 16));
  QMenu* patterns = Popup({"GradientStyle"})->menu();
  ASSERT_EQ(patterns->actions().size(), 26);
  for (QAction* a : patterns->actions()) EXPECT_FALSE(a->icon().isNull()) << a->text().toStdString();

  Popup({"Shape Style", "zstCircle"})->trigger();
  EXPECT_EQ(Shape().Shape(), shapes::zstCircle);
  Popup({"GradientStyle", "zgdCircOut"})->trigger();
  EXPECT_TRUE(Shape().Gradient());
  EXPECT_EQ(Shape().FillDirection(), shapes::zgdCircOut);
  Popup({"Gradient"})->trigger();
  EXPECT_FALSE(Shape().Gradient());
  answers_.colors.push_back(RGB(255, 0, 0));
  Popup({"Brush Color..."})->trigger();
  EXPECT_EQ(Shape().Brush().color, RGB(255, 0, 0));
  answers_.colors.push_back(std::nullopt);
  Popup({"Gradient Color..."})->trigger();
  EXPECT_EQ(Shape().GradientColor(), clBlack);
  Popup({"Brush Style", "bsCross"})->trigger();
  EXPECT_EQ(Shape().Brush().style, bsCross);

  // The pen size: 25 is ignored, a non-number counts as 1.
  answers_.inputs.push_back("25");
  Popup({"Pen", "Size..."})->trigger();
  EXPECT_EQ(Shape().Pen().width, 1);
  EXPECT_EQ(answers_.prompts.back(), "Shape Controller: Enter Pen Size (1..20)");
  answers_.inputs.push_back("7");
  Popup({"Pen", "Size..."})->trigger();
  EXPECT_EQ(Shape().Pen().width, 7);
  answers_.inputs.push_back("thick");
  Popup({"Pen", "Size..."})->trigger();
  EXPECT_EQ(Shape().Pen().width, 1);
  answers_.inputs.push_back("-45");
  Popup({"Caption", "Angle"})->trigger();
  EXPECT_EQ(Shape().CaptionAngle(), -45);
  answers_.inputs.push_back("181");
  Popup({"Caption", "Angle"})->trigger();
  EXPECT_EQ(Shape().CaptionAngle(), -45);
  answers_.inputs.push_back(std::nullopt);
  Popup({"Caption", "Angle"})->trigger();
  EXPECT_EQ(Shape().CaptionAngle(), -45);

  // The marks follow the shape each time the menu pops up.
  Shape().SetGradient(true);
  Shape().SetPen({clBlack, 1, psDot, pmCopy});
  View()->SyncPopup();
  EXPECT_TRUE(Popup({"Gradient"})->isChecked());
  EXPECT_TRUE(Popup({"Pen", "Style", "psDot"})->isChecked());
  EXPECT_FALSE(Popup({"Pen", "Style", "psSolid"})->isChecked());
  EXPECT_TRUE(Popup({"Brush Style", "bsCross"})->isChecked());
  EXPECT_TRUE(Popup({"Mouse Mode", "mmMoveObject"})->isChecked());
  EXPECT_TRUE(Popup({"ActiveMouse"})->isChecked());

  // A mode chosen in the (hidden) menu presses its button; mmfixed none.
  ShapeActions& s = *window.Shapes();
  Popup({"Mouse Mode", "mmRotateText"})->trigger();
  EXPECT_TRUE(s.Button("btnrotatetext")->isChecked());
  EXPECT_FALSE(s.Button("btnmoveObject")->isChecked());
  Popup({"Mouse Mode", "mmfixed"})->trigger();
  for (const char* b : {"btnmoveObject", "btnsizeobject", "btnmovetext", "btnrotatetext"})
    EXPECT_FALSE(s.Button(b)->isChecked()) << b;
  Drag(QPoint(5, 5), QPoint(32, 5));
  EXPECT_EQ(Shape().Left(), 232);
  // The controller's stored mode is off after BuildMenu.
  EXPECT_FALSE(s.Controller().MouseModeController);
  EXPECT_EQ(s.Controller().MouseMode, shapes::mmfixed);
}

TEST_F(ShapeTest, ToolBarStylesTheShape) {
  PixtrelF& window = StartWithShape();
  Click("btnTextOnly");
  EXPECT_EQ(Shape().Brush().style, bsClear);
  EXPECT_EQ(Shape().Pen().style, psClear);
  EXPECT_EQ(Shape().Caption(), "Pixtrel");
  Click("SpeedButton1");
  EXPECT_EQ(Shape().Brush().style, bsSolid);
  Click("SpeedButton2");
  EXPECT_EQ(Shape().Pen().style, psSolid);

  answers_.colors.push_back(RGB(0, 128, 0));
  Click("SpeedButton3");
  EXPECT_EQ(Shape().Font().color, RGB(0, 128, 0));
  Click("SpeedButton4");
  Click("SpeedButton5");
  Click("SpeedButton6");
  EXPECT_TRUE(Shape().Font().bold && Shape().Font().italic && Shape().Font().underline);
  Click("SpeedButton5");
  EXPECT_FALSE(Shape().Font().italic);

  QFont chosen(QStringLiteral("DejaVu Serif"), 14);
  chosen.setItalic(true);
  dialogs_.fontAnswers.push_back(chosen);
  Click("SpeedButton7");
  EXPECT_EQ(Shape().Font().name, "DejaVu Serif");
  EXPECT_EQ(Shape().Font().Size(), 14);
  EXPECT_TRUE(Shape().Font().italic);
  EXPECT_FALSE(Shape().Font().bold);
  EXPECT_EQ(Shape().Font().color, RGB(0, 128, 0));  // not the dialog's colour
  Click("SpeedButton7");                            // cancelled
  EXPECT_EQ(Shape().Font().name, "DejaVu Serif");

  answers_.inputs.push_back("Hello");
  Click("btncaption");
  EXPECT_EQ(Shape().Caption(), "Hello");
  EXPECT_EQ(answers_.prompts.back(), "Pixtrel shape: Enter caption:");
  EXPECT_EQ(answers_.startValues.back(), "Pixtrel");
  answers_.inputs.push_back(std::nullopt);
  Click("btncaption");
  EXPECT_EQ(Shape().Caption(), "Hello");

  // Larger and Smaller round halves to even and stop at 144 and 8.
  pixtrel::Font font = Shape().Font();
  font.SetSize(10);
  Shape().SetFont(font);
  Click("SpeedButton8");
  EXPECT_EQ(Shape().Font().Size(), 11);
  font.SetSize(9);
  Shape().SetFont(font);
  Click("SpeedButton9");
  EXPECT_EQ(Shape().Font().Size(), 8);
  Click("SpeedButton9");
  EXPECT_EQ(Shape().Font().Size(), 8);
  font.SetSize(144);
  Shape().SetFont(font);
  Click("SpeedButton8");
  EXPECT_EQ(Shape().Font().Size(), 144);

  Click("btnframe");
  EXPECT_EQ(View()->geometry(), QRect(0, 0, 300, 260));
  // "Overlay" on the tool bar is "Shape as Overlay".
  Click("btnShapeOverlay");
  EXPECT_TRUE(window.Compositions()->viewOverlay->isChecked());
}

TEST_F(ShapeTest, OnScreenStampMatchesTheCommandLine) {
  PixtrelF& window = StartWithShape();
  Popup({"Shape Style", "zstEllipse"})->trigger();
  answers_.colors.push_back(RGB(255, 0, 0));
  Popup({"Brush Color..."})->trigger();
  answers_.inputs.push_back("3");
  Popup({"Pen", "Size..."})->trigger();
  answers_.inputs.push_back("Hi");
  Click("btncaption");
  Click("btnsizeobject");
  Drag(QPoint(60, 60), QPoint(95, 75));  // 100 x 80
  QTest::keyClick(&window, Qt::Key_F9);
  const QString saved = images_ + QStringLiteral("/cli.bmp");
  const std::string command = std::string(PIXTREL_CLI_PATH) + " stamp '" + imagePath_.toStdString() + "' '" +
                              saved.toStdString() +
                              "' --kind zstEllipse --box 232,88,100,80 --brush '#FF0000' --pen-width 3 --caption Hi";
  const CommandResult result = RunCommand(command + " 2>&1");
  ASSERT_EQ(result.exitCode, 0) << result.output;
  Bitmap cli;
  LoadImageFile(saved.toStdString(), cli, Silent());
  EXPECT_TRUE(SamePixels(window.CurrentWorkspace().Image(), cli));
  EXPECT_EQ(Pixel(cli, 282, 128), qRgb(255, 0, 0));
}

}  // namespace
}  // namespace pixtrel::test
