// The "Browser" tab in a real web engine on the offscreen platform: pages
// reach the window's drawing object as window.external, synchronously; the
// shipped wizards draw on the workspace; the previews write their files and
// show them; the file list's single click shows images while the tab is in
// front.
#include <QContextMenuEvent>
#include <QListWidget>
#include <QMenu>
#include <QSignalSpy>
#include <QVariant>
#include <QWebEngineView>
#include <filesystem>

#include "app/browser_page.h"
#include "app/edit_actions.h"
#include "app/overlay_actions.h"
#include "app/png_page.h"
#include "app/shell/shell_fixture.h"
#include "app/workspace_view.h"

// Under the sanitizers: the web engine's own library, not built with them,
// frees some objects through a base of another size and keeps its profiles'
// data (and a font configuration it asks for) until the process ends. These
// are the engine's and let pass in this program only.
extern "C" const char* __asan_default_options() { return "new_delete_type_mismatch=0"; }
extern "C" const char* __lsan_default_suppressions() { return "leak:libQt6WebEngineCore.so\nleak:libfontconfig.so\n"; }

namespace pixtrel::test {
namespace {

constexpr int kLoadTimeout = 30000;

class BrowserPageTest : public ShellTest {
 protected:
  // The program's data beside it, as the build folder has it.
  PixtrelF& StartWithData() {
    std::filesystem::copy(PIXTREL_SOURCE_DIR "/data", program_.toStdString(),
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
    PixtrelF& window = Start();
    window.show();
    return window;
  }

  BrowserPage& Page() { return *window_->WebPage(); }
  QWebEngineView& View() { return *Page().View(); }

  // Waits for the page being loaded (or the one just asked for) to finish.
  void WaitLoaded(QSignalSpy& spy) {
    ASSERT_TRUE(spy.count() > 0 || spy.wait(kLoadTimeout)) << "the page did not load";
    ASSERT_TRUE(spy.takeFirst().value(0).toBool()) << View().url().toString().toStdString();
  }

  void Load(const QString& path) {
    QSignalSpy loaded(&View(), &QWebEngineView::loadFinished);
    Page().ShowPage(path.toStdString());
    WaitLoaded(loaded);
  }

  // Runs a script in the page and gives its value.
  QVariant Js(const QString& code) {
    QVariant value;
    bool done = false;
    View().page()->runJavaScript(code, [&](const QVariant& result) {
      value = result;
      done = true;
    });
    for (int waited = 0; !done && waited < kLoadTimeout; waited += 20) QTest::qWait(20);
    EXPECT_TRUE(done) << code.toStdString();
    return value;
  }

  void SetWhiteImage(int width, int height) {
    Bitmap white(width, height, pf24bit);
    white.Fill(clWhite);
    window_->CurrentWorkspace().SetImage(white);
    window_->View()->Refresh();
  }

  int CountOf(Color color) {
    const Bitmap& image = window_->CurrentWorkspace().Image();
    int count = 0;
    for (int y = 0; y < image.Height(); ++y)
      for (int x = 0; x < image.Width(); ++x) count += (image.Pixel(x, y) & 0xFFFFFF) == color;
    return count;
  }

  QString Program(const char* name) const { return program_ + QLatin1Char('/') + QLatin1String(name); }
};

TEST_F(BrowserPageTest, TheTabFollowsImageAndTheMenusHoldTheCommands) {
  PixtrelF& window = StartWithData();
  EXPECT_EQ(window.Pages()->tabText(1), QStringLiteral("Browser"));
  EXPECT_EQ(window.Pages()->widget(1), Page().Tab());
  EXPECT_EQ(window.Pages()->currentIndex(), 0);
  // The engine waits for the tab's first use.
  EXPECT_FALSE(Page().Tab()->findChild<QWebEngineView*>());
  window.Pages()->setCurrentIndex(1);
  QWebEngineView* made = Page().Tab()->findChild<QWebEngineView*>();
  EXPECT_TRUE(made);
  EXPECT_EQ(made, &View());
  window.Pages()->setCurrentIndex(0);
  EXPECT_EQ(Page().previewTiled->shortcut(), QKeySequence(Qt::Key_F2));
  EXPECT_EQ(Page().previewTransparent->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F2));
  // "Load Wizard..." shows F9 but leaves the key to "Paint Shape".
  EXPECT_TRUE(Page().loadWizard->shortcut().isEmpty());
  EXPECT_TRUE(Page().loadWizard->text().endsWith(QStringLiteral("\tF9")));
  const QList<QAction*> tools = window.MenuNamed(QStringLiteral("&Tools"))->actions();
  EXPECT_TRUE(tools.contains(Page().previewTiled));
  EXPECT_TRUE(tools.contains(Page().previewTransparent));
  EXPECT_EQ(tools.back(), Page().loadWizard);
  EXPECT_TRUE(window.Compositions()->Png()->PopupMenu()->actions().contains(Page().previewInBrowser));

  // The key F9 stamps the shape and opens no dialog.
  ShowActive();
  QTest::keyClick(&window, Qt::Key_F9);
  EXPECT_TRUE(dialogs_.requests.empty());
  // F2 is "preview tiled".
  SetWhiteImage(20, 20);
  QTest::keyClick(&window, Qt::Key_F2);
  EXPECT_EQ(window.Pages()->currentWidget(), Page().Tab());
  EXPECT_TRUE(QFileInfo::exists(Program("tiled.html")));
}

TEST_F(BrowserPageTest, ExternalIsTheBoardSynchronously) {
  StartWithData();
  SetWhiteImage(120, 80);
  Load(Program("wizards/frame-wizard.html"));

  EXPECT_EQ(Js(QStringLiteral("typeof window.external.ImageWidth()")).toString(), QStringLiteral("number"));
  EXPECT_EQ(Js(QStringLiteral("window.external.ImageWidth() * 1000 + window.external.imageheight()")).toInt(), 120080);
  // A failing call throws with the member's message, and nothing after it runs.
  const QString thrown =
      Js(QStringLiteral("var after = 0; try { window.external.Line('x', 0, 9, 9); after = 1; 'returned' }"
                        " catch (e) { (e instanceof Error) + ' ' + after + ' ' + e.message }"))
          .toString();
  EXPECT_TRUE(thrown.startsWith(QStringLiteral("true 0 The value cannot be read as a number"))) << thrown.toStdString();
  // The heading is a read-write property, halves to even.
  EXPECT_EQ(Js(QStringLiteral("window.external.angle = 22.5; window.external.angle")).toInt(), 22);
  EXPECT_EQ(Js(QStringLiteral("window.external.Angle = 23.5; window.external.ANGLE")).toInt(), 24);
  EXPECT_EQ(Js(QStringLiteral("window.external.getPixelColor(3, 3)")).toString(), QStringLiteral("#FFFFFF"));
  EXPECT_EQ(Js(QStringLiteral("typeof window.external.NoSuchMember")).toString(), QStringLiteral("undefined"));

  // The page's own prompts, questions and alerts are the program's.
  answers_.inputs.push_back(std::string("Ada"));
  EXPECT_EQ(Js(QStringLiteral("window.prompt('Your name?', 'nobody')")).toString(), QStringLiteral("Ada"));
  ASSERT_FALSE(answers_.startValues.empty());
  EXPECT_EQ(answers_.startValues.back(), "nobody");
  answers_.inputs.push_back(std::nullopt);
  EXPECT_TRUE(Js(QStringLiteral("window.prompt('Again?') === null")).toBool());
  answers_.confirmations.push_back(true);
  EXPECT_TRUE(Js(QStringLiteral("window.confirm('Sure?')")).toBool());
  Js(QStringLiteral("window.alert('Hello'); 0"));
  ASSERT_FALSE(answers_.messages.empty());
  EXPECT_EQ(answers_.messages.back(), "Hello");
}

TEST_F(BrowserPageTest, BannerWizardDrawsLinesAndTextThatUndoKeeps) {
  PixtrelF& window = StartWithData();
  SetWhiteImage(320, 120);
  Load(Program("wizards/banner-wizard.html"));
  window.Pages()->setCurrentWidget(Page().Tab());
  EXPECT_EQ(Js(QStringLiteral("document.getElementById('size').textContent")).toString(),
            QStringLiteral("320 x 120 pixels"));

  Js(QStringLiteral("document.getElementById('draw').click(); 0"));
  QTRY_COMPARE_WITH_TIMEOUT(window.Pages()->currentIndex(), 0, kLoadTimeout);
  EXPECT_EQ(Js(QStringLiteral("document.getElementById('status').textContent")).toString(), QStringLiteral("Done."));
  // The band (#1F4E79), its two lines (#FFC000) and white text on the band.
  EXPECT_GT(CountOf(0x794E1F), 320 * 20);
  EXPECT_GE(CountOf(0x00C0FF), 2 * 2 * 300);
  const Bitmap& image = window.CurrentWorkspace().Image();
  int textPixels = 0;
  for (int x = 0; x < 320; ++x) textPixels += (image.Pixel(x, 60) & 0xFFFFFF) != 0x794E1F;
  EXPECT_GT(textPixels, 10) << "the text crosses the band's middle row";
  // What the view shows is the drawing.
  EXPECT_EQ(window.View()->ShownImage().pixel(2, 60) & 0xFFFFFFu, 0x1F4E79u);

  // No edit step was taken: Undo has nothing to take back.
  EXPECT_FALSE(window.Edits()->undo->isEnabled());
  window.Edits()->undo->trigger();
  EXPECT_EQ(window.CurrentWorkspace().Image().Pixel(2, 60) & 0xFFFFFF, 0x794E1Fu);
}

TEST_F(BrowserPageTest, TurtleWizardOnANewImageIsUndoneAndFrameWizardDraws) {
  PixtrelF& window = StartWithData();
  SetWhiteImage(50, 40);
  Load(Program("wizards/turtle-wizard.html"));
  Js(QStringLiteral("document.getElementById('draw').click(); 0"));
  QTRY_COMPARE_WITH_TIMEOUT(window.Pages()->currentIndex(), 0, kLoadTimeout);
  ASSERT_EQ(window.CurrentWorkspace().Image().Width(), 400);
  EXPECT_GT(CountOf(0x3C6E0A), 500) << "the snowflake in the pen colour #0A6E3C";
  // The page began with NewImage: Undo brings the old picture back.
  ASSERT_TRUE(window.Edits()->undo->isEnabled());
  window.Edits()->undo->trigger();
  EXPECT_EQ(window.CurrentWorkspace().Image().Width(), 50);
  EXPECT_EQ(CountOf(0x3C6E0A), 0);

  SetWhiteImage(100, 80);
  Load(Program("wizards/frame-wizard.html"));
  Js(QStringLiteral("document.getElementById('draw').click(); 0"));
  QTRY_COMPARE_WITH_TIMEOUT(window.Pages()->currentIndex(), 0, kLoadTimeout);
  const Bitmap& framed = window.CurrentWorkspace().Image();
  EXPECT_EQ(framed.Pixel(2, 40) & 0xFFFFFF, 0x2B5A8Bu) << "the frame colour #8B5A2B at the edge";
  EXPECT_EQ(framed.Pixel(50, 40) & 0xFFFFFF, clWhite);
}

TEST_F(BrowserPageTest, PreviewsWriteTheirFilesAndShowThem) {
  PixtrelF& window = StartWithData();
  SetWhiteImage(60, 40);
  window.GifTransparent()->setChecked(false);

  QSignalSpy loaded(&View(), &QWebEngineView::loadFinished);
  Page().previewTiled->trigger();
  EXPECT_EQ(window.Pages()->currentWidget(), Page().Tab());
  WaitLoaded(loaded);
  EXPECT_EQ(View().url(), QUrl::fromLocalFile(Program("tiled.html")));
  EXPECT_TRUE(QFileInfo::exists(Program("tiled.jpg")));
  EXPECT_EQ(Js(QStringLiteral("document.body.getAttribute('background')")).toString(), QStringLiteral("tiled.jpg"));

  // The same page again, now the transparent one: it is read afresh.
  window.Pages()->setCurrentIndex(0);
  Page().previewTransparent->trigger();
  EXPECT_EQ(window.Pages()->currentWidget(), Page().Tab());
  WaitLoaded(loaded);
  EXPECT_EQ(View().url(), QUrl::fromLocalFile(Program("tiled.html")));
  EXPECT_EQ(Js(QStringLiteral("document.body.getAttribute('bgcolor')")).toString(), QStringLiteral("black"));
  QTRY_COMPARE_WITH_TIMEOUT(
      Js(QStringLiteral("document.images[0].complete && document.images[0].naturalWidth")).toInt(), 60, kLoadTimeout);
  EXPECT_EQ(ReadText(Program("tiled.html")).indexOf("transparent.gif") > 0, true);

  // The PNG tab's image, shown by the shipped page.
  window.Pages()->setCurrentWidget(window.Compositions()->Png());
  auto* picture = window.Compositions()->Png()->findChild<QWidget*>(QStringLiteral("PngImage"));
  ASSERT_TRUE(picture);
  QContextMenuEvent menuKey(QContextMenuEvent::Mouse, QPoint(5, 5), picture->mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(picture, &menuKey);
  QMenu* popup = window.Compositions()->Png()->PopupMenu();
  QTRY_VERIFY(popup->isVisible());
  popup->close();
  Page().previewInBrowser->trigger();
  EXPECT_EQ(window.Pages()->currentWidget(), Page().Tab());
  WaitLoaded(loaded);
  EXPECT_EQ(View().url(), QUrl::fromLocalFile(Program("preview-png.html")));
  QTRY_COMPARE_WITH_TIMEOUT(
      Js(QStringLiteral("document.images[0].complete && document.images[0].naturalWidth")).toInt(), 60, kLoadTimeout);

  // With no image there is nothing to preview: a message, and the page stays.
  window.CurrentWorkspace().SetImage(Bitmap());
  const std::size_t messages = answers_.messages.size();
  Page().previewTiled->trigger();
  EXPECT_EQ(answers_.messages.size(), messages + 1);
  EXPECT_EQ(View().url(), QUrl::fromLocalFile(Program("preview-png.html")));
}

TEST_F(BrowserPageTest, LoadWizardOpensFromTheWizardsFolder) {
  PixtrelF& window = StartWithData();
  dialogs_.openAnswers.push_back((program_ + QStringLiteral("/wizards/turtle-wizard.html")).toStdString());
  QSignalSpy loaded(&View(), &QWebEngineView::loadFinished);
  Page().loadWizard->trigger();
  ASSERT_FALSE(dialogs_.requests.empty());
  EXPECT_EQ(dialogs_.requests.back().text, "Pixtrel Wizards (*-wizard.html)|*-wizard.html");
  EXPECT_EQ(dialogs_.requests.back().startFolder, (program_ + QStringLiteral("/wizards")).toStdString());
  EXPECT_EQ(window.Pages()->currentWidget(), Page().Tab());
  WaitLoaded(loaded);
  EXPECT_EQ(Js(QStringLiteral("document.title")).toString(), QStringLiteral("Turtle drawing wizard"));

  // Cancelled: nothing changes.
  window.Pages()->setCurrentIndex(0);
  dialogs_.openAnswers.push_back(std::nullopt);
  Page().loadWizard->trigger();
  EXPECT_EQ(window.Pages()->currentIndex(), 0);
}

TEST_F(BrowserPageTest, SingleClickShowsListedImagesOnlyWhileTheTabShows) {
  PixtrelF& window = StartWithData();
  WriteImage(QStringLiteral("a.png"), Qt::red);
  WriteText(images_ + QStringLiteral("/b.tif"), QByteArray("II*", 4));
  ASSERT_TRUE(window.Browser()->SetFolder(images_));
  QListWidget* files = window.Browser()->Files();
  const auto click = [&](const QString& name) {
    const QList<QListWidgetItem*> found = files->findItems(name, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << name.toStdString();
    files->scrollToItem(found.front());
    QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, files->visualItemRect(found.front()).center());
  };

  // The "Image" tab in front: a click only selects.
  click(QStringLiteral("a.png"));
  EXPECT_EQ(window.Pages()->currentIndex(), 0);
  EXPECT_TRUE(View().url().isEmpty());

  window.Pages()->setCurrentWidget(Page().Tab());
  QSignalSpy loaded(&View(), &QWebEngineView::loadFinished);
  click(QStringLiteral("a.png"));
  WaitLoaded(loaded);
  EXPECT_EQ(View().url(), QUrl::fromLocalFile(images_ + QStringLiteral("/a.png")));
  click(QStringLiteral("b.tif"));
  QTest::qWait(300);
  EXPECT_EQ(View().url(), QUrl::fromLocalFile(images_ + QStringLiteral("/a.png")));
}

}  // namespace
}  // namespace pixtrel::test
