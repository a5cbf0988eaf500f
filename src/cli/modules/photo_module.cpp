// pixtrel-photo.so: the photo formats' libraries and sRGB conversion.
#include "cli/modules/modules.h"
#include "codecs/photo/photo_engine.h"

extern "C" __attribute__((visibility("default"))) const pixtrel::cli::PhotoModule* pixtrel_photo_module() {
  static const pixtrel::cli::PhotoModule module{pixtrel::cli::kModuleInterface, &pixtrel::PhotoCodecs()};
  return &module;
}
