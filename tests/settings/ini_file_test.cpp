// The settings file's line rules: finding sections and keys, reading typed
// values, where writes put their lines, and what a failed write leaves.
#include "settings/ini_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>

#include "core/errors.h"
#include "settings_test_util.h"
#include "support/corpus.h"

namespace pixtrel {
namespace {

using test::ReadText;
using test::WriteText;

std::string IniWith(const std::string& text) {
  const std::string path = test::TempDir() + "/pixtrel.ini";
  WriteText(path, text);
  return path;
}

TEST(IniFile32, MissingFileReadsDefaultsAndFirstWriteCreatesIt) {
  const std::string path = test::TempDir() + "/pixtrel.ini";
  IniFile32 ini(path);
  EXPECT_EQ(ini.ReadString("Settings", "lastDir", "/home"), "/home");
  EXPECT_EQ(ini.ReadInteger("PixtrelF", "Left", 7), 7);
  EXPECT_TRUE(ini.ReadBool("PixtrelF", "State", true));
  EXPECT_TRUE(ini.ReadSection("directories").empty());
  EXPECT_FALSE(std::filesystem::exists(path));
  ini.WriteString("Settings", "lastDir", "/tmp");
  // An empty line and the header go in front even of an empty file.
  EXPECT_EQ(ReadText(path), "\n[Settings]\nlastDir=/tmp\n");
  EXPECT_EQ(IniFile32(path).ReadString("Settings", "lastDir", ""), "/tmp");
}

TEST(IniFile32, SectionHeadersMatchWholeLinesIgnoringCase) {
  const std::string path = IniWith(
      "[settings]\nlastDir=/a\n"
      " [Padded]\npadded=1\n"
      "[Padded] \nspace=1\n");
  const IniFile32 ini(path);
  EXPECT_EQ(ini.ReadString("Settings", "lastDir", "-"), "/a");
  EXPECT_EQ(ini.ReadString("SETTINGS", "lastDir", "-"), "/a");
  // Blanks around the brackets make a different line.
  EXPECT_EQ(ini.ReadString("Padded", "padded", "-"), "-");
  EXPECT_EQ(ini.ReadString("Padded", "space", "-"), "-");
  EXPECT_EQ(ini.ReadString(" Padded", "padded", "-"), "-");
}

TEST(IniFile32, KeysAreTrimmedAndComparedExactly) {
  const IniFile32 ini(IniWith("[Settings]\n  lastDir \t=  /some dir  \nLastDir=/other\n"));
  EXPECT_EQ(ini.ReadString("Settings", "lastDir", "-"), "/some dir");
  EXPECT_EQ(ini.ReadString("Settings", "LastDir", "-"), "/other");
  EXPECT_EQ(ini.ReadString("Settings", "lastdir", "-"), "-");
  EXPECT_EQ(ini.ReadString("Settings", "lastDir ", "-"), "-");
}

TEST(IniFile32, FirstEntryWinsAndAnEmptyValueReadsAsTheDefault) {
  const IniFile32 ini(
      IniWith("[Settings]\nlastDir=\nlastDir=/second\nbatchDir=/one\nbatchDir=/two\n"
              "[settings]\nother=in the second header\n"));
  EXPECT_EQ(ini.ReadString("Settings", "lastDir", "/default"), "/default");
  EXPECT_EQ(ini.ReadString("Settings", "batchDir", ""), "/one");
  // Only the first header of a name is a section.
  EXPECT_EQ(ini.ReadString("Settings", "other", "-"), "-");
}

TEST(IniFile32, LinesWithoutAnEqualsSignOrKeyAreIgnored) {
  const IniFile32 ini(IniWith("[A]\njust text\n=value without key\n   \n\tkey = v \nx=a=b\n"));
  EXPECT_EQ(ini.ReadString("A", "", "-"), "-");
  EXPECT_EQ(ini.ReadString("A", "just text", "-"), "-");
  EXPECT_EQ(ini.ReadString("A", "x", "-"), "a=b");
  EXPECT_EQ(ini.ReadSection("A"), (std::vector<std::string>{"key=v", "x=a=b"}));
}

TEST(IniFile32, SectionEndsAtTheNextTrimmedBracketLine) {
  const IniFile32 ini(IniWith("[A]\none=1\n[not a header\nnot]=2\n  \t[B]  \nthree=3\n[]\nfour=4\n"));
  EXPECT_EQ(ini.ReadSection("A"), (std::vector<std::string>{"one=1", "not]=2"}));
  EXPECT_EQ(ini.ReadString("A", "three", "-"), "-");
  // "  \t[B]  " ends A but is not B's header.
  EXPECT_EQ(ini.ReadString("B", "three", "-"), "-");
  EXPECT_EQ(ini.ReadSection("missing"), std::vector<std::string>{});
}

TEST(IniFile32, IntegersDecimalHexAndInvalid) {
  const IniFile32 ini(
      IniWith("[N]\nhex=0x64\nHEX=0X1f\nneg=-12\nplus=+5\nbad=abc\ntrail=12abc\nbare=0x\nxonly=0xg1\n"
              "big=99999999999\nmax=2147483647\nmin=-2147483648\nover=2147483648\nall=0xFFFFFFFF\nlong=0x100000000\n"
              "spaced= 42 \ninner=4 2\ndollar=$10\nbool2=2\nboolx=x\n"));
  EXPECT_EQ(ini.ReadInteger("N", "hex", 0), 100);
  EXPECT_EQ(ini.ReadInteger("N", "HEX", 0), 31);
  EXPECT_EQ(ini.ReadInteger("N", "neg", 0), -12);
  EXPECT_EQ(ini.ReadInteger("N", "plus", 0), 5);
  EXPECT_EQ(ini.ReadInteger("N", "bad", 77), 77);
  EXPECT_EQ(ini.ReadInteger("N", "trail", 77), 77);
  EXPECT_EQ(ini.ReadInteger("N", "bare", 77), 77);
  EXPECT_EQ(ini.ReadInteger("N", "xonly", 77), 77);
  EXPECT_EQ(ini.ReadInteger("N", "big", 77), 77);
  EXPECT_EQ(ini.ReadInteger("N", "max", 0), 2147483647);
  EXPECT_EQ(ini.ReadInteger("N", "min", 0), -2147483647 - 1);
  EXPECT_EQ(ini.ReadInteger("N", "over", 77), 77);
  EXPECT_EQ(ini.ReadInteger("N", "all", 0), -1);
  EXPECT_EQ(ini.ReadInteger("N", "long", 77), 77);
  EXPECT_EQ(ini.ReadInteger("N", "spaced", 0), 42);
  EXPECT_EQ(ini.ReadInteger("N", "inner", 77), 77);
  EXPECT_EQ(ini.ReadInteger("N", "dollar", 77), 77);
  EXPECT_EQ(ini.ReadInteger("N", "absent", 77), 77);
  EXPECT_TRUE(ini.ReadBool("N", "bool2", false));
  EXPECT_TRUE(ini.ReadBool("N", "min", false));
  EXPECT_TRUE(ini.ReadBool("N", "boolx", true));
  EXPECT_FALSE(ini.ReadBool("N", "boolx", false));
}

TEST(IniFile32, WriteReplacesTheFirstEntryAndKeepsOtherLinesAsRead) {
  const std::string path = IniWith("odd line\n[Settings]\n lastDir = /old \nlastDir=/dup\n  keep = me\n");
  IniFile32 ini(path);
  ini.WriteString("Settings", "lastDir", "/new");
  EXPECT_EQ(ReadText(path), "odd line\n[Settings]\nlastDir=/new\nlastDir=/dup\n  keep = me\n");
  EXPECT_EQ(ini.ReadString("Settings", "lastDir", ""), "/new");
}

TEST(IniFile32, NewKeyGoesDirectlyAboveTheNextHeader) {
  const std::string path = IniWith("[Settings]\nlastDir=/a\n\n\n[PixtrelF]\nState=0\n");
  IniFile32 ini(path);
  ini.WriteString("Settings", "batchDir", "/b");
  EXPECT_EQ(ReadText(path), "[Settings]\nlastDir=/a\n\n\nbatchDir=/b\n[PixtrelF]\nState=0\n");
  // The last section grows at the end of the file.
  ini.WriteInteger("PixtrelF", "Left", -20);
  ini.WriteBool("PixtrelF", "State", true);
  EXPECT_EQ(ReadText(path), "[Settings]\nlastDir=/a\n\n\nbatchDir=/b\n[PixtrelF]\nState=1\nLeft=-20\n");
}

TEST(IniFile32, MissingSectionIsAppendedAfterAnEmptyLine) {
  const std::string path = IniWith("[Settings]\nlastDir=/a");  // no final line break
  IniFile32 ini(path);
  ini.WriteString("directories", "home", "/home/me");
  EXPECT_EQ(ReadText(path), "[Settings]\nlastDir=/a\n\n[directories]\nhome=/home/me\n");
}

TEST(IniFile32, EmptyKeyWritesNoEntry) {
  const std::string path = test::TempDir() + "/pixtrel.ini";
  IniFile32 ini(path);
  ini.WriteString("Empty", "", "ignored");
  EXPECT_EQ(ReadText(path), "\n[Empty]\n");
  ini.WriteString("Empty", "", "ignored");
  EXPECT_EQ(ReadText(path), "\n[Empty]\n");
  ini.WriteString("Empty", "k", "");
  EXPECT_EQ(ReadText(path), "\n[Empty]\nk=\n");
  EXPECT_EQ(ini.ReadString("Empty", "k", "d"), "d");
}

TEST(IniFile32, ReadsCrLfAndWritesLf) {
  const std::string path = IniWith("[Settings]\r\nlastDir=/a\r\n[B]\r\nx=1\r\n");
  IniFile32 ini(path);
  EXPECT_EQ(ini.ReadString("Settings", "lastDir", ""), "/a");
  EXPECT_EQ(ini.ReadString("B", "x", ""), "1");
  ini.WriteString("B", "y", "2");
  EXPECT_EQ(ReadText(path), "[Settings]\nlastDir=/a\n[B]\nx=1\ny=2\n");
}

TEST(IniFile32, ExtraCarriageReturnsEndingALineReadBackAsWritten) {
  // "[]\r\r\n" once read as "[]\r", which no lookup of "[]" found; written
  // back it read as "[]" and the new entry landed in a second "[]" section.
  const std::string path = IniWith("[]\r\r\n\nO=\n\x0f");
  IniFile32 ini(path);
  EXPECT_EQ(ini.Lines().front(), "[]");
  ini.WriteString("", "k", "v");
  EXPECT_EQ(IniFile32(path).ReadString("", "k", ""), "v");
  EXPECT_EQ(IniFile32(path).Lines(), ini.Lines());
}

TEST(IniFile32, LineBreaksInAWrittenValueStayOnOneLine) {
  const std::string path = test::TempDir() + "/pixtrel.ini";
  IniFile32 ini(path);
  ini.WriteString("Settings", "lastDir", "/tmp/a\n[Settings]\nlastDir=/evil");
  const IniFile32 again(path);
  EXPECT_EQ(again.ReadSection("Settings"), (std::vector<std::string>{"lastDir=/tmp/a [Settings] lastDir=/evil"}));
}

TEST(IniFile32, FailedWriteThrowsThePlatformReasonAndKeepsTheOldFile) {
  // A folder that does not exist.
  {
    IniFile32 ini(test::TempDir() + "/missing/pixtrel.ini");
    try {
      ini.WriteString("Settings", "lastDir", "/x");
      ADD_FAILURE() << "no FileError";
    } catch (const FileError& e) {
      EXPECT_NE(e.Message().find("No such file or directory"), std::string::npos) << e.Message();
    }
  }
  // A write cut short by the file size limit: the old file stays whole.
  const std::string original = "[Settings]\nlastDir=/old\n";
  const std::string path = IniWith(original);
  const int code = test::InChild(
      [&] {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{64, 64};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 3;
        IniFile32 ini(path);
        try {
          ini.WriteString("Settings", "lastDir", std::string(500, 'x'));
        } catch (const FileError& e) {
          if (e.Message().find("File too large") == std::string::npos) return 4;
          // The object still holds what the file holds.
          return ini.ReadString("Settings", "lastDir", "") == "/old" ? 0 : 5;
        }
        return 6;
      },
      false);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadText(path), original);
  std::error_code ec;
  int leftovers = 0;
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(path).parent_path(), ec))
    leftovers += entry.path().filename() != "pixtrel.ini";
  EXPECT_EQ(leftovers, 0);
}

TEST(IniFile32, ReadOnlyFileOrFolderIsRefused) {
  const std::string folder = test::TempDir();
  ::chmod(folder.c_str(), 0777);
  const std::string path = folder + "/pixtrel.ini";
  WriteText(path, "[Settings]\nlastDir=/old\n");
  ::chmod(path.c_str(), 0444);
  const std::string locked = test::TempDir();
  ::chmod(locked.c_str(), 0755);
  const int code = test::InChild(
      [&] {
        try {
          IniFile32(path).WriteString("Settings", "lastDir", "/new");
          return 2;
        } catch (const FileError& e) {
          if (e.Message().find("Permission denied") == std::string::npos) return 3;
        }
        try {
          IniFile32(locked + "/pixtrel.ini").WriteString("Settings", "lastDir", "/new");
          return 4;
        } catch (const FileError& e) {
          if (e.Message().find("Permission denied") == std::string::npos) return 5;
        }
        return 0;
      },
      true);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadText(path), "[Settings]\nlastDir=/old\n");
}

}  // namespace
}  // namespace pixtrel
