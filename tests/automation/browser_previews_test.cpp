// The browser's previews as files, the file list's rule for what the browser
// shows, and the page bridge's calls answered by a board.
#include <gtest/gtest.h>

#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "automation/board_interface.h"
#include "automation/browser_previews.h"
#include "automation/page_bridge.h"
#include "core/bitmap.h"
#include "core/canvas.h"
#include "support/corpus.h"
#include "support/run_command.h"
#include "workspace/workspace.h"

namespace pixtrel::automation {
namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A blue picture with a white bottom-left corner and a red top-left one.
Bitmap Picture() {
  Bitmap image(40, 30, pf24bit);
  image.Fill(0xFF0000);  // blue: red is the low byte
  image.Canvas().Brush().color = clWhite;
  image.Canvas().FillRect(Rect{0, 20, 10, 30});
  image.Canvas().Brush().color = 0x0000FF;
  image.Canvas().FillRect(Rect{0, 0, 10, 10});
  return image;
}

PreviewFolders InOne(const std::string& dir) { return {dir + "/", dir + "/"}; }

TEST(BrowserPreviews, TiledWritesTheJpegAndExactlyTheTiledPage) {
  const std::string dir = test::TempDir();
  SaveOptions options;
  options.jpegQuality = 90;
  const std::string page = PreviewTiled(Picture(), options, InOne(dir));
  EXPECT_EQ(page, dir + "/tiled.html");
  EXPECT_EQ(ReadText(page),
            "<html><head><title>test tiling</title></head><body background=\"tiled.jpg\"></body></html>");
  const QImage jpeg(QString::fromStdString(dir + "/tiled.jpg"), "JPG");
  ASSERT_EQ(jpeg.size(), QSize(40, 30));
  EXPECT_LT(qRed(jpeg.pixel(35, 15)), 40);
  EXPECT_GT(qBlue(jpeg.pixel(35, 15)), 215);
}

TEST(BrowserPreviews, TransparentReplacesTheTiledPageAndIsTransparentWithTheOptionOff) {
  const std::string dir = test::TempDir();
  SaveOptions options;
  options.gifTransparent = false;
  PreviewTiled(Picture(), options, InOne(dir));
  const std::string page = PreviewTransparent(Picture(), options, InOne(dir));
  EXPECT_EQ(page, dir + "/tiled.html");
  EXPECT_EQ(ReadText(page),
            "<html><head><title>test tiling</title></head><body bgcolor=\"black\"><img "
            "src=\"transparent.gif\"></body></html>");

  // The peer sees the bottom-left colour (white) transparent and the others
  // opaque.
  const std::string gif = dir + "/transparent.gif";
  const test::CommandResult alpha =
      test::RunCommand("convert '" + gif + "' -format '%[fx:p{0,h-1}.a] %[fx:p{5,5}.a] %[fx:p{30,15}.a]' info: 2>&1");
  ASSERT_EQ(alpha.exitCode, 0) << alpha.output;
  EXPECT_EQ(alpha.output, "0 1 1");
  const test::CommandResult info = test::RunCommand("gifsicle --info '" + gif + "' 2>&1");
  ASSERT_EQ(info.exitCode, 0) << info.output;
  EXPECT_NE(info.output.find("transparent"), std::string::npos) << info.output;
}

TEST(BrowserPreviews, AFolderThatCannotBeWrittenRaisesAndWritesNoPage) {
  const std::string dir = test::TempDir();
  const PreviewFolders missing{dir + "/", dir + "/gone/"};
  EXPECT_ANY_THROW(PreviewTiled(Picture(), SaveOptions(), missing));
  EXPECT_ANY_THROW(PreviewTransparent(Picture(), SaveOptions(), missing));
  EXPECT_FALSE(std::filesystem::exists(dir + "/gone/tiled.html"));
  // Nothing to save is an error too, not an empty page.
  EXPECT_ANY_THROW(PreviewTiled(Bitmap(), SaveOptions(), InOne(dir)));
  EXPECT_FALSE(std::filesystem::exists(dir + "/tiled.html"));
}

TEST(BrowserPreviews, PngPreviewUsesTheShippedPageAndCopiesItBesideAPictureElsewhere) {
  const std::string shipped = test::TempDir();
  const std::string writable = test::TempDir();
  PngTransparency state;
  state.Enter(Picture());
  state.level = 128;
  shapes::ZepShape shape;

  // Run from its own folder: the shipped page is shown as it is.
  WritePageFile(shipped + "/preview-png.html", "<img src=\"preview-png.png\">");
  EXPECT_EQ(PreviewPng(state, shape, InOne(shipped)), shipped + "/preview-png.html");
  const QImage png(QString::fromStdString(shipped + "/preview-png.png"));
  ASSERT_EQ(png.size(), QSize(40, 30));
  EXPECT_EQ(qAlpha(png.pixel(20, 15)), 128);

  // Installed: the page joins the picture in the writable folder.
  const PreviewFolders installed{shipped + "/", writable + "/"};
  EXPECT_EQ(PreviewPng(state, shape, installed), writable + "/preview-png.html");
  EXPECT_EQ(ReadText(writable + "/preview-png.html"), "<img src=\"preview-png.png\">");
  EXPECT_TRUE(std::filesystem::exists(writable + "/preview-png.png"));

  // Without a shipped page the browser is left to say it cannot show it.
  std::filesystem::remove(shipped + "/preview-png.html");
  std::filesystem::remove(writable + "/preview-png.html");
  EXPECT_EQ(PreviewPng(state, shape, installed), shipped + "/preview-png.html");
  EXPECT_FALSE(std::filesystem::exists(writable + "/preview-png.html"));
}

TEST(BrowserPreviews, SingleClickShowsOnlyTheListedExtensions) {
  for (const char* shown : {"/a/b.png", "/a/b.PNG", "/a/b.Jpg", "/a/b.gif", "/a/b.bmp", "/a/b.wmf", "/a/b.emf",
                            "/a/b.svg", "/a/b.vml", "/a/x.tif.png"})
    EXPECT_TRUE(ShowsInBrowser(shown)) << shown;
  for (const char* not_shown :
       {"/a/b.tif", "/a/b.jpeg", "/a/b.ico", "/a/b.", "/a/b", "/a.png/b", "/a/b.pn", "/a/b.png]", "/a/b.g", "/a/b.mp"})
    EXPECT_FALSE(ShowsInBrowser(not_shown)) << not_shown;
  EXPECT_EQ(WizardFolder(PreviewFolders{"/opt/p/share/pixtrel/", "/home/u/"}), "/opt/p/share/pixtrel/wizards");
  EXPECT_STREQ(kWizardFilter, "Pixtrel Wizards (*-wizard.html)|*-wizard.html");
}

class PageBridge : public testing::Test {
 protected:
  PageBridge() : board(workspace, turtle) {
    Bitmap white(100, 60, pf24bit);
    white.Fill(clWhite);
    workspace.SetImage(white);
  }

  QJsonObject Call(const std::string& json) {
    const std::string answer = AnswerBridgeCall(board, json);
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(answer));
    EXPECT_TRUE(document.isObject()) << answer;
    return document.object();
  }

  Workspace workspace;
  Turtle turtle;
  Board board;
};

TEST_F(PageBridge, CallsDrawAndReturnResults) {
  EXPECT_TRUE(Call(R"({"member":"PenColor","kind":"method","args":["#FF0000"]})")["ok"].toBool());
  EXPECT_TRUE(Call(R"({"member":"line","kind":"method","args":[0,10,50.0,10]})")["ok"].toBool());
  EXPECT_EQ(workspace.Image().Pixel(20, 10) & 0xFFFFFF, 0x0000FFu);

  const QJsonObject width = Call(R"({"member":"ImageWidth","kind":"method","args":[]})");
  EXPECT_TRUE(width["ok"].toBool());
  EXPECT_TRUE(width["result"].isDouble());
  EXPECT_EQ(width["result"].toInt(), 100);
  const QJsonObject pixel = Call(R"({"member":"getPixelColor","kind":"method","args":[20,10]})");
  EXPECT_EQ(pixel["result"].toString(), QStringLiteral("#FF0000"));
  // A method with no result answers without one.
  EXPECT_FALSE(Call(R"({"member":"PenUp","kind":"method","args":[]})").contains(QStringLiteral("result")));
}

TEST_F(PageBridge, AngleIsReadAndWrittenAsAProperty) {
  EXPECT_TRUE(Call(R"({"member":"angle","kind":"put","args":[22.5]})")["ok"].toBool());
  EXPECT_EQ(turtle.Heading, 22);
  EXPECT_TRUE(Call(R"({"member":"Angle","kind":"put","args":["23.5"]})")["ok"].toBool());
  EXPECT_EQ(Call(R"({"member":"angle","kind":"get","args":[]})")["result"].toInt(), 24);
  // As a method it is unknown.
  EXPECT_FALSE(Call(R"({"member":"angle","kind":"method","args":[]})")["ok"].toBool());
}

TEST_F(PageBridge, FailuresCarryTheMembersMessage) {
  const QJsonObject text = Call(R"({"member":"Line","kind":"method","args":["x",0,5,5]})");
  EXPECT_FALSE(text["ok"].toBool());
  EXPECT_NE(text["error"].toString().indexOf(QStringLiteral("The value cannot be read as a number")), -1)
      << text["error"].toString().toStdString();
  const QJsonObject notFinite = Call(R"({"member":"MoveTo","kind":"method","args":["NaN",0]})");
  EXPECT_FALSE(notFinite["ok"].toBool());
  const QJsonObject count = Call(R"({"member":"Line","kind":"method","args":[1,2]})");
  EXPECT_FALSE(count["ok"].toBool());
  EXPECT_NE(count["error"].toString().indexOf(QStringLiteral("Wrong number of arguments")), -1);
  EXPECT_FALSE(Call(R"({"member":"Explode","kind":"method","args":[]})")["ok"].toBool());
  for (const char* malformed : {"", "[]", "{", R"({"member":"Line","kind":"call","args":[]})",
                                R"({"member":"Line","kind":"method","args":[[1],2,3,4]})"})
    EXPECT_FALSE(Call(malformed)["ok"].toBool()) << malformed;

  workspace.SetImage(Bitmap());
  const QJsonObject none = Call(R"({"member":"Rectangle","kind":"method","args":[0,0,5,5]})");
  EXPECT_EQ(none["error"].toString(), QStringLiteral("There is no image to draw on"));
}

TEST(PageBridgeScript, NamesEveryMemberOfTheTableAndTheMarker) {
  const std::string script = BridgeScript();
  for (const BoardMember& member : BoardMembers())
    EXPECT_NE(script.find(std::string("\"") + member.name + "\""), std::string::npos) << member.name;
  EXPECT_NE(script.find(std::string("\"") + kBridgeMarker + "\""), std::string::npos);
  EXPECT_EQ(script.find("METHODS"), std::string::npos);
}

}  // namespace
}  // namespace pixtrel::automation
