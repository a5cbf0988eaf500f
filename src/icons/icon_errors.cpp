#include "icons/icon_errors.h"

#include "core/error_table.h"

namespace pixtrel::icons {

PIXTREL_DEFINE_ERRORS(IconError, "icon", PIXTREL_ICON_ERRORS)

}  // namespace pixtrel::icons
