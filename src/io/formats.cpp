// The open and save tables. Extensions are compared exactly, upper-cased and
// with the dot, in the order of the rows; the first match decides.
#include "io/formats.h"

#include "codecs/jpeg/jpeg_image.h"
#include "core/canvas.h"
#include "core/stream.h"
#include "io/image_io.h"

namespace pixtrel {

namespace {

// Path A: decode, assign into a fresh intermediate bitmap, then into the
// target. The target is touched only after the reader has finished.
template <typename Image>
void LoadDecoded(const std::string& path, Bitmap& target) {
  Image image;
  image.LoadFromFile(path);
  Bitmap intermediate;
  intermediate.Assign(image);
  target = std::move(intermediate);
}

// Path B: a stream reader, assigned into the target.
template <typename Image>
void LoadFromFileStream(const std::string& path, Bitmap& target) {
  FileStream stream(path);
  Image image;
  image.LoadFromStream(stream);
  target.Assign(image);
}

// Path C: the target takes the graphic's size and the graphic is drawn over
// it; pixels the graphic leaves transparent keep what the target held.
template <typename Image>
void LoadDrawn(const std::string& path, Bitmap& target) {
  Image image;
  image.LoadFromFile(path);
  target.SetWidth(image.Width());
  target.SetHeight(image.Height());
  target.Canvas().Draw(0, 0, image);
}

// Path A for JPEG: the decoded picture moves into the intermediate bitmap
// instead of being copied there; the steps are those of LoadDecoded.
void LoadJpeg(const std::string& path, Bitmap& target) {
  JPEGImage image;
  image.LoadFromFile(path);
  Bitmap intermediate(image.TakeBitmap());
  target = std::move(intermediate);
}

// The quality is the JPEG optimize window's slider; no greyscale setting.
// The image is encoded straight from the source's rows: what Assign into a
// JPEG image and saving it would write, without copying the picture first.
bool SaveJpeg(const std::string& path, Bitmap& source) {
  WriteFileBytes(path, CompressJPEG(source, Conversion().jpegQuality, false));
  return true;
}

// Path A for BMP: the decoded bitmap is the intermediate.
void LoadBitmapFile(const std::string& path, Bitmap& target) {
  Bitmap image;
  image.LoadFromFile(path);
  target = std::move(image);
}

bool SaveBitmap(const std::string& path, Bitmap& source) {
  source.SaveToFile(path);
  return true;
}

const LoadRow kLoadRows[] = {
    {".JPG", LoadPath::A, &LoadJpeg},
    {".JPEG", LoadPath::A, &LoadJpeg},
    {".BMP", LoadPath::A, &LoadBitmapFile},
};

const SaveRow kSaveRows[] = {
    {".JPG", &SaveJpeg},
    {".BMP", &SaveBitmap},
};

}  // namespace

std::span<const LoadRow> LoadRows() { return kLoadRows; }
std::span<const SaveRow> SaveRows() { return kSaveRows; }

}  // namespace pixtrel
