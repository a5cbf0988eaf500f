#include "gif/gif_error.h"

namespace pixtrel::gif {

namespace {

struct Entry {
  const char* name;
  const char* text;
};

constexpr Entry kTable[] = {
#define PIXTREL_GIF_ENTRY(name, text) {#name, text},
    PIXTREL_GIF_ERRORS(PIXTREL_GIF_ENTRY)
#undef PIXTREL_GIF_ENTRY
};

}  // namespace

const char* ErrorText(GifError error) { return kTable[static_cast<int>(error)].text; }

std::string ErrorCode(GifError error) { return std::string("gif.") + kTable[static_cast<int>(error)].name; }

}  // namespace pixtrel::gif
