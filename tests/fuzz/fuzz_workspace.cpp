// libFuzzer target for the workspace editing commands: the input is a script
// of selection gestures and commands (crop, copy, sizes, depths, resize,
// undo) on a small picture, with rectangles anywhere in the int range.
#include <cstddef>
#include <cstdint>
#include <limits>

#include "core/bitmap.h"
#include "core/errors.h"
#include "core/scripted_interaction.h"
#include "workspace/editing.h"
#include "workspace/selection.h"
#include "workspace/workspace.h"

namespace {

class Script {
 public:
  Script(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Done() const { return pos_ >= size_; }
  std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  int Small() { return static_cast<std::int16_t>(Byte() | (Byte() << 8)) % 400; }
  int Any() {
    switch (Byte() % 4) {
      case 0:
        return std::numeric_limits<int>::min();
      case 1:
        return std::numeric_limits<int>::max();
      default:
        return Small();
    }
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pixtrel;
  Script script(data, size);
  Workspace ws;
  Bitmap start(1 + script.Byte() % 40, 1 + script.Byte() % 40, pf24bit);
  for (int y = 0; y < start.Height(); ++y)
    for (int x = 0; x < start.Width(); ++x) start.SetPixel(x, y, RGB(x * 5, y * 9, x + y));
  ws.SetImage(start);
  Selection selection;
  ScriptedInteraction ui;  // "selection too small" lands here
  SelectionMouse mouse(selection);
  unsigned sum = 0;
  for (int step = 0; step < 64 && !script.Done(); ++step) {
    try {
      switch (script.Byte() % 14) {
        case 0: {
          const int x = script.Small(), y = script.Small();
          mouse.LeftPress(x, y, x >= 0 && y >= 0 && x < ws.Image().Width() && y < ws.Image().Height());
          break;
        }
        case 1: {
          const int x = script.Small(), y = script.Small();
          const std::uint8_t flags = script.Byte();
          sum += static_cast<unsigned>(mouse.Move(x, y, flags & 1, flags & 2).size());
          break;
        }
        case 2:
          mouse.Release();
          break;
        case 3: {
          const int l = script.Any(), t = script.Any(), w = script.Any(), h = script.Any();
          selection.SetBounds(l, t, w, h);
          selection.SetVisible(script.Byte() & 1);
          break;
        }
        case 4:
          // A crop of a huge rectangle fails cleanly; keep the rest small.
          if (selection.Width() <= 2000 && selection.Height() <= 2000) CropToSelection(ws, selection, ui);
          break;
        case 5:
          if (selection.Width() <= 2000 && selection.Height() <= 2000) {
            if (auto part = CopySelection(ws.Image(), selection)) sum += part->Pixel(0, 0);
          }
          break;
        case 6:
          selection.SetSquareSize(16 << (script.Byte() % 3));
          break;
        case 7:
          selection.SelectAll(ws.Image());
          break;
        case 8:
          SetColorDepth(ws, static_cast<ColorDepth>(script.Byte() % 4));
          break;
        case 9:
          ResizeGesture(ws, script.Small() % 120, script.Small() % 120);
          break;
        case 10:
          if (ws.UndoEnabled()) ws.Undo();
          break;
        case 11:
          ws.Turn();
          break;
        case 12:
          ws.MakeSquare();
          break;
        case 13:
          if (auto icon = IconSelection(ws.Image(), selection)) sum += icon->Pixel(31, 31);
          break;
      }
    } catch (const Exception&) {
    }
    const Rect r = selection.Normalized();
    sum += static_cast<unsigned>(r.Left ^ r.Right ^ selection.Right() ^ selection.Bottom());
  }
  for (int y = 0; y < ws.Image().Height(); ++y) sum += ws.Image().ScanLine(y)[0];
  return static_cast<int>(sum & 0);
}
