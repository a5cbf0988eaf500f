// libFuzzer target for ICO reading: the single-picture load the open table
// uses and the multi-image reader of the icon manager, with every image
// decoded and its pixels read.
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/bitmap.h"
#include "core/errors.h"
#include "icons/icon_image.h"

namespace {

unsigned Sum(const pixtrel::Bitmap& bitmap) {
  unsigned sum = 0;
  for (int y = 0; y < bitmap.Height(); ++y) {
    const std::uint8_t* row = bitmap.ScanLine(y);
    for (std::size_t i = 0; i < bitmap.RowStride(); ++i) sum += row[i];
  }
  return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  unsigned sum = 0;
  try {
    pixtrel::icons::HiResIcon icon;
    icon.LoadFromBytes(bytes);
    if (static_cast<std::int64_t>(icon.Width()) * icon.Height() <= (1 << 22)) {
      pixtrel::Bitmap drawn;
      icon.AssignTo(drawn);
      sum += Sum(drawn);
    }
  } catch (const pixtrel::Exception&) {
  }
  try {
    pixtrel::icons::AdvancedIcon icon;
    if (icon.LoadFromBytes(bytes)) {
      for (int i = 0; i < icon.Images().Count(); ++i) {
        try {
          sum += Sum(icon.Images().Get(i)->Picture().color);
        } catch (const pixtrel::Exception&) {
        }
      }
      sum += static_cast<unsigned>(icon.SaveToBytes().size());
    }
  } catch (const pixtrel::Exception&) {
  }
  volatile int sink = 0;
  if (sum % 7 == 3) sink = 1;
  (void)sink;
  return 0;
}
