// Window placement and single settings in the settings file. Every operation
// opens the file afresh and lets it go at the end, so nothing is cached.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pixtrel {

struct FormPlacement {
  bool maximized = false;
  int left = 0, top = 0, width = 0, height = 0;
};

class FormIni {
 public:
  explicit FormIni(std::string settingsPath);

  // Section = windowName. placement's values on entry are the defaults: when
  // "State" is true only maximized is set, else the four bounds are read.
  void LoadFormPlacement(const std::string& windowName, FormPlacement& placement) const;
  // "State", and the four bounds when the window is not maximised.
  void SaveFormPlacement(const std::string& windowName, const FormPlacement& placement) const;

  // variable's current value is the default.
  void ReadSetting(const std::string& section, const std::string& key, std::string& variable) const;
  void WriteSetting(const std::string& section, const std::string& key, const std::string& value) const;
  // The section's "key=value" lines.
  std::vector<std::string> ReadSettingList(const std::string& section) const;
  // Writes every "name=value" item; a name that occurs twice keeps the first
  // item's value. Entries of the file missing from list stay.
  void WriteSettingList(const std::string& section, const std::vector<std::string>& list) const;

  const std::string& SettingsPath() const { return settingsPath_; }

  // "maxPixels" of [Settings]: the most pixels a picture read may have, 0 for
  // no limit of the program's; defaultLimit when absent or not a whole
  // number from 0 on. The program never writes it.
  std::int64_t ReadPixelLimit(std::int64_t defaultLimit) const;

 private:
  std::string settingsPath_;
};

}  // namespace pixtrel
