// The format table. Extensions are compared exactly, upper-cased and with the
// dot, in the order of the rows on open and in saveOrder on save; the first
// match decides. Every visible list keeps its own order through the
// positions in the rows.
#include "io/formats.h"

#include <algorithm>
#include <cctype>
#include <type_traits>

#include "codecs/avif/avif_writer.h"
#include "codecs/crypt/encrypted_image.h"
#include "codecs/eps/eps_graphic.h"
#include "codecs/heif/heif_image.h"
#include "codecs/jpeg/jpeg_image.h"
#include "codecs/legacy/legacy_formats.h"
#include "codecs/metadata/metadata_io.h"
#include "codecs/metafile/metafile.h"
#include "codecs/png/png_object.h"
#include "codecs/targa/targa_image.h"
#include "codecs/tiff/bmp2tiff.h"
#include "codecs/tiff/read_tiff.h"
#include "codecs/webp/webp_image.h"
#include "core/canvas.h"
#include "core/stream.h"
#include "gif/gif_codec.h"
#include "icons/icon_image.h"
#include "icons/qx_icon.h"

namespace pixtrel {

namespace {

// ---- Readers ---------------------------------------------------------------

// Path A: decode, assign into a fresh intermediate bitmap, then into the
// target. The target is touched only after the reader has finished.
template <typename Image>
void LoadDecoded(const std::string& path, Bitmap& target, LoadContext& context) {
  Image image;
  image.SetPixelLimit(context.maxPixels);
  image.LoadFromFile(path);
  Bitmap intermediate;
  intermediate.Assign(image);
  target = std::move(intermediate);
}

// Path B: a stream reader, assigned into the target.
template <typename Image>
void LoadFromFileStream(const std::string& path, Bitmap& target, LoadContext& context) {
  FileStream stream(path);
  Image image;
  image.SetPixelLimit(context.maxPixels);
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
void LoadDrawn(const std::string& path, Bitmap& target, LoadContext& context) {
  Image image;
  image.SetPixelLimit(context.maxPixels);
  image.LoadFromFile(path);
  target.SetWidth(image.Width());
  target.SetHeight(image.Height());
  target.Canvas().Draw(0, 0, image);
}

// Path A for JPEG: the decoded picture moves into the intermediate bitmap
// instead of being copied there; the steps are those of LoadDecoded.
void LoadJpeg(const std::string& path, Bitmap& target, LoadContext& context) {
  JPEGImage image;
  image.SetPixelLimit(context.maxPixels);
  image.LoadFromFile(path);
  Bitmap intermediate(image.TakeBitmap());
  target = std::move(intermediate);
}

// Path A for PNG, then the PNG text step: the text box shows the text of the
// first tEXt chunk.
void LoadPng(const std::string& path, Bitmap& target, LoadContext& context) {
  PNGObject image;
  image.SetPixelLimit(context.maxPixels);
  image.LoadFromFile(path);
  const ChunktEXt* text = image.FirstTextChunk();
  std::string memo = text ? text->text : std::string();
  Bitmap intermediate(image.TakeBitmap());
  target = std::move(intermediate);
  context.pngText = std::move(memo);
}

// Path A for GIF: the first frame on its logical screen.
void LoadGif(const std::string& path, Bitmap& target, LoadContext& context) {
  LoadDecoded<gif::GIFImage>(path, target, context);
}

// Path D: the encrypted containers ask for the password through the seam; an
// abandoned prompt leaves the target as it was.
template <ContainerKind Kind>
void LoadEncrypted(const std::string& path, Bitmap& target, LoadContext& context) {
  ReadEncryptedImage(path, target, Kind, context.interaction, context.maxPixels);
}

// Path A for BMP: the decoded bitmap is the intermediate.
void LoadBitmapFile(const std::string& path, Bitmap& target, LoadContext& context) {
  Bitmap image;
  image.SetPixelLimit(context.maxPixels);
  image.LoadFromFile(path);
  target = std::move(image);
}

// Path A for TIFF: the reader fills a fresh bitmap of its own and hands it to
// the target only when a directory decoded; it shows its own messages.
void LoadTiff(const std::string& path, Bitmap& target, LoadContext& context) {
  ReadTiffFile(path, target, context.interaction, context.maxPixels);
}

// Path A for Targa: the colour bitmap moves into the intermediate bitmap.
void LoadTarga(const std::string& path, Bitmap& target, LoadContext& context) {
  Targa image;
  image.SetPixelLimit(context.maxPixels);
  image.LoadFromFile(path);
  Bitmap intermediate(image.TakeBitmap());
  target = std::move(intermediate);
}

// A reader whose file's metadata is found by scanning the file once the
// picture has decoded; only when an opening option asks for it, so that
// without them the reader runs as it always did.
template <void (*Load)(const std::string&, Bitmap&, LoadContext&),
          ImageMetadata (*Scan)(std::span<const std::uint8_t>)>
void LoadWithMetadata(const std::string& path, Bitmap& target, LoadContext& context) {
  Load(path, target, context);
  if (!context.options.NeedsMetadata()) return;
  context.metadata = Scan(ReadFileBytes(path));
  context.orientation = TiffOrientation(context.metadata.exif);
}

// TIFF keeps its orientation in the file's own first directory. The reader
// shows its own messages instead of raising, so a picture that did not
// decode is told by the fresh bitmap staying empty.
void LoadTiffWithMetadata(const std::string& path, Bitmap& target, LoadContext& context) {
  if (!context.options.NeedsMetadata()) return LoadTiff(path, target, context);
  Bitmap fresh;
  ReadTiffFile(path, fresh, context.interaction, context.maxPixels);
  if (fresh.Empty()) return;
  target = std::move(fresh);
  const std::vector<std::uint8_t> file = ReadFileBytes(path);
  context.metadata = ReadTiffMetadata(file);
  context.orientation = TiffOrientation(file);
}

// WebP: a still picture or an animation's first frame, alpha left apart.
void LoadWebP(const std::string& path, Bitmap& target, LoadContext& context) {
  const std::vector<std::uint8_t> file = ReadFileBytes(path);
  const bool metadata = context.options.NeedsMetadata();
  Bitmap intermediate = DecodeWebP(file, context.maxPixels, metadata ? &context.metadata : nullptr);
  target = std::move(intermediate);
  if (metadata) context.orientation = TiffOrientation(context.metadata.exif);
}

// HEIC and AVIF: the primary image. A file with rotation or mirror
// properties is turned by them (its EXIF orientation, which then says the
// same, is informative only and never applied twice); a file without them is
// turned by its EXIF orientation, as for JPEG.
void LoadHeif(const std::string& path, Bitmap& target, LoadContext& context) {
  const std::vector<std::uint8_t> file = ReadFileBytes(path);
  const bool metadata = context.options.NeedsMetadata();
  const bool transformed = context.options.autoOrient && HeifHasTransformations(file);
  Bitmap intermediate = DecodeHeif(file, context.maxPixels, transformed, metadata ? &context.metadata : nullptr);
  target = std::move(intermediate);
  if (transformed)
    SetTiffOrientation(context.metadata.exif, 1);
  else if (metadata)
    context.orientation = TiffOrientation(context.metadata.exif);
}

// ---- Writers ---------------------------------------------------------------

// The quality is the JPEG optimize window's slider; no greyscale setting.
// The image is encoded straight from the source's rows: what Assign into a
// JPEG image and saving it would write, without copying the picture first.
// Kept metadata goes in as APP1 and APP2 segments after the JFIF header.
SaveOutcome SaveJpeg(const std::string& path, const Bitmap& source, const SaveOptions& options) {
  if (!options.metadata.Empty()) {
    WriteFileBytes(path, EmbedJpegMetadata(CompressJPEG(source, options.jpegQuality, false), options.metadata));
    return SaveOutcome::Written;
  }
  WriteFileBytes(path, CompressJPEG(source, options.jpegQuality, false));
  return SaveOutcome::Written;
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
SaveOutcome SavePng(const std::string& path, const Bitmap& source, const SaveOptions& options) {
  PNGObject image;
  image.AssignView(source);
  if (!options.pngText.empty()) image.AddTextChunk("description", WithCrLf(options.pngText));
  if (!options.metadata.Empty()) {
    // Kept metadata as iCCP, eXIf and iTXt chunks after IHDR.
    MemoryStream stream;
    image.SaveToStream(stream);
    WriteFileBytes(path, EmbedPngMetadata(stream.Bytes(), options.metadata));
    return SaveOutcome::Written;
  }
  image.SaveToFile(path);
  return SaveOutcome::Written;
}

// Lossy at the JPEG quality, or lossless; the transparent colour as alpha 0.
SaveOutcome SaveWebP(const std::string& path, const Bitmap& source, const SaveOptions& options) {
  const WebPSettings settings{options.jpegQuality, options.webpLossless, options.encodeThreads};
  WriteFileBytes(path, EncodeWebP(source, settings, options.metadata));
  return SaveOutcome::Written;
}

// At the JPEG quality; the transparent colour as alpha 0.
SaveOutcome SaveAvif(const std::string& path, const Bitmap& source, const SaveOptions& options) {
  AvifSettings settings;
  settings.quality = options.jpegQuality;
  settings.threads = options.encodeThreads;
  WriteFileBytes(path, EncodeAvif(source, settings, options.metadata));
  return SaveOutcome::Written;
}

// The GIF defaults reduce the colours, the colour tables are merged and, with
// "Transparent GIF", the bottom-left pixel's index is marked transparent.
SaveOutcome SaveGif(const std::string& path, const Bitmap& source, const SaveOptions& options) {
  gif::SaveGifFile(path, source, options.gifDefaults, options.gifTransparent);
  return SaveOutcome::Written;
}

// The inner file is built exactly as the plain writer builds it.
template <ContainerKind Kind>
SaveOutcome SaveEncrypted(const std::string& path, const Bitmap& source, const SaveOptions& options) {
  const InnerImageOptions inner{options.jpegQuality, options.gifDefaults, options.gifTransparent};
  return WriteEncryptedImage(path, source, Kind, options.password, inner) ? SaveOutcome::Written
                                                                          : SaveOutcome::Abandoned;
}

SaveOutcome SaveBitmap(const std::string& path, const Bitmap& source, const SaveOptions&) {
  source.SaveToFile(path);
  return SaveOutcome::Written;
}

SaveOutcome SaveTiff(const std::string& path, const Bitmap& source, const SaveOptions&) {
  WriteTiffFile(path, source);
  return SaveOutcome::Written;
}

// Written straight from the source's rows: what assigning it into a Targa
// image and saving that would write.
SaveOutcome SaveTarga(const std::string& path, const Bitmap& source, const SaveOptions&) {
  WriteTargaFile(path, source);
  return SaveOutcome::Written;
}

// The icon is made from the image reduced to the chosen depth; an image
// already in that depth is written as it is.
SaveOutcome SaveIcon(const std::string& path, const Bitmap& source, const SaveOptions& options) {
  const PixelFormat format = IconPixelFormat(options.iconColors);
  const Bitmap* image = &source;
  Bitmap reduced;
  if (source.PixelFormat() != format) {
    reduced = source;
    reduced.SetPixelFormat(format);
    image = &reduced;
  }
  icons::QxIcon component;
  if (options.iconColors == IconColors::Colors16)
    component.SaveIcon16(*image, path);
  else
    component.SaveIcon256(*image, path);
  return SaveOutcome::Written;
}

// ---- The table -------------------------------------------------------------

using L = LoadPath;
using Q = SaveQuestion;

// clang-format off
const FormatRow kFormats[] = {
  // name    extensions          description               open: path, reader, dialog entry, pos, mask, group
  //                                                       save: writer, order, dialog entry, type index, question; batch source, batch pos;
  //                                                       metadata read, written
  {"TIF",  {".TIF", nullptr},  "TIFF image",
   L::A, &LoadTiffWithMetadata, "TIF Images", 4, 9, true,
   &SaveTiff, 2, "Tagged Image File Format (*.tif)", 5, Q::None, false, 0, true, false},
  {"PCX",  {".PCX", nullptr},  "ZSoft Paintbrush image",
   L::B, &LoadFromFileStream<PCXGraphic>, "ZSoft Paintbrush (*.pcx)", 8, 13, true,
   nullptr, 0, nullptr, 0, Q::None, false, 0, false, false},
  {"PCD",  {".PCD", nullptr},  "Kodak Photo CD image",
   L::B, &LoadFromFileStream<PCDGraphic>, "Kodak Photo CD (*.pcd)", 10, 14, true,
   nullptr, 0, nullptr, 0, Q::None, false, 0, false, false},
  {"EPS",  {".EPS", nullptr},  "Encapsulated PostScript with a TIFF preview",
   L::B, &LoadFromFileStream<EPSGraphic>, "Encapsulated Postscript (*.eps)", 11, 15, true,
   nullptr, 0, nullptr, 0, Q::None, false, 0, false, false},
  {"PSD",  {".PSD", nullptr},  "Photoshop image",
   L::B, &LoadFromFileStream<PSDGraphic>, "Photoshop (*.psd)", 12, 16, true,
   nullptr, 0, nullptr, 0, Q::None, false, 0, false, false},
  {"PSP",  {".PSP", nullptr},  "Paint Shop Pro image",
   L::B, &LoadFromFileStream<PSPGraphic>, "Paintshop Pro (*.psp)", 14, 18, true,
   nullptr, 0, nullptr, 0, Q::None, false, 0, false, false},
  {"PPM",  {".PPM", nullptr},  "portable bitmap, greymap or pixmap",
   L::B, &LoadFromFileStream<PPMGraphic>, "Portable Pixelmap (*.ppm)", 15, 19, true,
   nullptr, 0, nullptr, 0, Q::None, false, 0, false, false},
  {"CUT",  {".CUT", nullptr},  "Dr. Halo image",
   L::B, &LoadFromFileStream<CUTGraphic>, "Dr. Halo (*.cut)", 16, 20, true,
   nullptr, 0, nullptr, 0, Q::None, false, 0, false, false},
  {"SGI",  {".SGI", nullptr},  "SGI image",
   L::B, &LoadFromFileStream<SGIGraphic>, "SGI Image File (*.sgi)", 13, 17, true,
   nullptr, 0, nullptr, 0, Q::None, false, 0, false, false},
  {"PNG",  {".PNG", nullptr},  "Portable Network Graphics image",
   L::A, &LoadWithMetadata<&LoadPng, &ReadPngMetadata>, "PNG Images", 3, 5, true,
   &SavePng, 4, "Portable Network Graphics (*.png)", 3, Q::None, true, 4, true, true},
  {"GIF",  {".GIF", nullptr},  "GIF image",
   L::A, &LoadGif, "GIF Images", 1, 3, true,
   &SaveGif, 5, "Compuserve Graphics Interchange (*.gif)", 1, Q::None, true, 2, false, false},
  {"XGIF", {".XGIF", nullptr}, "GIF image in an encrypted container",
   L::D, &LoadEncrypted<ContainerKind::GIF>, "Encrypted GIF Images", 6, 11, true,
   &SaveEncrypted<ContainerKind::GIF>, 6, "Encrypted GIF Images", 7, Q::Password, false, 0, false, false},
  {"XPNG", {".XPNG", nullptr}, "PNG image in an encrypted container",
   L::D, &LoadEncrypted<ContainerKind::PNG>, "Encrypted PNG Images", 7, 0, false,
   &SaveEncrypted<ContainerKind::PNG>, 7, "Encrypted PNG Images", 9, Q::Password, false, 0, false, false},
  {"TGA",  {".TGA", nullptr},  "Truevision Targa image",
   L::A, &LoadTarga, "Truevision Target (*.tga)", 9, 8, true,
   &SaveTarga, 3, "Truevision Target (*.tga)", 10, Q::None, false, 0, false, false},
  // Saving compares the first extension only: ".JPEG" opens but is no save type.
  {"JPG",  {".JPG", ".JPEG"},  "JPEG image",
   L::A, &LoadWithMetadata<&LoadJpeg, &ReadJpegMetadata>, "JPG Images", 2, 4, true,
   &SaveJpeg, 1, "JPEG Compliant (*.jpg)", 2, Q::None, true, 3, true, true},
  {"WMF",  {".WMF", nullptr},  "Windows metafile",
   L::C, &LoadDrawn<Metafile>, nullptr, 0, 6, true,
   nullptr, 0, nullptr, 0, Q::None, false, 0, false, false},
  {"EMF",  {".EMF", nullptr},  "enhanced metafile",
   L::C, &LoadDrawn<Metafile>, nullptr, 0, 7, true,
   nullptr, 0, nullptr, 0, Q::None, false, 0, false, false},
  {"BMP",  {".BMP", nullptr},  "Windows bitmap",
   L::A, &LoadBitmapFile, nullptr, 0, 1, true,
   &SaveBitmap, 8, "Windows Bitmap (*.bmp)", 6, Q::None, true, 1, false, false},
  {"ICO",  {".ICO", nullptr},  "Windows icon",
   L::C, &LoadDrawn<icons::HiResIcon>, nullptr, 0, 2, true,
   &SaveIcon, 9, "Windows Icon (*.ico)", 4, Q::IconOptions, false, 0, false, false},
  {"XJPG", {".XJPG", nullptr}, "JPEG image in an encrypted container",
   L::D, &LoadEncrypted<ContainerKind::JPEG>, "Encrypted JPG Images", 5, 10, true,
   &SaveEncrypted<ContainerKind::JPEG>, 10, "Encrypted JPG Images", 8, Q::Password, false, 0, false, false},
  // Icon libraries show in the file browser and open in the icon manager.
  {"ICL",  {".ICL", nullptr},  "icon library",
   L::None, nullptr, nullptr, 0, 12, false,
   nullptr, 0, nullptr, 0, Q::None, false, 0, false, false},
  // Formats beyond the program's first ones: every list shows them after the
  // entries above, whose places stay as they are.
  {"WEBP", {".WEBP", nullptr}, "WebP image",
   L::A, &LoadWebP, "WebP Images", 17, 21, true,
   &SaveWebP, 11, "WebP Image (*.webp)", 11, Q::WebPOptions, true, 5, true, true},
  {"AVIF", {".AVIF", nullptr}, "AVIF image (AV1 in HEIF)",
   L::A, &LoadHeif, "AVIF Images", 18, 22, true,
   &SaveAvif, 12, "AVIF Image (*.avif)", 12, Q::None, true, 6, true, true},
  {"HEIC", {".HEIC", ".HEIF"}, "HEIC photo (HEVC in HEIF)",
   L::A, &LoadHeif, "HEIC Images", 19, 23, true,
   nullptr, 0, nullptr, 0, Q::None, true, 0, true, false},
};
// clang-format on

std::string LowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The rows that have a place in one list, in that list's order.
template <typename Position>
std::vector<const FormatRow*> RowsBy(Position position) {
  std::vector<const FormatRow*> rows;
  for (const FormatRow& row : kFormats)
    if (position(row) > 0) rows.push_back(&row);
  std::stable_sort(rows.begin(), rows.end(),
                   [&](const FormatRow* a, const FormatRow* b) { return position(*a) < position(*b); });
  return rows;
}

const std::vector<const FormatRow*>& SaveOrder() {
  static const std::vector<const FormatRow*> rows = RowsBy([](const FormatRow& row) { return row.saveOrder; });
  return rows;
}

// "*.gif" for a row's first extension.
std::string Wildcard(const FormatRow& row) { return "*" + LowerCase(row.extensions[0]); }

}  // namespace

bool FormatRow::Matches(const std::string& upperExt) const {
  for (const char* extension : extensions)
    if (extension && upperExt == extension) return true;
  return false;
}

std::span<const FormatRow> FormatRows() { return kFormats; }

const FormatRow* FindLoadFormat(const std::string& ext) {
  const std::string upper = UpperCase(ext);
  for (const FormatRow& row : kFormats)
    if (row.Readable() && row.Matches(upper)) return &row;
  return nullptr;
}

const FormatRow* FindSaveFormat(const std::string& ext) {
  const std::string upper = UpperCase(ext);
  for (const FormatRow* row : SaveOrder())
    if (row->Writable() && upper == row->extensions[0]) return row;
  return nullptr;
}

const FormatRow* FindFormatByName(const std::string& name) {
  const std::string upper = UpperCase(name);
  for (const FormatRow& row : kFormats)
    if (upper == row.name) return &row;
  return nullptr;
}

bool CanLoadExtension(const std::string& ext) { return FindLoadFormat(ext) != nullptr; }
bool CanSaveExtension(const std::string& ext) { return FindSaveFormat(ext) != nullptr; }

std::vector<std::string> LoadExtensions() {
  std::vector<std::string> list;
  for (const FormatRow& row : kFormats)
    if (row.Readable())
      for (const char* extension : row.extensions)
        if (extension) list.push_back(extension);
  return list;
}

std::vector<std::string> SaveExtensions() {
  std::vector<std::string> list;
  for (const FormatRow* row : SaveOrder()) list.push_back(row->extensions[0]);
  return list;
}

std::string OpenDialogFilter() {
  std::string filter = "Graphic Files|";
  bool first = true;
  for (const FormatRow* row : RowsBy([](const FormatRow& r) { return r.inGraphicFiles ? r.maskPos : 0; })) {
    if (!first) filter += ';';
    filter += Wildcard(*row);
    first = false;
  }
  for (const FormatRow* row : RowsBy([](const FormatRow& r) { return r.openFilterPos; }))
    filter += std::string("|") + row->openFilter + "|" + Wildcard(*row);
  return filter;
}

std::string SaveDialogFilter() {
  std::string filter;
  for (const FormatRow* row : RowsBy([](const FormatRow& r) { return r.saveTypeIndex; })) {
    if (!filter.empty()) filter += '|';
    filter += std::string(row->saveFilter) + "|" + Wildcard(*row);
  }
  return filter;
}

std::string FilterIndexToExt(int index) {
  for (const FormatRow& row : kFormats)
    if (index > 0 && row.saveTypeIndex == index) return row.extensions[0];
  return std::string();
}

std::string FileBrowserMask() {
  std::string mask;
  for (const FormatRow* row : RowsBy([](const FormatRow& r) { return r.maskPos; })) {
    if (!mask.empty()) mask += ';';
    mask += Wildcard(*row);
  }
  return mask;
}

std::vector<std::string> BatchTargetNames() {
  std::vector<std::string> names;
  for (const FormatRow* row : RowsBy([](const FormatRow& r) { return r.batchTargetPos; })) names.push_back(row->name);
  return names;
}

bool IsBatchSource(const std::string& ext) {
  const std::string upper = UpperCase(ext);
  for (const FormatRow& row : kFormats)
    if (row.batchSource && upper == row.extensions[0]) return true;
  return false;
}

}  // namespace pixtrel
