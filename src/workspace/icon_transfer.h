// Images travelling between the workspace and the icon manager: an icon
// image copied into the editor or exported as a picture, and the displayed
// image appended to the library as a 32 x 32 icon.
#pragma once

#include <string>

#include "core/bitmap.h"
#include "icons/icon_image.h"
#include "icons/icon_manager.h"
#include "io/image_io.h"

namespace pixtrel {

class Workspace;

// The picture formats an icon image is exported in, with the save dialog's
// filter and the extension the chosen name takes.
enum class IconExport { Bmp, Gif, Png };
struct IconExportKind {
  const char* filter;
  const char* ext;
};
const IconExportKind& IconExportKindOf(IconExport kind);

// The image drawn on white becomes the displayed image; no undo snapshot.
void CopyIconImageToEditor(const icons::IconImage& image, Workspace& workspace);

// Writes the image drawn on white under the chosen name with the kind's
// extension in place of its own; returns the name written. GIF saves reduce
// by the session's GIF defaults and mark the bottom-left pixel's colour
// transparent when transparentGif is set; PNG saves carry no text.
std::string ExportIconImage(const icons::IconImage& image, const std::string& chosenName, IconExport kind,
                            const SaveOptions& session, bool transparentGif);

// The name "&Append to Icon Library" gives every icon it adds.
inline constexpr char kQuickAddName[] = "quick-add";

// A copy of the image, made square on white, resampled to 32 x 32 with
// Lanczos3, becomes a 256-colour icon whose bottom-left colour is
// transparent, added to the manager's library as "quick-add".
void AppendToIconLibrary(const Bitmap& displayed, icons::IconManager& manager);

}  // namespace pixtrel
