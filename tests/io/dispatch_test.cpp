#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "core/bitmap.h"
#include "core/errors.h"
#include "core/stream.h"
#include "io/formats.h"
#include "io/image_io.h"
#include "support/corpus.h"

namespace pixtrel {
namespace {

namespace fs = std::filesystem;

// A workspace-like target that remembers what it held.
Bitmap MarkedTarget() {
  Bitmap target(7, 5, pf24bit);
  target.Fill(clRed);
  return target;
}

void ExpectUnchanged(const Bitmap& target) {
  EXPECT_EQ(target.Width(), 7);
  EXPECT_EQ(target.Height(), 5);
  EXPECT_EQ(target.Pixel(3, 3), clRed);
}

std::string WriteSampleBmp(const std::string& dir, const std::string& name) {
  Bitmap b(4, 3, pf24bit);
  b.Fill(clBlue);
  const std::string path = dir + "/" + name;
  b.SaveToFile(path);
  return path;
}

std::string CopyCorpusFile(const std::string& relative, const std::string& dir, const std::string& name) {
  const std::string path = dir + "/" + name;
  fs::copy_file(test::CorpusDir() + "/" + relative, path);
  return path;
}

TEST(Extension, TakesTheLastDotOfTheFileNameUpperCased) {
  EXPECT_EQ(ExtractExtension("photo.Jpeg"), ".JPEG");
  EXPECT_EQ(ExtractExtension("a.b.gif"), ".GIF");
  EXPECT_EQ(ExtractExtension("/some/dir.jpg/noext"), "");
  EXPECT_EQ(ExtractExtension("noext"), "");
  EXPECT_EQ(ExtractExtension("trailing."), ".");
}

TEST(LoadImageFile, ExtensionCaseDoesNotMatterButItsSpellingDoes) {
  const std::string dir = test::TempDir();
  std::string jpg;
  for (const auto& entry : test::CorpusEntries("jpeg"))
    if (entry.expected == "decodes" && jpg.empty()) jpg = entry.path;
  ASSERT_FALSE(jpg.empty());
  const std::string mixed = CopyCorpusFile(jpg, dir, "photo.Jpeg");
  Bitmap target = MarkedTarget();
  LoadImageFile(mixed, target);
  EXPECT_NE(target.Width(), 7);

  const std::string jpe = CopyCorpusFile(jpg, dir, "photo.jpe");
  Bitmap untouched = MarkedTarget();
  LoadImageFile(jpe, untouched);
  ExpectUnchanged(untouched);
}

TEST(LoadImageFile, NamesWithoutKnownExtensionLoadNothingButStillResetTheTextBox) {
  const std::string dir = test::TempDir();
  const std::string bmp = WriteSampleBmp(dir, "picture.bmp");
  fs::copy_file(bmp, dir + "/picture");
  fs::copy_file(bmp, dir + "/picture.tiff");
  int hidden = 0;
  Conversion().hideSelection = [&] { ++hidden; };
  for (const std::string name : {"picture", "picture.tiff"}) {
    SCOPED_TRACE(name);
    Conversion().pngText = "left over";
    Bitmap target = MarkedTarget();
    LoadImageFile(dir + "/" + name, target);
    ExpectUnchanged(target);
    EXPECT_EQ(Conversion().pngText, "");
  }
  EXPECT_EQ(hidden, 2);
  Conversion().hideSelection = nullptr;
}

TEST(LoadImageFile, LastDotDecides) {
  const std::string dir = test::TempDir();
  const std::string bmp = WriteSampleBmp(dir, "x.bmp");
  fs::copy_file(bmp, dir + "/a.jpg.bmp");
  Bitmap target = MarkedTarget();
  LoadImageFile(dir + "/a.jpg.bmp", target);
  EXPECT_EQ(target.Width(), 4);
  EXPECT_EQ(target.Pixel(0, 0), clBlue);
}

TEST(LoadImageFile, FailingReaderLeavesTargetAsItWas) {
  const std::string dir = test::TempDir();
  { std::ofstream(dir + "/broken.bmp") << "BM this is not a bitmap"; }
  { std::ofstream(dir + "/broken.jpg") << "\xFF\xD8 not a jpeg either"; }
  for (const std::string name : {"broken.bmp", "broken.jpg", "missing.bmp"}) {
    SCOPED_TRACE(name);
    Bitmap target = MarkedTarget();
    EXPECT_THROW(LoadImageFile(dir + "/" + name, target), Exception);
    ExpectUnchanged(target);
  }
}

TEST(SaveImageFile, FormatComesFromExtNotFromTheName) {
  const std::string dir = test::TempDir();
  Bitmap source(9, 4, pf24bit);
  source.Fill(clLime);
  int refreshed = 0;
  Conversion().refreshFileList = [&] { ++refreshed; };
  EXPECT_EQ(SaveImageFile(dir + "/picture.gif", source, ".bmp"), SaveOutcome::Written);
  Bitmap back;
  back.LoadFromFile(dir + "/picture.gif");
  EXPECT_EQ(back.Width(), 9);
  EXPECT_EQ(back.Pixel(8, 3), clLime);

  EXPECT_EQ(SaveImageFile(dir + "/other.bmp", source, ".XYZ"), SaveOutcome::UnknownFormat);
  EXPECT_FALSE(fs::exists(dir + "/other.bmp"));
  EXPECT_EQ(refreshed, 2);  // an unknown ext still refreshes the list
  Conversion().refreshFileList = nullptr;
}

TEST(SaveImageFile, JpegUsesTheSliderQuality) {
  const std::string dir = test::TempDir();
  Bitmap source =
      test::FromQImage(QImage(QString::fromStdString(test::CorpusDir() + "/refs/bmp/gen-24bpp-hopper.bmp.png")));
  ASSERT_FALSE(source.Empty());
  Conversion().jpegQuality = 10;
  SaveImageFile(dir + "/low.jpg", source, ".JPG");
  Conversion().jpegQuality = 95;
  SaveImageFile(dir + "/high.jpg", source, ".jpg");
  Conversion().jpegQuality = 50;
  EXPECT_LT(fs::file_size(dir + "/low.jpg"), fs::file_size(dir + "/high.jpg"));
  Bitmap back;
  LoadImageFile(dir + "/high.jpg", back);
  EXPECT_EQ(back.Width(), source.Width());
}

TEST(SaveImageFile, FailedSaveKeepsTheExistingFile) {
  const std::string dir = test::TempDir();
  const std::string path = dir + "/keep.jpg";
  { std::ofstream(path) << "precious"; }
  Bitmap empty;  // the encoder refuses a picture without pixels
  EXPECT_THROW(SaveImageFile(path, empty, ".JPG"), Exception);
  std::ifstream in(path);
  std::string contents;
  in >> contents;
  EXPECT_EQ(contents, "precious");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST(FilterIndexToExt, MapsTheSaveDialogTypes) {
  const char* expected[] = {"", ".GIF", ".JPG", ".PNG", ".ICO", ".TIF", ".BMP", ".XGIF", ".XJPG", ".XPNG", ".TGA", ""};
  for (int i = 0; i <= 11; ++i) EXPECT_EQ(FilterIndexToExt(i), expected[i]) << i;
  EXPECT_EQ(FilterIndexToExt(-3), "");
}

TEST(FormatTables, ExtensionsAreUpperCaseWithDotAndUnique) {
  std::set<std::string> seen;
  for (const LoadRow& row : LoadRows()) {
    const std::string ext = row.extension;
    EXPECT_EQ(ext, UpperCase(ext));
    EXPECT_EQ(ext[0], '.');
    EXPECT_TRUE(seen.insert(ext).second) << ext;
  }
  EXPECT_TRUE(CanLoadExtension(".jpeg"));
  EXPECT_TRUE(CanSaveExtension(".bmp"));
  EXPECT_FALSE(CanSaveExtension(".JPEG"));
}

}  // namespace
}  // namespace pixtrel
