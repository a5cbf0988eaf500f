// The settings file: a text file of "[section]" headers and "key=value"
// lines, read whole when an IniFile32 is created and written whole, atomically,
// after every change.
#pragma once

#include <string>
#include <vector>

namespace pixtrel {

class IniFile32 {
 public:
  // Loads the file's lines; an absent file is an empty list.
  explicit IniFile32(std::string path);

  // The value of the section's first entry with exactly this key; defaultValue
  // when the value is empty or there is no such entry or section.
  std::string ReadString(const std::string& section, const std::string& key, const std::string& defaultValue) const;
  // "0x"/"0X" followed by at least one character is hexadecimal, anything else
  // decimal; a text that is not a whole integer gives defaultValue.
  int ReadInteger(const std::string& section, const std::string& key, int defaultValue) const;
  bool ReadBool(const std::string& section, const std::string& key, bool defaultValue) const;
  // "key=value" for every entry of the section with a non-empty key, in file order.
  std::vector<std::string> ReadSection(const std::string& section) const;

  // Replaces the section's first entry with this key, or inserts the entry
  // where the section ends, or appends an empty line, the header and the entry.
  // An empty key writes no entry. The file is rewritten at once; when that
  // fails a FileError carries the platform's reason and the previous file
  // stays as it was.
  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& key, int value);
  void WriteBool(const std::string& section, const std::string& key, bool value);

  const std::string& Path() const { return path_; }
  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  // Index of the section's header line, or -1.
  long FindSection(const std::string& section) const;
  // Index one past the section's last line.
  std::size_t SectionEnd(std::size_t header) const;
  void Save() const;

  std::string path_;
  std::vector<std::string> lines_;
};

}  // namespace pixtrel
