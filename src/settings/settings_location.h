// Where the program keeps its settings file and custom colours file.
#pragma once

#include <string>
#include <vector>

#include "core/color.h"

namespace pixtrel {

// The folder of the program file, ending with the separator.
std::string ProgramFolder(const std::string& programPath);
// The program folder when it is writable, else $XDG_CONFIG_HOME/pixtrel/
// (~/.config/pixtrel/ when that is unset), created on demand. Ends with the
// separator.
std::string SettingsFolder(const std::string& programFolder);
// Where the files shipped with the program are found (preview pages, wizards,
// the manual, icons): the program folder when it holds them, else
// <prefix>/share/pixtrel/ for an installed program in <prefix>/bin. Ends with
// the separator.
std::string ShippedDataFolder(const std::string& programFolder);
// Where the program writes files of its own that are not settings (browser
// previews): the program folder when it is writable, else
// $XDG_DATA_HOME/pixtrel/ (~/.local/share/pixtrel/ when that is unset),
// created on demand. Ends with the separator.
std::string WritableDataFolder(const std::string& programFolder);
// <settings folder>/<program file name>.ini ("pixtrel.ini").
std::string SettingsFilePath(const std::string& programPath);
// <settings folder>/PixtrelCC.txt.
std::string CustomColorsFilePath(const std::string& programPath);

// The 16 custom colours of the colour dialog, "ColorA" to "ColorP"; absent or
// unreadable ones are white.
std::vector<Color> ReadCustomColors(const std::string& path);
// Lines "ColorA=XXXXXX" .. "ColorP=XXXXXX" (six hex digits of the colour
// value); missing colours are written white. Throws FileError.
void WriteCustomColors(const std::string& path, const std::vector<Color>& colors);

}  // namespace pixtrel
