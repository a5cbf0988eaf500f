// The workspace's windows and menus driven as a user drives them: the JPEG
// optimize window, the resize window, the Effects and Effect Settings menus,
// the selection on screen, the clipboard and the icon of the program.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "app/edit_actions.h"
#include "app/icon_options_window.h"
#include "app/image_resize_window.h"
#include "app/jpeg_preview_window.h"
#include "app/qt_interaction.h"
#include "app/workspace_view.h"
#include "codecs/jpeg/jpeg_image.h"
#include "core/scripted_interaction.h"
#include "io/image_io.h"
#include "support/corpus.h"
#include "workspace/image_info.h"
#include "support/io_support.h"

namespace pixtrel::test {
namespace {

Bitmap Picture(int w, int h) {
  Bitmap b(w, h, pf24bit);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixel(x, y, RGB(x * 7 % 256, y * 13 % 256, (x * 3 + y) % 256));
  return b;
}

bool SamePixels(const Bitmap& a, const Bitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (a.Pixel(x, y) != b.Pixel(x, y)) return false;
  return true;
}

Bitmap CorpusPhoto() {
  for (const CorpusEntry& e : CorpusEntries("jpeg"))
    if (e.expected == "decodes" && e.path.find("castle") != std::string::npos) {
      Bitmap b;
      LoadImageFile(e.FullPath(), b, test::Silent());
      return b;
    }
  return Picture(120, 90);
}

// Runs answer on the next modal window as soon as it is up.
void OnNextModal(std::function<void(QWidget*)> answer) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, answer] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      timer->stop();
      timer->deleteLater();
      answer(modal);
    }
  });
  timer->start();
}

// A main window holding the view and the menus, as the shell builds it.
struct Harness {
  Workspace workspace;
  Selection selection;
  fx::EffectSettings settings;
  QMainWindow window;
  WorkspaceView* view;
  EditActions* actions;
  ScriptedInteraction ui;

  Harness() {
    view = new WorkspaceView(workspace, selection);
    window.setCentralWidget(view);
    actions = new EditActions(workspace, selection, settings, ui, view, &window);
    QMenu* edit = window.menuBar()->addMenu("&Edit");
    for (QAction* a : {actions->newImage, actions->undo, actions->resizeImage, actions->makeSquare, actions->crop,
                       actions->turn, actions->copyToClipboard, actions->copySelection, actions->paste})
      edit->addAction(a);
    QMenu* options = window.menuBar()->addMenu("&Options");
    options->addAction(actions->showImageInfo);
    options->addMenu(actions->colorDepth);
    window.menuBar()->addMenu(actions->effects);
    QMenu* sel = window.menuBar()->addMenu("&Selection");
    for (QAction* a : {actions->selectNone, actions->select16, actions->select32, actions->select64, actions->selectAll,
                       actions->viewAsIcon})
      sel->addAction(a);
    QMenu* tools = window.menuBar()->addMenu("&Tools");
    tools->addAction(actions->jpgOptimize);
    tools->addMenu(actions->effectSettings);
    window.resize(500, 400);
  }

  QAction* Find(const char* handler) const { return window.findChild<QAction*>(handler); }
};

TEST(JpegWindow, EveryShowingResetsTheQualityToFifty) {
  Harness h;
  h.workspace.SetImage(CorpusPhoto());
  JpegPreviewWindow* jpeg = h.actions->JpegWindow();
  EXPECT_EQ(jpeg->windowTitle(), "JPEG Preview");
  EXPECT_TRUE(jpeg->windowFlags() & Qt::WindowStaysOnTopHint);
  h.actions->jpgOptimize->trigger();
  ASSERT_TRUE(jpeg->isVisible());
  EXPECT_EQ(jpeg->Slider()->value(), 50);
  EXPECT_EQ(jpeg->QualityLabel()->text(), "Quality 50%");
  const auto size50 = CompressJPEG(h.workspace.Image(), 50, false).size();
  EXPECT_EQ(jpeg->SizeLabel()->text(), QString("Size=%1").arg(size50));

  int quality = -1;
  QObject::connect(jpeg, &JpegPreviewWindow::qualityChanged, [&quality](int value) { quality = value; });
  jpeg->Slider()->setValue(80);
  EXPECT_EQ(quality, 80);
  EXPECT_EQ(jpeg->QualityLabel()->text(), "Quality 80%");
  EXPECT_EQ(jpeg->SizeLabel()->text(), QString("Size=%1").arg(CompressJPEG(h.workspace.Image(), 80, false).size()));
  jpeg->close();
  EXPECT_FALSE(jpeg->isVisible());
  // Opening again shows 50, and the next JPEG save uses 50.
  h.actions->jpgOptimize->trigger();
  EXPECT_EQ(jpeg->Slider()->value(), 50);
  EXPECT_EQ(quality, 50);
  const std::string path = TempDir() + "/saved.jpg";
  SaveOptions options;
  options.jpegQuality = quality;
  SaveImageFile(path, h.workspace.Image(), ".JPG", options);
  EXPECT_EQ(std::filesystem::file_size(path), size50);
  // Triggering while it is open is a showing as well.
  jpeg->Slider()->setValue(20);
  h.actions->jpgOptimize->trigger();
  EXPECT_EQ(jpeg->Slider()->value(), 50);
  jpeg->close();
}

TEST(JpegWindow, GreyPreviewButColourSaveUnderDotJpg) {
  Harness h;
  const Bitmap photo = CorpusPhoto();
  h.workspace.SetImage(photo);
  JpegPreviewWindow* jpeg = h.actions->JpegWindow();
  jpeg->ShowAndCompose();
  // The preview is the decoded JPEG, artefacts included.
  JPEGImage decoded;
  decoded.LoadFromBytes(CompressJPEG(photo, 50, false));
  EXPECT_EQ(Compare(decoded.Picture(), jpeg->Preview()).maxChannelDelta, 0);

  jpeg->Grayscale()->setChecked(true);
  const QImage grey = jpeg->Preview().convertToFormat(QImage::Format_RGB888);
  ASSERT_EQ(grey.width(), photo.Width());
  for (int y = 0; y < grey.height(); ++y)
    for (int x = 0; x < grey.width(); ++x) {
      const QRgb p = grey.pixel(x, y);
      ASSERT_TRUE(qRed(p) == qGreen(p) && qGreen(p) == qBlue(p)) << x << "," << y;
    }
  EXPECT_EQ(jpeg->SizeLabel()->text(), QString("Size=%1").arg(CompressJPEG(photo, 50, true).size()));

  const std::string dir = TempDir();
  int asked = 0;
  jpeg->askSaveName = [&]() -> std::optional<std::string> {
    ++asked;
    return dir + "/photo.jpeg";
  };
  { std::ofstream(dir + "/photo.jpg") << "old contents"; }
  QTest::mouseClick(jpeg->SaveButton(), Qt::LeftButton);
  EXPECT_EQ(asked, 1);
  EXPECT_FALSE(std::filesystem::exists(dir + "/photo.jpeg"));
  ASSERT_TRUE(std::filesystem::exists(dir + "/photo.jpg"));
  EXPECT_EQ(jpeg->SizeLabel()->text(), "jpeg size");
  Bitmap saved;
  LoadImageFile(dir + "/photo.jpg", saved, test::Silent());
  EXPECT_EQ(saved.Width(), photo.Width());
  EXPECT_EQ(Compare(saved, ToQImage(decoded.Picture())).maxChannelDelta, 0);  // colour, quality 50
  // ImageMagick agrees that three components were written.
  const std::string cmd = "identify -format '%[channels]' '" + dir + "/photo.jpg' > '" + dir + "/channels.txt' 2>&1";
  if (std::system(cmd.c_str()) == 0) {
    std::ifstream in(dir + "/channels.txt");
    std::string channels;
    std::getline(in, channels);
    EXPECT_EQ(channels.rfind("srgb", 0), 0u) << channels;
  }
  // Cancel writes nothing.
  jpeg->askSaveName = [] { return std::optional<std::string>(); };
  jpeg->Slider()->setValue(30);
  QTest::mouseClick(jpeg->SaveButton(), Qt::LeftButton);
  EXPECT_NE(jpeg->SizeLabel()->text(), "jpeg size");
  jpeg->close();
}

TEST(JpegWindow, PreviewFollowsTheWorkspaceOnlyWhenComposed) {
  Harness h;
  h.workspace.SetImage(Picture(40, 30));
  JpegPreviewWindow* jpeg = h.actions->JpegWindow();
  jpeg->ShowAndCompose();
  EXPECT_EQ(jpeg->Preview().width(), 40);
  h.workspace.SetImage(Picture(60, 20));
  EXPECT_EQ(jpeg->Preview().width(), 40);
  jpeg->Slider()->setValue(51);
  EXPECT_EQ(jpeg->Preview().width(), 60);
  // An empty workspace shows nothing rather than failing.
  h.workspace.SetImage(Bitmap());
  jpeg->Grayscale()->setChecked(true);
  EXPECT_TRUE(jpeg->Preview().isNull());
  EXPECT_TRUE(h.ui.messages.empty());
  jpeg->close();
}

TEST(ResizeWindow, FieldsKeepTheRatioAndTheMenuResamples) {
  ImageResizeWindow window;
  EXPECT_EQ(window.windowTitle(), "Image Resize");
  window.Open(100, 30);
  EXPECT_EQ(window.WidthField()->text(), "100");
  EXPECT_EQ(window.HeightField()->text(), "30");
  EXPECT_TRUE(window.KeepAspect()->isChecked());
  window.WidthField()->selectAll();
  QTest::keyClicks(window.WidthField(), "8");
  EXPECT_EQ(window.FieldSize(), QSize(7, 2));
  EXPECT_EQ(window.WidthField()->text(), "7");
  EXPECT_EQ(window.HeightField()->text(), "2");
  // Letters are dropped; an emptied field becomes 1.
  window.KeepAspect()->setChecked(false);
  window.WidthField()->selectAll();
  QTest::keyClicks(window.WidthField(), "a2b5");
  EXPECT_EQ(window.WidthField()->text(), "25");
  window.HeightField()->selectAll();
  QTest::keyClick(window.HeightField(), Qt::Key_Backspace);
  EXPECT_EQ(window.HeightField()->text(), "1");
  QTest::keyClicks(window.HeightField(), "0");
  EXPECT_EQ(window.FieldSize(), QSize(25, 10));

  // Shown modally: OK gives the fields, Cancel nothing.
  OnNextModal([](QWidget* modal) {
    auto* w = static_cast<ImageResizeWindow*>(modal);
    w->KeepAspect()->setChecked(false);
    w->WidthField()->setText("64");
    w->HeightField()->setText("48");
    QTest::mouseClick(w->findChild<QPushButton*>("OKBtn"), Qt::LeftButton);
  });
  EXPECT_EQ(window.Ask(20, 20), QSize(64, 48));
  OnNextModal([](QWidget* modal) { QTest::mouseClick(modal->findChild<QPushButton*>("CancelBtn"), Qt::LeftButton); });
  EXPECT_EQ(window.Ask(20, 20), std::nullopt);

  Harness h;
  h.workspace.SetImage(Picture(30, 20));
  std::vector<std::pair<int, int>> offered;
  std::optional<QSize> answer = QSize(10, 50);
  h.actions->askResize = [&](int w, int hgt) {
    offered.emplace_back(w, hgt);
    return answer;
  };
  h.actions->resizeImage->trigger();
  EXPECT_EQ(h.workspace.Image().Width(), 30);  // below 11: nothing
  answer = QSize(45, 33);
  h.actions->resizeImage->trigger();
  EXPECT_EQ(h.workspace.Image().Width(), 45);
  EXPECT_EQ(h.workspace.Image().Height(), 33);
  EXPECT_EQ(offered, (std::vector<std::pair<int, int>>{{30, 20}, {30, 20}}));
  EXPECT_FALSE(h.workspace.UndoEnabled());
  EXPECT_EQ(h.view->ShownImage().width(), 45);
}

// The one place the visible Effects menu is written down: submenus in order,
// captions as the user sees them (misspellings included), shortcuts.
TEST(EffectsMenu, ShowsEveryEffectInOrderWithItsCaptionAndShortcut) {
  Harness h;
  std::vector<QString> shown;  // "Submenu > caption [shortcut]", in menu order
  std::function<void(QMenu*, QString)> walk = [&](QMenu* menu, QString prefix) {
    for (QAction* a : menu->actions()) {
      if (a->menu()) {
        walk(a->menu(), prefix + a->text() + " > ");
        continue;
      }
      const QString key = a->shortcut().toString();
      shown.push_back(prefix + a->text() + (key.isEmpty() ? QString() : " [" + key + "]"));
    }
  };
  walk(h.actions->effects, "");
  const std::vector<QString> expected = {"Lighter [F5]",
                                         "Darker [F6]",
                                         "Contrast [F7]",
                                         "Saturation [F8]",
                                         "Colorize > &Posterize",
                                         "Colorize > &Solarize",
                                         "Colorize > &Invert",
                                         "Colorize > &Grayscale",
                                         "Focus > &Anti Alias",
                                         "Focus > &Blur",
                                         "Focus > &Gaussian Blur",
                                         "Focus > S&harpen",
                                         "Focus > &Soften",
                                         "Focus > Soften &Less",
                                         "Edge > &Color Emboss",
                                         "Edge > &Edge Enhance",
                                         "Edge > Emboss",
                                         "Edge > &Find Edges",
                                         "Edge > &Highpass",
                                         "Edge > &Laplace",
                                         "Edge > &Trace",
                                         "Flip > &Down",
                                         "Flip > &Right",
                                         "Mirror > &Right",
                                         "Mirror > &Down",
                                         "Distortions > &Fisheye",
                                         "Distortions > Mosaic",
                                         "Distortions > &Twist",
                                         "Distortions > &Whipe",
                                         "Shadow > Up right",
                                         "Shadow > Up left",
                                         "Shadow > Down left",
                                         "Shadow > Down right",
                                         "Seamless",
                                         "Buttonize > Rectangle",
                                         "Buttonize > Oval",
                                         "Buttonize > Oval Masked",
                                         "Buttonize > Oval Rimmed",
                                         "Buttonize > Oval Rimmed masked",
                                         "Buttonize > Oval Frame",
                                         "Mask Oval"};
  EXPECT_EQ(shown, expected);
  // Each submenu appears once.
  std::vector<QString> submenus;
  for (QAction* a : h.actions->effects->actions())
    if (a->menu()) submenus.push_back(a->text());
  EXPECT_EQ(submenus, (std::vector<QString>{"Colorize", "Focus", "Edge", "Flip", "Mirror", "Distortions", "Shadow",
                                            "Buttonize"}));
  // The handler names of the items the rest of the program knows them by.
  for (const char* handler :
       {"Lighter1", "Darker1", "Contrast1", "Saturation1", "Posterize1", "Solarize1", "Invert1", "Grayscale1"})
    EXPECT_NE(h.Find(handler), nullptr) << handler;
  EXPECT_EQ(h.actions->effects->title(), "&Effects");
  EXPECT_EQ(h.actions->undo->shortcut().toString(), "Ctrl+Z");
  EXPECT_EQ(h.actions->turn->shortcut().toString(), "Ctrl+T");
  EXPECT_EQ(h.actions->showImageInfo->shortcut().toString(), "Ctrl+I");
  EXPECT_EQ(h.actions->selectNone->shortcut().toString(), "Ctrl+D");
  EXPECT_EQ(h.actions->select16->text(), "&1  16x16");
  EXPECT_EQ(h.actions->selectAll->text(), "&4 All");

  // Every item runs in the edit frame: a snapshot, then a pf24bit result.
  std::function<void(QMenu*)> runAll = [&](QMenu* menu) {
    for (QAction* a : menu->actions()) {
      if (a->menu()) {
        runAll(a->menu());
        continue;
      }
      Bitmap start = Picture(23, 17);
      start.SetPixelFormat(pf8bit);
      h.workspace.SetImage(start);
      a->trigger();
      EXPECT_EQ(h.workspace.Image().PixelFormat(), pf24bit) << a->text().toStdString();
      EXPECT_TRUE(SamePixels(h.workspace.UndoBitmap(), start)) << a->text().toStdString();
    }
  };
  runAll(h.actions->effects);
  EXPECT_TRUE(h.actions->undo->isEnabled());
  EXPECT_TRUE(h.ui.messages.empty());
}

TEST(EffectsMenu, F5ThenUndoTwiceGivesThePreLighterImage) {
  Harness h;
  const Bitmap original = CorpusPhoto();
  h.workspace.SetImage(original);
  EXPECT_FALSE(h.actions->undo->isEnabled());
  h.window.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&h.window));
  QTest::keyClick(&h.window, Qt::Key_F5);
  EXPECT_TRUE(h.actions->undo->isEnabled());
  EXPECT_FALSE(SamePixels(h.workspace.Image(), original));
  EXPECT_EQ(Compare(h.workspace.Image(), h.view->ShownImage()).maxChannelDelta, 0);
  QTest::keyClick(&h.window, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_TRUE(SamePixels(h.workspace.Image(), original));
  QTest::keyClick(&h.window, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_TRUE(SamePixels(h.workspace.Image(), original));
  EXPECT_EQ(Compare(original, h.view->ShownImage()).maxChannelDelta, 0);
  // Ctrl+I shows the image info.
  QTest::keyClick(&h.window, Qt::Key_I, Qt::ControlModifier);
  ASSERT_EQ(h.ui.messages.size(), 1u);
  EXPECT_EQ(h.ui.messages[0], ImageInfoText(h.workspace.Image()));
}

TEST(EffectSettingsMenu, PromptsChangeTheSettingsAsTheRulesSay) {
  Harness h;
  std::vector<QString> captions;
  for (QAction* a : h.actions->effectSettings->actions()) captions.push_back(a->text());
  EXPECT_EQ(captions,
            (std::vector<QString>{"Buttonize Depth...", "Buttonize weight...", "Fisheye Depth...", "Gaussian Depth...",
                                  "Mosaic Size...", "Posterize Depth...", "Seamless Depth...", "Solarize Depth...",
                                  "Twist Depth...", "Mask Oval color..."}));
  const Bitmap image = Picture(20, 20);
  h.workspace.SetImage(image);
  QAction* gaussian = h.Find("GaussianDepth1");
  ASSERT_NE(gaussian, nullptr);
  h.ui.inputs = {std::string("abc")};
  gaussian->trigger();
  EXPECT_EQ(h.settings.gaussianDepth, 3);
  EXPECT_EQ(h.ui.prompts.back(), "Effect Settings: Enter Gaussian blur depth (0-9):");
  h.ui.inputs = {std::string("10")};
  gaussian->trigger();
  EXPECT_EQ(h.settings.gaussianDepth, 3);
  h.ui.inputs = {std::string("0")};
  gaussian->trigger();
  EXPECT_EQ(h.settings.gaussianDepth, 0);
  h.ui.inputs = {std::nullopt};
  gaussian->trigger();
  EXPECT_EQ(h.settings.gaussianDepth, 0);

  const std::vector<std::pair<const char*, std::pair<int fx::EffectSettings::*, const char*>>> each = {
      {"ButtonizeDepth1", {&fx::EffectSettings::buttonizeDepth, "Enter Buttonize depth (3-50):"}},
      {"Buttonizeweight1", {&fx::EffectSettings::buttonizeWeight, "Enter Buttonize weight (10-255):"}},
      {"FisheyeDepth1", {&fx::EffectSettings::fisheyeDepth, "Enter Fisheye depth (10-255):"}},
      {"MosaicSize1", {&fx::EffectSettings::mosaicSize, "Enter Mosaic size (2..20):"}},
      {"PosterizeDepth1", {&fx::EffectSettings::posterizeDepth, "Enter Posterize depth (10-255):"}},
      {"SeamlessDepth1", {&fx::EffectSettings::seamlessDepth, "Enter Seamless depth (10-50):"}},
      {"SolarizeDepth1", {&fx::EffectSettings::solarizeDepth, "Enter Solarize depth (2-255):"}},
      {"TwistDepth1", {&fx::EffectSettings::twistDepth, "Enter Twist depth (1-255):"}}};
  for (const auto& [handler, rule] : each) {
    QAction* action = h.Find(handler);
    ASSERT_NE(action, nullptr) << handler;
    const int before = h.settings.*rule.first;
    h.ui.inputs = {std::string("20")};
    action->trigger();
    EXPECT_EQ(h.settings.*rule.first, 20) << handler;
    EXPECT_EQ(h.ui.prompts.back(), std::string("Effect Settings: ") + rule.second);
    h.ui.inputs = {std::string("1000")};  // out of every range: kept
    action->trigger();
    EXPECT_EQ(h.settings.*rule.first, 20) << handler;
    (void)before;
  }
  // No prompt touches the image.
  EXPECT_TRUE(SamePixels(h.workspace.Image(), image));
  EXPECT_FALSE(h.workspace.UndoEnabled());
  EXPECT_TRUE(h.ui.messages.empty());
}

TEST(EffectSettingsMenu, MaskOvalColorOnlyWhenTheColourIsChosen) {
  Harness h;
  Bitmap square = Picture(40, 40);
  h.workspace.SetImage(square);
  QAction* maskColor = h.Find("MaskOvalcolor1");
  ASSERT_NE(maskColor, nullptr);
  h.ui.colors = {std::nullopt};
  maskColor->trigger();
  EXPECT_FALSE(h.workspace.UndoEnabled());
  EXPECT_TRUE(SamePixels(h.workspace.Image(), square));
  h.ui.colors = {RGB(10, 200, 30)};
  maskColor->trigger();
  EXPECT_TRUE(h.workspace.UndoEnabled());
  EXPECT_EQ(h.workspace.Image().Pixel(0, 0), RGB(10, 200, 30));
  EXPECT_EQ(h.workspace.Image().Pixel(20, 20), square.Pixel(20, 20));
}

TEST(WorkspaceView, MouseSelectionStatusTextsAndTheInvertingOutline) {
  Harness h;
  Bitmap grey(80, 60, pf24bit);
  grey.Fill(RGB(100, 150, 200));
  h.workspace.SetImage(grey);
  h.window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&h.window));
  QWidget* canvas = h.view->Canvas();
  QSignalSpy status(h.view, &WorkspaceView::mouseStatus);
  QTest::mousePress(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(10, 12));
  QMouseEvent move(QEvent::MouseMove, QPointF(30, 40), canvas->mapToGlobal(QPointF(30, 40)), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(canvas, &move);
  QTest::mouseRelease(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(30, 40));
  ASSERT_GE(status.count(), 1);
  EXPECT_EQ(status.last().at(0).toString(), "x=30, y=40, w=20, h=28");
  EXPECT_TRUE(h.selection.Visible());
  EXPECT_EQ(h.selection.Normalized(), MakeRect(10, 12, 30, 40));
  QMouseEvent hover(QEvent::MouseMove, QPointF(150, 70), canvas->mapToGlobal(QPointF(150, 70)), Qt::NoButton,
                    Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(canvas, &hover);
  EXPECT_EQ(status.last().at(0).toString(), "x=150, y=70");  // beside the image

  // The outline inverts the pixels under it and nothing else.
  const QImage shot = canvas->grab().toImage().convertToFormat(QImage::Format_RGB888);
  EXPECT_EQ(shot.pixel(10, 12) & 0xFFFFFF, qRgb(155, 105, 55) & 0xFFFFFF);
  EXPECT_EQ(shot.pixel(29, 39) & 0xFFFFFF, qRgb(155, 105, 55) & 0xFFFFFF);
  EXPECT_EQ(shot.pixel(20, 12) & 0xFFFFFF, qRgb(155, 105, 55) & 0xFFFFFF);
  EXPECT_EQ(shot.pixel(20, 20) & 0xFFFFFF, qRgb(100, 150, 200) & 0xFFFFFF);
  EXPECT_EQ(shot.pixel(30, 40) & 0xFFFFFF, qRgb(100, 150, 200) & 0xFFFFFF);

  // Dragging the whole rectangle keeps the grab point under the mouse.
  QTest::mousePress(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(15, 15));
  QMouseEvent drag(QEvent::MouseMove, QPointF(45, 35), canvas->mapToGlobal(QPointF(45, 35)), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(canvas, &drag);
  QTest::mouseRelease(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(45, 35));
  EXPECT_EQ(h.selection.Normalized(), MakeRect(40, 32, 60, 60));
  EXPECT_EQ(status.last().at(0).toString(), "x=45, y=35, w=20, h=28");

  // Crop takes the area under the rectangle; Ctrl-release resamples.
  h.actions->crop->trigger();
  EXPECT_EQ(h.workspace.Image().Width(), 20);
  EXPECT_EQ(h.view->ShownImage().width(), 20);
  QTest::mouseRelease(canvas, Qt::LeftButton, Qt::ControlModifier, QPoint(120, 90));
  EXPECT_EQ(h.workspace.Image().Width(), 120);
  EXPECT_EQ(h.workspace.Image().Height(), 90);
  QTest::mouseRelease(canvas, Qt::LeftButton, Qt::ControlModifier, QPoint(8, 90));
  EXPECT_EQ(h.workspace.Image().Width(), 120);
}

TEST(Clipboard, CopySelectionCopyAndPaste) {
  Harness h;
  const Bitmap original = Picture(50, 40);
  h.workspace.SetImage(original);
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->clear();
  h.actions->copySelection->trigger();  // hidden selection: nothing
  EXPECT_TRUE(clipboard->image().isNull());
  h.selection.SetBounds(5, 6, 16, 16);
  h.selection.SetVisible(true);
  h.actions->select32->trigger();
  h.actions->copySelection->trigger();
  const QImage part = clipboard->image();
  ASSERT_EQ(part.size(), QSize(32, 32));
  EXPECT_EQ(part.pixel(0, 0) & 0xFFFFFF,
            qRgb(GetRValue(original.Pixel(5, 6)), GetGValue(original.Pixel(5, 6)), GetBValue(original.Pixel(5, 6))) &
                0xFFFFFF);
  h.actions->copyToClipboard->trigger();
  h.workspace.SetImage(Picture(11, 11));
  h.actions->paste->trigger();
  EXPECT_TRUE(SamePixels(h.workspace.Image(), original));
  EXPECT_FALSE(h.workspace.UndoEnabled());
  clipboard->setText("not a picture");
  h.workspace.SetImage(Picture(11, 11));
  h.actions->paste->trigger();
  EXPECT_EQ(h.workspace.Image().Width(), 11);
}

TEST(ViewAsIcon, TheSelectionBecomesTheProgramIcon) {
  Harness h;
  Bitmap image(64, 64, pf24bit);
  image.Fill(clWhite);
  for (int y = 10; y < 30; ++y)
    for (int x = 12; x < 28; ++x) image.SetPixel(x, y, clRed);
  h.workspace.SetImage(image);
  const qint64 before = QApplication::windowIcon().cacheKey();
  h.actions->viewAsIcon->trigger();  // no visible selection: nothing
  EXPECT_EQ(QApplication::windowIcon().cacheKey(), before);
  h.selection.SetBounds(4, 6, 5, 5);
  h.selection.SetVisible(true);
  h.actions->viewAsIcon->trigger();
  EXPECT_EQ(h.selection.Width(), 32);
  EXPECT_EQ(h.selection.Height(), 32);
  const QImage icon = QApplication::windowIcon().pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
  ASSERT_EQ(icon.size(), QSize(32, 32));
  EXPECT_EQ(qAlpha(icon.pixel(0, 31)), 0);  // the bottom-left colour (white) is transparent
  EXPECT_EQ(qAlpha(icon.pixel(10, 10)), 255);
  EXPECT_EQ(icon.pixel(10, 10) & 0xFFFFFF, qRgb(255, 0, 0) & 0xFFFFFF);
  EXPECT_FALSE(h.window.windowIcon().isNull());
  EXPECT_TRUE(SamePixels(h.workspace.Image(), image));
}

TEST(EditMenu, NewCropTurnSquareAndDepthThroughTheActions) {
  Harness h;
  h.workspace.SetImage(Picture(30, 20));
  h.ui.inputs = {std::string("300"), std::string("10")};
  h.actions->newImage->trigger();
  EXPECT_EQ(h.workspace.Image().Width(), 30);
  EXPECT_FALSE(h.actions->undo->isEnabled());
  h.ui.inputs = {std::string("64"), std::string("48")};
  h.actions->newImage->trigger();
  EXPECT_EQ(h.workspace.Image().Width(), 64);
  EXPECT_TRUE(h.actions->undo->isEnabled());
  h.actions->turn->trigger();
  EXPECT_EQ(h.workspace.Image().Width(), 48);
  EXPECT_EQ(h.workspace.Image().Height(), 64);
  h.actions->makeSquare->trigger();
  EXPECT_EQ(h.workspace.Image().Width(), 64);
  h.actions->colorDepth->actions().at(0)->trigger();
  EXPECT_EQ(h.workspace.Image().PixelFormat(), pf4bit);
  EXPECT_EQ(h.actions->colorDepth->title(), "&Color Depth");
  std::vector<QString> depths;
  for (QAction* a : h.actions->colorDepth->actions()) depths.push_back(a->text());
  EXPECT_EQ(depths, (std::vector<QString>{"&4 bits/pixel", "&8 bits/pixel", "&16 bits/pixel", "&24 bits/pixel"}));
  h.selection.SetBounds(0, 0, 4, 50);
  h.selection.SetVisible(true);
  h.actions->crop->trigger();
  EXPECT_EQ(h.ui.messages, (std::vector<std::string>{"selection too small"}));
  h.actions->selectNone->trigger();
  EXPECT_FALSE(h.selection.Visible());
  h.actions->selectAll->trigger();
  EXPECT_FALSE(h.selection.Visible());
  h.actions->crop->trigger();
  EXPECT_EQ(h.ui.messages.size(), 1u);
}

TEST(QtInteraction, RealDialogsAnswerWithTheirCaptions) {
  QWidget parent;
  QtInteraction ui(&parent);
  OnNextModal([](QWidget* modal) {
    auto* dialog = qobject_cast<QInputDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Effect Settings");
    EXPECT_EQ(dialog->labelText(), "Enter Twist depth (1-255):");
    EXPECT_EQ(dialog->textValue(), "40");
    dialog->setTextValue("77");
    dialog->accept();
  });
  EXPECT_EQ(ui.InputQuery("Effect Settings", "Enter Twist depth (1-255):", "40"), std::optional<std::string>("77"));
  OnNextModal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
  EXPECT_EQ(ui.InputQuery("Pixtrel New Image", "Enter image width:", "200"), std::nullopt);

  OnNextModal([](QWidget* modal) {
    EXPECT_EQ(modal->windowTitle(), "Enter password");
    auto* field = modal->findChild<QLineEdit*>("txtPassword");
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->echoMode(), QLineEdit::Password);
    QTest::keyClicks(field, "s3cret");
    EXPECT_EQ(field->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, field), '*');
    QTest::mouseClick(modal->findChild<QPushButton*>("btnOK"), Qt::LeftButton);
  });
  EXPECT_EQ(ui.PasswordQuery("Enter password", "Password"), std::optional<std::string>("s3cret"));
  OnNextModal([](QWidget* modal) { QTest::mouseClick(modal->findChild<QPushButton*>("btnCancel"), Qt::LeftButton); });
  EXPECT_EQ(ui.PasswordQuery("Enter password", "Password"), std::nullopt);

  OnNextModal([](QWidget* modal) {
    auto* window = qobject_cast<IconOptionsWindow*>(modal);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "Icon Options");
    EXPECT_TRUE(window->Colors256()->isChecked());
    EXPECT_EQ(window->Colors16()->text(), "16 colors (4 bit)");
    window->Colors16()->setChecked(true);
    QTest::mouseClick(window->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
  });
  EXPECT_EQ(ui.ChooseIconColors(IconColors::Colors256), IconColors::Colors16);
  OnNextModal([](QWidget* modal) { QTest::mouseClick(modal->findChild<QPushButton*>("cmdCancel"), Qt::LeftButton); });
  EXPECT_EQ(ui.ChooseIconColors(IconColors::Colors16), std::nullopt);

  OnNextModal([](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "Icon must be 32x32. Resize now?");
    box->button(QMessageBox::No)->click();
  });
  EXPECT_FALSE(ui.Confirm("Icon must be 32x32. Resize now?"));
  OnNextModal([](QWidget* modal) { qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Yes)->click(); });
  EXPECT_TRUE(ui.Confirm("Overwrite?"));
  OnNextModal([](QWidget* modal) {
    EXPECT_EQ(qobject_cast<QMessageBox*>(modal)->text(), "selection too small");
    qobject_cast<QMessageBox*>(modal)->accept();
  });
  ui.ShowMessage("selection too small");

  OnNextModal([](QWidget* modal) {
    auto* dialog = qobject_cast<QColorDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->currentColor(), QColor(255, 255, 255));
    dialog->setCurrentColor(QColor(1, 2, 3));
    dialog->accept();
  });
  EXPECT_EQ(ui.ChooseColor(clWhite), std::optional<Color>(RGB(1, 2, 3)));
  OnNextModal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
  EXPECT_EQ(ui.ChooseColor(clWhite), std::nullopt);
}

TEST(QtInteraction, CustomColoursFileRoundTrip) {
  QtInteraction ui(nullptr);
  const std::string dir = TempDir();
  {
    std::ofstream out(dir + "/PixtrelCC.txt");
    out << "[CustomColors]\nColorA=0000FF\nColorB=00FF00\n";
  }
  ui.LoadCustomColors(dir + "/PixtrelCC.txt");
  EXPECT_EQ(QColorDialog::customColor(0), QColor(255, 0, 0));  // red in the low byte
  EXPECT_EQ(QColorDialog::customColor(1), QColor(0, 255, 0));
  EXPECT_EQ(QColorDialog::customColor(2), QColor(255, 255, 255));
  QColorDialog::setCustomColor(15, QColor(0x12, 0x34, 0x56));
  ui.SaveCustomColors(dir + "/out.txt");
  std::ifstream in(dir + "/out.txt");
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("ColorA=0000FF"), std::string::npos) << text;
  EXPECT_NE(text.find("ColorP=563412"), std::string::npos) << text;
}

}  // namespace
}  // namespace pixtrel::test

namespace pixtrel::test {
namespace {

TEST(WorkspaceView, ScrolledViewSelectsAndCropsTheAreaOnScreen) {
  Harness h;
  const Bitmap big = Picture(900, 700);
  h.workspace.SetImage(big);
  h.window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&h.window));
  EXPECT_EQ(h.view->Canvas()->size(), QSize(900, 700));
  h.view->horizontalScrollBar()->setValue(200);
  h.view->verticalScrollBar()->setValue(150);
  QWidget* canvas = h.view->Canvas();
  // A point 10, 20 into the visible area lies over image pixel 210, 170.
  const QPoint at = canvas->mapFrom(h.view->viewport(), QPoint(10, 20));
  EXPECT_EQ(at, QPoint(210, 170));
  QTest::mousePress(canvas, Qt::LeftButton, Qt::NoModifier, at);
  QMouseEvent move(QEvent::MouseMove, QPointF(at + QPoint(30, 25)), canvas->mapToGlobal(QPointF(at + QPoint(30, 25))),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(canvas, &move);
  QTest::mouseRelease(canvas, Qt::LeftButton, Qt::NoModifier, at + QPoint(30, 25));
  h.actions->crop->trigger();
  ASSERT_EQ(h.workspace.Image().Width(), 30);
  EXPECT_EQ(h.workspace.Image().Pixel(0, 0), big.Pixel(210, 170));
  EXPECT_EQ(h.workspace.Image().Pixel(29, 24), big.Pixel(239, 194));
  // A small image leaves no scroll bars; the area beside it still takes the mouse.
  QTest::qWait(20);
  EXPECT_FALSE(h.view->horizontalScrollBar()->isVisible());
  EXPECT_GE(canvas->width(), h.view->viewport()->width());
}

}  // namespace
}  // namespace pixtrel::test
