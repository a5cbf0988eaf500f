#include "gif/gif_error.h"

#include "core/error_table.h"

namespace pixtrel::gif {

PIXTREL_DEFINE_ERRORS(GifError, "gif", PIXTREL_GIF_ERRORS)

}  // namespace pixtrel::gif
