// The main window's drawing object: it draws on the image the window shows,
// brings the image page to the front, and its new images are undone by
// "&Undo last".
#include <QLabel>
#include <QTabWidget>

#include "app/edit_actions.h"
#include "app/shell/shell_fixture.h"
#include "app/workspace_view.h"
#include "automation/board.h"

namespace pixtrel::test {
namespace {

using automation::Variant;

class BoardWindowTest : public ShellTest {};

TEST_F(BoardWindowTest, DrawsOnTheShownImageAndItsNewImageIsUndone) {
  PixtrelF& window = Start();
  automation::Board& board = window.CurrentBoard();
  // Right after start-up there is no image: the turtle moves, nothing draws.
  ASSERT_TRUE(board.Move(Variant(50)));
  const automation::BoardStatus none = board.Line(Variant(0), Variant(0), Variant(5), Variant(5));
  EXPECT_FALSE(none);
  EXPECT_EQ(none.message, "There is no image to draw on");

  Bitmap white(60, 40, pf24bit);
  white.Fill(clWhite);
  window.CurrentWorkspace().SetImage(white);
  ASSERT_TRUE(board.PenColor(Variant("#FF0000")));
  ASSERT_TRUE(board.Line(Variant(0), Variant(10), Variant(50), Variant(10)));
  EXPECT_EQ(window.View()->ShownImage().pixel(20, 10) & 0xFFFFFFu, 0xFF0000u);

  // Any other board of the window shares the turtle.
  ASSERT_TRUE(board.set_angle(Variant(23.5)));
  Variant heading;
  ASSERT_TRUE(window.NewBoard()->get_angle(heading));
  EXPECT_EQ(heading.ToInteger(), 24);

  auto* elsewhere = new QLabel(QStringLiteral("elsewhere"));
  window.Pages()->addTab(elsewhere, QStringLiteral("Elsewhere"));
  window.Pages()->setCurrentWidget(elsewhere);
  ASSERT_TRUE(board.ShowImage());
  EXPECT_EQ(window.Pages()->currentIndex(), 0);

  EXPECT_FALSE(window.Edits()->undo->isEnabled());
  ASSERT_TRUE(board.NewImage(Variant(200), Variant(100)));
  EXPECT_EQ(window.View()->ShownImage().size(), QSize(200, 100));
  ASSERT_TRUE(window.Edits()->undo->isEnabled());
  window.Edits()->undo->trigger();
  EXPECT_EQ(window.View()->ShownImage().size(), QSize(60, 40));
  EXPECT_EQ(window.View()->ShownImage().pixel(20, 10) & 0xFFFFFFu, 0xFF0000u);
}

}  // namespace
}  // namespace pixtrel::test
