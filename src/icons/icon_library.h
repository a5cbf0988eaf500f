// Icon libraries: named, ordered lists of icons kept in one file. 16-bit
// resource modules (".icl") are read and written; the group icons of 32-bit
// executables and libraries are read from their resource directory.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "core/errors.h"
#include "icons/icon_errors.h"
#include "icons/icon_image.h"

namespace pixtrel::icons {

// An icon with its name (TICL16Icon).
class ICL16Icon : public AdvancedIcon {
 public:
  std::string Name;
};

// Names with owned icons, in insertion order; duplicates allowed.
class IconList {
 public:
  IconList() = default;
  IconList(const IconList&) = delete;
  IconList& operator=(const IconList&) = delete;
  // Clears (freeing the icons), then takes over other's names and icons.
  void Assign(IconList& other);

  int Count() const { return static_cast<int>(items_.size()); }
  const std::string& Name(int index) const { return items_.at(index).first; }
  void SetName(int index, std::string name) { items_.at(index).first = std::move(name); }
  AdvancedIcon* Icon(int index) const { return items_.at(index).second.get(); }
  // Nothing without an icon; an empty name becomes "Icon <count + 1>".
  void AddIcon(std::string name, std::unique_ptr<AdvancedIcon> icon);
  void Delete(int index);
  void Clear() { items_.clear(); }

 private:
  std::vector<std::pair<std::string, std::unique_ptr<AdvancedIcon>>> items_;
};

enum class ModuleKind { None, Win16, Win32 };

// "MZ", then "NE" or "PE" at the offset stored at byte 60.
ModuleKind GetModuleKind(std::span<const std::uint8_t> bytes);
ModuleKind GetModuleKind(const std::string& fileName);

class ICLReader {
 public:
  explicit ICLReader(std::string fileName) : FileName(std::move(fileName)) {}
  virtual ~ICLReader() = default;
  // True when the file was read; the icons are then in List. Any error
  // leaves List empty and gives false.
  bool Load();
  // Reads the icons of a file's bytes into List; raises on damage.
  virtual void Read(std::span<const std::uint8_t> bytes) = 0;

  std::string FileName;
  IconList List;
};

// 16-bit (NE) resource modules; Read raises the EICLReadError itself.
class T16BitReader : public ICLReader {
 public:
  using ICLReader::ICLReader;
  void Read(std::span<const std::uint8_t> bytes) override;
  // Names read from the file before the naming rule was applied.
  const std::vector<std::string>& NamesRead() const { return names_; }

 private:
  std::vector<std::string> names_;
};

// 32-bit (PE) executables and libraries: group icons from the resource
// directory, named ones first, then integer IDs ascending.
class T32BitReader : public ICLReader {
 public:
  using ICLReader::ICLReader;
  void Read(std::span<const std::uint8_t> bytes) override;
};

// Writes the 16-bit library file byte for byte as the icon manager saves it.
class T16BitWriter {
 public:
  explicit T16BitWriter(const IconList& icons) : icons_(icons) {}
  // Raises EICLReadError on the limits.
  std::vector<std::uint8_t> Write() const;
  // The shift the writer chose for the last Write.
  int AlignShift() const { return alignShift_; }

 private:
  bool Build(int shift, std::vector<std::uint8_t>& out) const;

  const IconList& icons_;
  mutable int alignShift_ = 0;
};

class IconLibrary {
 public:
  std::string FileName;
  IconList Icons;

  // Replaces the icons by those of the file; unchanged when the file is no
  // library (FileName is still set once the module kind is known).
  void LoadFromFile(const std::string& fileName);
  // The program's own icons: FileName := the program's path, the icons :=
  // those of the "icons" folder beside it (or of iconsFolder when given: an
  // installed program keeps them with its data), one icon per ICO file by
  // name. An empty path stands for the running program.
  void LoadFromProgram(const std::string& programPath = std::string(), const std::string& iconsFolder = std::string());
  void SaveToFile(const std::string& fileName) const;
};

// The file name without folder and extension.
std::string BaseName(const std::string& fileName);

}  // namespace pixtrel::icons
