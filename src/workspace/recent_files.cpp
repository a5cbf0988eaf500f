#include "workspace/recent_files.h"

#include <algorithm>

namespace pixtrel {

void RecentFiles::Add(const std::string& path) {
  if (path.empty()) return;
  Remove(path);
  files_.insert(files_.begin(), path);
  if (files_.size() > kMaxFiles) files_.resize(kMaxFiles);
}

void RecentFiles::Remove(const std::string& path) { std::erase(files_, path); }

std::string RecentFiles::Key(std::size_t index) { return "File" + std::to_string(index + 1); }

void RecentFiles::SetFiles(const std::vector<std::string>& files) {
  files_.clear();
  for (const std::string& file : files) {
    if (file.empty() || std::find(files_.begin(), files_.end(), file) != files_.end()) continue;
    files_.push_back(file);
    if (files_.size() == kMaxFiles) break;
  }
}

std::string NeighbourFile(const std::vector<std::string>& names, const std::string& current, int step,
                          bool (*isPicture)(const std::string& name)) {
  const auto n = static_cast<long>(names.size());
  const auto found = std::find(names.begin(), names.end(), current);
  long index = found == names.end() ? (step > 0 ? -1 : n) : static_cast<long>(found - names.begin());
  for (index += step; index >= 0 && index < n; index += step) {
    const std::string& name = names[static_cast<std::size_t>(index)];
    if (!isPicture || isPicture(name)) return name;
  }
  return std::string();
}

std::string WindowCaption(const std::string& program, const std::string& openFile, bool modified) {
  if (openFile.empty()) return program;
  const std::size_t slash = openFile.find_last_of('/');
  const std::string name = slash == std::string::npos ? openFile : openFile.substr(slash + 1);
  return name + (modified ? " *" : "") + " \u2014 " + program;
}

}  // namespace pixtrel
