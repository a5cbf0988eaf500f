// Images between the workspace and the icon manager: "&Append to Icon
// Library", "Copy to &Editor", the picture exports, and the program's own
// icon as the build makes it.
#include <gtest/gtest.h>

#include <QImage>

#include "core/stream.h"
#include "icons/icon_encoder.h"
#include "io/image_io.h"
#include "support/corpus.h"
#include "support/io_support.h"
#include "support/run_command.h"
#include "workspace/icon_transfer.h"
#include "workspace/program_icon.h"
#include "workspace/workspace.h"

namespace pixtrel {
namespace {

Bitmap Gradient(int w, int h) {
  Bitmap b(w, h, pf24bit);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixel(x, y, RGB(x * 5 % 256, y * 3 % 256, 128));
  return b;
}

// A 16 x 16 image: red with a transparent bottom-left quarter.
std::unique_ptr<icons::IconImage> RedWithHole(int bits) {
  Bitmap picture(16, 16, pf32bit);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      std::uint8_t* p = picture.ScanLine(y) + 4 * x;
      p[0] = 0, p[1] = 0, p[2] = 255;
      p[3] = (x < 8 && y >= 8) ? 0 : 255;
    }
  return icons::MakeIconImage(picture, bits);
}

TEST(AppendToIconLibrary, AddsA32Pixel256ColourQuickAddIcon) {
  icons::IconManager manager;
  manager.Library.Icons.AddIcon("first", std::make_unique<icons::AdvancedIcon>());
  AppendToIconLibrary(Gradient(90, 40), manager);
  AppendToIconLibrary(Gradient(12, 50), manager);
  ASSERT_EQ(manager.Library.Icons.Count(), 3);
  for (int i = 1; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(manager.Library.Icons.Name(i), kQuickAddName);
    const icons::AdvancedIcon& icon = *manager.Library.Icons.Icon(i);
    ASSERT_EQ(icon.Images().Count(), 1);
    const icons::IconImage& image = *icon.Images().Get(0);
    EXPECT_EQ(image.Width(), 32);
    EXPECT_EQ(image.Height(), 32);
    EXPECT_EQ(image.ColorCount(), 8);  // planes x bits, as the one-image writer stores it
    EXPECT_EQ(image.BytesInRes(), 2216u);
    EXPECT_EQ(image.Data()[14], 8);
  }
  // The selection went back to the first icon.
  EXPECT_EQ(manager.SelectedIcon(), 0);
  // The square's white padding sits above and below a wide picture; the
  // bottom-left pixel is white, so the padding is transparent.
  const icons::IconPicture picture = icons::DecodeIconData(manager.Library.Icons.Icon(1)->Images().Get(0)->Data());
  EXPECT_EQ(picture.andMask[0], 1);
  EXPECT_EQ(picture.andMask[16 * 32 + 16], 0);
  // The peers read the library with the icon in it.
  const std::string folder = test::TempDir();
  manager.Library.Icons.Delete(0);
  manager.Library.SaveToFile(folder + "/quick.icl");
  const std::string listing = test::RunCommand("wrestool -l '" + folder + "/quick.icl'").output;
  EXPECT_NE(listing.find("--type=3 --name=2 [type=icon offset="), std::string::npos) << listing;
  EXPECT_NE(listing.find("size=2216]"), std::string::npos) << listing;
}

TEST(CopyToEditor, ImageOnWhiteWithoutASnapshot) {
  Workspace workspace;
  workspace.SetImage(Gradient(50, 50));
  CopyIconImageToEditor(*RedWithHole(32), workspace);
  ASSERT_EQ(workspace.Image().Width(), 16);
  EXPECT_EQ(workspace.Image().Pixel(12, 2), clRed);
  EXPECT_EQ(workspace.Image().Pixel(2, 12), clWhite);
  EXPECT_FALSE(workspace.UndoEnabled());
}

TEST(ExportIconImage, PicturesOnWhiteWithTheCommandsExtension) {
  const std::string folder = test::TempDir();
  SaveOptions session;
  session.pngText = "not for icons";
  const auto image = RedWithHole(8);

  const std::string bmp = ExportIconImage(*image, folder + "/pic.ico", IconExport::Bmp, session, true);
  EXPECT_EQ(bmp, folder + "/pic.bmp");
  const QImage fromBmp(QString::fromStdString(bmp));
  ASSERT_EQ(fromBmp.size(), QSize(16, 16));
  EXPECT_EQ(fromBmp.pixelColor(2, 12), QColor(Qt::white));
  EXPECT_EQ(fromBmp.pixelColor(12, 2), QColor(Qt::red));

  const std::string png = ExportIconImage(*image, folder + "/pic", IconExport::Png, session, true);
  EXPECT_EQ(png, folder + "/pic.png");
  EXPECT_EQ(test::RunCommand("pngcheck -q '" + png + "'").exitCode, 0);
  EXPECT_EQ(test::RunCommand("pngcheck -t '" + png + "'").output.find("not for icons"), std::string::npos);

  // The bottom-left pixel (white) is the transparent colour only when asked.
  const std::string gif = ExportIconImage(*image, folder + "/pic.x.bmp", IconExport::Gif, session, true);
  EXPECT_EQ(gif, folder + "/pic.x.gif");
  const std::string info = test::RunCommand("gifsicle -I '" + gif + "' 2>&1").output;
  EXPECT_NE(info.find("transparent"), std::string::npos) << info;
  Bitmap back;
  LoadImageFile(gif, back, test::Silent());
  EXPECT_EQ(back.Pixel(12, 2), clRed);
  const std::string opaque = ExportIconImage(*image, folder + "/opaque", IconExport::Gif, session, false);
  EXPECT_EQ(test::RunCommand("gifsicle -I '" + opaque + "' 2>&1").output.find("transparent"), std::string::npos);
}

TEST(ProgramIcon, EverySizeAndDepthFromOnePicture) {
  const std::vector<std::uint8_t> source = ReadFileBytes(PIXTREL_SOURCE_DIR "/src/tools/pixtrel-icon.png");
  const auto icon = MakeProgramIcon(source);
  ASSERT_EQ(icon->Images().Count(), 9);
  const std::string folder = test::TempDir();
  icon->SaveToFile(folder + "/pixtrel.ico");
  const std::string listing = test::RunCommand("icotool -l '" + folder + "/pixtrel.ico'").output;
  for (const int size : kProgramIconSizes)
    for (const int depth : kProgramIconDepths) {
      const std::string line = "--width=" + std::to_string(size) + " --height=" + std::to_string(size) +
                               " --bit-depth=" + std::to_string(depth);
      EXPECT_NE(listing.find(line), std::string::npos) << line << "\n" << listing;
    }
  // The picture's transparent corners stay transparent at every depth, its
  // middle stays opaque.
  for (int i = 0; i < icon->Images().Count(); ++i) {
    SCOPED_TRACE(i);
    const icons::IconPicture picture = icons::DecodeIconData(icon->Images().Get(i)->Data());
    const int side = picture.Width();
    EXPECT_EQ(picture.andMask[0], 1);
    EXPECT_EQ(picture.andMask[static_cast<std::size_t>(side / 2) * side + side / 2], 0);
    EXPECT_EQ(picture.color.ScanLine(side / 2)[4 * (side / 2) + 3], 255);
  }
  // The build put the same icon into the "icons" folder.
  EXPECT_EQ(ReadFileBytes(PIXTREL_PROGRAM_ICON), ReadFileBytes(folder + "/pixtrel.ico"));
}

}  // namespace
}  // namespace pixtrel
