#include "settings/ini_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>

#include <unistd.h>

#include "core/errors.h"
#include "core/stream.h"

namespace pixtrel {

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

// Removes blanks and control characters from both ends.
std::string Trim(const std::string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// The key of an entry line: the trimmed text before the first "="; empty
// for a line without one.
std::string KeyOf(const std::string& line) {
  const std::size_t eq = line.find('=');
  if (eq == std::string::npos) return std::string();
  return Trim(line.substr(0, eq));
}

std::string ValueOf(const std::string& line) {
  const std::size_t eq = line.find('=');
  if (eq == std::string::npos) return std::string();
  return Trim(line.substr(eq + 1));
}

bool IsHeaderLine(const std::string& line) {
  const std::string trimmed = Trim(line);
  return trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']';
}

// One write makes one line: a line break inside a name or value would
// otherwise start a line of its own (even a section header) on the next read.
std::string OneLine(std::string text) {
  std::replace(text.begin(), text.end(), '\n', ' ');
  std::replace(text.begin(), text.end(), '\r', ' ');
  return text;
}

bool ParseInteger(const std::string& text, int& result) {
  if (text.empty()) return false;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    // Up to 32 bits, as a register holds them: 0xFFFFFFFF is -1.
    std::uint64_t value = 0;
    for (std::size_t i = 2; i < text.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(text[i]);
      if (!std::isxdigit(c)) return false;
      value = value * 16 + static_cast<std::uint64_t>(std::isdigit(c) ? c - '0' : std::tolower(c) - 'a' + 10);
      if (value > 0xFFFFFFFFull) return false;
    }
    result = static_cast<int>(static_cast<std::uint32_t>(value));
    return true;
  }
  std::size_t i = 0;
  bool negative = false;
  if (text[0] == '+' || text[0] == '-') {
    negative = text[0] == '-';
    i = 1;
  }
  if (i == text.size()) return false;
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (!std::isdigit(c)) return false;
    value = value * 10 + (c - '0');
    if (value > static_cast<std::int64_t>(std::numeric_limits<int>::max()) + 1) return false;
  }
  if (negative) value = -value;
  if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) return false;
  result = static_cast<int>(value);
  return true;
}

}  // namespace

IniFile32::IniFile32(std::string path) : path_(std::move(path)) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path_, ec)) return;
  std::vector<std::uint8_t> bytes;
  try {
    bytes = ReadFileBytes(path_);
  } catch (const EFOpenError&) {
    return;  // unreadable reads as empty, like an absent file
  }
  // Every carriage return ending a line goes: a line kept with one would be
  // written back as "...\r\n" and read as another line than the one written.
  const auto endLine = [this](std::string& line) {
    while (!line.empty() && line.back() == '\r') line.pop_back();
    lines_.push_back(std::move(line));
    line.clear();
  };
  std::string line;
  for (const std::uint8_t byte : bytes) {
    if (byte == '\n')
      endLine(line);
    else
      line += static_cast<char>(byte);
  }
  if (!line.empty()) endLine(line);
}

long IniFile32::FindSection(const std::string& section) const {
  const std::string header = "[" + section + "]";
  for (std::size_t i = 0; i < lines_.size(); ++i)
    if (EqualIgnoringCase(lines_[i], header)) return static_cast<long>(i);
  return -1;
}

std::size_t IniFile32::SectionEnd(std::size_t header) const {
  std::size_t i = header + 1;
  while (i < lines_.size() && !IsHeaderLine(lines_[i])) ++i;
  return i;
}

std::string IniFile32::ReadString(const std::string& section, const std::string& key,
                                  const std::string& defaultValue) const {
  const long header = FindSection(section);
  if (header < 0 || key.empty()) return defaultValue;
  const std::size_t end = SectionEnd(static_cast<std::size_t>(header));
  for (std::size_t i = static_cast<std::size_t>(header) + 1; i < end; ++i) {
    if (KeyOf(lines_[i]) != key) continue;
    std::string value = ValueOf(lines_[i]);
    return value.empty() ? defaultValue : value;
  }
  return defaultValue;
}

int IniFile32::ReadInteger(const std::string& section, const std::string& key, int defaultValue) const {
  int value = 0;
  return ParseInteger(ReadString(section, key, std::string()), value) ? value : defaultValue;
}

bool IniFile32::ReadBool(const std::string& section, const std::string& key, bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

std::vector<std::string> IniFile32::ReadSection(const std::string& section) const {
  std::vector<std::string> list;
  const long header = FindSection(section);
  if (header < 0) return list;
  const std::size_t end = SectionEnd(static_cast<std::size_t>(header));
  for (std::size_t i = static_cast<std::size_t>(header) + 1; i < end; ++i) {
    const std::string key = KeyOf(lines_[i]);
    if (!key.empty()) list.push_back(key + "=" + ValueOf(lines_[i]));
  }
  return list;
}

void IniFile32::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  const std::string name = OneLine(section);
  const std::string entryKey = OneLine(key);
  const std::string entry = entryKey + "=" + OneLine(value);
  std::vector<std::string> lines = lines_;
  const long header = FindSection(name);
  if (header < 0) {
    lines.emplace_back();
    lines.push_back("[" + name + "]");
    if (!entryKey.empty()) lines.push_back(entry);
  } else if (!entryKey.empty()) {
    const std::size_t end = SectionEnd(static_cast<std::size_t>(header));
    std::size_t at = static_cast<std::size_t>(header) + 1;
    while (at < end && KeyOf(lines[at]) != entryKey) ++at;
    if (at < end)
      lines[at] = entry;
    else
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(end), entry);
  }
  // The lines in memory change only once the file holds them.
  std::swap(lines_, lines);
  try {
    Save();
  } catch (...) {
    std::swap(lines_, lines);
    throw;
  }
}

void IniFile32::WriteInteger(const std::string& section, const std::string& key, int value) {
  WriteString(section, key, std::to_string(value));
}

void IniFile32::WriteBool(const std::string& section, const std::string& key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void IniFile32::Save() const {
  std::string text;
  for (const std::string& line : lines_) {
    text += line;
    text += '\n';
  }
  // The file is replaced by renaming, which would also replace a file the
  // user made read-only; such a file is refused as the platform would refuse
  // writing into it.
  std::error_code ec;
  if (std::filesystem::exists(path_, ec) && ::access(path_.c_str(), W_OK) != 0)
    throw FileError(path_, std::strerror(errno));
  errno = 0;
  try {
    WriteFileBytes(path_, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
  } catch (const Exception&) {
    const int error = errno;
    throw FileError(path_, error ? std::strerror(error) : "Write error");
  }
}

}  // namespace pixtrel
