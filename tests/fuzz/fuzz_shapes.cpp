// libFuzzer target for the free polygon's vector string and the painting of
// every kind and pattern: the first bytes choose the kind, pattern, pen,
// size, offset and scale, the rest is the user vector string. Absurd
// vertices and boxes must paint without overflow or out-of-bounds writes.
#include <QGuiApplication>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/bitmap.h"
#include "shapes/zep_shape.h"
#include "fuzz_gui.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  MakeFuzzGuiApplication(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pixtrel;
  using namespace pixtrel::shapes;
  if (size < 8) return 0;
  ZepShape shape;
  shape.SetShape(static_cast<ZepShapeType>(data[0] % (kShapeTypeCount + 1)));
  shape.SetFillDirection(static_cast<ZepFillDirection>(data[1] % kFillDirectionCount));
  shape.SetPen({RGB(data[2], 0, 0), data[2] % 24, static_cast<PenStyle>(data[2] % 7), pmCopy});
  shape.SetBrush({RGB(0, data[3], 0), static_cast<BrushStyle>(data[3] % 8)});
  shape.SetBounds(0, 0, data[4] % 96, data[5] % 96);
  const std::uint8_t flags = data[6];
  shape.SetGradient(flags & 1);
  shape.SetPolyLineMode(flags & 2);
  shape.SetSelected(flags & 4);
  const double scale = 0.25 + (data[7] % 16) * 0.25;
  const std::string text(reinterpret_cast<const char*>(data + 8), size - 8);
  const auto points = ParseUserVector(text);
  shape.SetUserVectorString(text);
  if (points && shape.UserPoints() != *points) __builtin_trap();
  Bitmap target(64, 64, (flags & 8) ? pf8bit : pf24bit);
  target.Fill(clWhite);
  shape.PaintTo(target.Canvas(), static_cast<std::int8_t>(data[4]), static_cast<std::int8_t>(data[5]), scale, scale);
  if (flags & 16) shape.Paint();
  unsigned sum = 0;
  for (int y = 0; y < target.Height(); ++y) {
    const std::uint8_t* row = target.ScanLine(y);
    for (std::size_t i = 0; i < target.RowStride(); ++i) sum += row[i];
  }
  volatile unsigned sink = sum;
  (void)sink;
  return 0;
}
