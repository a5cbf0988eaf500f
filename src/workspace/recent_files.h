// What the desktop program keeps about the files the user opens: the list of
// recent files, the next and previous picture of a folder's list, and the
// window caption naming the open file.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace pixtrel {

// The most recently opened files, newest first, each once.
class RecentFiles {
 public:
  static constexpr std::size_t kMaxFiles = 8;

  // Puts path first, removing an earlier entry of it and the oldest beyond kMaxFiles.
  void Add(const std::string& path);
  void Remove(const std::string& path);
  const std::vector<std::string>& Files() const { return files_; }

  // Settings keys "File1".."File8" in order; empty and repeated values are skipped.
  static std::string Key(std::size_t index);
  void SetFiles(const std::vector<std::string>& files);

 private:
  std::vector<std::string> files_;
};

// The name step places after (step 1) or before (step -1) current in names,
// passing over names of which isPicture says no; empty at either end. When
// current is not in names, the first (step 1) or last (step -1) picture.
std::string NeighbourFile(const std::vector<std::string>& names, const std::string& current, int step,
                          bool (*isPicture)(const std::string& name));

// "photo.jpg — Pixtrel 11", "photo.jpg * — Pixtrel 11" once the image changed
// since it was opened or saved, and the program's caption alone when no file
// was opened.
std::string WindowCaption(const std::string& program, const std::string& openFile, bool modified);

}  // namespace pixtrel
