#include "settings/settings_location.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <pwd.h>
#include <unistd.h>

#include "core/errors.h"
#include "core/stream.h"

namespace pixtrel {

namespace {

constexpr int kCustomColorCount = 16;

std::string WithSeparator(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) return entry->pw_dir;
  return "/tmp";
}

// The per-user configuration folder: $XDG_CONFIG_HOME when it is an absolute
// path, else ~/.config.
std::string ConfigHome() {
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/') return config;
  return WithSeparator(HomeFolder()) + ".config";
}

std::string DataHome() {
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && data[0] == '/') return data;
  return WithSeparator(HomeFolder()) + ".local/share";
}

std::string FileNameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

int HexDigit(unsigned char c) {
  if (std::isdigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Trim(const std::string& text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  return text.substr(begin, end - begin);
}

}  // namespace

std::string ProgramFolder(const std::string& programPath) {
  std::error_code ec;
  std::filesystem::path path = std::filesystem::absolute(programPath, ec);
  if (ec) path = programPath;
  return WithSeparator(path.parent_path().string());
}

std::string SettingsFolder(const std::string& programFolder) {
  const std::string folder = WithSeparator(programFolder);
  if (::access(folder.c_str(), W_OK | X_OK) == 0) return folder;
  const std::string fallback = WithSeparator(ConfigHome()) + "pixtrel/";
  // A folder that cannot be made shows up as a FileError at the first write.
  std::error_code ec;
  std::filesystem::create_directories(fallback, ec);
  return fallback;
}

std::string ShippedDataFolder(const std::string& programFolder) {
  const std::string folder = WithSeparator(programFolder);
  std::error_code ec;
  // A build folder or an unpacked program keeps its data beside the program.
  if (std::filesystem::is_directory(folder + "wizards", ec)) return folder;
  const std::filesystem::path installed =
      std::filesystem::path(folder).parent_path().parent_path() / "share" / "pixtrel";
  if (std::filesystem::is_directory(installed, ec)) return WithSeparator(installed.string());
  return folder;
}

std::string WritableDataFolder(const std::string& programFolder) {
  const std::string folder = WithSeparator(programFolder);
  if (::access(folder.c_str(), W_OK | X_OK) == 0) return folder;
  const std::string fallback = WithSeparator(DataHome()) + "pixtrel/";
  std::error_code ec;
  std::filesystem::create_directories(fallback, ec);
  return fallback;
}

std::string SettingsFilePath(const std::string& programPath) {
  std::string name = FileNameOf(programPath);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return SettingsFolder(ProgramFolder(programPath)) + name + ".ini";
}

std::string CustomColorsFilePath(const std::string& programPath) {
  return SettingsFolder(ProgramFolder(programPath)) + "PixtrelCC.txt";
}

std::vector<Color> ReadCustomColors(const std::string& path) {
  std::vector<Color> colors(kCustomColorCount, clWhite);
  std::vector<std::uint8_t> bytes;
  try {
    bytes = ReadFileBytes(path);
  } catch (const EFOpenError&) {
    return colors;
  }
  const std::string text(bytes.begin(), bytes.end());
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = Trim(line.substr(0, eq));
    const std::string value = Trim(line.substr(eq + 1));
    if (key.size() != 6 || key.compare(0, 5, "Color") != 0) continue;
    const int index = std::toupper(static_cast<unsigned char>(key[5])) - 'A';
    if (index < 0 || index >= kCustomColorCount) continue;
    if (value.empty() || value.size() > 8) continue;
    Color color = 0;
    bool valid = true;
    for (const char c : value) {
      const int digit = HexDigit(static_cast<unsigned char>(c));
      if (digit < 0) {
        valid = false;
        break;
      }
      color = color * 16 + static_cast<Color>(digit);
    }
    if (valid) colors[static_cast<std::size_t>(index)] = color & 0xFFFFFF;
  }
  return colors;
}

void WriteCustomColors(const std::string& path, const std::vector<Color>& colors) {
  std::string text;
  for (int i = 0; i < kCustomColorCount; ++i) {
    const Color color = static_cast<std::size_t>(i) < colors.size() ? colors[static_cast<std::size_t>(i)] : clWhite;
    char line[32];
    std::snprintf(line, sizeof line, "Color%c=%06X\n", 'A' + i, static_cast<unsigned>(color & 0xFFFFFF));
    text += line;
  }
  errno = 0;
  try {
    WriteFileBytes(path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
  } catch (const Exception&) {
    const int error = errno;
    throw FileError(path, error ? std::strerror(error) : "Write error");
  }
}

}  // namespace pixtrel
