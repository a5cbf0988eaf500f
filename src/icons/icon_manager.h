// The icon manager's model: one icon library, a copy of the selected library
// icon whose images are edited, and one copied image. Every change to the
// images is written back into the library at once; the library reaches the
// disk only through SaveLibrary. The window shows the two lists and runs the
// commands; the lists are re-read through the two notifications.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/bitmap.h"
#include "core/interaction.h"
#include "icons/icon_image.h"
#include "icons/icon_library.h"

namespace pixtrel {

class MemoryStream;

namespace icons {

// Row layout of both lists: the height of the row's image plus 4, or 48
// for a row without an image; the image centred in the first 60 pixels; the
// caption at x = 100, centred on the image.
constexpr int kDefaultRowHeight = 48;
constexpr int kRowImageColumn = 60;
constexpr int kRowCaptionX = 100;
int RowHeight(const IconImage* image);
int RowImageX(const IconImage& image);
// The caption's top in a row whose top is rowTop.
int RowCaptionY(int rowTop, const IconImage* image, int textHeight);

// A bitmap of the image's size, white, with the image drawn on it through its
// mask: transparent pixels come out white.
Bitmap ImageOnWhite(const IconImage& image);

// The name with the extension of its file name (from the last dot) replaced
// by ext, which starts with its dot; ext is added when the name has none.
std::string ChangeFileExt(const std::string& fileName, const std::string& ext);
// The name with ext added when its file name has no extension (the default
// extension of the save dialogs).
std::string WithDefaultExt(const std::string& fileName, const std::string& ext);

class IconManager {
 public:
  IconLibrary Library;
  // A copy of the selected library icon; the image list shows its images.
  AdvancedIcon CurrentIcon;

  // The selected library icon and image, -1 for none.
  int SelectedIcon() const { return selectedIcon_; }
  int SelectedImage() const { return selectedImage_; }
  const IconImage* SelectedImagePtr() const { return CurrentIcon.Images().Get(selectedImage_); }
  // A click in the library list: the row becomes the selection and
  // SelectLibraryIcon runs. A row outside the list changes nothing.
  void ClickLibraryRow(int index);
  // A click in the image list.
  void SelectImageRow(int index);
  bool HasCopiedImage() const { return copiedImage_ != nullptr; }

  // The window's caption: "Library: " and the library's file name.
  std::string Caption() const { return "Library: " + Library.FileName; }

  // Called after the library list, and after the image list, was refilled.
  std::function<void()> libraryRefreshed;
  std::function<void()> iconListRefreshed;

  // The library list takes the library's names; the first icon is selected
  // and SelectLibraryIcon runs when there is one.
  void RefreshLibrary();
  // CurrentIcon := a copy of the selected library icon; RefreshIconList.
  void SelectLibraryIcon();
  // The image list takes CurrentIcon's images; the first row is selected.
  void RefreshIconList();
  // The selected library icon := a copy of CurrentIcon.
  void StoreBack();

  // "Load &Icon": CurrentIcon := the ICO file; the library's icons go.
  void LoadIcon(const std::string& fileName);
  bool CanSaveIcon() const { return CurrentIcon.Images().Count() > 0; }
  void SaveIcon(const std::string& fileName) const;
  // "&Load Library" and the file browser's ".icl": a library file.
  void LoadLibraryFile(const std::string& fileName);
  // The program's own icons (showing the window).
  void LoadFromProgram(const std::string& programPath, const std::string& iconsFolder = std::string());
  bool CanSaveLibrary() const { return Library.Icons.Count() > 0; }
  // Raises EICLReadError on the writer's limits.
  void SaveLibrary(const std::string& fileName) const;

  // The library menu.
  void ClearLibrary();
  // Each file becomes an icon named by its base name, whether it read as an
  // icon or not.
  void AppendIcons(const std::vector<std::string>& fileNames);
  void DeleteIcon();
  // "Icon Rename" / "Rename to:" with the current name; an empty answer
  // keeps the name.
  void RenameIcon(UserInteraction& interaction);
  // A new icon read from an ICO stream, under the name.
  void AddIconFromStream(MemoryStream& stream, const std::string& name);

  // The icon menu.
  void SortSize();
  void SortColors();
  void CopyImage();
  void PasteAppend();
  // An icon keeps at least one image: the last one is not deleted.
  void DeleteImage();
  // A dragged image row dropped on another: the two images change places.
  void SwapImages(int dragged, int target);

 private:
  void ImagesChanged();

  int selectedIcon_ = -1;
  int selectedImage_ = -1;
  std::unique_ptr<IconImage> copiedImage_;
};

}  // namespace icons
}  // namespace pixtrel
