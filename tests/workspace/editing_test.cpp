// The editing commands and the selection model of the workspace, driven the
// way the menus and the mouse drive them.
#include "workspace/editing.h"
#include "support/io_support.h"

#include <gtest/gtest.h>

#include <limits>

#include "core/errors.h"
#include "core/scripted_interaction.h"
#include "io/image_io.h"
#include "support/corpus.h"
#include "workspace/effect_commands.h"
#include "workspace/selection.h"

namespace pixtrel::test {
namespace {

Bitmap Picture(int w, int h) {
  Bitmap b(w, h, pf24bit);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixel(x, y, RGB(x * 7 % 256, y * 13 % 256, (x + y) % 256));
  return b;
}

bool SamePixels(const Bitmap& a, const Bitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (a.Pixel(x, y) != b.Pixel(x, y)) return false;
  return true;
}

// Records the start text of every prompt as well.
class RecordingInteraction : public ScriptedInteraction {
 public:
  std::optional<std::string> InputQuery(const std::string& caption, const std::string& prompt,
                                        const std::string& value) override {
    startValues.push_back(value);
    return ScriptedInteraction::InputQuery(caption, prompt, value);
  }
  std::vector<std::string> startValues;
};

TEST(NewImage, AsksWidthThenHeightStartingWithTheWidthText) {
  Workspace ws;
  ws.SetImage(Picture(20, 20));
  RecordingInteraction ui;
  ui.inputs = {std::string("300"), std::string("10")};
  EXPECT_FALSE(NewImage(ws, ui));
  ASSERT_EQ(ui.prompts.size(), 2u);
  EXPECT_EQ(ui.prompts[0], "Pixtrel New Image: Enter image width:");
  EXPECT_EQ(ui.prompts[1], "Pixtrel New Image: Enter image height:");
  EXPECT_EQ(ui.startValues, (std::vector<std::string>{"200", "300"}));
  // 300 by 10: nothing happens and nothing is shown.
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(ws.Image().Width(), 20);
  EXPECT_FALSE(ws.UndoEnabled());
}

TEST(NewImage, MakesAWhiteImageAfterASnapshot) {
  Workspace ws;
  const Bitmap before = Picture(20, 20);
  ws.SetImage(before);
  ScriptedInteraction ui;
  ui.inputs = {std::string("11"), std::string("300")};
  EXPECT_TRUE(NewImage(ws, ui));
  EXPECT_EQ(ws.Image().Width(), 11);
  EXPECT_EQ(ws.Image().Height(), 300);
  EXPECT_EQ(ws.Image().Pixel(0, 0), clWhite);
  EXPECT_EQ(ws.Image().Pixel(10, 299), clWhite);
  EXPECT_TRUE(ws.UndoEnabled());
  ws.Undo();
  EXPECT_TRUE(SamePixels(ws.Image(), before));
}

// Commands that make a larger picture are held to the pixel limit as files
// are: refused before anything changes.
TEST(PixelLimit, NewSquareAndResizeRefuseLargerResults) {
  Workspace ws;
  ws.SetPixelLimit(100 * 100);
  ws.SetImage(Picture(20, 120));
  ScriptedInteraction ui;
  ui.inputs = {std::string("101"), std::string("100")};
  EXPECT_THROW(NewImage(ws, ui), EImageTooLarge);
  EXPECT_THROW(ws.MakeSquare(), EImageTooLarge);
  EXPECT_THROW(ws.ResampleImageTo(200, 60), EImageTooLarge);
  EXPECT_EQ(ws.Image().Width(), 20);
  EXPECT_EQ(ws.Image().Height(), 120);
  EXPECT_FALSE(ws.UndoEnabled());
  ws.ResampleImageTo(40, 60);
  EXPECT_EQ(ws.Image().Width(), 40);
  ws.SetPixelLimit(0);  // none but the largest picture there can be
  ws.MakeSquare();
  EXPECT_EQ(ws.Image().Width(), 60);
}

TEST(NewImage, InvalidTextIsShownAndCancelStops) {
  Workspace ws;
  ws.SetImage(Picture(20, 20));
  {
    ScriptedInteraction ui;
    ui.inputs = {std::string("abc")};
    EXPECT_FALSE(NewImage(ws, ui));
    EXPECT_EQ(ui.messages, (std::vector<std::string>{"abc is invalid"}));
    EXPECT_EQ(ui.prompts.size(), 1u);  // no height prompt
  }
  {
    ScriptedInteraction ui;
    ui.inputs = {std::string("50"), std::string("12x")};
    EXPECT_FALSE(NewImage(ws, ui));
    EXPECT_EQ(ui.messages, (std::vector<std::string>{"12x is invalid"}));
  }
  {
    ScriptedInteraction ui;
    ui.inputs = {std::string("50"), std::nullopt};
    EXPECT_FALSE(NewImage(ws, ui));
    EXPECT_TRUE(ui.messages.empty());
  }
  EXPECT_EQ(ws.Image().Width(), 20);
  EXPECT_FALSE(ws.UndoEnabled());
}

TEST(Crop, FiveByFiveWorksFourByFiftyIsTooSmall) {
  Workspace ws;
  const Bitmap original = Picture(60, 60);
  ws.SetImage(original);
  Selection sel;
  ScriptedInteraction ui;

  sel.SetBounds(3, 2, 4, 50);
  sel.SetVisible(true);
  EXPECT_FALSE(CropToSelection(ws, sel, ui));
  EXPECT_EQ(ui.messages, (std::vector<std::string>{"selection too small"}));
  EXPECT_FALSE(ws.UndoEnabled());
  EXPECT_TRUE(sel.Visible());

  sel.SetBounds(3, 2, 5, 5);
  EXPECT_TRUE(CropToSelection(ws, sel, ui));
  ASSERT_EQ(ws.Image().Width(), 5);
  ASSERT_EQ(ws.Image().Height(), 5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(ws.Image().Pixel(x, y), original.Pixel(x + 3, y + 2));
  EXPECT_FALSE(sel.Visible());
  ws.Undo();
  EXPECT_TRUE(SamePixels(ws.Image(), original));
}

TEST(Crop, NegativeDragIsTooSmallAndAreaBeyondTheImageIsWhite) {
  Workspace ws;
  const Bitmap original = Picture(20, 20);
  ws.SetImage(original);
  Selection sel;
  ScriptedInteraction ui;
  sel.SetBounds(15, 15, -10, -10);
  sel.SetVisible(true);
  EXPECT_FALSE(CropToSelection(ws, sel, ui));
  EXPECT_EQ(ui.messages.size(), 1u);

  sel.SetBounds(15, 16, 10, 8);
  EXPECT_TRUE(CropToSelection(ws, sel, ui));
  EXPECT_EQ(ws.Image().Width(), 10);
  EXPECT_EQ(ws.Image().Height(), 8);
  EXPECT_EQ(ws.Image().Pixel(4, 3), original.Pixel(19, 19));
  EXPECT_EQ(ws.Image().Pixel(5, 3), clWhite);
  EXPECT_EQ(ws.Image().Pixel(4, 4), clWhite);
}

TEST(Crop, AllWithAHiddenSelectionThenCropDoesNothing) {
  Workspace ws;
  ws.SetImage(Picture(30, 20));
  Selection sel;
  ScriptedInteraction ui;
  sel.SelectAll(ws.Image());
  EXPECT_FALSE(sel.Visible());
  EXPECT_EQ(sel.Width(), 30);
  EXPECT_EQ(sel.Height(), 20);
  EXPECT_FALSE(CropToSelection(ws, sel, ui));
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_FALSE(ws.UndoEnabled());
  EXPECT_EQ(ws.Image().Width(), 30);
}

TEST(SelectionCommands, SizesOnlyWhenVisibleKeepingTheCorner) {
  Selection sel;
  int changes = 0;
  sel.changed = [&] { ++changes; };
  sel.SetBounds(7, 9, 3, 4);
  sel.SetSquareSize(16);
  EXPECT_EQ(sel.Width(), 3);  // hidden: unchanged
  sel.SetVisible(true);
  for (int side : {16, 32, 64}) {
    sel.SetSquareSize(side);
    EXPECT_EQ(sel.Left(), 7);
    EXPECT_EQ(sel.Top(), 9);
    EXPECT_EQ(sel.Width(), side);
    EXPECT_EQ(sel.Height(), side);
    EXPECT_EQ(sel.Right(), 7 + side);
    EXPECT_EQ(sel.Bottom(), 9 + side);
  }
  Bitmap image(40, 25, pf24bit);
  sel.SelectAll(image);
  EXPECT_TRUE(sel.Visible());
  EXPECT_EQ(sel.Normalized(), MakeRect(0, 0, 40, 25));
  sel.Clear();
  EXPECT_FALSE(sel.Visible());
  EXPECT_GE(changes, 6);
}

TEST(SelectionMouse, DraggingOutASelectionReportsItsSize) {
  Selection sel;
  SelectionMouse mouse(sel);
  mouse.LeftPress(10, 20, true);
  EXPECT_TRUE(sel.Visible());
  EXPECT_EQ(sel.Width(), 0);
  EXPECT_EQ(mouse.Move(30, 25, true, false), "x=30, y=25, w=20, h=5");
  EXPECT_EQ(mouse.Move(4, 12, true, false), "x=4, y=12, w=-6, h=-8");
  EXPECT_EQ(sel.Left(), 10);
  EXPECT_EQ(sel.Width(), -6);
  EXPECT_EQ(sel.Normalized(), MakeRect(4, 12, 10, 20));
  mouse.Release();
  // Without the button, or with Ctrl held, only the position.
  EXPECT_EQ(mouse.Move(50, 60, false, false), "x=50, y=60");
  EXPECT_EQ(mouse.Move(51, 61, true, true), "x=51, y=61");
  EXPECT_EQ(sel.Width(), -6);
}

// Found by fuzzing: a rectangle stretching from far left of the int range
// overflowed the grab point and the drag.
TEST(SelectionMouse, DraggingARectangleAtTheEndsOfTheIntRangeSaturates) {
  Selection sel;
  SelectionMouse mouse(sel);
  sel.SetBounds(std::numeric_limits<int>::min(), 0, std::numeric_limits<int>::max(), 20);
  sel.SetVisible(true);
  mouse.LeftPress(-10, 5, true);  // grab point 2^31 - 10 in
  ASSERT_EQ(mouse.CurrentMode(), SelectionMouse::Mode::Dragging);
  mouse.Move(-180, 5, true, false);
  EXPECT_EQ(sel.Left(), std::numeric_limits<int>::min());
  EXPECT_EQ(sel.Width(), std::numeric_limits<int>::max());
  mouse.Move(10, 5, true, false);
  EXPECT_EQ(sel.Left(), std::numeric_limits<int>::min() + 20);
}

TEST(SelectionMouse, PressInsideTheSelectionDragsTheWholeRectangle) {
  Selection sel;
  SelectionMouse mouse(sel);
  sel.SetBounds(10, 10, 20, 15);
  sel.SetVisible(true);
  mouse.LeftPress(15, 12, true);  // grab point (5, 2) within the rectangle
  EXPECT_EQ(mouse.CurrentMode(), SelectionMouse::Mode::Dragging);
  EXPECT_EQ(mouse.Move(45, 52, true, false), "x=45, y=52, w=20, h=15");
  EXPECT_EQ(sel.Left(), 40);
  EXPECT_EQ(sel.Top(), 50);
  EXPECT_EQ(sel.Width(), 20);
  EXPECT_EQ(sel.Height(), 15);
  // The rectangle may be dragged partly off the image.
  mouse.Move(0, 0, true, false);
  EXPECT_EQ(sel.Left(), -5);
  EXPECT_EQ(sel.Top(), -2);
  mouse.Release();
  // A press outside starts a new one; beside the image it starts nothing.
  mouse.LeftPress(100, 100, false);
  EXPECT_EQ(mouse.CurrentMode(), SelectionMouse::Mode::Idle);
  EXPECT_EQ(sel.Left(), -5);
  mouse.LeftPress(30, 30, true);
  EXPECT_EQ(mouse.CurrentMode(), SelectionMouse::Mode::Sizing);
  EXPECT_EQ(sel.Left(), 30);
  EXPECT_EQ(sel.Width(), 0);
}

TEST(SelectionMouse, AHiddenSelectionIsNotGrabbed) {
  Selection sel;
  SelectionMouse mouse(sel);
  sel.SetBounds(10, 10, 20, 20);
  mouse.LeftPress(15, 15, true);
  EXPECT_EQ(mouse.CurrentMode(), SelectionMouse::Mode::Sizing);
  EXPECT_EQ(sel.Left(), 15);
  EXPECT_EQ(sel.Width(), 0);
}

TEST(Undo, AfterMakeSquareRestoresTheLastSnapshot) {
  Workspace ws;
  const Bitmap original = Picture(30, 20);
  ws.SetImage(original);
  const fx::EffectSettings settings;
  ScriptedInteraction ui;
  RunEffectCommand(ws, settings, *FindEffectCommand("lighter"), ui);
  ws.MakeSquare();
  EXPECT_EQ(ws.Image().Width(), 30);
  EXPECT_EQ(ws.Image().Height(), 30);
  ws.Undo();
  // Before Lighter, not before Make Square.
  EXPECT_TRUE(SamePixels(ws.Image(), original));
}

TEST(ColorDepth, EachDepthTakesASnapshotAndConverts) {
  const Bitmap original = Picture(24, 16);
  for (auto [depth, format] : {std::pair{ColorDepth::Bits4, pf4bit}, std::pair{ColorDepth::Bits8, pf8bit},
                               std::pair{ColorDepth::Bits16, pf16bit}, std::pair{ColorDepth::Bits24, pf24bit}}) {
    Workspace ws;
    ws.SetImage(original);
    SetColorDepth(ws, depth);
    EXPECT_EQ(ws.Image().PixelFormat(), format);
    EXPECT_EQ(ws.Image().Width(), 24);
    EXPECT_TRUE(ws.UndoEnabled());
    ws.Undo();
    EXPECT_TRUE(SamePixels(ws.Image(), original));
  }
  // Pure white and black survive every depth; 4 bits uses the 16-colour palette.
  Workspace ws;
  Bitmap bw(12, 12, pf24bit);
  bw.Fill(clWhite);
  bw.SetPixel(3, 3, clBlack);
  bw.SetPixel(4, 4, clRed);
  ws.SetImage(bw);
  SetColorDepth(ws, ColorDepth::Bits4);
  EXPECT_EQ(ws.Image().Palette(), StandardPalette16());
  EXPECT_EQ(ws.Image().Pixel(0, 0), clWhite);
  EXPECT_EQ(ws.Image().Pixel(3, 3), clBlack);
  EXPECT_EQ(ws.Image().Pixel(4, 4), clRed);
  SetColorDepth(ws, ColorDepth::Bits8);
  EXPECT_EQ(ws.Image().Palette(), HalftonePalette256());
}

TEST(Resize, GestureAndWindowIgnoreSmallSizes) {
  Workspace ws;
  ws.SetImage(Picture(30, 20));
  EXPECT_FALSE(ResizeGesture(ws, 10, 50));
  EXPECT_FALSE(ResizeGesture(ws, 50, 10));
  EXPECT_EQ(ws.Image().Width(), 30);
  EXPECT_TRUE(ResizeGesture(ws, 11, 40));
  EXPECT_EQ(ws.Image().Width(), 11);
  EXPECT_EQ(ws.Image().Height(), 40);
  EXPECT_FALSE(ResizeTo(ws, 100, 10));
  EXPECT_TRUE(ResizeTo(ws, 64, 48));
  EXPECT_EQ(ws.Image().Width(), 64);
  EXPECT_EQ(ws.Image().Height(), 48);
  EXPECT_FALSE(ws.UndoEnabled());  // no snapshot
}

TEST(CopySelection, TheAreaUnderAVisibleSelection) {
  Bitmap image = Picture(40, 30);
  image.SetPixelFormat(pf8bit);
  Selection sel;
  sel.SetBounds(5, 6, 10, 7);
  EXPECT_FALSE(CopySelection(image, sel));
  sel.SetVisible(true);
  const std::optional<Bitmap> part = CopySelection(image, sel);
  ASSERT_TRUE(part);
  EXPECT_EQ(part->Width(), 10);
  EXPECT_EQ(part->Height(), 7);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 10; ++x) EXPECT_EQ(part->Pixel(x, y), image.Pixel(x + 5, y + 6));
  sel.SetBounds(5, 6, -3, 7);
  EXPECT_FALSE(CopySelection(image, sel));
}

TEST(IconSelection, SetsTheSelectionTo32AndCopiesIt) {
  const Bitmap image = Picture(50, 50);
  Selection sel;
  sel.SetBounds(4, 5, 3, 3);
  EXPECT_FALSE(IconSelection(image, sel));
  EXPECT_EQ(sel.Width(), 3);
  sel.SetVisible(true);
  const std::optional<Bitmap> icon = IconSelection(image, sel);
  ASSERT_TRUE(icon);
  EXPECT_EQ(sel.Width(), 32);
  EXPECT_EQ(sel.Height(), 32);
  EXPECT_EQ(icon->Width(), 32);
  EXPECT_EQ(icon->Pixel(0, 0), image.Pixel(4, 5));
  EXPECT_EQ(icon->Pixel(31, 31), image.Pixel(35, 36));
}

TEST(Paste, AnImageReplacesTheDisplayedOneWithoutASnapshot) {
  Workspace ws;
  ws.SetImage(Picture(20, 20));
  EXPECT_FALSE(PasteImage(ws, Bitmap()));
  EXPECT_EQ(ws.Image().Width(), 20);
  const Bitmap pasted = Picture(13, 17);
  EXPECT_TRUE(PasteImage(ws, pasted));
  EXPECT_TRUE(SamePixels(ws.Image(), pasted));
  EXPECT_FALSE(ws.UndoEnabled());
}

TEST(Crop, RealPhotoFromTheCorpus) {
  const auto entries = CorpusEntries("jpeg");
  const CorpusEntry* photo = nullptr;
  for (const CorpusEntry& e : entries)
    if (e.expected == "decodes" && e.width >= 64 && e.height >= 64) {
      photo = &e;
      break;
    }
  if (!photo) GTEST_SKIP() << "no JPEG photo in the corpus";
  Workspace ws;
  Bitmap loaded;
  LoadImageFile(photo->FullPath(), loaded, test::Silent());
  ASSERT_EQ(loaded.Width(), photo->width);
  ws.SetImage(loaded);
  Selection sel;
  sel.SetBounds(8, 9, 40, 30);
  sel.SetVisible(true);
  ScriptedInteraction ui;
  ASSERT_TRUE(CropToSelection(ws, sel, ui));
  Bitmap reference = ws.UndoBitmap();
  reference.SetPixelFormat(pf24bit);
  for (int y = 0; y < 30; y += 7)
    for (int x = 0; x < 40; x += 5) EXPECT_EQ(ws.Image().Pixel(x, y), reference.Pixel(x + 8, y + 9));
}

}  // namespace
}  // namespace pixtrel::test
