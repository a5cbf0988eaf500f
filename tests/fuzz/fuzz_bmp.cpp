// libFuzzer target for the BMP reader. The reader's own size limit is the
// only cap; every output byte is read so sanitizers see uninitialised pixels.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/bitmap.h"
#include "core/errors.h"
#include "core/stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  pixtrel::MemoryStream stream(std::vector<std::uint8_t>(data, data + size));
  pixtrel::Bitmap bitmap;
  try {
    bitmap.LoadFromStream(stream);
  } catch (const pixtrel::Exception&) {
    return 0;
  }
  unsigned sum = 0;
  for (int y = 0; y < bitmap.Height(); ++y) {
    const std::uint8_t* row = bitmap.ScanLine(y);
    for (std::size_t i = 0; i < bitmap.RowStride(); ++i) sum += row[i];
  }
  for (pixtrel::Color c : bitmap.Palette()) sum += c;
  // Saving walks the same pixels through the writer; only pictures of a
  // moderate size, since the copy doubles the memory of a huge one.
  if (bitmap.Bits().size() <= (std::size_t{64} << 20)) {
    pixtrel::MemoryStream out;
    bitmap.SaveToStream(out);
    sum += static_cast<unsigned>(out.Size());
  }
  // A branch on the sum makes MemorySanitizer check every byte that went in.
  volatile int sink = 0;
  if (sum % 7 == 3) sink = 1;
  (void)sink;
  return 0;
}
