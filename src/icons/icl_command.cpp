#include "icons/icl_command.h"

#include <filesystem>
#include <ostream>

#include "core/stream.h"
#include "icons/icon_library.h"

namespace pixtrel::icons {

namespace {

// A library name made safe as a file name in one folder.
std::string FileNameOf(const std::string& name, int index) {
  std::string safe;
  for (char c : name) safe += (c == '/' || c == '\\' || c == '\0') ? '_' : c;
  if (safe.empty() || safe == "." || safe == "..") safe = "icon " + std::to_string(index + 1);
  return safe;
}

bool LoadLibrary(const std::string& path, IconLibrary& library, std::ostream& err) {
  library.LoadFromFile(path);
  if (library.Icons.Count() == 0) {
    err << "error: no icons were read from " << path << '\n';
    return false;
  }
  return true;
}

}  // namespace

int RunIclCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() < 2) return 2;
  const std::string& action = args[1];
  if (action == "list" && args.size() == 3) {
    IconLibrary library;
    if (!LoadLibrary(args[2], library, err)) return 1;
    for (int i = 0; i < library.Icons.Count(); ++i) {
      out << i << '\t' << library.Icons.Name(i) << '\t';
      const IconImageList& images = library.Icons.Icon(i)->Images();
      for (int j = 0; j < images.Count(); ++j) {
        const IconImage& image = *images.Get(j);
        out << (j ? " " : "") << image.PixelWidth() << 'x' << image.PixelHeight() << '@' << image.BitCount();
      }
      out << '\n';
    }
    return 0;
  }
  if (action == "extract" && args.size() == 4) {
    IconLibrary library;
    if (!LoadLibrary(args[2], library, err)) return 1;
    const std::filesystem::path folder(args[3]);
    std::filesystem::create_directories(folder);
    for (int i = 0; i < library.Icons.Count(); ++i) {
      const std::string path = (folder / (FileNameOf(library.Icons.Name(i), i) + ".ico")).string();
      const std::vector<std::uint8_t> bytes = library.Icons.Icon(i)->SaveToBytes();
      if (bytes.empty()) {
        err << "warning: icon " << i << " (" << library.Icons.Name(i) << ") has no images; nothing written\n";
        continue;
      }
      WriteFileBytes(path, bytes);
      out << path << '\n';
    }
    return 0;
  }
  if (action == "build" && args.size() >= 4) {
    IconLibrary library;
    for (std::size_t i = 3; i < args.size(); ++i) {
      auto icon = std::make_unique<ICL16Icon>();
      if (!icon->LoadFromFile(args[i])) {
        err << "error: " << args[i] << " is not an icon file\n";
        return 1;
      }
      icon->Name = BaseName(args[i]);
      std::string name = icon->Name;
      library.Icons.AddIcon(std::move(name), std::move(icon));
    }
    library.SaveToFile(args[2]);
    out << args[2] << '\n';
    return 0;
  }
  return 2;
}

}  // namespace pixtrel::icons
