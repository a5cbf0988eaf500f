#include "icons/icl_files.h"

#include <filesystem>
#include <set>

#include "core/stream.h"
#include "icons/icon_library.h"

namespace pixtrel::icons {

namespace {

// A library name made safe as a file name in one folder: separators and
// control characters become "_".
std::string FileNameOf(const std::string& name, int index) {
  std::string safe;
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    safe += (c == '/' || c == '\\' || byte < 0x20 || byte == 0x7F) ? '_' : c;
  }
  if (safe.empty() || safe == "." || safe == "..") safe = "icon " + std::to_string(index + 1);
  return safe;
}

// name, or "name (2)", "name (3)", ... when an earlier icon of this
// extraction took it: one icon never overwrites another.
std::string UniqueFileName(const std::string& name, std::set<std::string>& taken) {
  std::string candidate = name;
  for (int n = 2; !taken.insert(candidate).second; ++n) candidate = name + " (" + std::to_string(n) + ")";
  return candidate;
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
  std::set<std::string> taken;
  for (int i = 0; i < count; ++i) {
    ExtractedIcon icon{i, library.Icons.Name(i), std::nullopt};
    const std::vector<std::uint8_t> bytes = library.Icons.Icon(i)->SaveToBytes();
    if (!bytes.empty()) {
      const std::string file = (target / (UniqueFileName(FileNameOf(icon.name, i), taken) + ".ico")).string();
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
