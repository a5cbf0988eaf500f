// The settings that last for one run of the program or of pixtrel-cli. The
// main window or the CLI run owns the one session and passes its values down;
// nothing in the logic reads them from anywhere else.
#pragma once

#include "io/image_io.h"

namespace pixtrel {

struct Session {
  // The JPEG optimize window's quality, the GIF defaults of the GIF optimize
  // window, Options > "Transparent GIF", the PNG text box and the icon
  // options window's last choice, as every save takes them. Never holds a
  // password.
  SaveOptions conversion;
  // The most pixels a picture read may have (0: no limit of the program's),
  // from the settings file or pixtrel-cli --max-pixels.
  std::int64_t maxPixels = kDefaultMaxPixels;
  // Options > "Apply EXIF Orientation", "Keep Metadata" and "Convert to
  // sRGB", as every open takes them.
  LoadOptions opening;
};

}  // namespace pixtrel
