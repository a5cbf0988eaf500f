// pixtrel-cli's icon options and its icl command, run as a program.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "core/stream.h"
#include "support/corpus.h"

namespace {

std::string Shell(const std::string& command, int* status = nullptr) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[512];
  while (fgets(buffer, sizeof buffer, pipe)) out += buffer;
  const int rc = pclose(pipe);
  if (status) *status = WEXITSTATUS(rc);
  return out;
}

class IconCli : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(std::filesystem::exists(PIXTREL_CLI_PATH)) << "pixtrel-cli is not built"; }
  std::string cli = PIXTREL_CLI_PATH;
};

TEST_F(IconCli, ConvertWritesBothDepthsAndHonoursNoResize) {
  const std::string dir = pixtrel::test::TempDir();
  const std::string in = pixtrel::test::CorpusDir() + "/ico/rs-smile.ico";
  int status = -1;
  Shell(cli + " convert '" + in + "' '" + dir + "/a.ico' --icon-colors 16 2>&1", &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(pixtrel::ReadFileBytes(dir + "/a.ico").size(), 766u);
  EXPECT_NE(Shell("icotool -l '" + dir + "/a.ico'").find("--bit-depth=4"), std::string::npos);
  Shell(cli + " convert '" + in + "' '" + dir + "/b.ico' 2>&1", &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(pixtrel::ReadFileBytes(dir + "/b.ico").size(), 2238u);
  const std::string big = pixtrel::test::CorpusDir() + "/ico/gen-single-bmp256-castle.ico";
  const std::string said = Shell(cli + " convert '" + big + "' '" + dir + "/c.ico' --no-resize 2>&1", &status);
  EXPECT_EQ(status, 1) << said;
  EXPECT_FALSE(std::filesystem::exists(dir + "/c.ico"));
  Shell(cli + " convert '" + big + "' '" + dir + "/c.ico' 2>&1", &status);
  EXPECT_EQ(status, 0);
  Shell(cli + " convert '" + in + "' '" + dir + "/d.ico' --icon-colors 24 2>&1", &status);
  EXPECT_EQ(status, 2);
}

TEST_F(IconCli, BuildListExtract) {
  const std::string dir = pixtrel::test::TempDir();
  const std::string corpus = pixtrel::test::CorpusDir() + "/ico/";
  int status = -1;
  Shell(cli + " icl build '" + dir + "/lib.icl' '" + corpus + "rs-smile.ico' '" + corpus +
            "gen-single-8bpp-hopper.ico' 2>&1",
        &status);
  ASSERT_EQ(status, 0);
  const std::string list = Shell(cli + " icl list '" + dir + "/lib.icl'", &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(list, "0\trs-smile\t32x32@0 16x16@0\n1\tgen-single-8bpp-hopper\t32x32@8\n") << list;
  Shell(cli + " icl extract '" + dir + "/lib.icl' '" + dir + "/out' 2>&1", &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(pixtrel::ReadFileBytes(dir + "/out/gen-single-8bpp-hopper.ico"),
            pixtrel::ReadFileBytes(corpus + "gen-single-8bpp-hopper.ico"));
  Shell(cli + " icl list '" + corpus + "rs-smile.ico' 2>&1", &status);
  EXPECT_EQ(status, 1);
}

// Names come from files: control characters are shown escaped, never as
// they are, and icons of one name are extracted to files of their own.
TEST_F(IconCli, NamesFromFilesAreDataNotCommands) {
  const std::string dir = pixtrel::test::TempDir();
  const std::string smile = pixtrel::test::CorpusDir() + "/ico/rs-smile.ico";
  for (const char* folder : {"/a", "/b"}) std::filesystem::create_directories(dir + folder);
  // A tab and an escape in one name, and one name twice.
  const std::string odd = dir + "/a/tab\tesc\x1b[31m.ico";
  std::filesystem::copy_file(smile, odd);
  std::filesystem::copy_file(smile, dir + "/a/same.ico");
  std::filesystem::copy_file(smile, dir + "/b/same.ico");
  int status = -1;
  Shell(cli + " icl build '" + dir + "/lib.icl' '" + odd + "' '" + dir + "/a/same.ico' '" + dir + "/b/same.ico' 2>&1",
        &status);
  ASSERT_EQ(status, 0);
  const std::string list = Shell(cli + " icl list '" + dir + "/lib.icl'", &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(list,
            "0\ttab\\x09esc\\x1B[31m\t32x32@0 16x16@0\n1\tsame\t32x32@0 16x16@0\n2\tsame\t32x32@0 16x16@0\n")
      << list;
  Shell(cli + " icl extract '" + dir + "/lib.icl' '" + dir + "/out' 2>&1", &status);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(std::filesystem::exists(dir + "/out/tab_esc_[31m.ico"));
  EXPECT_TRUE(std::filesystem::exists(dir + "/out/same.ico"));
  EXPECT_TRUE(std::filesystem::exists(dir + "/out/same (2).ico"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir + "/out"), std::filesystem::directory_iterator()),
            3);
}

}  // namespace
