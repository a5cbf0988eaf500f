// libFuzzer target for the pictures a TWAIN source hands over: a packed DIB
// in a block of its own, read up to the block's end and no further.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "acquire/twain_acquire.h"
#include "core/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  void* block = std::malloc(size ? size : 1);
  if (size) std::memcpy(block, data, size);
  pixtrel::DibPicture picture(block);
  unsigned sum = static_cast<unsigned>(picture.Width()) + static_cast<unsigned>(picture.Height());
  try {
    const pixtrel::Bitmap bitmap = picture.ToBitmap();
    for (int y = 0; y < bitmap.Height(); ++y) {
      const std::uint8_t* row = bitmap.ScanLine(y);
      for (std::size_t i = 0; i < bitmap.RowStride(); ++i) sum += row[i];
    }
  } catch (const pixtrel::Exception&) {
    return 0;
  }
  volatile int sink = 0;
  if (sum % 7 == 3) sink = 1;
  (void)sink;
  return 0;
}
