// Draw scripts: one call a line, read and run on a workspace.
#include <gtest/gtest.h>

#include <sstream>

#include "automation/board_script.h"
#include "core/bitmap.h"
#include "workspace/workspace.h"

namespace pixtrel::automation {
namespace {

TEST(BoardScript, ReadsNamesArgumentsTextsAndPropertyWrites) {
  const ParsedScript script = ParseBoardScript(
      "# a figure\n"
      "\n"
      "  penColor \"#FF0000\"\r\n"
      "Line 0, 10,50 ,  -10\n"
      "Text 1, 2, \"say \"\"hi\"\", then, go\"\n"
      "angle = 22.5\n"
      "angle\n"
      "BrushClear\n"
      "LineAngled 1e1, +2");
  ASSERT_FALSE(script.failure) << script.failure->message;
  ASSERT_EQ(script.calls.size(), 7u);
  EXPECT_EQ(script.calls[0].line, 3);
  EXPECT_STREQ(script.calls[0].member->name, "PenColor");
  EXPECT_EQ(script.calls[0].arguments, std::vector<Variant>{Variant("#FF0000")});
  EXPECT_EQ(script.calls[1].arguments, (std::vector<Variant>{Variant(0), Variant(10), Variant(50), Variant(-10)}));
  EXPECT_EQ(script.calls[2].arguments[2], Variant("say \"hi\", then, go"));
  EXPECT_EQ(script.calls[3].member->kind, MemberKind::PropertyPut);
  EXPECT_EQ(script.calls[3].arguments, std::vector<Variant>{Variant(22.5)});
  EXPECT_EQ(script.calls[4].member->kind, MemberKind::PropertyGet);
  EXPECT_TRUE(script.calls[5].arguments.empty());
  EXPECT_EQ(script.calls[6].arguments, (std::vector<Variant>{Variant(10.0), Variant(2)}));
  EXPECT_EQ(script.calls[6].line, 9);
}

TEST(BoardScript, NamesTheLineThatIsNoCall) {
  const struct {
    const char* text;
    int line;
    const char* message;
  } cases[] = {
      {"Line 1, 2, 3\n", 1, "Line takes 4 arguments"},
      {"PenUp\nFly 3\n", 2, "unknown member Fly"},
      {"\n\nPenColor #FF0000\n", 3, "\"#FF0000\" is neither a number nor a text in quotes"},
      {"Text 1, 2, \"open\n", 1, "a text has no closing quote"},
      {"Line 1 2, 3, 4\n", 1, "arguments are separated by commas"},
      {"Line 1, , 3, 4\n", 1, "an argument is missing"},
      {"Line = 4\n", 1, "Line is no property that can be written"},
      {"angle = 1, 2\n", 1, "a property takes one value"},
      {"PenUp 1\n", 1, "PenUp takes 0 arguments"},
      {"ImageWidth\n= 4\n", 2, "a line begins with a member's name"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const ParsedScript script = ParseBoardScript(c.text);
    ASSERT_TRUE(script.failure);
    EXPECT_EQ(script.failure->line, c.line);
    EXPECT_EQ(script.failure->message, c.message);
  }
}

TEST(BoardScript, RunsInOrderPrintsResultsAndStopsAtTheFirstFailure) {
  Workspace workspace;
  Bitmap white(100, 40, pf24bit);
  white.Fill(clWhite);
  workspace.SetImage(white);
  Turtle turtle;
  Board board(workspace, turtle);
  const ParsedScript script = ParseBoardScript(
      "PenColor \"#FF0000\"\n"
      "Line 0, 10, 50, 10\n"
      "ImageWidth\n"
      "getPixelColor 20, 10\n"
      "angle = 23.5\n"
      "angle\n"
      "Line 0, 20, \"far\", 20\n"
      "Line 0, 30, 50, 30\n");
  ASSERT_FALSE(script.failure);
  std::ostringstream out;
  const auto failure = RunBoardScript(board, script.calls, out);
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->line, 7);
  EXPECT_EQ(failure->message, "The value cannot be read as a number (far)");
  EXPECT_EQ(out.str(), "100\n#FF0000\n24\n");
  EXPECT_EQ(workspace.Image().Pixel(20, 30) & 0xFFFFFF, clWhite);
}

}  // namespace
}  // namespace pixtrel::automation
