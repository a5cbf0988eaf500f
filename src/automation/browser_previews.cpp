#include "automation/browser_previews.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <span>
#include <system_error>
#include <vector>

#include "core/stream.h"
#include "gif/gif_codec.h"

namespace pixtrel::automation {

namespace {

constexpr char kTiledImage[] = "tiled.jpg";
constexpr char kTiledHtml[] = "tiled.html";
constexpr char kTransparentImage[] = "transparent.gif";
constexpr char kPngImage[] = "preview-png.png";
constexpr char kPngPage[] = "preview-png.html";
constexpr char kWizards[] = "wizards";

std::string LowerExtension(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string();
  std::string ext = path.substr(dot);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

bool SameFolder(const std::string& a, const std::string& b) {
  std::error_code ec;
  return a == b || std::filesystem::equivalent(a, b, ec);
}

}  // namespace

std::string WizardFolder(const PreviewFolders& folders) { return folders.shipped + kWizards; }

bool ShowsInBrowser(const std::string& path) {
  const std::string ext = LowerExtension(path);
  // A name ending in "." gives "[.]", which is in no bracket pair.
  return !ext.empty() && kBrowserExtensions.find("[" + ext + "]") != std::string_view::npos;
}

void WritePageFile(const std::string& path, std::string_view text) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  WriteFileBytes(path, std::span<const std::uint8_t>(bytes, text.size()));
}

std::string PreviewTiled(const Bitmap& image, const SaveOptions& options, const PreviewFolders& folders) {
  SaveImageFile(folders.writable + kTiledImage, image, ".JPG", options);
  const std::string page = folders.writable + kTiledHtml;
  WritePageFile(page, kTiledPage);
  return page;
}

std::string PreviewTransparent(const Bitmap& image, const SaveOptions& options, const PreviewFolders& folders) {
  gif::SaveGifFile(folders.writable + kTransparentImage, image, options.gifDefaults, true);
  const std::string page = folders.writable + kTiledHtml;
  WritePageFile(page, kTransparentPage);
  return page;
}

std::string PreviewPng(const PngTransparency& state, shapes::ZepShape& shape, const PreviewFolders& folders) {
  SaveTransparentPng(folders.writable + kPngImage, state, shape);
  const std::string shipped = folders.shipped + kPngPage;
  if (SameFolder(folders.shipped, folders.writable)) return shipped;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(shipped, ec)) return shipped;
  const std::string copy = folders.writable + kPngPage;
  const std::vector<std::uint8_t> page = ReadFileBytes(shipped);
  WriteFileBytes(copy, page);
  return copy;
}

}  // namespace pixtrel::automation
