// Icon libraries as files: what one holds, each of its icons written as an
// ICO file, and a library built from ICO files (pixtrel-cli's icl command).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pixtrel::icons {

// One image of an icon: its size and colour depth.
struct IconImageFacts {
  int width = 0;
  int height = 0;
  int bitCount = 0;
};

struct LibraryIconFacts {
  std::string name;
  std::vector<IconImageFacts> images;
};

// The icons of an icon library (.icl) or of a 32-bit program or library, in
// order; empty when none could be read.
std::vector<LibraryIconFacts> ListLibraryIcons(const std::string& path);

// One icon handed out by ExtractLibraryIcons: the ICO file written, or no
// path when the icon has no images and nothing was written.
struct ExtractedIcon {
  int index = 0;
  std::string name;
  std::optional<std::string> path;
};

// Writes each icon of the library at path as folder/<name>.ico (the folder
// is made when missing), reporting each as it goes. Separators and control
// characters in names become "_"; a name met again gets " (2)", " (3)", ... Returns the number of
// icons read: 0 means nothing was read and nothing written.
int ExtractLibraryIcons(const std::string& path, const std::string& folder,
                        const std::function<void(const ExtractedIcon&)>& each);

// Writes a 16-bit icon library of the ICO files, each icon named by its file
// name without folder and extension. Returns the first file that is not an
// icon file (and then writes nothing), or nothing when the library was written.
std::optional<std::string> BuildIconLibrary(const std::string& target, const std::vector<std::string>& icoFiles);

}  // namespace pixtrel::icons
