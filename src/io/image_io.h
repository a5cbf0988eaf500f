// Opening and saving images by file extension. The tables of readers and
// writers live in formats.cpp; this is the one place that knows them.
#pragma once

#include <functional>
#include <string>

#include "core/bitmap.h"

namespace pixtrel {

// What the open and save steps read from and report to the rest of the
// program: the PNG text box, the "Transparent GIF" option, the JPEG quality of
// the JPEG optimize window, and the workspace hooks. The desktop program
// connects the hooks; the CLI and tests leave them empty or record calls.
struct ConversionState {
  std::string pngText;         // the PNG text box
  bool gifTransparent = true;  // Options > "Transparent GIF"
  int jpegQuality = 50;        // quality slider of the JPEG optimize window

  std::function<void()> hideSelection;
  std::function<void()> autoSizeImage;
  std::function<void()> refreshFileList;
  // Resamples the displayed image to width x height (the icon save path).
  std::function<void(Bitmap& image, int width, int height)> resampleImageTo;
};

// The process's conversion state, or the calling thread's own while a
// ThreadConversionScope is installed on it.
ConversionState& Conversion();

// Makes Conversion() on the constructing thread return state until the scope
// ends (the previous one comes back). Batch workers use it so that every
// thread loads and saves with a state of its own.
class ThreadConversionScope {
 public:
  explicit ThreadConversionScope(ConversionState& state);
  ~ThreadConversionScope();
  ThreadConversionScope(const ThreadConversionScope&) = delete;
  ThreadConversionScope& operator=(const ThreadConversionScope&) = delete;

 private:
  ConversionState* previous_;
};

// The upper-cased extension of a path's file name, from its last "." on and
// with the dot; empty when the name has none.
std::string ExtractExtension(const std::string& path);
std::string UpperCase(std::string text);

// Reads the file into target by the extension of its name; the contents are
// never sniffed. An unknown extension leaves target as it was and reports
// nothing. A reader that fails raises its error and target keeps its pixels.
void LoadImageFile(const std::string& path, Bitmap& target);

enum class SaveOutcome {
  Written,        // the file was written
  Abandoned,      // the user declined a question or prompt; nothing written
  UnknownFormat,  // ext is in no row; nothing written
};

// Writes source in the format ext names (compared upper-cased); the path's
// own extension plays no part. source is non-const because the icon path
// resamples and reduces the displayed image.
SaveOutcome SaveImageFile(const std::string& path, Bitmap& source, const std::string& ext);

// The save dialog's type index (from 1) to an extension; empty for others.
std::string FilterIndexToExt(int index);

// Whether an upper-cased extension (".BMP") has a reader or a writer.
bool CanLoadExtension(const std::string& ext);
bool CanSaveExtension(const std::string& ext);

}  // namespace pixtrel
