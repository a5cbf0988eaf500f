#include "icons/icl_files.h"

#include <filesystem>

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

}  // namespace

std::vector<LibraryIconFacts> ListLibraryIcons(const std::string& path) {
  IconLibrary library;
  library.LoadFromFile(path);
  std::vector<LibraryIconFacts> icons;
  for (int i = 0; i < library.Icons.Count(); ++i) {
    LibraryIconFacts facts{library.Icons.Name(i), {}};
    const IconImageList& images = library.Icons.Icon(i)->Images();
    for (int j = 0; j < images.Count(); ++j) {
      const IconImage& image = *images.Get(j);
      facts.images.push_back({image.PixelWidth(), image.PixelHeight(), image.BitCount()});
    }
    icons.push_back(std::move(facts));
  }
  return icons;
}

int ExtractLibraryIcons(const std::string& path, const std::string& folder,
                        const std::function<void(const ExtractedIcon&)>& each) {
  IconLibrary library;
  library.LoadFromFile(path);
  const int count = library.Icons.Count();
  if (count == 0) return 0;
  const std::filesystem::path target(folder);
  std::filesystem::create_directories(target);
  for (int i = 0; i < count; ++i) {
    ExtractedIcon icon{i, library.Icons.Name(i), std::nullopt};
    const std::vector<std::uint8_t> bytes = library.Icons.Icon(i)->SaveToBytes();
    if (!bytes.empty()) {
      const std::string file = (target / (FileNameOf(icon.name, i) + ".ico")).string();
      WriteFileBytes(file, bytes);
      icon.path = file;
    }
    each(icon);
  }
  return count;
}

std::optional<std::string> BuildIconLibrary(const std::string& target, const std::vector<std::string>& icoFiles) {
  IconLibrary library;
  for (const std::string& file : icoFiles) {
    auto icon = std::make_unique<ICL16Icon>();
    if (!icon->LoadFromFile(file)) return file;
    icon->Name = BaseName(file);
    std::string name = icon->Name;
    library.Icons.AddIcon(std::move(name), std::move(icon));
  }
  library.SaveToFile(target);
  return std::nullopt;
}

}  // namespace pixtrel::icons
