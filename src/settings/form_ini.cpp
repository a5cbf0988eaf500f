#include "settings/form_ini.h"

#include "settings/ini_file.h"

namespace pixtrel {

FormIni::FormIni(std::string settingsPath) : settingsPath_(std::move(settingsPath)) {}

void FormIni::LoadFormPlacement(const std::string& windowName, FormPlacement& placement) const {
  const IniFile32 ini(settingsPath_);
  if (ini.ReadBool(windowName, "State", false)) {
    placement.maximized = true;
    return;
  }
  placement.maximized = false;
  placement.left = ini.ReadInteger(windowName, "Left", placement.left);
  placement.top = ini.ReadInteger(windowName, "Top", placement.top);
  placement.width = ini.ReadInteger(windowName, "Width", placement.width);
  placement.height = ini.ReadInteger(windowName, "Height", placement.height);
}

void FormIni::SaveFormPlacement(const std::string& windowName, const FormPlacement& placement) const {
  IniFile32 ini(settingsPath_);
  ini.WriteBool(windowName, "State", placement.maximized);
  if (placement.maximized) return;
  ini.WriteInteger(windowName, "Left", placement.left);
  ini.WriteInteger(windowName, "Top", placement.top);
  ini.WriteInteger(windowName, "Width", placement.width);
  ini.WriteInteger(windowName, "Height", placement.height);
}

void FormIni::ReadSetting(const std::string& section, const std::string& key, std::string& variable) const {
  variable = IniFile32(settingsPath_).ReadString(section, key, variable);
}

std::int64_t FormIni::ReadPixelLimit(std::int64_t defaultLimit) const {
  const std::string text = IniFile32(settingsPath_).ReadString("Settings", "maxPixels", "");
  if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos)
    return defaultLimit;
  return std::stoll(text);
}

void FormIni::WriteSetting(const std::string& section, const std::string& key, const std::string& value) const {
  IniFile32(settingsPath_).WriteString(section, key, value);
}

std::vector<std::string> FormIni::ReadSettingList(const std::string& section) const {
  return IniFile32(settingsPath_).ReadSection(section);
}

void FormIni::WriteSettingList(const std::string& section, const std::vector<std::string>& list) const {
  IniFile32 ini(settingsPath_);
  for (const std::string& item : list) {
    const std::string name = item.substr(0, item.find('='));
    // The value of the first item of that name, so a repeated alias keeps
    // the first folder.
    std::string value;
    for (const std::string& other : list) {
      const std::size_t eq = other.find('=');
      if (other.substr(0, eq) != name) continue;
      if (eq != std::string::npos) value = other.substr(eq + 1);
      break;
    }
    ini.WriteString(section, name, value);
  }
}

}  // namespace pixtrel
