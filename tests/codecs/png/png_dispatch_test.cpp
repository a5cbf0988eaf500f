// The ".PNG" rows: the PNG text box filled on open and written on save, and
// the same through pixtrel-cli's --png-text and --password-file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "codecs/png/png_object.h"
#include "core/stream.h"
#include "io/image_io.h"
#include "png_builder.h"
#include "support/corpus.h"
#include "support/io_support.h"

namespace pixtrel {
namespace {

using test::Bytes;
using test::Chunk;

Bytes TwoTextPng() {
  const Bytes data = test::Deflate({0, 9, 9});
  return test::Png({test::Header(2, 1, 8, 0), Chunk("tEXt", {'A', 0, 'f', 'i', 'r', 's', 't'}),
                    Chunk("tEXt", {'B', 0, 's', 'e', 'c'}), Chunk("IDAT", data), Chunk("IEND", {})});
}

std::string TextOf(const std::string& path) {
  PNGObject png;
  png.LoadFromFile(path);
  const ChunktEXt* text = png.FirstTextChunk();
  return text ? text->keyword + "=" + text->text : std::string();
}

TEST(PngRows, OpenShowsTheFirstTextAndOtherFormatsEmptyIt) {
  const std::string dir = test::TempDir();
  WriteFileBytes(dir + "/t.png", TwoTextPng());
  Bitmap image;
  std::filesystem::rename(dir + "/t.png", dir + "/t.PNG");
  EXPECT_EQ(LoadImageFile(dir + "/t.PNG", image, test::Silent()).pngText, "first");
  EXPECT_EQ(image.Width(), 2);

  Bitmap(1, 1, pf24bit).SaveToFile(dir + "/x.bmp");
  EXPECT_TRUE(LoadImageFile(dir + "/x.bmp", image, test::Silent()).pngText.empty());
}

TEST(PngRows, SaveWritesTheTextBoxAsDescription) {
  const std::string dir = test::TempDir();
  Bitmap image(3, 3, pf24bit);
  SaveOptions options;
  options.pngText = "line one\nline two";
  ASSERT_EQ(SaveImageFile(dir + "/a.gif", image, ".png", options), SaveOutcome::Written);
  EXPECT_EQ(TextOf(dir + "/a.gif"), "description=line one\r\nline two");
  const auto chunks = test::ParseChunks(ReadFileBytes(dir + "/a.gif"));
  EXPECT_EQ(chunks[chunks.size() - 2].type, "tEXt");

  options.pngText.clear();
  SaveImageFile(dir + "/b.png", image, ".PNG", options);
  EXPECT_EQ(TextOf(dir + "/b.png"), "");

  // PNG to PNG keeps the first text of the source.
  WriteFileBytes(dir + "/src.png", TwoTextPng());
  options.pngText = LoadImageFile(dir + "/src.png", image, test::Silent()).pngText;
  SaveImageFile(dir + "/c.png", image, ".PNG", options);
  EXPECT_EQ(TextOf(dir + "/c.png"), "description=first");
}

int RunCli(const std::string& arguments) {
  return std::system(
      (std::string("'") + PIXTREL_CLI_PATH + "' " + arguments + " > /dev/null 2>&1 < /dev/null").c_str());
}

TEST(PngCli, TextAndPasswordOptions) {
  ASSERT_TRUE(std::filesystem::exists(PIXTREL_CLI_PATH)) << "pixtrel-cli not built";
  const std::string dir = test::TempDir();
  WriteFileBytes(dir + "/src.png", TwoTextPng());
  EXPECT_EQ(RunCli("convert '" + dir + "/src.png' '" + dir + "/keep.png'"), 0);
  EXPECT_EQ(TextOf(dir + "/keep.png"), "description=first");
  EXPECT_EQ(RunCli("convert '" + dir + "/src.png' '" + dir + "/set.png' --png-text 'new text'"), 0);
  EXPECT_EQ(TextOf(dir + "/set.png"), "description=new text");

  // The password file's bytes, one trailing line break removed.
  WriteFileBytes(dir + "/pw", Bytes{'S', 'e', 'c', ' ', '\n'});
  EXPECT_EQ(RunCli("convert '" + dir + "/src.png' '" + dir + "/a.xpng' --password-file '" + dir + "/pw'"), 0);
  EXPECT_FALSE(ReadFileBytes(dir + "/a.xpng").empty());
  EXPECT_EQ(RunCli("convert '" + dir + "/a.xpng' '" + dir + "/back.bmp' --password-file '" + dir + "/pw'"), 0);
  Bitmap back;
  back.LoadFromFile(dir + "/back.bmp");
  EXPECT_EQ(back.Width(), 2);
  // Without a password file and without a terminal the run fails.
  EXPECT_NE(RunCli("convert '" + dir + "/a.xpng' '" + dir + "/none.bmp'"), 0);
  EXPECT_FALSE(std::filesystem::exists(dir + "/none.bmp"));
  WriteFileBytes(dir + "/pw2", Bytes{'S', 'e', 'c', '\n'});
  EXPECT_NE(RunCli("convert '" + dir + "/a.xpng' '" + dir + "/wrong.bmp' --password-file '" + dir + "/pw2'"), 0);
}

}  // namespace
}  // namespace pixtrel
