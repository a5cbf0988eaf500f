#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>

#include "core/bitmap.h"
#include "core/errors.h"
#include "core/scripted_interaction.h"
#include "core/stream.h"
#include "io/formats.h"
#include "io/image_io.h"
#include "support/corpus.h"
#include "support/in_child.h"
#include "support/io_support.h"

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
  LoadImageFile(mixed, target, test::Silent());
  EXPECT_NE(target.Width(), 7);

  const std::string jpe = CopyCorpusFile(jpg, dir, "photo.jpe");
  Bitmap untouched = MarkedTarget();
  LoadImageFile(jpe, untouched, test::Silent());
  ExpectUnchanged(untouched);
}

TEST(LoadImageFile, NamesWithoutKnownExtensionLoadNothingButStillResetTheTextBox) {
  const std::string dir = test::TempDir();
  const std::string bmp = WriteSampleBmp(dir, "picture.bmp");
  fs::copy_file(bmp, dir + "/picture");
  fs::copy_file(bmp, dir + "/picture.tiff");
  for (const std::string name : {"picture", "picture.tiff"}) {
    SCOPED_TRACE(name);
    Bitmap target = MarkedTarget();
    const LoadResult result = LoadImageFile(dir + "/" + name, target, test::Silent());
    ExpectUnchanged(target);
    EXPECT_FALSE(result.known);
    EXPECT_EQ(result.pngText, "");
  }
}

TEST(LoadImageFile, LastDotDecides) {
  const std::string dir = test::TempDir();
  const std::string bmp = WriteSampleBmp(dir, "x.bmp");
  fs::copy_file(bmp, dir + "/a.jpg.bmp");
  Bitmap target = MarkedTarget();
  LoadImageFile(dir + "/a.jpg.bmp", target, test::Silent());
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
    EXPECT_THROW(LoadImageFile(dir + "/" + name, target, test::Silent()), Exception);
    ExpectUnchanged(target);
  }
}

TEST(SaveImageFile, FormatComesFromExtNotFromTheName) {
  const std::string dir = test::TempDir();
  Bitmap source(9, 4, pf24bit);
  source.Fill(clLime);
  EXPECT_EQ(SaveImageFile(dir + "/picture.gif", source, ".bmp", SaveOptions()), SaveOutcome::Written);
  Bitmap back;
  back.LoadFromFile(dir + "/picture.gif");
  EXPECT_EQ(back.Width(), 9);
  EXPECT_EQ(back.Pixel(8, 3), clLime);

  EXPECT_EQ(SaveImageFile(dir + "/other.bmp", source, ".XYZ", SaveOptions()), SaveOutcome::UnknownFormat);
  EXPECT_FALSE(fs::exists(dir + "/other.bmp"));
}

TEST(SaveImageFile, JpegUsesTheSliderQuality) {
  const std::string dir = test::TempDir();
  Bitmap source =
      test::FromQImage(QImage(QString::fromStdString(test::CorpusDir() + "/refs/bmp/gen-24bpp-hopper.bmp.png")));
  ASSERT_FALSE(source.Empty());
  SaveOptions options;
  options.jpegQuality = 10;
  SaveImageFile(dir + "/low.jpg", source, ".JPG", options);
  options.jpegQuality = 95;
  SaveImageFile(dir + "/high.jpg", source, ".jpg", options);
  EXPECT_LT(fs::file_size(dir + "/low.jpg"), fs::file_size(dir + "/high.jpg"));
  Bitmap back;
  LoadImageFile(dir + "/high.jpg", back, test::Silent());
  EXPECT_EQ(back.Width(), source.Width());
}

TEST(SaveImageFile, FailedSaveKeepsTheExistingFile) {
  const std::string dir = test::TempDir();
  const std::string path = dir + "/keep.jpg";
  { std::ofstream(path) << "precious"; }
  Bitmap empty;  // the encoder refuses a picture without pixels
  EXPECT_THROW(SaveImageFile(path, empty, ".JPG", SaveOptions()), Exception);
  std::ifstream in(path);
  std::string contents;
  in >> contents;
  EXPECT_EQ(contents, "precious");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

// A disk that fills up part way through a save: every writer fails with the
// platform's reason, the file it was to replace stays byte for byte and no
// temporary file is left.
TEST(SaveImageFile, AFullDiskKeepsTheExistingFileForEveryWriter) {
  Bitmap noise(300, 300, pf24bit);
  std::uint32_t state = 12345;
  for (std::uint8_t& byte : noise.Bits()) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<std::uint8_t>(state >> 24);
  }
  SaveOptions options;
  options.password = "pw";
  for (const std::string& ext : SaveExtensions()) {
    SCOPED_TRACE(ext);
    const std::string dir = test::TempDir();
    const std::string path = dir + "/keep" + ext;
    const std::string original(3000, 'k');
    { std::ofstream(path, std::ios::binary) << original; }
    const int code = test::InChild(
        [&] {
          std::signal(SIGXFSZ, SIG_IGN);
          rlimit limit{1024, 1024};
          if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 3;
          try {
            SaveImageFile(path, noise, ext, options);
          } catch (const Exception& e) {
            return e.File() == path ? 0 : 4;
          }
          return 5;
        },
        false);
    EXPECT_EQ(code, 0);
    std::ifstream in(path, std::ios::binary);
    const std::string contents((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(contents, original);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
  }
}

// Formats that keep the size in 16 bits refuse a larger image instead of
// writing a cut size; an existing file stays as it was and nothing is left.
TEST(SaveImageFile, SixteenBitFormatsRefuseLargerImages) {
  const std::string dir = test::TempDir();
  SaveOptions options;
  options.password = "pw";
  for (const char* ext : {".GIF", ".XGIF", ".TGA"}) {
    SCOPED_TRACE(ext);
    const std::string path = dir + "/wide" + ext;
    { std::ofstream(path) << "precious"; }
    for (const auto& [width, height] : {std::pair{70000, 1}, std::pair{1, 65536}}) {
      const Bitmap wide(width, height, pf24bit);
      try {
        SaveImageFile(path, wide, ext, options);
        ADD_FAILURE() << "saved " << width << " x " << height;
      } catch (const Exception& e) {
        EXPECT_EQ(e.Code(), "core.TooLargeForFormat");
        EXPECT_NE(e.Context().find("65535"), std::string::npos) << e.Context();
      }
    }
    std::ifstream in(path);
    std::string contents;
    in >> contents;
    EXPECT_EQ(contents, "precious");
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 3);
  // The largest size the fields hold is written.
  EXPECT_EQ(SaveImageFile(dir + "/edge.tga", Bitmap(65535, 1, pf24bit), ".TGA", options), SaveOutcome::Written);
  Bitmap back;
  LoadImageFile(dir + "/edge.tga", back, test::Silent());
  EXPECT_EQ(back.Width(), 65535);
}

TEST(FilterIndexToExt, MapsTheSaveDialogTypes) {
  // The first ten types as they always were; the later formats after them.
  const char* expected[] = {"",      ".GIF", ".JPG",  ".PNG",  ".ICO",  ".TIF", ".BMP",
                            ".XGIF", ".XJPG", ".XPNG", ".TGA", ".WEBP", ".AVIF", ""};
  for (int i = 0; i <= 13; ++i) EXPECT_EQ(FilterIndexToExt(i), expected[i]) << i;
  EXPECT_EQ(FilterIndexToExt(-3), "");
}

TEST(FormatTables, ExtensionsAreUpperCaseWithDotAndUnique) {
  std::set<std::string> seen;
  for (const FormatRow& row : FormatRows()) {
    for (const char* extension : row.extensions) {
      if (!extension) continue;
      const std::string ext = extension;
      EXPECT_EQ(ext, UpperCase(ext));
      EXPECT_EQ(ext[0], '.');
      EXPECT_TRUE(seen.insert(ext).second) << ext;
    }
    // A row is reachable from somewhere, and every position has what it names.
    EXPECT_TRUE(row.Readable() || row.Writable() || row.maskPos > 0) << row.name;
    EXPECT_EQ(row.openFilterPos > 0, row.openFilter != nullptr) << row.name;
    EXPECT_EQ(row.saveTypeIndex > 0, row.saveFilter != nullptr) << row.name;
    EXPECT_EQ(row.saveOrder > 0, row.Writable()) << row.name;
    EXPECT_EQ(row.question == SaveQuestion::Password, row.loadPath == LoadPath::D) << row.name;
    if (row.batchSource) {
      EXPECT_TRUE(row.Readable()) << row.name;
    }
    if (row.batchTargetPos) {
      EXPECT_TRUE(row.Readable() && row.Writable()) << row.name;
    }
  }
  EXPECT_TRUE(CanLoadExtension(".jpeg"));
  EXPECT_TRUE(CanSaveExtension(".bmp"));
  EXPECT_FALSE(CanSaveExtension(".JPEG"));
  EXPECT_FALSE(CanLoadExtension(".ICL"));
}

// Every list the user sees, derived from the table, in the order of the
// program's own documents.
TEST(FormatTables, VisibleListsKeepTheirOrder) {
  EXPECT_EQ(OpenDialogFilter(),
            "Graphic Files|*.bmp;*.ico;*.gif;*.jpg;*.png;*.wmf;*.emf;*.tga;*.tif;*.xjpg;*.xgif;*.pcx;*.pcd;*.eps;*.psd;"
            "*.sgi;*.psp;*.ppm;*.cut;*.webp;*.avif;*.heic|GIF Images|*.gif|JPG Images|*.jpg|PNG Images|*.png|TIF "
            "Images|*.tif|Encrypted JPG "
            "Images|*.xjpg|Encrypted GIF Images|*.xgif|Encrypted PNG Images|*.xpng|ZSoft Paintbrush (*.pcx)|*.pcx|"
            "Truevision Target (*.tga)|*.tga|Kodak Photo CD (*.pcd)|*.pcd|Encapsulated Postscript (*.eps)|*.eps|"
            "Photoshop (*.psd)|*.psd|SGI Image File (*.sgi)|*.sgi|Paintshop Pro (*.psp)|*.psp|Portable Pixelmap "
            "(*.ppm)|*.ppm|Dr. Halo (*.cut)|*.cut|WebP Images|*.webp|AVIF Images|*.avif|HEIC Images|*.heic");
  EXPECT_EQ(SaveDialogFilter(),
            "Compuserve Graphics Interchange (*.gif)|*.gif|JPEG Compliant (*.jpg)|*.jpg|Portable Network Graphics "
            "(*.png)|*.png|Windows Icon (*.ico)|*.ico|Tagged Image File Format (*.tif)|*.tif|Windows Bitmap "
            "(*.bmp)|*.bmp|Encrypted GIF Images|*.xgif|Encrypted JPG Images|*.xjpg|Encrypted PNG Images|*.xpng|"
            "Truevision Target (*.tga)|*.tga|WebP Image (*.webp)|*.webp|AVIF Image (*.avif)|*.avif");
  EXPECT_EQ(FileBrowserMask(),
            "*.bmp;*.ico;*.gif;*.jpg;*.png;*.wmf;*.emf;*.tga;*.tif;*.xjpg;*.xgif;*.icl;*.pcx;*.pcd;*.eps;*.psd;*.sgi;"
            "*.psp;*.ppm;*.cut;*.webp;*.avif;*.heic");
  EXPECT_EQ(LoadExtensions(), (std::vector<std::string>{".TIF", ".PCX",  ".PCD", ".EPS", ".PSD",  ".PSP",  ".PPM",
                                                        ".CUT", ".SGI",  ".PNG", ".GIF", ".XGIF", ".XPNG", ".TGA",
                                                        ".JPG", ".JPEG", ".WMF", ".EMF", ".BMP",  ".ICO",  ".XJPG",
                                                        ".WEBP", ".AVIF", ".HEIC", ".HEIF"}));
  EXPECT_EQ(SaveExtensions(), (std::vector<std::string>{".JPG", ".TIF", ".TGA", ".PNG", ".GIF", ".XGIF", ".XPNG",
                                                        ".BMP", ".ICO", ".XJPG", ".WEBP", ".AVIF"}));
  EXPECT_EQ(BatchTargetNames(), (std::vector<std::string>{"BMP", "GIF", "JPG", "PNG", "WEBP", "AVIF"}));
  for (const char* ext : {".bmp", ".GIF", ".Jpg", ".png", ".webp", ".AVIF", ".heic"})
    EXPECT_TRUE(IsBatchSource(ext)) << ext;
  for (const char* ext : {".jpeg", ".ico", ".tif", ".xgif", ""}) EXPECT_FALSE(IsBatchSource(ext)) << ext;
}

TEST(AskSaveQuestions, AsksOnlyWhatTheFormatNeeds) {
  ScriptedInteraction script;
  SaveOptions options;
  const Bitmap square(32, 32, pf24bit), wide(48, 32, pf24bit);
  EXPECT_TRUE(AskSaveQuestions(".PNG", wide, options, script).proceed);
  EXPECT_TRUE(script.prompts.empty() && script.questions.empty());

  script.iconChoices = {IconColors::Colors16};
  SaveQuestions icon = AskSaveQuestions(".ico", square, options, script);
  EXPECT_TRUE(icon.proceed);
  EXPECT_FALSE(icon.resizeToIcon);
  EXPECT_EQ(options.iconColors, IconColors::Colors16);
  EXPECT_TRUE(script.questions.empty());

  script.iconChoices = {IconColors::Colors256};
  script.confirmations = {true};
  icon = AskSaveQuestions(".ICO", wide, options, script);
  EXPECT_TRUE(icon.proceed && icon.resizeToIcon);
  EXPECT_EQ(script.questions, (std::vector<std::string>{"Icon must be 32x32. Resize now?"}));

  script.passwords = {std::string("pw"), std::string()};
  EXPECT_TRUE(AskSaveQuestions(".XGIF", wide, options, script).proceed);
  EXPECT_EQ(options.password, "pw");
  EXPECT_FALSE(AskSaveQuestions(".XJPG", wide, options, script).proceed);
  // An encrypted save without a password writes nothing.
  const std::string path = test::TempDir() + "/none.xpng";
  EXPECT_EQ(SaveImageFile(path, wide, ".XPNG", SaveOptions()), SaveOutcome::Abandoned);
  EXPECT_FALSE(fs::exists(path));
}

}  // namespace
}  // namespace pixtrel
