// The photo libraries' engine (see photo_engine.h).
#include "codecs/photo/photo_library.h"

namespace pixtrel {

const PhotoEngine& PhotoCodecs() {
  static const PhotoLibrary engine;
  return engine;
}

}  // namespace pixtrel
