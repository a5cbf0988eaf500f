#include "workspace/icon_transfer.h"

#include "core/stream.h"
#include "icons/qx_icon.h"
#include "workspace/workspace.h"

namespace pixtrel {

namespace {

constexpr IconExportKind kExportKinds[] = {
    {"Windows Bitmap Files (*.bmp)|*.bmp", ".bmp"},
    {"Compuserve Graphics Interchange (*.gif)|*.gif", ".gif"},
    {"Portable Network Graphics (*.png)|*.png", ".png"},
};

}  // namespace

const IconExportKind& IconExportKindOf(IconExport kind) { return kExportKinds[static_cast<int>(kind)]; }

void CopyIconImageToEditor(const icons::IconImage& image, Workspace& workspace) {
  workspace.SetImage(icons::ImageOnWhite(image));
}

std::string ExportIconImage(const icons::IconImage& image, const std::string& chosenName, IconExport kind,
                            const SaveOptions& session, bool transparentGif) {
  const IconExportKind& row = IconExportKindOf(kind);
  const std::string target = icons::ChangeFileExt(chosenName, row.ext);
  const Bitmap picture = icons::ImageOnWhite(image);
  SaveOptions options = session;
  options.gifTransparent = transparentGif;
  options.pngText.clear();
  SaveImageFile(target, picture, row.ext, options);
  return target;
}

void AppendToIconLibrary(const Bitmap& displayed, icons::IconManager& manager) {
  Bitmap copy(displayed);
  MakeSquare(copy);
  ResampleImageTo(copy, icons::kStandardIconSize, icons::kStandardIconSize);
  MemoryStream stream;
  icons::QxIcon().BitmapToIconStream(copy, stream);
  manager.AddIconFromStream(stream, kQuickAddName);
}

}  // namespace pixtrel
