// The format table: one row per format, the only place the formats are
// listed. The open and save dispatch, the dialog filters, the file browser's
// mask, the batch lists and pixtrel-cli's choices and help are derived from
// it. A new format is its codec folder plus one row in formats.cpp.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "core/bitmap.h"
#include "io/image_io.h"

namespace pixtrel {

// How a reader reaches the target.
enum class LoadPath {
  None,  // not opened by LoadImageFile (the icon libraries)
  A,     // decode, then copy through an intermediate bitmap
  B,     // a stream reader assigned into the target
  C,     // a drawn format: target resized to it and the graphic drawn over it
  D,     // an encrypted container
};

// What a reader gets besides the path and the target.
struct LoadContext {
  UserInteraction& interaction;
  std::int64_t maxPixels;  // Graphic::SetPixelLimit of the file's reader
  std::string pngText;     // set by the PNG reader
  LoadOptions options;     // what the open asks for besides the pixels
  // Set by a reader that reads metadata, when options.NeedsMetadata() and the
  // picture was decoded: the file's metadata and its EXIF (or TIFF)
  // orientation, 0 when it has none or the reader turned the picture itself.
  ImageMetadata metadata;
  int orientation = 0;
};

// What a save asks before anything is written.
// WebPOptions: the lossless check box.
enum class SaveQuestion { None, IconOptions, Password, WebPOptions };

struct FormatRow {
  const char* name;           // "JPG": pixtrel-cli formats and batch --to
  const char* extensions[2];  // upper-cased, with the dot; the second may be nullptr
  const char* description;    // "JPEG image", as pixtrel-cli formats prints it

  // Opening. Rows are compared in table order; the first match decides.
  LoadPath loadPath;
  void (*load)(const std::string& path, Bitmap& target, LoadContext& context);
  const char* openFilter;  // the open dialog's own entry ("GIF Images"), or nullptr
  int openFilterPos;       // its place among those entries, from 1; 0: none
  int maskPos;             // place in the file browser's mask, from 1; 0: none
  bool inGraphicFiles;     // also in the open dialog's "Graphic Files" group (mask order)

  // Saving.
  SaveOutcome (*save)(const std::string& path, const Bitmap& source, const SaveOptions& options);
  int saveOrder;           // place in the order extensions are compared on save, from 1
  const char* saveFilter;  // the save dialog's entry, or nullptr
  int saveTypeIndex;       // its type index, from 1 (FilterIndexToExt); 0: none
  SaveQuestion question;

  // Batch conversion.
  bool batchSource;    // its files enter the batch work list
  int batchTargetPos;  // place in the batch window's "Convert To", from 1; 0: none

  // Metadata: whether opening finds the EXIF, XMP and ICC profile (and the
  // orientation), and whether saving writes them.
  bool readsMetadata;
  bool writesMetadata;

  bool Readable() const { return load != nullptr; }
  bool Writable() const { return save != nullptr; }
  bool Matches(const std::string& upperExt) const;
};

// Every row, in the order extensions are compared on open.
std::span<const FormatRow> FormatRows();

// The row that opens / saves an extension (compared upper-cased), or nullptr.
const FormatRow* FindLoadFormat(const std::string& ext);
const FormatRow* FindSaveFormat(const std::string& ext);
// The row of a format name ("png", "JPG"), or nullptr.
const FormatRow* FindFormatByName(const std::string& name);

// Whether an extension (".BMP", compared upper-cased) has a reader or a writer.
bool CanLoadExtension(const std::string& ext);
bool CanSaveExtension(const std::string& ext);

// The extensions, each once, in the order they are compared on open / save.
std::vector<std::string> LoadExtensions();
std::vector<std::string> SaveExtensions();

// The open dialog's filter ("Graphic Files|*.bmp;...|GIF Images|*.gif|...").
std::string OpenDialogFilter();
// The save dialog's filter, its entries in type-index order.
std::string SaveDialogFilter();
// The save dialog's type index (from 1) to an extension; empty for others.
std::string FilterIndexToExt(int index);
// The file browser's mask ("*.bmp;*.ico;...").
std::string FileBrowserMask();
// The batch window's formats ("BMP", "GIF", "JPG", "PNG") in order.
std::vector<std::string> BatchTargetNames();
// Whether a file with this extension (any case, with the dot) enters the
// batch work list.
bool IsBatchSource(const std::string& ext);

}  // namespace pixtrel
