// The open and save tables. Extensions are compared exactly, upper-cased and
// with the dot, in the order of the rows; the first match decides.
#include "io/formats.h"

#include <type_traits>

#include "codecs/crypt/encrypted_image.h"
#include "codecs/eps/eps_graphic.h"
#include "codecs/jpeg/jpeg_image.h"
#include "codecs/legacy/legacy_formats.h"
#include "codecs/metafile/metafile.h"
#include "codecs/png/png_object.h"
#include "codecs/targa/targa_image.h"
#include "codecs/tiff/bmp2tiff.h"
#include "codecs/tiff/read_tiff.h"
#include "core/canvas.h"
#include "core/stream.h"
#include "gif/gif_codec.h"
#include "icons/icon_image.h"
#include "icons/qx_icon.h"
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
  if constexpr (std::is_base_of_v<Bitmap, Image>) {
    // A reader that is itself a bitmap hands its pixels over instead of
    // having them copied; the result is that of Assign.
    target = std::move(static_cast<Bitmap&>(image));
  } else {
    target.Assign(image);
  }
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

// Path A for PNG, then the PNG text step: the text box shows the text of the
// first tEXt chunk (LoadImageFile emptied it before).
void LoadPng(const std::string& path, Bitmap& target) {
  PNGObject image;
  image.LoadFromFile(path);
  const ChunktEXt* text = image.FirstTextChunk();
  std::string memo = text ? text->text : std::string();
  Bitmap intermediate(image.TakeBitmap());
  target = std::move(intermediate);
  Conversion().pngText = std::move(memo);
}

// The text box's line breaks are carriage return and line feed.
std::string WithCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

// A non-empty text box becomes a tEXt "description" chunk before IEND.
bool SavePng(const std::string& path, Bitmap& source) {
  PNGObject image;
  image.Assign(source);
  const std::string& memo = Conversion().pngText;
  if (!memo.empty()) image.AddTextChunk("description", WithCrLf(memo));
  image.SaveToFile(path);
  return true;
}

// Path A for GIF: the first frame on its logical screen. The save reduces by
// the GifDefaults, merges the colour tables and, with "Transparent GIF",
// marks the bottom-left pixel's index transparent.
void LoadGif(const std::string& path, Bitmap& target) { LoadDecoded<gif::GIFImage>(path, target); }
bool SaveGif(const std::string& path, Bitmap& source) {
  gif::SaveGifFile(path, source, Conversion().gifTransparent);
  return true;
}

// Path D: the encrypted containers ask for the password themselves; an
// abandoned prompt leaves the target, or the file, as it was.
void LoadXgif(const std::string& path, Bitmap& target) { ReadEncryptedImage(path, target, ContainerKind::GIF); }
void LoadXpng(const std::string& path, Bitmap& target) { ReadEncryptedImage(path, target, ContainerKind::PNG); }
void LoadXjpg(const std::string& path, Bitmap& target) { ReadEncryptedImage(path, target, ContainerKind::JPEG); }
bool SaveXgif(const std::string& path, Bitmap& source) { return WriteEncryptedImage(path, source, ContainerKind::GIF); }
bool SaveXpng(const std::string& path, Bitmap& source) { return WriteEncryptedImage(path, source, ContainerKind::PNG); }
bool SaveXjpg(const std::string& path, Bitmap& source) {
  return WriteEncryptedImage(path, source, ContainerKind::JPEG);
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

// Path A for TIFF: the reader fills a fresh bitmap of its own and hands it to
// the target only when a directory decoded; it shows its own messages.
void LoadTiff(const std::string& path, Bitmap& target) { ReadTiffFile(path, target, Interaction()); }

bool SaveTiff(const std::string& path, Bitmap& source) {
  WriteTiffFile(path, source);
  return true;
}

// Path A for Targa: the colour bitmap moves into the intermediate bitmap.
void LoadTarga(const std::string& path, Bitmap& target) {
  Targa image;
  image.LoadFromFile(path);
  Bitmap intermediate(image.TakeBitmap());
  target = std::move(intermediate);
}

// Written straight from the source's rows: what assigning it into a Targa
// image and saving that would write.
bool SaveTarga(const std::string& path, Bitmap& source) {
  WriteTargaFile(path, source);
  return true;
}

const LoadRow kLoadRows[] = {
    {".TIF", LoadPath::A, &LoadTiff},
    {".PCX", LoadPath::B, &LoadFromFileStream<PCXGraphic>},
    {".PCD", LoadPath::B, &LoadFromFileStream<PCDGraphic>},
    {".EPS", LoadPath::B, &LoadFromFileStream<EPSGraphic>},
    {".PSD", LoadPath::B, &LoadFromFileStream<PSDGraphic>},
    {".PSP", LoadPath::B, &LoadFromFileStream<PSPGraphic>},
    {".PPM", LoadPath::B, &LoadFromFileStream<PPMGraphic>},
    {".CUT", LoadPath::B, &LoadFromFileStream<CUTGraphic>},
    {".SGI", LoadPath::B, &LoadFromFileStream<SGIGraphic>},
    {".PNG", LoadPath::A, &LoadPng},
    {".GIF", LoadPath::A, &LoadGif},
    {".XGIF", LoadPath::D, &LoadXgif},
    {".XPNG", LoadPath::D, &LoadXpng},
    {".TGA", LoadPath::A, &LoadTarga},
    {".JPG", LoadPath::A, &LoadJpeg},
    {".JPEG", LoadPath::A, &LoadJpeg},
    {".WMF", LoadPath::C, &LoadDrawn<Metafile>},
    {".EMF", LoadPath::C, &LoadDrawn<Metafile>},
    {".BMP", LoadPath::A, &LoadBitmapFile},
    {".ICO", LoadPath::C, &LoadDrawn<icons::HiResIcon>},
    {".XJPG", LoadPath::D, &LoadXjpg},
};

const SaveRow kSaveRows[] = {
    {".JPG", &SaveJpeg},  {".TIF", &SaveTiff},   {".TGA", &SaveTarga},
    {".PNG", &SavePng},   {".GIF", &SaveGif},    {".XGIF", &SaveXgif},
    {".XPNG", &SaveXpng}, {".BMP", &SaveBitmap}, {".ICO", &icons::SaveIcoFile},
    {".XJPG", &SaveXjpg},
};

}  // namespace

std::span<const LoadRow> LoadRows() { return kLoadRows; }
std::span<const SaveRow> SaveRows() { return kSaveRows; }

}  // namespace pixtrel
