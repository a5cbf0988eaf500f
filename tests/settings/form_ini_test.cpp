// Window placement, single settings and the favourites list through FormIni,
// the settings folder rule and the custom colours file.
#include "settings/form_ini.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "core/errors.h"
#include "settings/ini_file.h"
#include "settings/settings_location.h"
#include "settings_test_util.h"
#include "support/corpus.h"

namespace pixtrel {
namespace {

using test::ReadText;
using test::WriteText;

TEST(FormIni, PlacementReadsHexAndKeepsCurrentValuesForInvalidOnes) {
  const std::string path = test::TempDir() + "/pixtrel.ini";
  WriteText(path, "[PixtrelF]\nState=0\nLeft=0x64\nTop=abc\nWidth=\nHeight=480\n");
  FormPlacement placement{false, 5, 6, 700, 500};
  FormIni(path).LoadFormPlacement("PixtrelF", placement);
  EXPECT_FALSE(placement.maximized);
  EXPECT_EQ(placement.left, 100);
  EXPECT_EQ(placement.top, 6);
  EXPECT_EQ(placement.width, 700);
  EXPECT_EQ(placement.height, 480);
}

TEST(FormIni, MaximisedWindowIgnoresBoundsBothWays) {
  const std::string path = test::TempDir() + "/pixtrel.ini";
  WriteText(path, "[PixtrelF]\nState=1\nLeft=10\n");
  FormPlacement placement{false, 1, 2, 3, 4};
  const FormIni form(path);
  form.LoadFormPlacement("PixtrelF", placement);
  EXPECT_TRUE(placement.maximized);
  EXPECT_EQ(placement.left, 1);
  // Saving a maximised window writes only State; the old bounds stay.
  form.SaveFormPlacement("PixtrelF", FormPlacement{true, 50, 60, 70, 80});
  EXPECT_EQ(ReadText(path), "[PixtrelF]\nState=1\nLeft=10\n");
  form.SaveFormPlacement("PixtrelF", FormPlacement{false, -8, 20, 1024, 768});
  EXPECT_EQ(ReadText(path), "[PixtrelF]\nState=0\nLeft=-8\nTop=20\nWidth=1024\nHeight=768\n");
  FormPlacement back;
  form.LoadFormPlacement("pixtrelf", back);
  EXPECT_FALSE(back.maximized);
  EXPECT_EQ(back.left, -8);
  EXPECT_EQ(back.height, 768);
}

TEST(FormIni, MissingFileLeavesDefaults) {
  FormPlacement placement{false, 11, 12, 13, 14};
  FormIni(test::TempDir() + "/none.ini").LoadFormPlacement("PixtrelF", placement);
  EXPECT_FALSE(placement.maximized);
  EXPECT_EQ(placement.left, 11);
  EXPECT_EQ(placement.width, 13);
  std::string lastDir = "/start";
  FormIni(test::TempDir() + "/none.ini").ReadSetting("Settings", "lastDir", lastDir);
  EXPECT_EQ(lastDir, "/start");
}

TEST(FormIni, PixelLimitIsAWholeNumberOrTheDefault) {
  const std::string path = test::TempDir() + "/limit.ini";
  EXPECT_EQ(FormIni(path).ReadPixelLimit(77), 77);
  const std::pair<const char*, std::int64_t> cases[] = {
      {"1000", 1000}, {"0", 0}, {" 500000000 ", 500000000}, {"-5", 77}, {"12x", 77}, {"0x10", 77}, {"", 77},
      {"9999999999999999999999", 77}};
  for (const auto& [text, expected] : cases) {
    test::WriteText(path, std::string("[Settings]\nmaxPixels=") + text + "\n");
    EXPECT_EQ(FormIni(path).ReadPixelLimit(77), expected) << text;
  }
}

TEST(FormIni, SettingsAreReadAfreshForEveryCall) {
  const std::string path = test::TempDir() + "/pixtrel.ini";
  const FormIni form(path);
  form.WriteSetting("Settings", "lastDir", "/one");
  std::string value = "-";
  form.ReadSetting("Settings", "lastDir", value);
  EXPECT_EQ(value, "/one");
  // Another writer changes the file between two calls.
  IniFile32(path).WriteString("Settings", "lastDir", "/two");
  form.ReadSetting("Settings", "lastDir", value);
  EXPECT_EQ(value, "/two");
  IniFile32(path).WriteString("Settings", "lastDir", "");
  form.ReadSetting("Settings", "lastDir", value);
  EXPECT_EQ(value, "/two");
}

TEST(FormIni, SettingListKeepsTheFirstFolderOfARepeatedAlias) {
  const std::string path = test::TempDir() + "/pixtrel.ini";
  WriteText(path, "[directories]\nold=/kept\nhome=/was\n");
  const FormIni form(path);
  form.WriteSettingList("directories", {"home=/first", "work=/w", "home=/second", "bare", "eq=a=b"});
  EXPECT_EQ(form.ReadSettingList("directories"),
            (std::vector<std::string>{"old=/kept", "home=/first", "work=/w", "bare=", "eq=a=b"}));
}

TEST(SettingsLocation, ProgramFolderAndFileNames) {
  EXPECT_EQ(ProgramFolder("/opt/pixtrel/bin/pixtrel"), "/opt/pixtrel/bin/");
  EXPECT_EQ(ProgramFolder("/pixtrel"), "/");
  const std::string cwd = std::filesystem::current_path().string();
  EXPECT_EQ(ProgramFolder("pixtrel"), cwd + (cwd == "/" ? "" : "/"));
  const std::string folder = test::TempDir();
  EXPECT_EQ(SettingsFolder(folder), folder + "/");
  EXPECT_EQ(SettingsFilePath(folder + "/pixtrel"), folder + "/pixtrel.ini");
  EXPECT_EQ(SettingsFilePath(folder + "/pixtrel.exe"), folder + "/pixtrel.ini");
  EXPECT_EQ(CustomColorsFilePath(folder + "/pixtrel"), folder + "/PixtrelCC.txt");
}

TEST(SettingsLocation, ReadOnlyProgramFolderMovesSettingsToTheUserConfigFolder) {
  const std::string program = test::TempDir();
  ::chmod(program.c_str(), 0555);
  const std::string config = test::TempDir();
  ::chmod(config.c_str(), 0777);
  const std::string home = test::TempDir();
  ::chmod(home.c_str(), 0777);
  const int code = test::InChild(
      [&] {
        ::setenv("XDG_CONFIG_HOME", (config + "/xdg").c_str(), 1);
        if (SettingsFolder(program) != config + "/xdg/pixtrel/") return 2;
        if (!std::filesystem::is_directory(config + "/xdg/pixtrel")) return 3;
        if (SettingsFilePath(program + "/pixtrel") != config + "/xdg/pixtrel/pixtrel.ini") return 4;
        FormIni(SettingsFilePath(program + "/pixtrel")).WriteSetting("Settings", "lastDir", "/x");
        // A relative XDG_CONFIG_HOME is not a place to keep settings.
        ::setenv("XDG_CONFIG_HOME", "relative", 1);
        ::setenv("HOME", home.c_str(), 1);
        if (SettingsFolder(program) != home + "/.config/pixtrel/") return 5;
        ::unsetenv("XDG_CONFIG_HOME");
        if (CustomColorsFilePath(program + "/pixtrel") != home + "/.config/pixtrel/PixtrelCC.txt") return 6;
        return 0;
      },
      true);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadText(config + "/xdg/pixtrel/pixtrel.ini"), "\n[Settings]\nlastDir=/x\n");
  EXPECT_FALSE(std::filesystem::exists(program + "/pixtrel.ini"));
}

TEST(SettingsLocation, ShippedDataBesideTheProgramOrInItsShareFolder) {
  const std::string prefix = test::TempDir();
  std::filesystem::create_directories(prefix + "/bin");
  // Nothing shipped anywhere: the program folder is the answer.
  EXPECT_EQ(ShippedDataFolder(prefix + "/bin"), prefix + "/bin/");
  std::filesystem::create_directories(prefix + "/share/pixtrel/wizards");
  EXPECT_EQ(ShippedDataFolder(prefix + "/bin/"), prefix + "/share/pixtrel/");
  // A build folder holding the data itself wins over an installed copy.
  std::filesystem::create_directories(prefix + "/bin/wizards");
  EXPECT_EQ(ShippedDataFolder(prefix + "/bin"), prefix + "/bin/");

  const std::string program = test::TempDir();
  EXPECT_EQ(WritableDataFolder(program), program + "/");
  ::chmod(program.c_str(), 0555);
  const std::string data = test::TempDir();
  ::chmod(data.c_str(), 0777);
  const int code = test::InChild(
      [&] {
        ::setenv("XDG_DATA_HOME", (data + "/xdg").c_str(), 1);
        if (WritableDataFolder(program) != data + "/xdg/pixtrel/") return 2;
        if (!std::filesystem::is_directory(data + "/xdg/pixtrel")) return 3;
        ::unsetenv("XDG_DATA_HOME");
        ::setenv("HOME", data.c_str(), 1);
        if (WritableDataFolder(program) != data + "/.local/share/pixtrel/") return 4;
        return 0;
      },
      true);
  EXPECT_EQ(code, 0);
}

TEST(CustomColors, RoundTripAndFileForm) {
  const std::string path = test::TempDir() + "/PixtrelCC.txt";
  std::vector<Color> colors;
  for (int i = 0; i < 16; ++i) colors.push_back(RGB(i * 16, 255 - i, i));
  WriteCustomColors(path, colors);
  const std::string text = ReadText(path);
  EXPECT_EQ(text.substr(0, 28), "ColorA=00FF00\nColorB=01FE10\n");
  EXPECT_NE(text.find("ColorP=0FF0F0\n"), std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 16);
  EXPECT_EQ(ReadCustomColors(path), colors);
  // Fewer colours than the dialog holds: the rest are white.
  WriteCustomColors(path, {clRed});
  const std::vector<Color> back = ReadCustomColors(path);
  ASSERT_EQ(back.size(), 16u);
  EXPECT_EQ(back[0], clRed);
  EXPECT_EQ(back[15], clWhite);
}

TEST(CustomColors, AbsentOrBrokenEntriesAreWhite) {
  EXPECT_EQ(ReadCustomColors(test::TempDir() + "/none.txt"), std::vector<Color>(16, clWhite));
  const std::string path = test::TempDir() + "/PixtrelCC.txt";
  WriteText(path, "ColorC=0000ff\r\ncolorD=00FF00\nColorE=xyz\nColorQ=000000\n ColorF = 123 \nColorG=\nnoise\n");
  const std::vector<Color> colors = ReadCustomColors(path);
  ASSERT_EQ(colors.size(), 16u);
  EXPECT_EQ(colors[0], clWhite);
  EXPECT_EQ(colors[2], clRed);
  EXPECT_EQ(colors[3], clWhite);
  EXPECT_EQ(colors[4], clWhite);
  EXPECT_EQ(colors[5], 0x123u);
  EXPECT_EQ(colors[6], clWhite);
}

TEST(CustomColors, FailedWriteKeepsTheOldFile) {
  const std::string path = test::TempDir() + "/PixtrelCC.txt";
  WriteCustomColors(path, {clBlue});
  EXPECT_THROW(WriteCustomColors(test::TempDir() + "/missing/PixtrelCC.txt", {clRed}), FileError);
  EXPECT_EQ(ReadCustomColors(path)[0], clBlue);
}

}  // namespace
}  // namespace pixtrel
