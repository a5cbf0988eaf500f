// libFuzzer target for the icon-library readers: the NE reader and the PE
// resource-directory reader on the same bytes, every image decoded, and a
// library that was read written again.
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/errors.h"
#include "icons/icon_library.h"

namespace {

unsigned Touch(pixtrel::icons::IconList& list) {
  unsigned sum = 0;
  for (int i = 0; i < list.Count(); ++i) {
    sum += static_cast<unsigned>(list.Name(i).size());
    const auto& images = list.Icon(i)->Images();
    for (int j = 0; j < images.Count(); ++j) {
      try {
        const auto& picture = images.Get(j)->Picture();
        for (int y = 0; y < picture.color.Height(); ++y) sum += picture.color.ScanLine(y)[0];
      } catch (const pixtrel::Exception&) {
      }
    }
  }
  if (list.Count() > 0) {
    try {
      sum += static_cast<unsigned>(pixtrel::icons::T16BitWriter(list).Write().size());
    } catch (const pixtrel::Exception&) {
    }
  }
  return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  unsigned sum = static_cast<unsigned>(pixtrel::icons::GetModuleKind(bytes));
  try {
    pixtrel::icons::T16BitReader reader("fuzz.icl");
    reader.Read(bytes);
    sum += Touch(reader.List);
  } catch (const pixtrel::Exception&) {
  }
  try {
    pixtrel::icons::T32BitReader reader("fuzz.dll");
    reader.Read(bytes);
    sum += Touch(reader.List);
  } catch (const pixtrel::Exception&) {
  }
  volatile int sink = 0;
  if (sum % 7 == 3) sink = 1;
  (void)sink;
  return 0;
}
