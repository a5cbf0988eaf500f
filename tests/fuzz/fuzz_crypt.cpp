// libFuzzer target for the container reader. The input is taken as an inner
// file, enciphered under a fixed password and read back through the
// container path, so mutations steer the inner decoder; the raw input is
// also deciphered as a container, as a wrong password would be.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "codecs/crypt/encrypted_image.h"
#include "core/errors.h"
#include "core/scripted_interaction.h"

namespace {

pixtrel::ContainerKind KindOf(const std::uint8_t* data, std::size_t size) {
  if (size > 0 && data[0] == 0x89) return pixtrel::ContainerKind::PNG;
  if (size > 0 && data[0] == 'G') return pixtrel::ContainerKind::GIF;
  return pixtrel::ContainerKind::JPEG;
}

void Touch(const pixtrel::Bitmap& bitmap) {
  unsigned sum = 0;
  const std::size_t rowBytes = (static_cast<std::size_t>(bitmap.Width()) * bitmap.BitCount() + 7) / 8;
  for (int y = 0; y < bitmap.Height(); ++y) {
    const std::uint8_t* row = bitmap.ScanLine(y);
    for (std::size_t i = 0; i < rowBytes; ++i) sum += row[i];
  }
  volatile unsigned sink = sum;
  (void)sink;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::int64_t kLimit = std::int64_t{1} << 22;
  const std::vector<std::uint8_t> inner(data, data + size);
  const pixtrel::ContainerKind kind = KindOf(data, size);
  pixtrel::ScriptedInteraction silent;
  try {
    const std::vector<std::uint8_t> container = pixtrel::EncipherContainer(inner, "fuzz");
    if (pixtrel::DecipherContainer(container, "fuzz") != inner) __builtin_trap();
    pixtrel::Bitmap target;
    if (pixtrel::DecodeContainer(container, "fuzz", kind, target, silent, kLimit)) Touch(target);
    pixtrel::Bitmap other;
    if (pixtrel::DecodeContainer(inner, "fuzz", kind, other, silent, kLimit)) Touch(other);
  } catch (const pixtrel::Exception&) {
  }
  return 0;
}
