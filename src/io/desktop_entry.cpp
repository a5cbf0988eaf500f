#include "io/desktop_entry.h"

#include <algorithm>

#include "io/formats.h"

namespace pixtrel {

namespace {

struct MimeRow {
  const char* extension;
  const char* type;
  const char* comment;  // for the types of the program's own package; nullptr for the common ones
};

// The common database's names where it has one; the program's own package
// names the rest.
constexpr MimeRow kMimeRows[] = {
    {".BMP", "image/bmp", nullptr},
    {".ICO", "image/vnd.microsoft.icon", nullptr},
    {".GIF", "image/gif", nullptr},
    {".JPG", "image/jpeg", nullptr},
    {".JPEG", "image/jpeg", nullptr},
    {".PNG", "image/png", nullptr},
    {".WMF", "image/wmf", nullptr},
    {".EMF", "image/emf", nullptr},
    {".TGA", "image/x-tga", nullptr},
    {".TIF", "image/tiff", nullptr},
    {".PCX", "image/vnd.zbrush.pcx", nullptr},
    {".PCD", "image/x-photo-cd", nullptr},
    {".EPS", "image/x-eps", nullptr},
    {".PSD", "image/vnd.adobe.photoshop", nullptr},
    {".PSP", "image/x-paintshoppro", "Paint Shop Pro image"},
    {".PPM", "image/x-portable-pixmap", nullptr},
    {".CUT", "image/x-dr-halo", "Dr. Halo image"},
    {".SGI", "image/x-sgi", nullptr},
    {".XGIF", "application/x-pixtrel-xgif", "GIF image in an encrypted container"},
    {".XPNG", "application/x-pixtrel-xpng", "PNG image in an encrypted container"},
    {".XJPG", "application/x-pixtrel-xjpg", "JPEG image in an encrypted container"},
    {".ICL", "application/x-pixtrel-icl", "Icon library"},
    {".WEBP", "image/webp", nullptr},
    {".AVIF", "image/avif", nullptr},
    {".HEIC", "image/heic", nullptr},
    {".HEIF", "image/heif", nullptr},
};

const MimeRow* FindMimeRow(const std::string& upperExt) {
  for (const MimeRow& row : kMimeRows)
    if (upperExt == row.extension) return &row;
  return nullptr;
}

// The extensions of the formats in the file browser (what a double-click
// opens), in table order.
std::vector<std::string> OpenedExtensions() {
  std::vector<std::string> extensions;
  for (const FormatRow& row : FormatRows()) {
    if (!row.Readable() && row.maskPos == 0) continue;
    for (const char* ext : row.extensions)
      if (ext) extensions.push_back(ext);
  }
  return extensions;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace

std::string MimeTypeOfExtension(const std::string& upperExt) {
  const MimeRow* row = FindMimeRow(upperExt);
  return row ? row->type : std::string();
}

std::vector<std::string> OpenedMimeTypes() {
  std::vector<std::string> types;
  for (const std::string& ext : OpenedExtensions()) {
    const std::string type = MimeTypeOfExtension(ext);
    if (!type.empty() && std::find(types.begin(), types.end(), type) == types.end()) types.push_back(type);
  }
  return types;
}

std::vector<std::string> ExtensionsWithoutMimeType() {
  std::vector<std::string> missing;
  for (const std::string& ext : OpenedExtensions())
    if (MimeTypeOfExtension(ext).empty()) missing.push_back(ext);
  return missing;
}

std::string DesktopEntryText(const std::string& exec) {
  std::string mime;
  for (const std::string& type : OpenedMimeTypes()) mime += type + ";";
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Version=1.4\n"
         "Name=Pixtrel 11\n"
         "GenericName=Image Converter\n"
         "Comment=Convert images between formats and make light changes to them\n"
         "Exec=" +
         exec +
         " %f\n"
         "TryExec=" +
         exec +
         "\n"
         "Icon=pixtrel\n"
         "Terminal=false\n"
         "Categories=Graphics;2DGraphics;RasterGraphics;Viewer;Qt;\n"
         "Keywords=image;picture;photo;convert;icon;gif;png;jpeg;\n"
         "MimeType=" +
         mime + "\n";
}

std::string MimePackageText() {
  std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
  for (const MimeRow& row : kMimeRows) {
    if (!row.comment) continue;
    text += "  <mime-type type=\"" + std::string(row.type) + "\">\n";
    text += "    <comment>" + std::string(row.comment) + "</comment>\n";
    text += "    <glob pattern=\"*" + Lower(row.extension) + "\"/>\n";
    text += "  </mime-type>\n";
  }
  return text + "</mime-info>\n";
}

}  // namespace pixtrel
