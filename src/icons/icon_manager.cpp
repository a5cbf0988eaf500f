#include "icons/icon_manager.h"

#include "core/stream.h"

namespace pixtrel::icons {

namespace {

constexpr char kRenameCaption[] = "Icon Rename";
constexpr char kRenamePrompt[] = "Rename to:";

// Moves every image of from into to, which is cleared first.
void TakeImages(AdvancedIcon& from, AdvancedIcon& to) {
  to.Images().Clear();
  to.Images().SetCapacity(from.Images().Count());
  while (from.Images().Count() > 0) to.Images().Add(from.Images().Remove(0, false));
}

}  // namespace

int RowHeight(const IconImage* image) { return image ? image->PixelHeight() + 4 : kDefaultRowHeight; }

int RowImageX(const IconImage& image) { return (kRowImageColumn - image.PixelWidth()) / 2; }

int RowCaptionY(int rowTop, const IconImage* image, int textHeight) {
  // A row without an image centres its caption as if the image filled it.
  const int imageHeight = image ? image->PixelHeight() : kDefaultRowHeight - 4;
  return rowTop + 2 + (imageHeight - textHeight) / 2;
}

Bitmap ImageOnWhite(const IconImage& image) {
  Bitmap bitmap(image.PixelWidth(), image.PixelHeight(), pf24bit);
  bitmap.Fill(clWhite);
  image.DrawAt(bitmap, 0, 0);
  return bitmap;
}

std::string ChangeFileExt(const std::string& fileName, const std::string& ext) {
  const std::size_t slash = fileName.find_last_of('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = fileName.rfind('.');
  if (dot != std::string::npos && dot >= nameStart) return fileName.substr(0, dot) + ext;
  return fileName + ext;
}

std::string WithDefaultExt(const std::string& fileName, const std::string& ext) {
  const std::size_t slash = fileName.find_last_of('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = fileName.rfind('.');
  if (dot != std::string::npos && dot >= nameStart) return fileName;
  return fileName + ext;
}

void IconManager::ClickLibraryRow(int index) {
  if (index < 0 || index >= Library.Icons.Count()) return;
  selectedIcon_ = index;
  SelectLibraryIcon();
}

void IconManager::SelectImageRow(int index) {
  if (index < 0 || index >= CurrentIcon.Images().Count()) return;
  selectedImage_ = index;
}

void IconManager::RefreshLibrary() {
  selectedIcon_ = Library.Icons.Count() > 0 ? 0 : -1;
  if (libraryRefreshed) libraryRefreshed();
  if (selectedIcon_ >= 0) SelectLibraryIcon();
}

void IconManager::SelectLibraryIcon() {
  if (selectedIcon_ < 0 || selectedIcon_ >= Library.Icons.Count()) return;
  CurrentIcon.Assign(*Library.Icons.Icon(selectedIcon_));
  RefreshIconList();
}

void IconManager::RefreshIconList() {
  selectedImage_ = CurrentIcon.Images().Count() > 0 ? 0 : -1;
  if (iconListRefreshed) iconListRefreshed();
}

void IconManager::StoreBack() {
  if (selectedIcon_ < 0 || selectedIcon_ >= Library.Icons.Count()) return;
  Library.Icons.Icon(selectedIcon_)->Assign(CurrentIcon);
}

void IconManager::ImagesChanged() {
  RefreshIconList();
  StoreBack();
}

void IconManager::LoadIcon(const std::string& fileName) {
  // Read aside first: a file that fails to read leaves everything as it was.
  AdvancedIcon loaded;
  loaded.LoadFromFile(fileName);
  TakeImages(loaded, CurrentIcon);
  Library.Icons.Clear();
  RefreshLibrary();
  RefreshIconList();
}

void IconManager::SaveIcon(const std::string& fileName) const {
  if (CanSaveIcon()) CurrentIcon.SaveToFile(fileName);
}

void IconManager::LoadLibraryFile(const std::string& fileName) {
  Library.LoadFromFile(fileName);
  RefreshLibrary();
}

void IconManager::LoadFromProgram(const std::string& programPath, const std::string& iconsFolder) {
  Library.LoadFromProgram(programPath, iconsFolder);
  RefreshLibrary();
}

void IconManager::SaveLibrary(const std::string& fileName) const {
  if (CanSaveLibrary()) Library.SaveToFile(fileName);
}

void IconManager::ClearLibrary() {
  Library.Icons.Clear();
  CurrentIcon.Images().Clear();
  RefreshLibrary();
  RefreshIconList();
}

void IconManager::AppendIcons(const std::vector<std::string>& fileNames) {
  try {
    for (const std::string& fileName : fileNames) {
      auto icon = std::make_unique<AdvancedIcon>();
      try {
        icon->LoadFromFile(fileName);
      } catch (const EReadError&) {
        // A file shorter than its directory promises still gives its icon,
        // without images, like any other file that is no icon.
        icon->Images().Clear();
      }
      Library.Icons.AddIcon(BaseName(fileName), std::move(icon));
    }
  } catch (...) {
    // The icons added before a file that could not be opened stay and show.
    RefreshLibrary();
    throw;
  }
  RefreshLibrary();
}

void IconManager::DeleteIcon() {
  if (selectedIcon_ < 0 || selectedIcon_ >= Library.Icons.Count()) return;
  Library.Icons.Delete(selectedIcon_);
  RefreshLibrary();
}

void IconManager::RenameIcon(UserInteraction& interaction) {
  if (selectedIcon_ < 0 || selectedIcon_ >= Library.Icons.Count()) return;
  const std::optional<std::string> name =
      interaction.InputQuery(kRenameCaption, kRenamePrompt, Library.Icons.Name(selectedIcon_));
  if (!name || name->empty()) return;
  Library.Icons.SetName(selectedIcon_, *name);
  RefreshLibrary();
}

void IconManager::AddIconFromStream(MemoryStream& stream, const std::string& name) {
  auto icon = std::make_unique<AdvancedIcon>();
  icon->LoadFromStream(stream);
  Library.Icons.AddIcon(name, std::move(icon));
  RefreshLibrary();
}

void IconManager::SortSize() {
  CurrentIcon.Images().SortBySize();
  ImagesChanged();
}

void IconManager::SortColors() {
  CurrentIcon.Images().SortByColors();
  ImagesChanged();
}

void IconManager::CopyImage() {
  if (const IconImage* image = SelectedImagePtr()) copiedImage_ = std::make_unique<IconImage>(*image);
}

void IconManager::PasteAppend() {
  if (!copiedImage_) return;
  CurrentIcon.Images().Add(std::make_unique<IconImage>(*copiedImage_));
  ImagesChanged();
}

void IconManager::DeleteImage() {
  if (!SelectedImagePtr() || CurrentIcon.Images().Count() < 2) return;
  CurrentIcon.Images().Delete(selectedImage_);
  ImagesChanged();
}

void IconManager::SwapImages(int dragged, int target) {
  const IconImageList& images = CurrentIcon.Images();
  if (!images.Get(dragged) || !images.Get(target)) return;
  CurrentIcon.Images().Exchange(dragged, target);
  ImagesChanged();
}

}  // namespace pixtrel::icons
