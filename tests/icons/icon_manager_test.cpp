// The icon manager's model: what each command does to the library, the
// selected icon and its images, the row layout, and a corpus library edited
// and saved, read back by wrestool and icotool and by our own reader.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "core/scripted_interaction.h"
#include "core/stream.h"
#include "icons/icon_encoder.h"
#include "icons/icon_manager.h"
#include "support/corpus.h"
#include "support/run_command.h"

namespace pixtrel::icons {
namespace {

// A solid square image of the given side and colour, opaque but for its
// bottom-right pixel.
std::unique_ptr<IconImage> Solid(int side, Color color, int bits = 32) {
  Bitmap picture(side, side, pf32bit);
  for (int y = 0; y < side; ++y) {
    std::uint8_t* row = picture.ScanLine(y);
    for (int x = 0; x < side; ++x) {
      row[4 * x] = static_cast<std::uint8_t>(GetBValue(color));
      row[4 * x + 1] = static_cast<std::uint8_t>(GetGValue(color));
      row[4 * x + 2] = static_cast<std::uint8_t>(GetRValue(color));
      row[4 * x + 3] = (x == side - 1 && y == side - 1) ? 0 : 255;
    }
  }
  return MakeIconImage(picture, bits);
}

// An ICO file of images 16, 32 and 48 pixels wide, in that order.
std::string ThreeImageIco(const std::string& folder, const std::string& name = "three.ico") {
  AdvancedIcon icon;
  icon.Images().Add(Solid(16, clRed));
  icon.Images().Add(Solid(32, clLime));
  icon.Images().Add(Solid(48, clBlue));
  const std::string path = folder + "/" + name;
  icon.SaveToFile(path);
  return path;
}

std::vector<int> Widths(const AdvancedIcon& icon) {
  std::vector<int> widths;
  for (int i = 0; i < icon.Images().Count(); ++i) widths.push_back(icon.Images().Get(i)->PixelWidth());
  return widths;
}

std::string CorpusLibrary(const std::string& name) { return test::CorpusDir() + "/icl/" + name; }

class IconManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = test::TempDir();
    manager_.libraryRefreshed = [this] { ++libraryRefreshes_; };
    manager_.iconListRefreshed = [this] { ++iconListRefreshes_; };
  }
  // A library of two icons: "three" (16, 32, 48) and "one" (a 32).
  void TwoIcons() {
    manager_.AppendIcons({ThreeImageIco(folder_)});
    AdvancedIcon one;
    one.Images().Add(Solid(32, clYellow));
    one.SaveToFile(folder_ + "/one.ico");
    manager_.AppendIcons({folder_ + "/one.ico"});
  }

  std::string folder_;
  IconManager manager_;
  int libraryRefreshes_ = 0;
  int iconListRefreshes_ = 0;
};

TEST_F(IconManagerTest, LoadIconEmptiesTheLibraryAndSaveLibraryThenDoesNothing) {
  TwoIcons();
  manager_.Library.FileName = "/lib/before.icl";
  manager_.LoadIcon(ThreeImageIco(folder_, "loaded.ico"));
  EXPECT_EQ(manager_.Library.Icons.Count(), 0);
  EXPECT_EQ(manager_.SelectedIcon(), -1);
  EXPECT_EQ(Widths(manager_.CurrentIcon), (std::vector<int>{16, 32, 48}));
  EXPECT_EQ(manager_.SelectedImage(), 0);
  EXPECT_EQ(manager_.Caption(), "Library: /lib/before.icl");
  EXPECT_FALSE(manager_.CanSaveLibrary());
  manager_.SaveLibrary(folder_ + "/nothing.icl");
  EXPECT_FALSE(std::filesystem::exists(folder_ + "/nothing.icl"));
  // The loaded icon itself can be saved, and reads back the same.
  ASSERT_TRUE(manager_.CanSaveIcon());
  manager_.SaveIcon(folder_ + "/again.ico");
  EXPECT_EQ(ReadFileBytes(folder_ + "/again.ico"), ReadFileBytes(folder_ + "/loaded.ico"));
}

TEST_F(IconManagerTest, AppendedNonIconIsAnIconWithoutImagesAndADefaultRow) {
  std::ofstream(folder_ + "/notes.txt") << "no icon here";
  std::ofstream(folder_ + "/short.ico", std::ios::binary) << std::string("\0\0\1\0\5\0", 6);
  manager_.AppendIcons({folder_ + "/notes.txt", folder_ + "/short.ico"});
  ASSERT_EQ(manager_.Library.Icons.Count(), 2);
  EXPECT_EQ(manager_.Library.Icons.Name(0), "notes");
  EXPECT_EQ(manager_.Library.Icons.Name(1), "short");
  EXPECT_EQ(manager_.Library.Icons.Icon(0)->Images().Count(), 0);
  EXPECT_EQ(manager_.Library.Icons.Icon(1)->Images().Count(), 0);
  EXPECT_EQ(RowHeight(manager_.Library.Icons.Icon(0)->Images().Get(0)), kDefaultRowHeight);
  EXPECT_EQ(manager_.SelectedImage(), -1);
  // A file that cannot be opened is reported; what came before it stays.
  EXPECT_ANY_THROW(manager_.AppendIcons({ThreeImageIco(folder_), folder_ + "/missing.ico"}));
  EXPECT_EQ(manager_.Library.Icons.Count(), 3);
}

TEST_F(IconManagerTest, DraggingTheFirstImageOntoTheThirdSwapsThem) {
  TwoIcons();
  manager_.SwapImages(0, 2);
  EXPECT_EQ(Widths(manager_.CurrentIcon), (std::vector<int>{48, 32, 16}));
  EXPECT_EQ(Widths(*manager_.Library.Icons.Icon(0)), (std::vector<int>{48, 32, 16}));
  EXPECT_EQ(manager_.SelectedImage(), 0);
  // A drop outside the rows changes nothing.
  manager_.SwapImages(1, 7);
  EXPECT_EQ(Widths(manager_.CurrentIcon), (std::vector<int>{48, 32, 16}));
}

TEST_F(IconManagerTest, RenameKeepsTheNameOnAnEmptyAnswerAndSelectsTheFirstIconAfter) {
  TwoIcons();
  manager_.ClickLibraryRow(1);
  EXPECT_EQ(Widths(manager_.CurrentIcon), (std::vector<int>{32}));
  ScriptedInteraction ui;
  ui.inputs = {std::string(), std::nullopt, std::string("renamed")};
  manager_.RenameIcon(ui);
  manager_.RenameIcon(ui);
  EXPECT_EQ(manager_.Library.Icons.Name(1), "one");
  EXPECT_EQ(manager_.SelectedIcon(), 1);
  manager_.RenameIcon(ui);
  EXPECT_EQ(manager_.Library.Icons.Name(1), "renamed");
  EXPECT_EQ(manager_.SelectedIcon(), 0);
  EXPECT_EQ(Widths(manager_.CurrentIcon), (std::vector<int>{16, 32, 48}));
  ASSERT_EQ(ui.prompts.size(), 3u);
  EXPECT_EQ(ui.prompts[0], "Icon Rename: Rename to:");
}

TEST_F(IconManagerTest, ImageCommandsWriteBackAndKeepTheLastImage) {
  TwoIcons();
  manager_.SelectImageRow(2);
  manager_.CopyImage();
  manager_.ClickLibraryRow(1);
  manager_.PasteAppend();
  EXPECT_EQ(Widths(*manager_.Library.Icons.Icon(1)), (std::vector<int>{32, 48}));
  manager_.SelectImageRow(1);
  manager_.DeleteImage();
  EXPECT_EQ(Widths(*manager_.Library.Icons.Icon(1)), (std::vector<int>{32}));
  manager_.DeleteImage();
  EXPECT_EQ(Widths(*manager_.Library.Icons.Icon(1)), (std::vector<int>{32}));

  manager_.ClickLibraryRow(0);
  manager_.SwapImages(0, 2);
  manager_.SortSize();
  EXPECT_EQ(Widths(*manager_.Library.Icons.Icon(0)), (std::vector<int>{16, 32, 48}));
  // Sorting by colours puts the depths first: a 4-bit 48 before 32-bit ones.
  manager_.CurrentIcon.Images().Add(Solid(48, clWhite, 4));
  manager_.SortColors();
  EXPECT_EQ(Widths(*manager_.Library.Icons.Icon(0)), (std::vector<int>{48, 16, 32, 48}));
}

TEST_F(IconManagerTest, CommandsWithoutASelectionDoNothing) {
  ScriptedInteraction ui;
  manager_.DeleteIcon();
  manager_.RenameIcon(ui);
  manager_.CopyImage();
  manager_.PasteAppend();
  manager_.DeleteImage();
  EXPECT_FALSE(manager_.HasCopiedImage());
  EXPECT_TRUE(ui.prompts.empty());
  EXPECT_EQ(manager_.Library.Icons.Count(), 0);
  manager_.ClickLibraryRow(0);
  EXPECT_EQ(manager_.SelectedIcon(), -1);
}

TEST_F(IconManagerTest, ClearEmptiesBothLists) {
  TwoIcons();
  iconListRefreshes_ = libraryRefreshes_ = 0;
  manager_.ClearLibrary();
  EXPECT_EQ(manager_.Library.Icons.Count(), 0);
  EXPECT_EQ(manager_.CurrentIcon.Images().Count(), 0);
  EXPECT_EQ(libraryRefreshes_, 1);
  EXPECT_EQ(iconListRefreshes_, 1);
}

TEST_F(IconManagerTest, TooManyIconsAreRefusedWithTheMessage) {
  for (int i = 0; i < 32768; ++i) manager_.Library.Icons.AddIcon("i", std::make_unique<AdvancedIcon>());
  try {
    manager_.SaveLibrary(folder_ + "/big.icl");
    FAIL() << "saved";
  } catch (const EICLReadError& error) {
    EXPECT_STREQ(error.what(), "Iconlibraries with more than 32767 are not possible");
  }
  EXPECT_FALSE(std::filesystem::exists(folder_ + "/big.icl"));
}

TEST_F(IconManagerTest, UnreadableLibraryKeepsTheIconsAndShowsTheNewName) {
  TwoIcons();
  manager_.LoadLibraryFile(CorpusLibrary("own-icl-missing-image-shared.icl"));
  EXPECT_EQ(manager_.Library.Icons.Count(), 2);
  EXPECT_EQ(manager_.Library.Icons.Name(0), "three");
  EXPECT_EQ(manager_.Caption(), "Library: " + CorpusLibrary("own-icl-missing-image-shared.icl"));
}

TEST_F(IconManagerTest, ProgramLibraryIsTheIconsFolderBesideTheProgram) {
  std::filesystem::create_directories(folder_ + "/icons");
  ThreeImageIco(folder_ + "/icons", "pixtrel.ico");
  manager_.LoadFromProgram(folder_ + "/pixtrel");
  EXPECT_EQ(manager_.Caption(), "Library: " + folder_ + "/pixtrel");
  ASSERT_EQ(manager_.Library.Icons.Count(), 1);
  EXPECT_EQ(manager_.Library.Icons.Name(0), "pixtrel");
  EXPECT_EQ(Widths(manager_.CurrentIcon), (std::vector<int>{16, 32, 48}));
}

TEST(IconManagerRows, LayoutOfARow) {
  const auto i16 = Solid(16, clRed);
  const auto i48 = Solid(48, clRed);
  EXPECT_EQ(RowHeight(i16.get()), 20);
  EXPECT_EQ(RowHeight(i48.get()), 52);
  EXPECT_EQ(RowHeight(nullptr), 48);
  EXPECT_EQ(RowImageX(*i16), 22);
  EXPECT_EQ(RowImageX(*i48), 6);
  EXPECT_EQ(RowCaptionY(100, i48.get(), 13), 100 + 2 + 17);
  // An image wider than the column starts left of the row.
  Bitmap wide(128, 128, pf32bit);
  EXPECT_EQ(RowImageX(*MakeIconImage(wide, 32)), -34);
}

TEST(IconManagerRows, ImageOnWhiteShowsTransparentPixelsWhite) {
  const Bitmap b = ImageOnWhite(*Solid(16, clRed, 8));
  ASSERT_EQ(b.Width(), 16);
  EXPECT_EQ(b.Pixel(0, 0), clRed);
  EXPECT_EQ(b.Pixel(15, 15), clWhite);
}

TEST(IconManagerNames, ExtensionsOfChosenNames) {
  EXPECT_EQ(ChangeFileExt("/a/b.c/pic", ".gif"), "/a/b.c/pic.gif");
  EXPECT_EQ(ChangeFileExt("/a/pic.x.bmp", ".png"), "/a/pic.x.png");
  EXPECT_EQ(WithDefaultExt("/a/lib", ".icl"), "/a/lib.icl");
  EXPECT_EQ(WithDefaultExt("/a/lib.ICL", ".icl"), "/a/lib.ICL");
  EXPECT_EQ(WithDefaultExt("/a.d/lib", ".icl"), "/a.d/lib.icl");
}

// One group per line of "wrestool -l": the images of every extracted group
// as icotool lists them ("WxHxBITS"), groups in file order.
std::vector<std::vector<std::string>> PeerGroups(const std::string& library, const std::string& folder) {
  std::vector<std::vector<std::string>> groups;
  const std::string listing = test::RunCommand("wrestool -l '" + library + "'").output;
  const std::regex groupLine(R"(--type=14 --name=(\S+) )");
  for (std::sregex_iterator it(listing.begin(), listing.end(), groupLine), end; it != end; ++it) {
    const std::string out = folder + "/group" + std::to_string(groups.size()) + ".ico";
    test::RunCommand("wrestool -x --type=14 --name=" + (*it)[1].str() + " -o '" + out + "' '" + library + "'");
    const std::string images = test::RunCommand("icotool -l '" + out + "'").output;
    const std::regex imageLine(R"(--width=(\d+) --height=(\d+) --bit-depth=(\d+))");
    std::vector<std::string> sizes;
    for (std::sregex_iterator i(images.begin(), images.end(), imageLine); i != end; ++i)
      sizes.push_back((*i)[1].str() + "x" + (*i)[2].str() + "x" + (*i)[3].str());
    groups.push_back(sizes);
  }
  return groups;
}

std::vector<std::vector<std::string>> OurGroups(const IconLibrary& library) {
  std::vector<std::vector<std::string>> groups;
  for (int g = 0; g < library.Icons.Count(); ++g) {
    std::vector<std::string> sizes;
    const AdvancedIcon& icon = *library.Icons.Icon(g);
    for (int i = 0; i < icon.Images().Count(); ++i) {
      const IconImage& image = *icon.Images().Get(i);
      // The depth as the image's own header states it (directories may say 0).
      const std::vector<std::uint8_t>& data = image.Data();
      const int bits = data.size() >= 16 ? data[14] | (data[15] << 8) : 0;
      sizes.push_back(std::to_string(image.PixelWidth()) + "x" + std::to_string(image.PixelHeight()) + "x" +
                      std::to_string(bits));
    }
    groups.push_back(sizes);
  }
  return groups;
}

TEST(IconManagerCorpus, EditedLibraryReadsBackInPeersAndOurselves) {
  const std::string folder = test::TempDir();
  IconManager manager;
  manager.LoadLibraryFile(CorpusLibrary("own-icl-named-shift4-shared.icl"));
  ASSERT_EQ(manager.Library.Icons.Count(), 5);
  ScriptedInteraction ui;
  ui.inputs = {std::string("renamed-hh")};
  manager.RenameIcon(ui);                          // icon 0
  manager.ClickLibraryRow(3);                      // "python"
  manager.DeleteIcon();
  manager.AppendIcons({ThreeImageIco(folder)});    // "three", last
  manager.ClickLibraryRow(1);                      // "WINEMINE"
  const int images = manager.CurrentIcon.Images().Count();
  ASSERT_GE(images, 3);
  manager.SwapImages(0, 2);
  manager.ClickLibraryRow(2);                      // "NOTEPAD"
  manager.SortColors();

  const std::string saved = folder + "/edited.icl";
  manager.SaveLibrary(saved);

  IconLibrary back;
  back.LoadFromFile(saved);
  ASSERT_EQ(back.Icons.Count(), 5);
  const std::vector<std::string> names = {"renamed-hh", "WINEMINE", "NOTEPAD", "smile", "three"};
  for (int g = 0; g < 5; ++g) {
    SCOPED_TRACE(g);
    EXPECT_EQ(back.Icons.Name(g), names[g]);
    const AdvancedIcon& a = *manager.Library.Icons.Icon(g);
    const AdvancedIcon& b = *back.Icons.Icon(g);
    ASSERT_EQ(a.Images().Count(), b.Images().Count());
    for (int i = 0; i < a.Images().Count(); ++i) {
      EXPECT_EQ(a.Images().Get(i)->DirEntry(), b.Images().Get(i)->DirEntry());
      EXPECT_EQ(a.Images().Get(i)->Data(), b.Images().Get(i)->Data());
    }
  }
  EXPECT_EQ(Widths(*back.Icons.Icon(4)), (std::vector<int>{16, 32, 48}));
  // The peers see the same groups with the same images in the same order.
  const auto peer = PeerGroups(saved, folder);
  EXPECT_EQ(peer, OurGroups(back));
  ASSERT_EQ(peer.size(), 5u);
}

}  // namespace
}  // namespace pixtrel::icons
