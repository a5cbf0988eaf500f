// Opening, editing and saving through the main window: the commands the user
// reaches by menu, shortcut and mouse, with scripted answers.
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSlider>

#include "app/edit_actions.h"
#include "app/jpeg_preview_window.h"
#include "app/workspace_view.h"
#include "io/image_io.h"
#include "shell_fixture.h"

namespace pixtrel::test {
namespace {

QRgb PixelAt(const Bitmap& bitmap, int x, int y) {
  Bitmap converted(bitmap);
  converted.SetPixelFormat(pf24bit);
  const std::uint8_t* row = converted.ScanLine(y);
  return qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
}

// A PNG with short texts, which Qt writes as uncompressed tEXt chunks in key order.
QString WritePngWithText(const QString& path, const QStringList& texts) {
  QImage image(8, 8, QImage::Format_RGB888);
  image.fill(Qt::blue);
  for (int i = 0; i < texts.size(); ++i) image.setText(QStringLiteral("Comment%1").arg(i), texts[i]);
  EXPECT_TRUE(image.save(path, "PNG"));
  return path;
}

TEST_F(ShellTest, DoubleClickAndEnterOpenTheFile) {
  WriteImage("red.bmp", Qt::red, 40, 30);
  WriteImage("green.png", Qt::green, 20, 10);
  PixtrelF& window = Start();
  window.Browser()->SetFolder(images_);
  ShowActive();
  QListWidget* files = window.Browser()->Files();
  ASSERT_EQ(files->count(), 2);

  const QRect first = files->visualItemRect(files->item(1));  // red.bmp
  QTest::mouseClick(files->viewport(), Qt::LeftButton, Qt::NoModifier, first.center());
  QTest::mouseDClick(files->viewport(), Qt::LeftButton, Qt::NoModifier, first.center());
  EXPECT_EQ(window.CurrentWorkspace().Image().Width(), 40);
  EXPECT_EQ(PixelAt(window.CurrentWorkspace().Image(), 5, 5), qRgb(255, 0, 0));
  EXPECT_EQ(window.View()->ShownImage().size(), QSize(40, 30));

  files->setCurrentItem(files->item(0));  // green.png
  QTest::keyClick(files, Qt::Key_Return);
  EXPECT_EQ(window.CurrentWorkspace().Image().Width(), 20);
  EXPECT_TRUE(answers_.messages.empty());
}

TEST_F(ShellTest, OpenShowsTheFilterAndFillsTheTextBox) {
  WritePngWithText(images_ + "/text.png", {"first line\nsecond", "other"});
  const QString bmp = WriteImage("plain.bmp", Qt::white);
  PixtrelF& window = Start();
  dialogs_.openAnswers = {(images_ + "/text.png").toStdString(), std::nullopt, bmp.toStdString()};
  window.Open1Click();
  ASSERT_EQ(dialogs_.requests.size(), 1u);
  EXPECT_EQ(dialogs_.requests[0].text,
            "Graphic Files|*.bmp;*.ico;*.gif;*.jpg;*.png;*.wmf;*.emf;*.tga;*.tif;*.xjpg;*.xgif;*.pcx;*.pcd;*.eps;*."
            "psd;*.sgi;*.psp;*.ppm;*.cut;*.webp;*.avif;*.heic|GIF Images|*.gif|JPG Images|*.jpg|PNG Images|*.png|TIF Images|*.tif|"
            "Encrypted JPG Images|*.xjpg|Encrypted GIF Images|*.xgif|Encrypted PNG Images|*.xpng|ZSoft Paintbrush "
            "(*.pcx)|*.pcx|Truevision Target (*.tga)|*.tga|Kodak Photo CD (*.pcd)|*.pcd|Encapsulated Postscript "
            "(*.eps)|*.eps|Photoshop (*.psd)|*.psd|SGI Image File (*.sgi)|*.sgi|Paintshop Pro (*.psp)|*.psp|"
            "Portable Pixelmap (*.ppm)|*.ppm|Dr. Halo (*.cut)|*.cut|WebP Images|*.webp|AVIF Images|*.avif|"
            "HEIC Images|*.heic");
  EXPECT_EQ(window.PngMemo()->toPlainText(), "first line\nsecond");
  EXPECT_EQ(window.CurrentWorkspace().Image().Width(), 8);

  window.Open1Click();  // cancelled: nothing changes
  EXPECT_EQ(window.PngMemo()->toPlainText(), "first line\nsecond");
  window.Open1Click();
  EXPECT_EQ(window.PngMemo()->toPlainText(), "");
  EXPECT_EQ(window.CurrentWorkspace().Image().Width(), 40);
}

TEST_F(ShellTest, CorruptFileShowsTheReadersErrorAndKeepsTheImage) {
  WriteImage("good.bmp", Qt::red, 40, 30);
  WriteText(images_ + "/broken.png", "not a png at all");
  PixtrelF& window = Start();
  window.Browser()->SetFolder(images_);
  window.filesDblClick(images_ + "/good.bmp");
  window.CurrentSelection().SetBounds(1, 1, 5, 5);
  window.CurrentSelection().SetVisible(true);
  window.filesDblClick(images_ + "/broken.png");
  ASSERT_EQ(answers_.messages.size(), 1u);
  EXPECT_FALSE(answers_.messages[0].empty());
  EXPECT_EQ(window.CurrentWorkspace().Image().Width(), 40);
  EXPECT_FALSE(window.CurrentSelection().Visible());
  // An icon library waits for the icon manager: it is not loaded.
  WriteText(images_ + "/lib.ICL", "MZ");
  window.filesDblClick(images_ + "/lib.ICL");
  EXPECT_EQ(answers_.messages.size(), 1u);
}

TEST_F(ShellTest, LighterByShortcutThenUndoTwice) {
  WriteImage("grey.bmp", QColor(100, 100, 100));
  PixtrelF& window = Start();
  window.filesDblClick(images_ + "/grey.bmp");
  ShowActive();
  const QRgb before = PixelAt(window.CurrentWorkspace().Image(), 3, 3);
  EXPECT_FALSE(window.Edits()->undo->isEnabled());
  QTest::keyClick(&window, Qt::Key_F5);
  const QRgb lighter = PixelAt(window.CurrentWorkspace().Image(), 3, 3);
  EXPECT_GT(qRed(lighter), qRed(before));
  EXPECT_EQ(window.View()->ShownImage().pixel(3, 3), lighter);
  EXPECT_TRUE(window.Edits()->undo->isEnabled());
  QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(PixelAt(window.CurrentWorkspace().Image(), 3, 3), before);
  QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(PixelAt(window.CurrentWorkspace().Image(), 3, 3), before);
  EXPECT_EQ(window.View()->ShownImage().pixel(3, 3), before);
}

TEST_F(ShellTest, NewImageOffersTheWidthAsHeightAndIgnoresTen) {
  PixtrelF& window = Start();
  answers_.inputs = {std::string("300"), std::string("10"), std::string("300"), std::string("120")};
  window.Edits()->newImage->trigger();
  ASSERT_EQ(answers_.startValues.size(), 2u);
  EXPECT_EQ(answers_.startValues[0], "200");
  EXPECT_EQ(answers_.startValues[1], "300");
  EXPECT_EQ(window.CurrentWorkspace().Image().Width(), 0);
  EXPECT_FALSE(window.Edits()->undo->isEnabled());
  window.Edits()->newImage->trigger();
  EXPECT_EQ(window.CurrentWorkspace().Image().Width(), 300);
  EXPECT_EQ(window.CurrentWorkspace().Image().Height(), 120);
  EXPECT_EQ(window.View()->ShownImage().size(), QSize(300, 120));
  EXPECT_TRUE(window.Edits()->undo->isEnabled());
  EXPECT_TRUE(answers_.messages.empty());
}

TEST_F(ShellTest, CropFiveByFiveWorksFourByFiftyIsTooSmall) {
  WriteImage("big.bmp", Qt::red, 80, 80);
  PixtrelF& window = Start();
  window.filesDblClick(images_ + "/big.bmp");
  Selection& selection = window.CurrentSelection();
  selection.SetBounds(2, 2, 4, 50);
  selection.SetVisible(true);
  window.Edits()->crop->trigger();
  ASSERT_EQ(answers_.messages.size(), 1u);
  EXPECT_EQ(answers_.messages[0], "selection too small");
  EXPECT_EQ(window.CurrentWorkspace().Image().Width(), 80);
  selection.SetBounds(2, 2, 5, 5);
  window.Edits()->crop->trigger();
  EXPECT_EQ(window.CurrentWorkspace().Image().Width(), 5);
  EXPECT_EQ(window.CurrentWorkspace().Image().Height(), 5);
  EXPECT_EQ(window.View()->ShownImage().size(), QSize(5, 5));
  EXPECT_FALSE(selection.Visible());
}

TEST_F(ShellTest, SelectionDragShowsItsTextsInTheSecondPanel) {
  WriteImage("big.bmp", Qt::white, 100, 80);
  PixtrelF& window = Start();
  window.filesDblClick(images_ + "/big.bmp");
  ShowActive();
  QWidget* canvas = window.View()->Canvas();
  QTest::mouseMove(canvas, QPoint(7, 9));
  EXPECT_EQ(window.StatusText(1), "x=7, y=9");
  QTest::mousePress(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  QMouseEvent move(QEvent::MouseMove, QPointF(40, 30), canvas->mapToGlobal(QPointF(40, 30)), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(canvas, &move);
  EXPECT_EQ(window.StatusText(1), "x=40, y=30, w=30, h=20");
  QTest::mouseRelease(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(40, 30));
  EXPECT_TRUE(window.CurrentSelection().Visible());
  EXPECT_EQ(window.CurrentSelection().Width(), 30);
  EXPECT_EQ(window.CurrentSelection().Height(), 20);
}

TEST_F(ShellTest, SaveAsReplacesTheExtensionFromTheChosenType) {
  WriteImage("photo.bmp", Qt::red);
  PixtrelF& window = Start();
  window.Browser()->SetFolder(images_);
  window.filesDblClick(images_ + "/photo.bmp");
  dialogs_.saveAnswers = {SaveDialogChoice{(images_ + "/picture.gif").toStdString(), 3}, std::nullopt};
  window.SaveAs1Click();
  ASSERT_EQ(dialogs_.requests.size(), 1u);
  EXPECT_EQ(dialogs_.requests[0].filterIndex, 1);
  EXPECT_EQ(dialogs_.requests[0].text,
            "Compuserve Graphics Interchange (*.gif)|*.gif|JPEG Compliant (*.jpg)|*.jpg|Portable Network Graphics "
            "(*.png)|*.png|Windows Icon (*.ico)|*.ico|Tagged Image File Format (*.tif)|*.tif|Windows Bitmap "
            "(*.bmp)|*.bmp|Encrypted GIF Images|*.xgif|Encrypted JPG Images|*.xjpg|Encrypted PNG Images|*.xpng|"
            "Truevision Target (*.tga)|*.tga|WebP Image (*.webp)|*.webp|AVIF Image (*.avif)|*.avif");
  EXPECT_FALSE(QFile::exists(images_ + "/picture.gif"));
  const QByteArray written = ReadText(images_ + "/picture.PNG");
  ASSERT_FALSE(written.isEmpty());
  EXPECT_TRUE(written.startsWith("\x89PNG"));
  // The file list shows the new file at once.
  EXPECT_TRUE(window.Browser()->FileNames().contains("picture.PNG"));
  // Type 1 is preselected every time the dialog opens.
  window.SaveAs1Click();
  EXPECT_EQ(dialogs_.requests[1].filterIndex, 1);
  EXPECT_TRUE(answers_.questions.empty());
}

TEST_F(ShellTest, OverwriteNoWritesNothing) {
  WriteImage("photo.bmp", Qt::red);
  WriteText(images_ + "/old.PNG", "keep me");
  PixtrelF& window = Start();
  window.filesDblClick(images_ + "/photo.bmp");
  dialogs_.saveAnswers = {SaveDialogChoice{(images_ + "/old.png").toStdString(), 3},
                          SaveDialogChoice{(images_ + "/old.x").toStdString(), 3}};
  answers_.confirmations = {false, true};
  window.SaveAs1Click();
  ASSERT_EQ(answers_.questions.size(), 1u);
  EXPECT_EQ(answers_.questions[0], "This file allready exists. Do yo want to overwrite it?");
  EXPECT_EQ(ReadText(images_ + "/old.PNG"), "keep me");
  window.SaveAs1Click();
  EXPECT_TRUE(ReadText(images_ + "/old.PNG").startsWith("\x89PNG"));
}

TEST_F(ShellTest, SavedPngCarriesTheTextBox) {
  WriteImage("photo.bmp", Qt::red);
  PixtrelF& window = Start();
  window.filesDblClick(images_ + "/photo.bmp");
  window.PngMemo()->setPlainText("two\nlines");
  dialogs_.saveAnswers = {SaveDialogChoice{(images_ + "/memo").toStdString(), 3}};
  window.SaveAs1Click();
  QImage saved(images_ + "/memo.PNG");
  ASSERT_FALSE(saved.isNull());
  EXPECT_EQ(saved.text("description"), "two\r\nlines");
  // Opening it shows the text again.
  window.filesDblClick(images_ + "/memo.PNG");
  EXPECT_EQ(window.PngMemo()->toPlainText(), "two\nlines");
}

TEST_F(ShellTest, JpegWindowResetsToFiftyWhenShownAgain) {
  WriteImage("photo.bmp", Qt::red);
  PixtrelF& window = Start();
  window.filesDblClick(images_ + "/photo.bmp");
  window.Edits()->jpgOptimize->trigger();
  JpegPreviewWindow* jpeg = window.Edits()->JpegWindow();
  ASSERT_TRUE(jpeg->isVisible());
  jpeg->Slider()->setValue(80);
  EXPECT_EQ(window.CurrentSession().conversion.jpegQuality, 80);
  jpeg->close();
  window.Edits()->jpgOptimize->trigger();
  EXPECT_EQ(jpeg->Slider()->value(), 50);
  EXPECT_EQ(window.CurrentSession().conversion.jpegQuality, 50);
  jpeg->close();
}

}  // namespace
}  // namespace pixtrel::test

namespace pixtrel::test {
namespace {

// Runs a peer tool; its exit code and standard output.
std::pair<int, QString> Peer(const QString& tool, const QStringList& arguments) {
  QProcess process;
  process.start(tool, arguments);
  if (!process.waitForFinished(30000)) return {-1, QString()};
  return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError())};
}

TEST_F(ShellTest, SaveAsWritesEveryTypeUnderItsExtension) {
  WriteImage("photo.bmp", Qt::white, 48, 48);
  PixtrelF& window = Start();
  window.Browser()->SetFolder(images_);
  window.filesDblClick(images_ + "/photo.bmp");
  answers_.passwords = {std::string("pw"), std::string("pw"), std::string("pw")};
  answers_.iconChoices = {IconColors::Colors256};
  answers_.confirmations = {true};  // "Icon must be 32x32. Resize now?"
  const char* const expected[] = {".GIF", ".JPG", ".PNG", ".ICO", ".TIF", ".BMP", ".XGIF", ".XJPG", ".XPNG", ".TGA"};
  for (int type = 1; type <= 10; ++type) {
    dialogs_.saveAnswers.push_back(
        SaveDialogChoice{(images_ + QStringLiteral("/out%1.any").arg(type)).toStdString(), type});
    window.SaveAs1Click();
    const QString target = images_ + QStringLiteral("/out%1").arg(type) + expected[type - 1];
    EXPECT_GT(QFileInfo(target).size(), 0) << target.toStdString();
    // The file list's mask has no *.xpng, so that one type never shows there.
    EXPECT_EQ(window.Browser()->FileNames().contains(QFileInfo(target).fileName()), type != 9) << target.toStdString();
  }
  EXPECT_TRUE(answers_.messages.empty()) << answers_.messages.front();
  // The icon save left the workspace at 32 by 32.
  EXPECT_EQ(window.CurrentWorkspace().Image().Width(), 32);

  // Peers read what was written; "Transparent GIF" marks the bottom-left colour.
  const auto [gifStatus, gifInfo] = Peer("gifsicle", {"--info", images_ + "/out1.GIF"});
  EXPECT_EQ(gifStatus, 0) << gifInfo.toStdString();
  EXPECT_TRUE(gifInfo.contains("transparent")) << gifInfo.toStdString();
  EXPECT_EQ(Peer("pngcheck", {images_ + "/out3.PNG"}).first, 0);
  EXPECT_EQ(Peer("icotool", {"-l", images_ + "/out4.ICO"}).first, 0);
  EXPECT_EQ(Peer("tiffinfo", {images_ + "/out5.TIF"}).first, 0);
  // The JPEG was written before the icon save resampled the image.
  for (const auto& [name, size] : {std::pair{"/out2.JPG", "48x48"}, {"/out6.BMP", "32x32"}, {"/out10.TGA", "32x32"}}) {
    const auto [status, info] = Peer("identify", {images_ + name});
    EXPECT_EQ(status, 0) << name << " " << info.toStdString();
    EXPECT_TRUE(info.contains(size)) << info.toStdString();
  }

  window.GifTransparent()->trigger();
  dialogs_.saveAnswers.push_back(SaveDialogChoice{(images_ + "/opaque.gif").toStdString(), 1});
  window.SaveAs1Click();
  const auto [opaqueStatus, opaqueInfo] = Peer("gifsicle", {"--info", images_ + "/opaque.GIF"});
  EXPECT_EQ(opaqueStatus, 0);
  EXPECT_FALSE(opaqueInfo.contains("transparent")) << opaqueInfo.toStdString();
}

TEST_F(ShellTest, AbandonedSaveWritesNothing) {
  WriteImage("photo.bmp", Qt::white, 48, 48);
  PixtrelF& window = Start();
  window.filesDblClick(images_ + "/photo.bmp");
  answers_.passwords = {std::string("")};  // an empty password abandons the save
  answers_.iconChoices = {IconColors::Colors16};
  answers_.confirmations = {false};  // No to "Resize now?"
  dialogs_.saveAnswers = {SaveDialogChoice{(images_ + "/secret").toStdString(), 7},
                          SaveDialogChoice{(images_ + "/icon").toStdString(), 4}};
  window.SaveAs1Click();
  window.SaveAs1Click();
  EXPECT_FALSE(QFile::exists(images_ + "/secret.XGIF"));
  EXPECT_FALSE(QFile::exists(images_ + "/icon.ICO"));
  EXPECT_EQ(window.CurrentWorkspace().Image().Width(), 48);
}

}  // namespace
}  // namespace pixtrel::test
