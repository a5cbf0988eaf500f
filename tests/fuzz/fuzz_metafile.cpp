// libFuzzer target for the metafile reader: load (the checking pass), then
// play the records onto a small bitmap and, for small pictures, at the
// metafile's own size; every pixel is read so the sanitizers see anything
// left uninitialised.
#include <QGuiApplication>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "codecs/metafile/metafile.h"
#include "core/bitmap.h"
#include "core/canvas.h"
#include "core/errors.h"
#include "fuzz_gui.h"

namespace {

unsigned Sum(const pixtrel::Bitmap& b) {
  unsigned sum = 0;
  for (int y = 0; y < b.Height(); ++y) {
    const std::uint8_t* row = b.ScanLine(y);
    for (std::size_t i = 0; i < static_cast<std::size_t>(b.Width()) * 3; ++i) sum += row[i];
  }
  return sum;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  MakeFuzzGuiApplication(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  pixtrel::Metafile metafile;
  try {
    metafile.LoadFromBytes(std::vector<std::uint8_t>(data, data + size));
  } catch (const pixtrel::Exception&) {
    return 0;
  }
  pixtrel::Bitmap small(64, 48, pixtrel::pf24bit);
  small.Fill(pixtrel::clWhite);
  metafile.Draw(small.Canvas(), pixtrel::Rect{-3, 2, 61, 50});
  unsigned sum = Sum(small);
  if (std::int64_t{metafile.Width()} * metafile.Height() <= 256 * 256) {
    pixtrel::Bitmap own;
    own.Assign(metafile);
    sum += Sum(own);
  }
  volatile unsigned sink = sum;
  (void)sink;
  return 0;
}
