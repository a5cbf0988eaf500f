// The drawing object on a workspace image: the turtle, the conversions of
// its variant parameters, colours as text, the edit steps and the guard.
#include <gtest/gtest.h>

#include <set>

#include "automation/board.h"
#include "automation/board_interface.h"
#include "core/bitmap.h"
#include "core/canvas.h"
#include "workspace/workspace.h"

namespace pixtrel::automation {
namespace {

class BoardTest : public testing::Test {
 protected:
  BoardTest() : board(workspace, turtle) {
    Bitmap white(100, 60, pf24bit);
    white.Fill(clWhite);
    workspace.SetImage(white);
  }

  Color At(int x, int y) const { return workspace.Image().Pixel(x, y) & 0xFFFFFF; }
  Point PenPos() { return workspace.Image().Canvas().PenPos(); }
  int CountOf(Color color) const {
    int count = 0;
    for (int y = 0; y < workspace.Image().Height(); ++y)
      for (int x = 0; x < workspace.Image().Width(); ++x) count += At(x, y) == color;
    return count;
  }

  Workspace workspace;
  Turtle turtle;
  Board board;
};

TEST(Variants, IntegersRoundHalvesToEvenAndReadText) {
  EXPECT_EQ(Variant(22.5).ToInteger(), 22);
  EXPECT_EQ(Variant(23.5).ToInteger(), 24);
  EXPECT_EQ(Variant(-2.5).ToInteger(), -2);
  EXPECT_EQ(Variant(-3.5).ToInteger(), -4);
  EXPECT_EQ(Variant(2.4999).ToInteger(), 2);
  EXPECT_EQ(Variant("22.5").ToInteger(), 22);
  EXPECT_EQ(Variant(" -17 ").ToInteger(), -17);
  EXPECT_EQ(Variant("1e2").ToInteger(), 100);
  EXPECT_EQ(Variant(".5").ToInteger(), 0);
  EXPECT_EQ(Variant(true).ToInteger(), -1);
  EXPECT_EQ(Variant().ToInteger(), 0);
  EXPECT_DOUBLE_EQ(Variant("22.75").ToReal(), 22.75);
  EXPECT_EQ(Variant(22.5).ToText(), "22.5");
  EXPECT_EQ(Variant(-7).ToText(), "-7");
}

TEST(Variants, TextThatIsNoNumberAndHugeValuesFail) {
  for (const char* text : {"abc", "", " ", "12abc", "0x10", "inf", "nan", "--1", "1,5"}) {
    SCOPED_TRACE(text);
    try {
      (void)Variant(text).ToInteger();
      ADD_FAILURE() << "converted";
    } catch (const EAutomationError& e) {
      EXPECT_EQ(e.Error(), AutomationError::NotANumber);
    }
  }
  for (const Variant& v : {Variant(3e9), Variant("2147483648"), Variant(std::int64_t{-2147483649LL}), Variant(1e300)}) {
    try {
      (void)v.ToInteger();
      ADD_FAILURE() << "converted " << v.ToText();
    } catch (const EAutomationError& e) {
      EXPECT_EQ(e.Error(), AutomationError::OutOfRange);
    }
  }
  EXPECT_EQ(Variant("2147483647").ToInteger(), 2147483647);
}

TEST(Variants, ArithmeticStaysWholeUnlessARealOrTextTakesPart) {
  EXPECT_TRUE(Sum(Variant(10), Variant(5)).IsInteger());
  EXPECT_EQ(Sum(Variant(10), Variant("2.5")).ToText(), "12.5");
  EXPECT_TRUE(Sum(Variant(10), Variant("2")).IsReal());
  EXPECT_EQ(Product(Variant(45.25), Variant(10)).ToText(), "452.5");
  EXPECT_EQ(RotationTenths(Variant(45.25)), 452);
  EXPECT_EQ(RotationTenths(Variant("45.25")), 452);
  EXPECT_EQ(RotationTenths(Variant(45.34)), 453);
  EXPECT_EQ(RotationTenths(Variant(44.75)), 448);  // 447.5: halves to even
  EXPECT_EQ(RotationTenths(Variant(-90)), -900);
}

TEST(Colors, HtmlTextReadsOrGivesBlack) {
  EXPECT_EQ(HtmlToColor("#FF0000"), clRed);
  EXPECT_EQ(HtmlToColor("#ff8000"), RGB(255, 128, 0));
  EXPECT_EQ(HtmlToColor("#0000FF"), clBlue);
  for (const char* text : {"red", "#12345", "#12345G", "FF0000#", "#FF00000", "", "# 12345", "#-12345", "#+12345"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(HtmlToColor(text), clBlack);
  }
  EXPECT_EQ(ColorToHtml(clRed), "#FF0000");
  EXPECT_EQ(ColorToHtml(RGB(0xAB, 0xCD, 0xEF)), "#ABCDEF");
  EXPECT_EQ(ColorToHtml(0xFF000000u | clBlue), "#0000FF");
}

TEST_F(BoardTest, ColoursThatAreNotHtmlSetBlackWithoutFailing) {
  for (const Variant& v : {Variant("red"), Variant("#12345"), Variant("#12345G"), Variant(255)}) {
    ASSERT_TRUE(board.BrushColor(Variant("#FFFFFF")));
    EXPECT_TRUE(board.BrushColor(v));
    EXPECT_EQ(workspace.Image().Canvas().Brush().color, clBlack) << v.ToText();
  }
}

TEST_F(BoardTest, MoveBeforePenDownOnlyMovesThePenPosition) {
  ASSERT_TRUE(board.Move(Variant(50)));
  EXPECT_EQ(PenPos(), (Point{50, 0}));
  EXPECT_EQ(CountOf(clWhite), 100 * 60);
  ASSERT_TRUE(board.PenDown());
  ASSERT_TRUE(board.Move(Variant(10)));
  EXPECT_EQ(PenPos(), (Point{60, 0}));
  EXPECT_EQ(At(50, 0), clBlack);
  EXPECT_EQ(At(59, 0), clBlack);
  EXPECT_EQ(At(60, 0), clWhite);  // the end point is left out
}

TEST_F(BoardTest, TurnAndMoveFollowTheHeadingInDegrees) {
  ASSERT_TRUE(board.PenDown());
  ASSERT_TRUE(board.Turn(Variant(90)));
  ASSERT_TRUE(board.Move(Variant(10)));
  EXPECT_EQ(PenPos(), (Point{0, 10}));
  EXPECT_EQ(At(0, 9), clBlack);
  EXPECT_EQ(At(1, 5), clWhite);

  ASSERT_TRUE(board.MoveTo(Variant(0), Variant(0)));
  ASSERT_TRUE(board.set_angle(Variant(0)));
  ASSERT_TRUE(board.Turn(Variant(-45)));
  ASSERT_TRUE(board.Move(Variant(10)));
  EXPECT_EQ(PenPos(), (Point{7, -7}));
  Variant heading;
  ASSERT_TRUE(board.get_angle(heading));
  EXPECT_EQ(heading.ToInteger(), -45);
  // The turtle lives beside the boards: another board sees the same heading.
  Board other(workspace, turtle);
  ASSERT_TRUE(other.get_angle(heading));
  EXPECT_EQ(heading.ToInteger(), -45);
}

TEST_F(BoardTest, AngleAndTurnRoundHalvesToEven) {
  Variant heading;
  ASSERT_TRUE(board.set_angle(Variant(22.5)));
  ASSERT_TRUE(board.get_angle(heading));
  EXPECT_EQ(heading.ToInteger(), 22);
  ASSERT_TRUE(board.set_angle(Variant(23.5)));
  ASSERT_TRUE(board.get_angle(heading));
  EXPECT_EQ(heading.ToInteger(), 24);
  ASSERT_TRUE(board.set_angle(Variant(10)));
  ASSERT_TRUE(board.Turn(Variant("0.5")));  // 10.5 -> 10
  ASSERT_TRUE(board.get_angle(heading));
  EXPECT_EQ(heading.ToInteger(), 10);
  ASSERT_TRUE(board.Turn(Variant(1.5)));  // 11.5 -> 12
  ASSERT_TRUE(board.get_angle(heading));
  EXPECT_EQ(heading.ToInteger(), 12);
  EXPECT_FALSE(board.Turn(Variant("left")));
  ASSERT_TRUE(board.get_angle(heading));
  EXPECT_EQ(heading.ToInteger(), 12);
}

TEST_F(BoardTest, LineAngledStartsAtThePenPositionAndLeavesTheHeading) {
  ASSERT_TRUE(board.MoveTo(Variant(20), Variant(5)));
  ASSERT_TRUE(board.LineAngled(Variant(90), Variant("10")));
  EXPECT_EQ(PenPos(), (Point{20, 15}));
  EXPECT_EQ(At(20, 10), clBlack);
  ASSERT_TRUE(board.LineAngled(Variant(-45.0), Variant(10.9)));
  EXPECT_EQ(PenPos(), (Point{27, 8}));  // 7.7 and -7.7 cut toward zero
  EXPECT_EQ(turtle.Heading, 0);
}

TEST_F(BoardTest, ShapesTextAndFillsDrawOnTheDisplayedImage) {
  int changes = 0;
  workspace.imageChanged = [&] { ++changes; };
  ASSERT_TRUE(board.PenColor(Variant("#FF0000")));
  ASSERT_TRUE(board.Line(Variant(0), Variant(10), Variant(50), Variant(10)));
  Variant color;
  ASSERT_TRUE(board.getPixelColor(Variant(20), Variant(10), color));
  EXPECT_EQ(color.ToText(), "#FF0000");
  ASSERT_TRUE(board.getPixelColor(Variant("20"), Variant(11.4), color));
  EXPECT_EQ(color.ToText(), "#FFFFFF");

  ASSERT_TRUE(board.BrushColor(Variant("#0000FF")));
  ASSERT_TRUE(board.Rectangle(Variant(60), Variant(20), Variant(80), Variant(40)));
  EXPECT_EQ(At(60, 20), clRed);
  EXPECT_EQ(At(70, 30), clBlue);
  EXPECT_EQ(At(80, 40), clWhite);
  ASSERT_TRUE(board.BrushColor(Variant("#00FF00")));
  ASSERT_TRUE(board.FloodFillSurface(Variant(70), Variant(30), Variant("#0000FF")));
  EXPECT_EQ(At(70, 30), clLime);
  EXPECT_EQ(At(60, 20), clRed);
  ASSERT_TRUE(board.BrushColor(Variant("#FFFF00")));
  ASSERT_TRUE(board.FloodFillBorder(Variant(5), Variant(30), Variant("#FF0000")));
  EXPECT_EQ(At(5, 30), clYellow);
  EXPECT_EQ(At(70, 30), clLime);  // inside the red frame

  ASSERT_TRUE(board.BrushClear());
  ASSERT_TRUE(board.PenWidth(Variant(3)));
  ASSERT_TRUE(board.Ellipse(Variant(10), Variant(20), Variant(40), Variant(50)));
  EXPECT_EQ(At(25, 35), clYellow);  // not filled
  EXPECT_EQ(At(25, 21), clRed);
  ASSERT_TRUE(board.BrushSolid());
  ASSERT_TRUE(board.PenClear());
  ASSERT_TRUE(board.RoundRect(Variant(85), Variant(0), Variant(100), Variant(15), Variant(6), Variant(6)));
  EXPECT_EQ(At(92, 7), clYellow);
  EXPECT_EQ(changes, 6);
}

TEST_F(BoardTest, TextIsWrittenOnTheBrushAndMeasured) {
  ASSERT_TRUE(board.FontName(Variant("DejaVu Sans")));
  ASSERT_TRUE(board.FontSize(Variant(12)));
  ASSERT_TRUE(board.FontColor(Variant("#0000FF")));
  ASSERT_TRUE(board.BrushColor(Variant("#FFFF00")));
  Variant width, height;
  ASSERT_TRUE(board.TextWidth(Variant("Hello"), width));
  ASSERT_TRUE(board.TextHeight(Variant("Hello"), height));
  EXPECT_GT(width.ToInteger(), 20);
  EXPECT_GT(height.ToInteger(), 10);
  ASSERT_TRUE(board.Text(Variant(2), Variant(2), Variant("Hello")));
  EXPECT_GT(CountOf(clBlue), 20);
  EXPECT_GT(CountOf(clYellow), 100);  // the background in the brush
  ASSERT_TRUE(board.FontBold());
  ASSERT_TRUE(board.FontItalic());
  ASSERT_TRUE(board.FontUnderline());
  const Font& font = workspace.Image().Canvas().Font();
  EXPECT_TRUE(font.bold && font.italic && font.underline);
  Variant bolder;
  ASSERT_TRUE(board.TextWidth(Variant("Hello"), bolder));
  EXPECT_GT(bolder.ToInteger(), width.ToInteger());
  ASSERT_TRUE(board.FontNormal());
  EXPECT_FALSE(font.bold || font.italic || font.underline);
}

TEST_F(BoardTest, RotatedTextUsesItsOwnFontOnATransparentBackground) {
  Font canvasFont;
  canvasFont.name = "DejaVu Sans";
  canvasFont.height = -16;
  canvasFont.bold = true;
  canvasFont.strikeOut = true;
  canvasFont.color = clBlue;
  const Font rotated = RotatedFont(canvasFont, 452);
  EXPECT_EQ(rotated.escapement, 452);
  EXPECT_EQ(rotated.height, 16);
  EXPECT_EQ(rotated.name, "DejaVu Sans");
  EXPECT_TRUE(rotated.bold);
  EXPECT_FALSE(rotated.strikeOut);
  EXPECT_EQ(rotated.color, clBlue);

  Canvas& canvas = workspace.Image().Canvas();
  canvas.Font() = canvasFont;
  ASSERT_TRUE(board.BrushColor(Variant("#FFFF00")));
  ASSERT_TRUE(board.MoveTo(Variant(3), Variant(4)));
  ASSERT_TRUE(board.TextRotated(Variant(10), Variant(50), Variant("Rotated"), Variant(45.25)));
  EXPECT_GT(CountOf(clBlue), 20);
  EXPECT_EQ(CountOf(clYellow), 0);
  EXPECT_EQ(canvas.Font().escapement, 0);
  EXPECT_TRUE(canvas.Font().strikeOut);
  EXPECT_EQ(canvas.Brush().style, bsSolid);
  EXPECT_EQ(PenPos(), (Point{3, 4}));

  // The same text written directly with the rotated font gives the same pixels.
  Bitmap expected(100, 60, pf24bit);
  expected.Fill(clWhite);
  expected.Canvas().Font() = RotatedFont(canvasFont, 452);
  expected.Canvas().Brush().style = bsClear;
  expected.Canvas().TextOut(10, 50, "Rotated");
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 100; ++x) ASSERT_EQ(At(x, y), expected.Pixel(x, y) & 0xFFFFFF) << x << "," << y;
}

TEST_F(BoardTest, NewImageAndClearAreEditStepsThatUndoRestores) {
  ASSERT_TRUE(board.PenColor(Variant("#FF0000")));
  ASSERT_TRUE(board.Line(Variant(0), Variant(0), Variant(99), Variant(0)));
  ASSERT_TRUE(board.NewImage(Variant(200), Variant("100")));
  Variant w, h;
  ASSERT_TRUE(board.ImageWidth(w));
  ASSERT_TRUE(board.ImageHeight(h));
  EXPECT_EQ(w.ToInteger(), 200);
  EXPECT_EQ(h.ToInteger(), 100);
  EXPECT_EQ(CountOf(clWhite), 200 * 100);
  EXPECT_TRUE(workspace.UndoEnabled());
  // The drawing state stays with the displayed image.
  EXPECT_EQ(workspace.Image().Canvas().Pen().color, clRed);
  workspace.Undo();
  EXPECT_EQ(workspace.Image().Width(), 100);
  EXPECT_EQ(At(50, 0), clRed);

  ASSERT_TRUE(board.Clear());
  EXPECT_EQ(workspace.Image().Width(), 100);
  EXPECT_EQ(workspace.Image().Height(), 60);
  EXPECT_EQ(CountOf(clWhite), 100 * 60);
  workspace.Undo();
  EXPECT_EQ(At(50, 0), clRed);
}

TEST_F(BoardTest, AFailingStepStopsTheMemberAndReportsItsMessage) {
  const BoardStatus status = board.Line(Variant(5), Variant(6), Variant("x"), Variant(20));
  EXPECT_FALSE(status);
  EXPECT_NE(status.message.find("The value cannot be read as a number"), std::string::npos) << status.message;
  EXPECT_EQ(status.code, "automation.NotANumber");
  EXPECT_EQ(PenPos(), (Point{5, 6}));  // the move before the failing value happened
  EXPECT_EQ(CountOf(clWhite), 100 * 60);

  const BoardStatus huge = board.NewImage(Variant(100000), Variant(100000));
  EXPECT_FALSE(huge);
  // The workspace's pixel limit, named with both figures.
  EXPECT_EQ(huge.message, "Image is too large (100000 x 100000 = 10000000000 pixels, over the limit of 178956970 pixels)");
  EXPECT_FALSE(workspace.UndoEnabled());  // no snapshot before the failure
  EXPECT_EQ(workspace.Image().Width(), 100);
  EXPECT_FALSE(board.NewImage(Variant(10), Variant(1e12)));

  workspace.SetImage(Bitmap());
  const BoardStatus empty = board.Rectangle(Variant(0), Variant(0), Variant(5), Variant(5));
  EXPECT_FALSE(empty);
  EXPECT_EQ(empty.message, "There is no image to draw on");
  EXPECT_TRUE(board.PenUp());
  EXPECT_TRUE(board.PenDown());
  EXPECT_FALSE(board.Move(Variant(5)));  // the pen is down: it would draw
  EXPECT_TRUE(board.PenColor(Variant("#00FF00")));
  EXPECT_TRUE(board.MoveTo(Variant(1), Variant(2)));
}

// A client may pass any 32-bit number: far coordinates and absurd pens and
// fonts draw what falls on the image, or nothing, and never overflow.
TEST_F(BoardTest, NumbersAtTheEndsOfTheRangeDrawWithoutOverflow) {
  const Variant most(2147483647), least(-2147483647 - 1);
  ASSERT_TRUE(board.PenWidth(most));
  ASSERT_TRUE(board.Line(Variant(0), Variant(0), Variant(10), Variant(10)));
  EXPECT_EQ(CountOf(clBlack), 100 * 60);  // the widest pen covers everything
  ASSERT_TRUE(board.Clear());
  ASSERT_TRUE(board.Ellipse(least, least, most, most));
  ASSERT_TRUE(board.RoundRect(least, Variant(0), most, Variant(10), most, least));
  ASSERT_TRUE(board.PenWidth(least));
  ASSERT_TRUE(board.Rectangle(most, most, least, least));
  ASSERT_TRUE(board.Line(least, Variant(5), most, Variant(5)));
  ASSERT_TRUE(board.Text(most, most, Variant("far")));
  EXPECT_EQ(PenPos(), (Point{2147483647, 2147483647}));
  ASSERT_TRUE(board.TextRotated(most, Variant(0), Variant("far"), Variant(45)));
  ASSERT_TRUE(board.FloodFillSurface(most, least, Variant("#FFFFFF")));
  ASSERT_TRUE(board.MoveTo(most, Variant(0)));
  const BoardStatus beyond = board.LineAngled(Variant(0), Variant(10));
  EXPECT_FALSE(beyond);
  EXPECT_EQ(beyond.code, "automation.OutOfRange");
  ASSERT_TRUE(board.FontSize(least));
  Variant width;
  EXPECT_TRUE(board.TextWidth(Variant("x"), width));
  ASSERT_TRUE(board.FontSize(most));
  EXPECT_TRUE(board.Text(Variant(1), Variant(1), Variant("x")));
}

TEST_F(BoardTest, ShowImageCallsTheWindow) {
  int shown = 0;
  EXPECT_TRUE(board.ShowImage());
  board.showImage = [&] { ++shown; };
  EXPECT_TRUE(board.ShowImage());
  EXPECT_EQ(shown, 1);
}

TEST(BoardInterface, MembersStandInInterfaceOrderWithTheirDispatchIdentifiers) {
  std::vector<int> dispids;
  std::vector<std::string> names;
  for (const BoardMember& member : BoardMembers()) {
    dispids.push_back(member.dispid);
    names.push_back(member.name);
  }
  const std::vector<int> expected = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20,
                                     21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 30, 31, 32, 33, 34, 38, 39, 40, 35};
  EXPECT_EQ(dispids, expected);
  EXPECT_EQ(names.front(), "Line");
  EXPECT_EQ(names[29], "angle");
  EXPECT_EQ(names.back(), "PenWidth");
  EXPECT_EQ(FindBoardMember("getpixelcolor")->dispid, 38);
  EXPECT_EQ(FindBoardMember("ANGLE", MemberKind::PropertyPut)->parameters.size(), 1u);
  EXPECT_EQ(FindBoardMember("angle"), nullptr);
  EXPECT_EQ(FindBoardMember("Line", MemberKind::PropertyPut), nullptr);
  EXPECT_EQ(std::string(kTypeLibrary.programId), std::string(kTypeLibrary.name) + "." + kTypeLibrary.className);
  const std::set<std::string> guids = {kTypeLibrary.libraryGuid, kTypeLibrary.interfaceGuid, kTypeLibrary.classGuid};
  EXPECT_EQ(guids.size(), 3u);
}

TEST_F(BoardTest, InvokeChecksTheNumberOfArguments) {
  Variant result;
  const std::vector<Variant> two = {Variant(1), Variant(2)};
  const BoardStatus status = Invoke(board, *FindBoardMember("Line"), two, result);
  EXPECT_FALSE(status);
  EXPECT_EQ(status.code, "automation.ArgumentCount");
  ASSERT_TRUE(Invoke(board, *FindBoardMember("getPixelColor"), two, result));
  EXPECT_EQ(result.ToText(), "#FFFFFF");
}

}  // namespace
}  // namespace pixtrel::automation
