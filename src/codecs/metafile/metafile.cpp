#include "codecs/metafile/metafile.h"

#include <string>

#include "codecs/metafile/metafile_engine.h"
#include "core/bitmap.h"
#include "core/canvas.h"
#include "core/stream.h"

namespace pixtrel {

const MetafileErrorEntry& MetafileErrorInfo(MetafileError error) {
  return kMetafileErrors[static_cast<std::size_t>(error)];
}

EInvalidMetafile::EInvalidMetafile(MetafileError error)
    : EInvalidGraphic(std::string("metafile.") + MetafileErrorInfo(error).name, MetafileErrorInfo(error).text),
      error_(error) {}

void FailAtRecord(MetafileError error, std::size_t pos, std::optional<std::uint32_t> number, const char* name) {
  EInvalidMetafile e(error);
  std::string context = "offset " + std::to_string(pos);
  if (number) context = "record " + (name ? std::string(name) : std::to_string(*number)) + " at " + context;
  e.SetContext(std::move(context));
  throw e;
}

void Metafile::LoadFromStream(Stream& stream) { LoadFromBytes(stream.ReadRest()); }

void Metafile::LoadFromBytes(std::vector<std::uint8_t> bytes) {
  layout_ = MetafileDrawing().Check(bytes, PixelLimit());
  bytes_ = std::move(bytes);
}

void Metafile::AssignTo(Bitmap& target) const {
  Bitmap picture(layout_.width, layout_.height, pf24bit);
  picture.Fill(clWhite);
  Draw(picture.Canvas(), Bounds(layout_.width, layout_.height));
  target = std::move(picture);
}

void Metafile::Draw(Canvas& canvas, const Rect& rect) const {
  if (bytes_.empty() || rect.IsEmpty()) return;
  MetafileDrawing().Draw(bytes_, layout_, canvas, rect);
}

}  // namespace pixtrel
