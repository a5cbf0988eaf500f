// The settings file and custom colours readers on arbitrary bytes: every read
// and a write of the parsed file, which must read back what was written.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "settings/ini_file.h"
#include "settings/settings_location.h"

namespace {

std::string TempPath(const char* name) {
  static const std::string folder = [] {
    char pattern[] = "/tmp/fuzz_settings.XXXXXX";
    const char* made = mkdtemp(pattern);
    return std::string(made ? made : "/tmp");
  }();
  return folder + "/" + name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = TempPath("fuzz.ini");
  if (FILE* file = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data, 1, size, file);
    std::fclose(file);
  }
  pixtrel::IniFile32 ini(path);
  // Names drawn from the input itself reach its sections and keys.
  std::string section, key;
  for (const std::string& line : ini.Lines()) {
    if (line.size() > 2 && line.front() == '[' && line.back() == ']') section = line.substr(1, line.size() - 2);
    const std::size_t eq = line.find('=');
    if (eq != std::string::npos && eq > 0) key = line.substr(0, eq);
  }
  for (const std::string& entry : ini.ReadSection(section)) (void)entry.size();
  (void)ini.ReadString(section, key, "default");
  (void)ini.ReadInteger(section, key, 7);
  (void)ini.ReadBool(section, key, true);
  try {
    ini.WriteString(section, "fuzzkey", "value");
    // A name with a line break is written as one line and so names another section.
    if (section.find_first_of("\r\n") == std::string::npos &&
        pixtrel::IniFile32(path).ReadString(section, "fuzzkey", "") != "value")
      std::abort();
  } catch (const std::exception&) {
  }
  const std::vector<pixtrel::Color> colors = pixtrel::ReadCustomColors(path);
  if (colors.size() != 16) std::abort();
  return 0;
}
