// The browser's previews of the workspace image and the wizard pages it
// opens. Each preview writes its files into the writable data folder and
// names the page the browser then shows; a file that cannot be written raises
// its error and names nothing, so the browser stays where it was.
//
//   "preview tiled"        tiled.jpg (the JPEG save) and tiled.html, the image
//                          as the page's tiled background
//   "preview transparent"  transparent.gif (transparent whatever the option
//                          says) and tiled.html, the GIF on a black page
//   "Preview in Browser"   preview-png.png (the PNG tab's save) shown by the
//                          shipped preview-png.html
#pragma once

#include <string>
#include <string_view>

#include "core/bitmap.h"
#include "io/image_io.h"
#include "shapes/zep_shape.h"
#include "workspace/png_transparency.h"

namespace pixtrel::automation {

// The two folders the previews use: where the program's own pages are found
// (ShippedDataFolder) and where it may write (WritableDataFolder). Both end
// with the separator; they are the same folder for a program run from a
// writable folder of its own.
struct PreviewFolders {
  std::string shipped;
  std::string writable;
};

// The pages the previews write, exactly, with no line break at the end.
inline constexpr std::string_view kTiledPage =
    "<html><head><title>test tiling</title></head><body background=\"tiled.jpg\"></body></html>";
inline constexpr std::string_view kTransparentPage =
    "<html><head><title>test tiling</title></head><body bgcolor=\"black\"><img src=\"transparent.gif\"></body></html>";

// "Load Wizard...": the open dialog's filter and the folder it starts in.
inline constexpr char kWizardFilter[] = "Pixtrel Wizards (*-wizard.html)|*-wizard.html";
std::string WizardFolder(const PreviewFolders& folders);

// The file list's single click shows a file in the browser only for these
// extensions (compared lower-cased, with the dot).
inline constexpr std::string_view kBrowserExtensions = "[.bmp][.wmf][.emf][.gif][.jpg][.png][.svg][.vml]";
bool ShowsInBrowser(const std::string& path);

// "preview tiled": the image saved as tiled.jpg by the JPEG save with the
// session's settings, then tiled.html. Returns the page to show.
std::string PreviewTiled(const Bitmap& image, const SaveOptions& options, const PreviewFolders& folders);

// "preview transparent": the image as a one-frame GIF by the GIF defaults,
// its bottom-left pixel's colour transparent even when the "Transparent GIF"
// option is off, saved as transparent.gif; then tiled.html holds the
// transparent page. Returns the page to show.
std::string PreviewTransparent(const Bitmap& image, const SaveOptions& options, const PreviewFolders& folders);

// "Preview in Browser": the PNG the PNG tab's Save writes, as preview-png.png,
// and the page that shows it. The page is the shipped preview-png.html; when
// the writable folder is another one, the page is copied beside the picture
// first so that it finds it. A missing shipped page is not an error here: the
// browser reports the page it cannot show.
std::string PreviewPng(const PngTransparency& state, shapes::ZepShape& shape, const PreviewFolders& folders);

// Writes text as the whole of the file, replacing it atomically; throws
// EFCreateError.
void WritePageFile(const std::string& path, std::string_view text);

}  // namespace pixtrel::automation
