#include "icons/icon_errors.h"

namespace pixtrel::icons {

namespace {

struct Entry {
  const char* name;
  const char* text;
};

constexpr Entry kTable[] = {
#define PIXTREL_ICON_ENTRY(name, text) {#name, text},
    PIXTREL_ICON_ERRORS(PIXTREL_ICON_ENTRY)
#undef PIXTREL_ICON_ENTRY
};

}  // namespace

const char* ErrorText(IconError error) { return kTable[static_cast<int>(error)].text; }

std::string ErrorCode(IconError error) { return std::string("icon.") + kTable[static_cast<int>(error)].name; }

}  // namespace pixtrel::icons
