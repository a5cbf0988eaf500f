// Converting a list of files into one format, in a destination folder, through
// the same open and save routines as single files.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "io/image_io.h"

namespace pixtrel {

// The batch window's choices.
struct BatchSettings {
  std::string destination;     // folder, without a trailing separator
  std::string format = "PNG";  // a batch target: "BMP", "GIF", "JPG", "PNG", "WEBP", "AVIF"
  bool overwrite = false;
  std::int64_t maxPixels = kDefaultMaxPixels;  // the run's pixel limit for every file read
  LoadOptions opening{};  // orientation, metadata and sRGB, as every open takes them
};

// The full paths (folder, separator, name) of the selected names whose
// extension is that of a batch source format (".bmp", ".gif", ".jpg" or
// ".png", then ".webp", ".avif" and ".heic", in any case), in order.
std::vector<std::string> BatchWorkList(const std::string& folder, const std::vector<std::string>& selectedNames);

// destination + separator + the path's file name with its extension replaced
// by "." and the lower-cased format.
std::string BatchTargetName(const std::string& destination, const std::string& path, const std::string& format);

struct BatchFileResult {
  std::string target;
  bool written;         // false: skipped because the target existed
  std::size_t index;    // position in the work list, from 0
  std::size_t count;    // length of the work list
  std::string pngText;  // what loading the file left in the PNG text box
};

// Loads each file with LoadImageFile and saves a copy with SaveImageFile and
// options, skipping existing targets unless settings.overwrite. Each file is
// saved with the PNG text its own load left (a PNG source's first text), or
// with pngText when given (pixtrel-cli batch --png-text). fileDone runs on
// the calling thread after every file, in list order. The first error ends
// the batch: earlier files stay written and the error is rethrown. jobs > 1
// converts on that many threads, each with its own copy of options, with the
// same files, bytes and reports as one job. The batch formats ask nothing.
void RunBatch(const std::vector<std::string>& workList, const BatchSettings& settings, const SaveOptions& options,
              const std::function<void(const BatchFileResult&)>& fileDone, int jobs = 1,
              const std::optional<std::string>& pngText = std::nullopt);

}  // namespace pixtrel
