// Build step: "pixtrel-make-desktop-files PICTURE.png DIR" writes what the
// install puts on the desktop: DIR/pixtrel.desktop (the menu entry with the
// MIME types of the format table), DIR/pixtrel.xml (the MIME package of the
// program's own types) and DIR/hicolor/NxN/apps/pixtrel.png, the program's
// picture at the usual icon sizes.
#include <QImage>
#include <QString>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "io/desktop_entry.h"

namespace {

bool WriteText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: pixtrel-make-desktop-files PICTURE.png DIR\n");
    return 2;
  }
  const std::filesystem::path dir(argv[2]);
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (!WriteText(dir / "pixtrel.desktop", pixtrel::DesktopEntryText("pixtrel")) ||
      !WriteText(dir / "pixtrel.xml", pixtrel::MimePackageText())) {
    std::fprintf(stderr, "pixtrel-make-desktop-files: cannot write into %s\n", argv[2]);
    return 1;
  }
  const QImage picture(QString::fromLocal8Bit(argv[1]));
  if (picture.isNull()) {
    std::fprintf(stderr, "pixtrel-make-desktop-files: cannot read %s\n", argv[1]);
    return 1;
  }
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    const std::filesystem::path folder = dir / "hicolor" / (std::to_string(size) + "x" + std::to_string(size)) / "apps";
    std::filesystem::create_directories(folder, error);
    const QImage icon = picture.convertToFormat(QImage::Format_ARGB32)
                            .scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (!icon.save(QString::fromStdString((folder / "pixtrel.png").string()), "PNG")) {
      std::fprintf(stderr, "pixtrel-make-desktop-files: cannot write the %dx%d icon\n", size, size);
      return 1;
    }
  }
  return 0;
}
