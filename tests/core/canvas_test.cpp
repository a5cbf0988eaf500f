// Pixel coverage of the canvas drawing calls.
#include "core/canvas.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/bitmap.h"

namespace pixtrel {
namespace {

Bitmap Blank(int w, int h, PixelFormat format = pf24bit, Color color = clWhite) {
  Bitmap b(w, h, format);
  b.Fill(color);
  return b;
}

// The pixels that differ from background, as a picture for failure messages.
std::string Picture(const Bitmap& b, Color background = clWhite) {
  std::string s = "\n";
  for (int y = 0; y < b.Height(); ++y) {
    for (int x = 0; x < b.Width(); ++x) {
      const Color c = b.Pixel(x, y);
      s += c == background ? '.' : c == clBlack ? '#' : c == clRed ? 'r' : 'o';
    }
    s += '\n';
  }
  return s;
}

int Count(const Bitmap& b, Color color) {
  int n = 0;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) n += b.Pixel(x, y) == color;
  return n;
}

// Bounding box of the pixels that are not background (empty Rect if none).
Rect Changed(const Bitmap& b, Color background = clWhite) {
  Rect r{b.Width(), b.Height(), 0, 0};
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      if (b.Pixel(x, y) != background) {
        r.Left = std::min(r.Left, x);
        r.Top = std::min(r.Top, y);
        r.Right = std::max(r.Right, x + 1);
        r.Bottom = std::max(r.Bottom, y + 1);
      }
  return r.IsEmpty() ? Rect{} : r;
}

bool SamePixels(const Bitmap& a, const Bitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (a.Pixel(x, y) != b.Pixel(x, y)) return false;
  return true;
}

Bitmap Noise(int w, int h, unsigned seed, PixelFormat format = pf24bit) {
  Bitmap b(w, h, format);
  std::mt19937 rng(seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixel(x, y, rng() & 0xFFFFFF);
  return b;
}

// ---- Rectangles -------------------------------------------------------------

TEST(CanvasRectangle, PenOnTheBoundsBrushInside) {
  for (PixelFormat format : {pf24bit, pf32bit}) {
    SCOPED_TRACE(format);
    Bitmap b = Blank(16, 12, format);
    Canvas& c = b.Canvas();
    c.Brush().color = clRed;
    c.Rectangle(2, 3, 12, 9);
    for (int y = 0; y < 12; ++y)
      for (int x = 0; x < 16; ++x) {
        const bool inside = x >= 2 && x < 12 && y >= 3 && y < 9;
        const bool edge = inside && (x == 2 || x == 11 || y == 3 || y == 8);
        const Color want = edge ? clBlack : inside ? clRed : clWhite;
        ASSERT_EQ(b.Pixel(x, y), want) << x << "," << y << Picture(b);
      }
  }
}

TEST(CanvasRectangle, ClearPenFillsOnePixelLessAndInvertedBoundsAreNormalized) {
  Bitmap b = Blank(16, 12);
  Canvas& c = b.Canvas();
  c.Pen().style = psClear;
  c.Brush().color = clRed;
  c.Rectangle(12, 9, 2, 3);
  EXPECT_EQ(Changed(b), (Rect{2, 3, 11, 8})) << Picture(b);
  EXPECT_EQ(Count(b, clRed), 9 * 5);
}

TEST(CanvasFillRect, RightAndBottomExclusiveAndClippedToTheBitmap) {
  Bitmap b = Blank(10, 8);
  Canvas& c = b.Canvas();
  c.Brush().color = clRed;
  c.FillRect(Rect{1, 2, 4, 5});
  EXPECT_EQ(Changed(b), (Rect{1, 2, 4, 5}));
  EXPECT_EQ(Count(b, clRed), 9);

  c.FillRect(Rect{-100, 6, 100, 100});
  EXPECT_EQ(Count(b, clRed), 9 + 20);

  Bitmap before = b;
  c.FillRect(Rect{5, 5, 5, 9});  // zero width
  c.FillRect(Rect{7, 7, 3, 3});  // inverted
  c.Brush().style = bsClear;
  c.FillRect(Rect{0, 0, 10, 8});
  EXPECT_TRUE(SamePixels(b, before));
}

TEST(CanvasFillRect, HatchLinesOverATransparentBackground) {
  Bitmap b = Blank(16, 16, pf24bit, clLime);
  Canvas& c = b.Canvas();
  c.Brush() = Brush{clRed, bsCross};
  c.FillRect(Rect{0, 0, 16, 16});
  const int red = Count(b, clRed);
  EXPECT_EQ(red + Count(b, clLime), 256);
  EXPECT_EQ(red, 2 * (16 + 16) - 4);  // two horizontal and two vertical lines
}

TEST(CanvasFrameRect, OnePixelBrushFrameInside) {
  Bitmap b = Blank(10, 10);
  Canvas& c = b.Canvas();
  c.Brush().color = clRed;
  c.FrameRect(Rect{1, 1, 6, 5});
  EXPECT_EQ(Changed(b), (Rect{1, 1, 6, 5}));
  EXPECT_EQ(Count(b, clRed), 2 * 5 + 2 * 2);
}

// ---- Ellipses and curves ------------------------------------------------------

void ExpectMirrorSymmetric(const Bitmap& b, const Rect& box) {
  for (int y = box.Top; y < box.Bottom; ++y)
    for (int x = box.Left; x < box.Right; ++x) {
      const int mx = box.Left + box.Right - 1 - x, my = box.Top + box.Bottom - 1 - y;
      ASSERT_EQ(b.Pixel(x, y), b.Pixel(mx, y)) << x << "," << y << Picture(b);
      ASSERT_EQ(b.Pixel(x, y), b.Pixel(x, my)) << x << "," << y << Picture(b);
    }
}

TEST(CanvasEllipse, SymmetricAndTouchingEverySideOfItsBounds) {
  for (auto [w, h] : {std::pair{11, 9}, std::pair{12, 10}, std::pair{7, 20}, std::pair{3, 3}, std::pair{30, 31}}) {
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    Bitmap b = Blank(40, 40);
    Canvas& c = b.Canvas();
    c.Brush().color = clRed;
    c.Ellipse(4, 5, 4 + w, 5 + h);
    EXPECT_EQ(Changed(b), (Rect{4, 5, 4 + w, 5 + h})) << Picture(b);
    ExpectMirrorSymmetric(b, Rect{4, 5, 4 + w, 5 + h});
    if (w > 4 && h > 4) {
      EXPECT_EQ(b.Pixel(4 + w / 2, 5 + h / 2), clRed);
    }

    Bitmap clear = Blank(40, 40);
    clear.Canvas().Pen().style = psClear;
    clear.Canvas().Brush().color = clRed;
    clear.Canvas().Ellipse(4, 5, 4 + w, 5 + h);
    EXPECT_EQ(Changed(clear), (Rect{4, 5, 3 + w, 4 + h})) << Picture(clear);
    ExpectMirrorSymmetric(clear, Rect{4, 5, 3 + w, 4 + h});
  }
}

TEST(CanvasEllipse, ClearBrushLeavesTheInside) {
  Bitmap b = Blank(20, 20, pf24bit, clLime);
  Canvas& c = b.Canvas();
  c.Brush().style = bsClear;
  c.Ellipse(2, 2, 18, 18);
  EXPECT_EQ(b.Pixel(10, 10), clLime);
  EXPECT_EQ(b.Pixel(2, 10), clBlack);
  EXPECT_EQ(Count(b, clBlack) + Count(b, clLime), 400);
}

TEST(CanvasEllipse, RoundRectPieAndChordStayInBounds) {
  Bitmap b = Blank(40, 40);
  Canvas& c = b.Canvas();
  c.Brush().color = clRed;
  c.RoundRect(2, 2, 20, 14, 8, 8);
  EXPECT_EQ(Changed(b), (Rect{2, 2, 20, 14})) << Picture(b);
  ExpectMirrorSymmetric(b, Rect{2, 2, 20, 14});
  EXPECT_EQ(b.Pixel(2, 2), clWhite);  // rounded corner
  EXPECT_EQ(b.Pixel(2, 8), clBlack);

  // Upper-right quarter: counter-clockwise from the east radial to the north one.
  Bitmap pie = Blank(40, 40);
  pie.Canvas().Brush().color = clRed;
  pie.Canvas().Pie(10, 10, 31, 31, 40, 20, 20, 0);
  const Rect r = Changed(pie);
  EXPECT_GE(r.Left, 19);
  EXPECT_LE(r.Right, 31);
  EXPECT_GE(r.Top, 10);
  EXPECT_LE(r.Bottom, 22);
  EXPECT_EQ(pie.Pixel(25, 15), clRed) << Picture(pie);
  EXPECT_EQ(pie.Pixel(15, 25), clWhite);

  Bitmap chord = Blank(40, 40);
  chord.Canvas().Chord(10, 10, 31, 31, 40, 20, 0, 20);  // upper half
  EXPECT_EQ(chord.Pixel(20, 25), clWhite) << Picture(chord);
  EXPECT_EQ(chord.Pixel(20, 15), clWhite);  // default brush is white: inside stays white
  EXPECT_GT(Count(chord, clBlack), 20);

  Bitmap arc = Blank(40, 40);
  arc.Canvas().Arc(10, 10, 31, 31, 40, 20, 0, 20);
  const Rect a = Changed(arc);
  EXPECT_LE(a.Bottom, 22) << Picture(arc);
  EXPECT_EQ(a.Left, 10);
  EXPECT_EQ(a.Right, 31);
}

// ---- Lines -------------------------------------------------------------------

TEST(CanvasLine, EndPointLeftOutInEveryOctantAndPenPositionKept) {
  const std::array<Point, 16> ends = {{{35, 20},
                                       {35, 27},
                                       {35, 35},
                                       {27, 35},
                                       {20, 35},
                                       {13, 35},
                                       {5, 35},
                                       {5, 27},
                                       {5, 20},
                                       {5, 13},
                                       {5, 5},
                                       {13, 5},
                                       {20, 5},
                                       {27, 5},
                                       {35, 5},
                                       {35, 13}}};
  for (Point end : ends) {
    SCOPED_TRACE(std::to_string(end.X) + "," + std::to_string(end.Y));
    Bitmap b = Blank(41, 41);
    Canvas& c = b.Canvas();
    c.MoveTo(20, 20);
    c.LineTo(end.X, end.Y);
    EXPECT_EQ(c.PenPos(), end);
    EXPECT_EQ(b.Pixel(20, 20), clBlack);
    EXPECT_EQ(b.Pixel(end.X, end.Y), clWhite) << Picture(b);
    const int steps = std::max(std::abs(end.X - 20), std::abs(end.Y - 20));
    EXPECT_EQ(Count(b, clBlack), steps);
    // One pixel per step of the major axis, each next to the last.
    const Rect r = Changed(b);
    EXPECT_EQ(std::max(r.Width(), r.Height()), steps);
    // Continuing from the pen position draws the end point of the first line.
    c.LineTo(20, 20);
    EXPECT_EQ(b.Pixel(end.X, end.Y), clBlack);
  }
}

TEST(CanvasLine, ZeroLengthDrawsNothing) {
  Bitmap b = Blank(5, 5);
  b.Canvas().MoveTo(2, 2);
  b.Canvas().LineTo(2, 2);
  EXPECT_EQ(Count(b, clBlack), 0);
}

TEST(CanvasLine, FarEndpointsAreClippedQuickly) {
  Bitmap b = Blank(50, 10);
  Canvas& c = b.Canvas();
  const auto start = std::chrono::steady_clock::now();
  c.MoveTo(-2000000000, 4);
  c.LineTo(2000000000, 4);
  c.MoveTo(3, -2000000000);
  c.LineTo(3, 2000000000);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(Count(b, clBlack), 50 + 10 - 1);
}

TEST(CanvasLine, PenWidthThreeIsCentredWithRoundEnds) {
  Bitmap b = Blank(30, 20);
  Canvas& c = b.Canvas();
  c.Pen().width = 3;
  c.MoveTo(10, 10);
  c.LineTo(20, 10);
  EXPECT_EQ(Changed(b), (Rect{9, 9, 22, 12})) << Picture(b);
  for (int x = 10; x <= 20; ++x)
    for (int y = 9; y <= 11; ++y) EXPECT_EQ(b.Pixel(x, y), clBlack) << x << "," << y;

  Bitmap frame = Blank(30, 30);
  frame.Canvas().Pen().width = 3;
  frame.Canvas().Brush().style = bsClear;
  frame.Canvas().Rectangle(10, 10, 21, 21);
  EXPECT_EQ(Changed(frame), (Rect{9, 9, 22, 22})) << Picture(frame);
  EXPECT_EQ(frame.Pixel(15, 15), clWhite);
  EXPECT_EQ(frame.Pixel(12, 15), clWhite);
  EXPECT_EQ(frame.Pixel(11, 15), clBlack);

  Bitmap inside = Blank(30, 30);
  inside.Canvas().Pen() = Pen{clBlack, 3, psInsideFrame, pmCopy};
  inside.Canvas().Brush().style = bsClear;
  inside.Canvas().Rectangle(10, 10, 21, 21);
  EXPECT_EQ(Changed(inside), (Rect{10, 10, 21, 21})) << Picture(inside);
  EXPECT_EQ(inside.Pixel(12, 15), clBlack);
  EXPECT_EQ(inside.Pixel(13, 15), clWhite);
}

TEST(CanvasLine, DashesAndOpaqueGaps) {
  Bitmap b = Blank(40, 3, pf24bit, clLime);
  Canvas& c = b.Canvas();
  c.Pen().style = psDot;
  c.Brush().style = bsClear;
  c.MoveTo(0, 0);
  c.LineTo(12, 0);
  EXPECT_EQ(Count(b, clBlack), 6);
  EXPECT_EQ(b.Pixel(3, 0), clLime);
  c.Brush() = Brush{clRed, bsSolid};
  c.MoveTo(0, 2);
  c.LineTo(12, 2);
  for (int x = 0; x < 12; ++x) EXPECT_EQ(b.Pixel(x, 2), (x / 3) % 2 == 0 ? clBlack : clRed) << x;
}

TEST(CanvasLine, PolylineLeavesOutOnlyItsLastPoint) {
  Bitmap b = Blank(20, 20);
  const Point pts[] = {{2, 2}, {10, 2}, {10, 10}, {2, 10}};
  b.Canvas().Polyline(pts);
  EXPECT_EQ(Count(b, clBlack), 8 * 3);
  EXPECT_EQ(b.Pixel(10, 2), clBlack);
  EXPECT_EQ(b.Pixel(10, 10), clBlack);
  EXPECT_EQ(b.Pixel(2, 10), clWhite);
  EXPECT_EQ(b.Canvas().PenPos(), (Point{0, 0}));
}

// ---- Pen modes ---------------------------------------------------------------

TEST(CanvasPenMode, XorTwiceRestoresAndInvertsOnce) {
  for (PixelFormat format : {pf24bit, pf32bit}) {
    SCOPED_TRACE(format);
    Bitmap b = Noise(40, 30, 7, format);
    const Bitmap original = b;
    Canvas& c = b.Canvas();
    c.Pen() = Pen{clWhite, 1, psSolid, pmXor};
    c.Brush() = Brush{clYellow, bsSolid};
    auto drawAll = [&] {
      c.MoveTo(0, 0);
      c.LineTo(39, 29);
      c.Rectangle(3, 3, 20, 15);
      c.Ellipse(10, 5, 35, 28);
      const Point pts[] = {{0, 29}, {20, 0}, {39, 29}};
      c.Polygon(pts);
      c.Pen().width = 4;
      c.LineTo(5, 25);
      c.Pen().width = 1;
    };
    drawAll();
    EXPECT_FALSE(SamePixels(b, original));
    EXPECT_EQ(b.Pixel(0, 0), original.Pixel(0, 0) ^ clWhite);
    drawAll();
    EXPECT_TRUE(SamePixels(b, original));
  }
}

TEST(CanvasPenMode, NotAndNotXor) {
  Bitmap b = Blank(10, 3, pf24bit, RGB(10, 20, 30));
  Canvas& c = b.Canvas();
  c.Pen().mode = pmNot;
  c.MoveTo(0, 0);
  c.LineTo(10, 0);
  EXPECT_EQ(b.Pixel(5, 0), RGB(245, 235, 225));
  c.Pen() = Pen{RGB(255, 0, 255), 1, psSolid, pmNotXor};
  c.MoveTo(0, 1);
  c.LineTo(10, 1);
  EXPECT_EQ(b.Pixel(5, 1), RGB(10, 255 - 20, 30));
}

// ---- Polygons ----------------------------------------------------------------

TEST(CanvasPolygon, AlternateFillLeavesTheCentreOfAStar) {
  Bitmap b = Blank(50, 50);
  Canvas& c = b.Canvas();
  c.Pen().style = psClear;
  c.Brush().color = clRed;
  const Point star[] = {{25, 2}, {39, 46}, {2, 18}, {48, 18}, {11, 46}};
  c.Polygon(star);
  EXPECT_EQ(b.Pixel(25, 27), clWhite) << Picture(b);  // the pentagon in the middle
  EXPECT_EQ(b.Pixel(25, 10), clRed);                  // a point of the star
  EXPECT_EQ(b.Pixel(8, 20), clRed);
}

TEST(CanvasPolygon, PenOutlineCoversEveryVertexAndFillExcludesNone) {
  Bitmap b = Blank(20, 20);
  Canvas& c = b.Canvas();
  c.Brush().color = clRed;
  const Point square[] = {{2, 2}, {12, 2}, {12, 12}, {2, 12}};
  c.Polygon(square);
  EXPECT_EQ(Changed(b), (Rect{2, 2, 13, 13})) << Picture(b);
  EXPECT_EQ(Count(b, clBlack), 40);
  EXPECT_EQ(Count(b, clRed), 81);
}

// ---- Flood fill --------------------------------------------------------------

Bitmap Maze() {
  // '#' walls (black), '.' open (white); the open cells form one winding
  // 4-connected path plus a pocket reachable only diagonally.
  static const char* rows[] = {
      "##########", "#........#", "########.#", "#......#.#", "#.####.#.#", "#.#..#...#",
      "#.#.######", "#.#......#", "#.######.#", "#........#", "#########.",
  };
  Bitmap b(10, 11, pf24bit);
  for (int y = 0; y < 11; ++y)
    for (int x = 0; x < 10; ++x) b.SetPixel(x, y, rows[y][x] == '#' ? clBlack : clWhite);
  return b;
}

TEST(CanvasFloodFill, SurfaceFollowsAFourConnectedMaze) {
  Bitmap b = Maze();
  Canvas& c = b.Canvas();
  c.Brush().color = clRed;
  c.FloodFill(1, 1, clWhite, fsSurface);
  EXPECT_EQ(b.Pixel(3, 3), clRed);  // far along the path
  EXPECT_EQ(b.Pixel(1, 9), clRed);
  EXPECT_EQ(b.Pixel(8, 9), clRed);
  EXPECT_EQ(b.Pixel(3, 5), clRed);
  EXPECT_EQ(b.Pixel(9, 10), clWhite) << Picture(b);  // only diagonally connected
  EXPECT_EQ(Count(b, clWhite), 1);

  // A start pixel of another colour fills nothing.
  Bitmap again = Maze();
  again.Canvas().Brush().color = clRed;
  again.Canvas().FloodFill(0, 0, clWhite, fsSurface);
  EXPECT_EQ(Count(again, clRed), 0);
}

TEST(CanvasFloodFill, BorderFillStopsAtTheBorderColour) {
  Bitmap b = Blank(30, 30);
  Canvas& c = b.Canvas();
  c.Pen().color = clBlue;
  c.Brush().style = bsClear;
  c.Ellipse(5, 5, 25, 25);
  c.Pen().color = clLime;
  c.MoveTo(8, 15);  // another colour inside is filled over
  c.LineTo(22, 15);
  c.SetPixels(1, 15, clLime);
  c.Brush() = Brush{clRed, bsSolid};
  c.FloodFill(15, 10, clBlue, fsBorder);
  EXPECT_EQ(b.Pixel(15, 20), clRed) << Picture(b);
  EXPECT_EQ(b.Pixel(15, 15), clRed);
  EXPECT_EQ(b.Pixel(1, 1), clWhite);
  EXPECT_EQ(b.Pixel(15, 5), clBlue);
  EXPECT_EQ(b.Pixel(1, 15), clLime);
}

TEST(CanvasFloodFill, FromTheEdgeAndOverTheWholeBitmap) {
  Bitmap b = Blank(300, 200);
  Canvas& c = b.Canvas();
  c.Brush().color = clRed;
  c.FloodFill(299, 199, clWhite, fsSurface);
  EXPECT_EQ(Count(b, clRed), 300 * 200);
  c.FloodFill(-1, 0, clRed, fsSurface);
  c.FloodFill(0, 200, clRed, fsSurface);
  c.Brush().color = clBlue;
  c.FloodFill(0, 0, clBlue, fsBorder);
  EXPECT_EQ(Count(b, clBlue), 300 * 200);
}

TEST(CanvasFloodFill, HatchBrushFillsOnce) {
  Bitmap b = Blank(16, 16);
  Canvas& c = b.Canvas();
  c.Brush() = Brush{clWhite ^ 1, bsHorizontal};  // a colour close to white
  c.FloodFill(5, 5, clWhite, fsSurface);
  EXPECT_EQ(Count(b, clWhite ^ 1), 32);
}

// ---- Clip regions ------------------------------------------------------------

void ExpectFilledExactly(const Bitmap& b, const Region& region, Color color) {
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      ASSERT_EQ(b.Pixel(x, y) == color, region.Contains(x, y)) << x << "," << y << Picture(b);
}

TEST(CanvasClip, EllipseRegionLimitsEveryKindOfDrawing) {
  const Region ellipse = Region::FromEllipse(Rect{4, 4, 26, 20});
  EXPECT_EQ(ellipse.BoundingRect(), (Rect{4, 4, 25, 19}));
  EXPECT_TRUE(ellipse.Contains(15, 11));
  EXPECT_FALSE(ellipse.Contains(4, 4));

  Bitmap b = Blank(30, 24);
  Canvas& c = b.Canvas();
  c.SetClipRegion(&ellipse);
  EXPECT_TRUE(c.HasClip());
  c.Brush().color = clRed;
  c.FillRect(Rect{0, 0, 30, 24});
  ExpectFilledExactly(b, ellipse, clRed);

  // Lines, flood fill, pixels and copies are clipped too.
  c.Pen().color = clRed;
  c.Pen().width = 1;
  c.MoveTo(0, 0);
  c.LineTo(30, 24);
  c.SetPixels(0, 23, clRed);
  Bitmap src = Blank(30, 24, pf24bit, clRed);
  c.Draw(0, 0, src);
  c.FloodFill(15, 11, clRed, fsSurface);
  ExpectFilledExactly(b, ellipse, clRed);

  c.SetClipRegion(nullptr);
  EXPECT_FALSE(c.HasClip());
  c.FillRect(Rect{0, 0, 30, 24});
  EXPECT_EQ(Count(b, clRed), 30 * 24);
}

TEST(CanvasClip, PolygonAlternateFillHasAHole) {
  // Two squares traced as one outline: the inner one is a hole.
  const Point ring[] = {{2, 2}, {22, 2}, {22, 22}, {2, 22}, {2, 2}, {8, 8}, {16, 8}, {16, 16}, {8, 16}, {8, 8}};
  const Region region = Region::FromPolygon(ring);
  EXPECT_TRUE(region.Contains(4, 12));
  EXPECT_FALSE(region.Contains(12, 12));
  EXPECT_TRUE(region.Contains(2, 2));
  EXPECT_FALSE(region.Contains(22, 12));  // right edge excluded
  Bitmap b = Blank(25, 25);
  Canvas& c = b.Canvas();
  c.SetClipRegion(&region);
  c.Brush().color = clRed;
  c.FillRect(Rect{0, 0, 25, 25});
  ExpectFilledExactly(b, region, clRed);
  EXPECT_EQ(Count(b, clRed), 20 * 20 - 8 * 8);
}

TEST(CanvasClip, UnionDifferenceIntersectionAndTranslation) {
  const Region a = Region::FromRect(Rect{0, 0, 10, 10});
  const Region b = Region::FromRect(Rect{5, 5, 15, 15});
  EXPECT_EQ(a.United(b).BoundingRect(), (Rect{0, 0, 15, 15}));
  EXPECT_FALSE(a.United(b).Contains(12, 2));
  EXPECT_TRUE(a.Subtracted(b).Contains(2, 2));
  EXPECT_FALSE(a.Subtracted(b).Contains(7, 7));
  EXPECT_EQ(a.Intersected(b).BoundingRect(), (Rect{5, 5, 10, 10}));
  EXPECT_EQ(a.Translated(3, -2).BoundingRect(), (Rect{3, -2, 13, 8}));
  EXPECT_TRUE(Region().IsEmpty());
  EXPECT_TRUE(Region::FromRect(Rect{3, 3, 3, 9}).IsEmpty());

  const Region both = a.United(b).Subtracted(Region::FromEllipse(Rect{3, 3, 12, 12}));
  Bitmap bmp = Blank(20, 20);
  Canvas& c = bmp.Canvas();
  c.SetClipRegion(&both);
  c.Brush().color = clRed;
  c.Pen().color = clRed;
  c.Rectangle(0, 0, 20, 20);
  ExpectFilledExactly(bmp, both, clRed);
}

TEST(CanvasClip, RoundRectRegionMatchesTheClearPenShape) {
  const Region region = Region::FromRoundRect(Rect{2, 2, 22, 16}, 10, 10);
  Bitmap b = Blank(25, 20);
  b.Canvas().Pen().style = psClear;
  b.Canvas().Brush().color = clRed;
  b.Canvas().RoundRect(2, 2, 22, 16, 10, 10);
  ExpectFilledExactly(b, region, clRed);
}

// ---- Text --------------------------------------------------------------------

TEST(CanvasText, DrawsOnlyInsideItsBox) {
  Bitmap b = Blank(120, 40);
  Canvas& c = b.Canvas();
  c.Font().height = -16;
  c.Brush().style = bsClear;
  const std::string text = "Hello, Wg";
  const int w = c.TextWidth(text), h = c.TextHeight(text);
  EXPECT_GT(w, 40);
  EXPECT_GE(h, 16);
  c.TextOut(10, 8, text);
  const Rect r = Changed(b);
  EXPECT_FALSE(r.IsEmpty());
  EXPECT_GE(r.Left, 10);
  EXPECT_GE(r.Top, 8);
  EXPECT_LE(r.Right, 10 + w);
  EXPECT_LE(r.Bottom, 8 + h);
  // Two-colour text: no antialiasing.
  EXPECT_EQ(Count(b, clBlack) + Count(b, clWhite), 120 * 40);
  EXPECT_EQ(c.PenPos(), (Point{10 + w, 8}));
}

TEST(CanvasText, SolidBrushPaintsTheBoxBehind) {
  Bitmap b = Blank(120, 40);
  Canvas& c = b.Canvas();
  c.Brush().color = clRed;
  c.Font().color = clBlue;
  c.TextOut(5, 5, "Box");
  const int w = c.TextWidth("Box"), h = c.TextHeight("Box");
  EXPECT_EQ(Changed(b), (Rect{5, 5, 5 + w, 5 + h}));
  EXPECT_EQ(Count(b, clRed) + Count(b, clBlue), w * h);
  EXPECT_GT(Count(b, clBlue), 10);
}

TEST(CanvasText, EscapementTurnsTheLineCounterClockwise) {
  Bitmap b = Blank(60, 120);
  Canvas& c = b.Canvas();
  c.Font().height = -14;
  c.Font().escapement = 900;
  c.Brush().style = bsClear;
  const std::string text = "Upward";
  const int w = c.TextWidth(text), h = c.TextHeight(text);
  c.TextOut(20, 100, text);
  const Rect r = Changed(b);
  // Rotated a quarter turn about (20, 100): the line runs up from there and
  // the glyphs' tops face left.
  EXPECT_GE(r.Left, 20 - 1) << Picture(b);
  EXPECT_LE(r.Right, 20 + h + 1);
  EXPECT_GE(r.Top, 100 - w - 1);
  EXPECT_LE(r.Bottom, 100 + 1);
  EXPECT_GT(r.Height(), r.Width());
}

TEST(CanvasText, DrawTextWrapsAndMeasures) {
  Bitmap b = Blank(100, 100);
  Canvas& c = b.Canvas();
  const std::string text = "one two three four five six";
  Rect calc{10, 10, 60, 10};
  const int height = c.DrawText(text, calc, dtWordBreak | dtCalcRect);
  EXPECT_EQ(Count(b, clBlack), 0);
  EXPECT_GE(height, 2 * c.TextHeight(text));
  EXPECT_EQ(calc.Bottom - calc.Top, height);
  EXPECT_LE(calc.Width(), 50);

  Rect single{0, 0, 0, 0};
  c.DrawText(text, single, dtSingleLine | dtCalcRect);
  EXPECT_EQ(single.Width(), c.TextWidth(text));
  EXPECT_EQ(single.Height(), c.TextHeight(text));

  c.Brush().style = bsClear;
  Rect box{10, 10, 60, 90};
  c.DrawText(text, box, dtWordBreak | dtCenter);
  const Rect r = Changed(b);
  EXPECT_GE(r.Left, 10);
  EXPECT_LE(r.Right, 60);
  EXPECT_GT(r.Height(), c.TextHeight(text));
}

TEST(CanvasFont, SizeAndHeightConvertAtNinetySixDpi) {
  Font f;
  EXPECT_EQ(f.Size(), 8);  // -11 px
  f.SetSize(8);
  EXPECT_EQ(f.height, -11);
  f.SetSize(12);
  EXPECT_EQ(f.height, -16);
  f.height = -13;
  EXPECT_EQ(f.Size(), 10);  // 9.75 rounds up
  f.height = 2;
  EXPECT_EQ(f.Size(), -2);  // 1.5 rounds away from zero
}

// ---- Other pixel formats -----------------------------------------------------

TEST(CanvasFormats, Pf8bitKeepsItsFormatPaletteAndUntouchedIndices) {
  Bitmap b(20, 20, pf8bit);
  Palette palette(256, clBlack);
  palette[1] = clWhite;
  palette[2] = RGB(200, 0, 0);
  palette[3] = clWhite;  // a duplicate entry
  b.SetPalette(palette);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) b.SetPixelIndex(x, y, x < 10 ? 1 : 3);
  Canvas& c = b.Canvas();
  c.Brush().color = clRed;
  c.Pen().color = clRed;
  c.Rectangle(5, 5, 15, 15);
  EXPECT_EQ(b.PixelFormat(), pf8bit);
  EXPECT_EQ(b.Palette(), palette);
  EXPECT_EQ(b.PixelIndex(7, 7), 2);  // nearest entry of its own palette
  EXPECT_EQ(b.PixelIndex(0, 0), 1);
  EXPECT_EQ(b.PixelIndex(19, 0), 3);  // untouched, though white is also index 1

  c.Font().height = -12;
  c.Font().color = clWhite ^ 0x10;
  c.Brush().style = bsClear;
  c.TextOut(0, 0, "Hi");
  EXPECT_EQ(b.PixelFormat(), pf8bit);
}

TEST(CanvasFormats, IndexedAndShortFormatsDrawLike24Bit) {
  for (PixelFormat format : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit}) {
    SCOPED_TRACE(format);
    Bitmap b = Blank(24, 16, format);
    Canvas& c = b.Canvas();
    c.Brush().color = clBlack;
    c.Ellipse(2, 2, 20, 14);
    c.MoveTo(0, 15);
    c.LineTo(24, 15);
    Bitmap ref = Blank(24, 16);
    ref.Canvas().Brush().color = clBlack;
    ref.Canvas().Ellipse(2, 2, 20, 14);
    ref.Canvas().MoveTo(0, 15);
    ref.Canvas().LineTo(24, 15);
    EXPECT_EQ(b.PixelFormat(), format);
    EXPECT_TRUE(SamePixels(b, ref)) << Picture(b);
    c.FloodFill(0, 0, clWhite, fsSurface);
    c.SetPixels(23, 0, clWhite);
    EXPECT_EQ(Count(b, clWhite), 1);
  }
}

// ---- Drawing graphics and copying -----------------------------------------------

TEST(CanvasDraw, TransparentBitmapLeavesOutItsTransparentColour) {
  Bitmap sprite = Blank(4, 4, pf24bit, clFuchsia);
  sprite.SetPixel(1, 1, clRed);
  sprite.SetPixel(2, 2, clBlue);
  sprite.SetTransparent(true);  // bottom-left pixel: fuchsia
  Bitmap b = Blank(10, 10, pf24bit, clLime);
  b.Canvas().Draw(3, 3, sprite);
  EXPECT_EQ(b.Pixel(4, 4), clRed);
  EXPECT_EQ(b.Pixel(5, 5), clBlue);
  EXPECT_EQ(Count(b, clLime), 98);
  EXPECT_EQ(Count(b, clFuchsia), 0);

  sprite.SetTransparent(false);
  b.Canvas().StretchDraw(Rect{0, 0, 8, 8}, sprite);
  EXPECT_EQ(Count(b, clFuchsia), 64 - 8);
  EXPECT_EQ(b.Pixel(2, 3), clRed);
  EXPECT_EQ(b.Pixel(5, 4), clBlue);
}

TEST(CanvasDraw, IndexedSourceAndFixedTransparentColour) {
  Bitmap sprite(3, 1, pf4bit);
  sprite.SetPixel(0, 0, clRed);
  sprite.SetPixel(1, 0, clBlue);
  sprite.SetPixel(2, 0, clRed);
  sprite.SetTransparentColor(clRed);
  sprite.SetTransparent(true);
  Bitmap b = Blank(5, 1);
  b.Canvas().Draw(1, 0, sprite);
  EXPECT_EQ(b.Pixel(1, 0), clWhite);
  EXPECT_EQ(b.Pixel(2, 0), clBlue);
  EXPECT_EQ(b.Pixel(3, 0), clWhite);
}

TEST(CanvasCopyRect, ScalesByNearestPixelAndMirrors) {
  Bitmap src(2, 2, pf24bit);
  src.SetPixel(0, 0, clRed);
  src.SetPixel(1, 0, clLime);
  src.SetPixel(0, 1, clBlue);
  src.SetPixel(1, 1, clBlack);
  Bitmap b = Blank(8, 8);
  b.Canvas().CopyRect(Rect{0, 0, 6, 4}, src.Canvas(), Rect{0, 0, 2, 2});
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(b.Pixel(x, y), src.Pixel(x / 3, y / 2)) << x << "," << y;
  EXPECT_EQ(b.Pixel(6, 0), clWhite);
  EXPECT_EQ(b.Pixel(0, 4), clWhite);

  // Shrinking picks one source pixel per destination pixel.
  Bitmap big = Noise(9, 9, 3);
  Bitmap small = Blank(3, 3);
  small.Canvas().CopyRect(Rect{0, 0, 3, 3}, big.Canvas(), Rect{0, 0, 9, 9});
  EXPECT_EQ(small.Pixel(1, 2), big.Pixel(3, 6));

  Bitmap mirrored = Blank(2, 1);
  mirrored.Canvas().CopyRect(Rect{2, 0, 0, 1}, src.Canvas(), Rect{0, 0, 2, 1});
  EXPECT_EQ(mirrored.Pixel(0, 0), clLime);
  EXPECT_EQ(mirrored.Pixel(1, 0), clRed);
}

TEST(CanvasCopyRect, OverlappingCopyOnTheSameCanvas) {
  Bitmap b = Noise(10, 1, 5);
  Bitmap before = b;
  b.Canvas().CopyRect(Rect{2, 0, 10, 1}, b.Canvas(), Rect{0, 0, 8, 1});
  for (int x = 2; x < 10; ++x) EXPECT_EQ(b.Pixel(x, 0), before.Pixel(x - 2, 0)) << x;
  // Source outside the source bitmap leaves the destination alone.
  Bitmap d = Blank(4, 1);
  d.Canvas().CopyRect(Rect{0, 0, 4, 1}, before.Canvas(), Rect{8, 0, 12, 1});
  EXPECT_EQ(d.Pixel(0, 0), before.Pixel(8, 0));
  EXPECT_EQ(d.Pixel(2, 0), clWhite);
}

// ---- Degenerate cases --------------------------------------------------------

TEST(CanvasDegenerate, EmptyBitmapAndEmptyShapesDrawNothing) {
  Bitmap empty;
  Canvas& e = empty.Canvas();
  e.Rectangle(0, 0, 10, 10);
  e.Ellipse(-5, -5, 5, 5);
  e.MoveTo(0, 0);
  e.LineTo(10, 10);
  e.TextOut(0, 0, "x");
  e.FloodFill(0, 0, clWhite, fsSurface);
  e.FillRect(Rect{0, 0, 5, 5});
  EXPECT_EQ(e.Pixels(0, 0), clBlack);
  Bitmap src = Blank(3, 3);
  e.Draw(0, 0, src);
  src.Canvas().Draw(0, 0, empty);
  src.Canvas().CopyRect(Rect{0, 0, 3, 3}, e, Rect{0, 0, 3, 3});

  Bitmap b = Blank(10, 10);
  Canvas& c = b.Canvas();
  c.Brush().color = clRed;
  c.Rectangle(3, 3, 3, 8);
  c.Ellipse(4, 4, 4, 4);
  c.RoundRect(1, 1, 1, 1, 5, 5);
  c.Pie(2, 2, 2, 9, 0, 0, 1, 1);
  c.Polygon({});
  c.Polyline(std::span<const Point>{});
  c.TextOut(3, 3, "");
  c.StretchDraw(Rect{5, 5, 5, 5}, src);
  c.Rectangle(-100000, -100000, 100000, 100000);  // huge: the whole bitmap is brush
  EXPECT_EQ(Count(b, clRed), 100);
  EXPECT_EQ(c.Pixels(-1, 3), clBlack);
  EXPECT_EQ(c.Pixels(3, 10), clBlack);
}

TEST(CanvasDegenerate, RandomCallsInEveryFormatStayInsideTheBitmap) {
  std::mt19937 rng(11);
  auto coord = [&] {
    constexpr int extremes[] = {std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), -1 << 30, 1 << 30};
    switch (rng() % 6) {
      case 0:
        return static_cast<int>(rng() % 2000001) - 1000000;
      case 1:
        return extremes[rng() % 4];
      default:
        return static_cast<int>(rng() % 40) - 5;
    }
  };
  for (PixelFormat format : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
    SCOPED_TRACE(format);
    Bitmap b = Noise(31, 17, 2, format);
    Canvas& c = b.Canvas();
    const Region clip = Region::FromEllipse(Rect{0, 0, 25, 15}).United(Region::FromRect(Rect{20, 5, 40, 40}));
    for (int i = 0; i < 300; ++i) {
      c.Pen() = Pen{Color(rng() & 0xFFFFFF), static_cast<int>(rng() % 6) - 1, static_cast<PenStyle>(rng() % 7),
                    static_cast<PenMode>(rng() % 6)};
      c.Brush() = Brush{Color(rng() & 0xFFFFFF), static_cast<BrushStyle>(rng() % 8)};
      c.SetClipRegion(rng() % 3 == 0 ? &clip : nullptr);
      const int a = coord(), b2 = coord(), x = coord(), y = coord();
      switch (rng() % 10) {
        case 0:
          c.Rectangle(a, b2, x, y);
          break;
        case 1:
          c.Ellipse(a, b2, x, y);
          break;
        case 2:
          c.RoundRect(a, b2, x, y, coord(), coord());
          break;
        case 3:
          c.Pie(a, b2, x, y, coord(), coord(), coord(), coord());
          break;
        case 4:
          c.LineTo(a, b2);
          break;
        case 5: {
          const Point pts[] = {{a, b2}, {x, y}, {coord(), coord()}};
          c.Polygon(pts);
          break;
        }
        case 6:
          c.FloodFill(a % 31, b2 % 17, rng() & 0xFFFFFF, rng() % 2 ? fsSurface : fsBorder);
          break;
        case 7:
          c.CopyRect(Rect{a, b2, x, y}, c, Rect{coord(), coord(), coord(), coord()});
          break;
        case 8:
          c.FillRect(Rect{a, b2, x, y});
          break;
        case 9:
          c.SetPixels(a, b2, rng() & 0xFFFFFF);
          break;
      }
    }
    EXPECT_EQ(b.PixelFormat(), format);
    EXPECT_EQ(b.Width(), 31);
  }
}

}  // namespace
}  // namespace pixtrel
