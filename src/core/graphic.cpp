#include "core/graphic.h"

#include "core/errors.h"
#include "core/stream.h"

namespace pixtrel {

void Graphic::SaveToStream(Stream&) const { throw EInvalidGraphicOperation("Cannot save this kind of image"); }

void Graphic::LoadFromFile(const std::string& path) {
  FileStream stream(path);
  LoadFromStream(stream);
}

void Graphic::SaveToFile(const std::string& path) const {
  AtomicFileStream out(path);
  SaveToStream(out);
  out.Commit();
}

}  // namespace pixtrel
