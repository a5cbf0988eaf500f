#include "io/image_io.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "io/formats.h"

namespace pixtrel {

namespace {
thread_local ConversionState* threadConversion = nullptr;
}  // namespace

ConversionState& Conversion() {
  if (threadConversion) return *threadConversion;
  static ConversionState state;
  return state;
}

ThreadConversionScope::ThreadConversionScope(ConversionState& state) : previous_(threadConversion) {
  threadConversion = &state;
}

ThreadConversionScope::~ThreadConversionScope() { threadConversion = previous_; }

std::string UpperCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

std::string ExtractExtension(const std::string& path) {
  // Only the file name counts: a dot in a folder name is no extension.
  const std::string name = std::filesystem::path(path).filename().string();
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos) return std::string();
  return UpperCase(name.substr(dot));
}

void LoadImageFile(const std::string& path, Bitmap& target) {
  ConversionState& state = Conversion();
  if (state.hideSelection) state.hideSelection();
  if (state.autoSizeImage) state.autoSizeImage();
  const std::string ext = ExtractExtension(path);
  state.pngText.clear();
  for (const LoadRow& row : LoadRows()) {
    if (ext == row.extension) {
      row.load(path, target);
      return;
    }
  }
}

SaveOutcome SaveImageFile(const std::string& path, Bitmap& source, const std::string& ext) {
  const std::string upper = UpperCase(ext);
  ConversionState& state = Conversion();
  for (const SaveRow& row : SaveRows()) {
    if (upper == row.extension) {
      if (!row.save(path, source)) return SaveOutcome::Abandoned;
      if (state.refreshFileList) state.refreshFileList();
      return SaveOutcome::Written;
    }
  }
  if (state.refreshFileList) state.refreshFileList();
  return SaveOutcome::UnknownFormat;
}

std::string FilterIndexToExt(int index) {
  static const char* const kExtensions[] = {".GIF", ".JPG",  ".PNG",  ".ICO",  ".TIF",
                                            ".BMP", ".XGIF", ".XJPG", ".XPNG", ".TGA"};
  if (index < 1 || index > 10) return std::string();
  return kExtensions[index - 1];
}

bool CanLoadExtension(const std::string& ext) {
  const std::string upper = UpperCase(ext);
  for (const LoadRow& row : LoadRows())
    if (upper == row.extension) return true;
  return false;
}

bool CanSaveExtension(const std::string& ext) {
  const std::string upper = UpperCase(ext);
  for (const SaveRow& row : SaveRows())
    if (upper == row.extension) return true;
  return false;
}

}  // namespace pixtrel
