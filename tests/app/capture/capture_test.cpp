// The capture frame "Close to Capture" and File "&Capture...". Its window,
// its shape as the mouse sizes it, its keys and the snapshot run on the
// offscreen platform. What it reads from a real screen runs on a virtual
// display with a window manager (scripts/on-virtual-display.sh): this
// program starts itself there with PIXTREL_CAPTURE_ON_SCREEN set, which
// registers the CaptureOnScreen tests.
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <functional>

#include "acquire/capture_frame.h"
#include "app/batch_window.h"
#include "app/edit_actions.h"
#include "app/icona_lib_window.h"
#include "app/shell/shell_fixture.h"
#include "app/spy_window.h"
#include "core/qimage_bitmap.h"

namespace pixtrel::test {
namespace {

// A left-button drag from a point of the widget by an offset, in four moves.
void Drag(QWidget* widget, QPoint from, QPoint by) {
  const QPoint start = widget->mapToGlobal(from);
  QTest::mousePress(widget, Qt::LeftButton, {}, from);
  for (int step = 1; step <= 4; ++step)
    QTest::mouseMove(widget, widget->mapFromGlobal(start + QPoint(by.x() * step / 4, by.y() * step / 4)));
  QTest::mouseRelease(widget, Qt::LeftButton, {}, widget->mapFromGlobal(start + by));
}

// The hole of a frame of this size whose border is 5 pixels.
QRect HoleWithFiveBorder(const SpyF& spy) {
  const int top = spy.TitleHeight() + 10;
  return QRect(5, top, spy.width() - 10, spy.height() - 5 - top);
}

QAction* FileCommand(PixtrelF& window, const char* name) {
  return window.MenuNamed("&File")->findChild<QAction*>(QString::fromLatin1(name));
}

Bitmap Gradient(int width, int height) {
  QImage image(width, height, QImage::Format_RGB888);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image.setPixel(x, y, qRgb(x * 5, y * 9, 200));
  return QImageToBitmap(image);
}

bool SamePixels(const Bitmap& a, const Bitmap& b) { return BitmapToQImage(a) == BitmapToQImage(b); }

TEST_F(ShellTest, CaptureFrameStartsHiddenAsDesigned) {
  PixtrelF& window = Start();
  SpyF* spy = window.CaptureWindow();
  ASSERT_NE(spy, nullptr);
  EXPECT_EQ(spy->objectName(), "SpyF");
  EXPECT_EQ(spy->windowTitle(), "Close to Capture");
  EXPECT_EQ(spy->parentWidget(), &window);
  EXPECT_FALSE(spy->isVisible());
  EXPECT_EQ(spy->windowFlags() & Qt::WindowType_Mask, Qt::Tool);
  EXPECT_TRUE(spy->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(spy->palette().color(QPalette::Window), QColor(Qt::black));
  EXPECT_EQ(spy->geometry(), acquire::CaptureFrameStartBounds(spy->logicalDpiY()));
  EXPECT_EQ(spy->Frame().Border(), 5);
  EXPECT_EQ(spy->mask(), acquire::CaptureFrameRegion(spy->Frame()));
  EXPECT_EQ(acquire::CaptureHole(spy->Frame()), HoleWithFiveBorder(*spy));
  // Created in the start-up order: after the batch window, before the icon manager.
  const QObjectList children = window.children();
  EXPECT_LT(children.indexOf(static_cast<QObject*>(window.BatchWindow())), children.indexOf(spy));
  EXPECT_LT(children.indexOf(spy), children.indexOf(static_cast<QObject*>(window.IconManagerWindow())));
}

TEST_F(ShellTest, SizingTheCaptureFrameByMouseKeepsItsBorder) {
  SpyF* spy = Start().CaptureWindow();
  spy->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(spy));
  const QRect start = spy->geometry();
  const auto expectBorderKept = [&] {
    EXPECT_EQ(spy->mask(), acquire::CaptureFrameRegion(spy->Frame()));
    const QRect hole = HoleWithFiveBorder(*spy);
    EXPECT_EQ(acquire::CaptureHole(spy->Frame()), hole);
    const QRegion mask = spy->mask();
    const int middle = hole.center().y();
    EXPECT_TRUE(mask.contains(QPoint(hole.left() - 1, middle)));
    EXPECT_FALSE(mask.contains(QPoint(hole.left(), middle)));
    EXPECT_FALSE(mask.contains(QPoint(hole.right(), middle)));
    EXPECT_TRUE(mask.contains(QPoint(hole.right() + 1, middle)));
    EXPECT_FALSE(mask.contains(QPoint(hole.center().x() + 3, hole.bottom())));
    EXPECT_TRUE(mask.contains(QPoint(hole.center().x() + 3, hole.bottom() + 1)));
    EXPECT_EQ(spy->CaptureRectOnScreen(), hole.translated(spy->mapToGlobal(QPoint())));
  };

  // The bottom-right corner.
  Drag(spy, QPoint(spy->width() - 2, spy->height() - 2), QPoint(40, 30));
  EXPECT_EQ(spy->geometry(), QRect(start.topLeft(), start.size() + QSize(40, 30)));
  expectBorderKept();
  // The left side alone.
  Drag(spy, QPoint(2, spy->height() / 2), QPoint(-20, 0));
  EXPECT_EQ(spy->geometry(), QRect(start.left() - 20, start.top(), start.width() + 60, start.height() + 30));
  expectBorderKept();
  // The top-left corner far past the other: the frame stops at its smallest.
  const QPoint bottomRight = spy->geometry().bottomRight();
  Drag(spy, QPoint(1, 1), QPoint(900, 900));
  EXPECT_EQ(spy->size(), spy->minimumSize());
  EXPECT_EQ(spy->geometry().bottomRight(), bottomRight);
  EXPECT_GT(HoleWithFiveBorder(*spy).width(), 0);
  EXPECT_GT(HoleWithFiveBorder(*spy).height(), 0);
  expectBorderKept();
  // The title band moves the frame without sizing it.
  const QRect before = spy->geometry();
  Drag(spy, QPoint(12, 5 + spy->TitleHeight() / 2), QPoint(33, -21));
  EXPECT_EQ(spy->geometry(), before.translated(33, -21));
  // The black strip between the title band and the hole does nothing.
  Drag(spy, QPoint(spy->width() / 2, spy->TitleHeight() + 7), QPoint(15, 15));
  EXPECT_EQ(spy->geometry(), before.translated(33, -21));
  spy->close();
}

TEST_F(ShellTest, CaptureFrameClosesByEscapeEnterAndItsCloseButton) {
  SpyF* spy = Start().CaptureWindow();
  const std::function<void()> closers[] = {
      [&] { QTest::keyClick(spy, Qt::Key_Escape); },
      [&] { QTest::keyClick(spy, Qt::Key_Return); },
      [&] { QTest::mouseClick(spy->CloseButton(), Qt::LeftButton); },
  };
  for (const auto& closeIt : closers) {
    spy->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(spy));
    closeIt();
    EXPECT_FALSE(spy->isVisible());
  }
  // A frame that never showed reads nothing.
  spy->TakeCapture();
  spy->close();
  EXPECT_TRUE(spy->TakeCapture().isNull());
}

TEST_F(ShellTest, CaptureTakesTheSnapshotBeforeTheFrameOpens) {
  PixtrelF& window = Start();
  const Bitmap before = Gradient(31, 17);
  window.CurrentWorkspace().SetImage(before);
  bool snapshotFirst = false;
  dialogs_.modalAnswers.push_back([&](QDialog&) {
    snapshotFirst = window.CurrentWorkspace().UndoEnabled() &&
                    SamePixels(window.CurrentWorkspace().UndoBitmap(), before) && window.Edits()->undo->isEnabled();
    return false;
  });
  FileCommand(window, "Capture1")->trigger();
  EXPECT_TRUE(snapshotFirst);
  ASSERT_FALSE(dialogs_.requests.empty());
  EXPECT_EQ(dialogs_.requests.back().kind, "modal");
  EXPECT_EQ(dialogs_.requests.back().text, "Close to Capture");
  // The frame was never on the screen: the image stays.
  EXPECT_TRUE(SamePixels(window.CurrentWorkspace().Image(), before));
}

// ---------------------------------------------------------------------------
// On a real screen.

// A window showing a picture in which no two neighbouring pixels are alike
// and no pixel is grey (red and green always differ); the frame's own pixels
// (border, black strip) are all grey, so the two cannot be confused.
QRgb PatternPixel(int x, int y) { return qRgb(x & 255, (x + 1 + (y & 127)) & 255, (y * 3 + (x >> 8) * 77) & 255); }

class PatternWindow : public QWidget {
 public:
  PatternWindow() : QWidget(nullptr, Qt::FramelessWindowHint) {}
  void paintEvent(QPaintEvent*) override {
    QImage image(size(), QImage::Format_RGB32);
    for (int y = 0; y < height(); ++y)
      for (int x = 0; x < width(); ++x) image.setPixel(x, y, PatternPixel(x, y));
    QPainter(this).drawImage(0, 0, image);
  }
};

bool IsGrey(QRgb pixel) { return qRed(pixel) == qGreen(pixel); }

class CaptureOnScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    ASSERT_TRUE(home_.isValid());
    ShellOptions options;
    options.programPath = (home_.path() + QStringLiteral("/pixtrel")).toStdString();
    options.interaction = &answers_;
    window_ = std::make_unique<PixtrelF>(options, dialogs_);
    // The picture lies under the frame wherever the tests put it; the main
    // window lies below both.
    pattern_.setGeometry(60, 60, 520, 360);
    pattern_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&pattern_));
    window_->move(0, 440);
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    Activate();
  }

  void TearDown() override { window_.reset(); }

  void Activate() {
    QApplication::setActiveWindow(window_.get());
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  }

  QRgb PatternAt(QPoint onScreen) const {
    const QPoint at = onScreen - pattern_.mapToGlobal(QPoint());
    return PatternPixel(at.x(), at.y());
  }

  // Pixels of the picture that differ from the pattern at rect (screen coordinates).
  int PatternMismatches(const QImage& picture, const QRect& rect) const {
    if (picture.size() != rect.size()) return rect.width() * rect.height();
    int wrong = 0;
    for (int y = 0; y < rect.height(); ++y)
      for (int x = 0; x < rect.width(); ++x)
        if ((picture.pixel(x, y) & 0xFFFFFF) != (PatternAt(rect.topLeft() + QPoint(x, y)) & 0xFFFFFF)) ++wrong;
    return wrong;
  }

  // What the screen shows around the open frame: the pattern in the hole and
  // the frame's grey in the 5-pixel border beside and below it. Counts the
  // pixels that are otherwise.
  int ScreenMismatches(const SpyF& spy) const {
    const QImage screen =
        QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
    const QPoint origin = spy.mapToGlobal(QPoint());
    const QRect hole = acquire::CaptureHole(spy.Frame()).translated(origin);
    int wrong = PatternMismatches(screen.copy(hole), hole);
    for (int y = hole.top(); y <= hole.bottom() + 5; ++y)
      for (int x = hole.left() - 5; x <= hole.right() + 5; ++x)
        if (!hole.contains(x, y) && !IsGrey(screen.pixel(x, y))) ++wrong;
    return wrong;
  }

  bool ScreenSettles(const SpyF& spy) {
    return QTest::qWaitFor([&] { return ScreenMismatches(spy) == 0; }, 5000);
  }

  // File "&Capture..." by its keys; whileOpen runs inside the modal frame and
  // closes it (the frame is closed anyway if it did not).
  void CaptureByKeys(const std::function<void(SpyF&)>& whileOpen) {
    SpyF* spy = window_->CaptureWindow();
    QTest::keyClick(window_.get(), Qt::Key_F, Qt::AltModifier);
    QMenu* file = window_->MenuNamed("&File");
    ASSERT_TRUE(QTest::qWaitFor([&] { return file->isVisible(); }, 5000)) << "Alt+F opened no menu";
    bool opened = false;
    QTimer::singleShot(0, spy, [&] {
      opened = spy->isModal() && QTest::qWaitForWindowExposed(spy);
      if (opened) whileOpen(*spy);
      if (spy->isVisible()) {
        ADD_FAILURE() << "the frame was left open";
        spy->close();
      }
    });
    QTest::keyClick(file, Qt::Key_C);
    ASSERT_TRUE(QTest::qWaitFor([&] { return opened && !spy->isVisible(); }, 5000));
  }

  QTemporaryDir home_;
  RecordingInteraction answers_;
  QtAppDialogs dialogs_;
  PatternWindow pattern_;
  std::unique_ptr<PixtrelF> window_;
};

class PatternComesBackAndUndoRestores : public CaptureOnScreen {
  void TestBody() override {
    const Bitmap before = Gradient(37, 23);
    window_->CurrentWorkspace().SetImage(before);
    QRect read;
    CaptureByKeys([&](SpyF& spy) {
      EXPECT_TRUE(SamePixels(window_->CurrentWorkspace().UndoBitmap(), before)) << "the snapshot comes first";
      EXPECT_EQ(spy.geometry(), acquire::CaptureFrameStartBounds(spy.logicalDpiY()));
      EXPECT_TRUE(ScreenSettles(spy)) << ScreenMismatches(spy) << " pixels on the screen are wrong";
      read = spy.CaptureRectOnScreen();
      QTest::keyClick(&spy, Qt::Key_Escape);
    });
    const acquire::FrameSize frame = window_->CaptureWindow()->Frame();
    EXPECT_EQ(read.size(), QSize(frame.width - 10, frame.height - 5 - frame.TopBand()));
    const Bitmap& captured = window_->CurrentWorkspace().Image();
    EXPECT_EQ(captured.PixelFormat(), pf24bit);
    EXPECT_EQ(PatternMismatches(BitmapToQImage(captured), read), 0);

    Activate();
    QTest::keyClick(window_.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(SamePixels(window_->CurrentWorkspace().Image(), before));
    // The snapshot stays: a second Undo gives the same image.
    QTest::keyClick(window_.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(SamePixels(window_->CurrentWorkspace().Image(), before));
  }
};

class ResizingKeepsTheBorderAndTheCaptureFollows : public CaptureOnScreen {
  void TestBody() override {
    QRect read;
    QSize sized;
    CaptureByKeys([&](SpyF& spy) {
      const QRect start = spy.geometry();
      Drag(&spy, QPoint(spy.width() - 2, spy.height() - 2), QPoint(60, 45));
      sized = spy.size();
      EXPECT_EQ(sized, start.size() + QSize(60, 45));
      EXPECT_EQ(spy.mask(), acquire::CaptureFrameRegion(spy.Frame()));
      EXPECT_EQ(acquire::CaptureHole(spy.Frame()), HoleWithFiveBorder(spy));
      EXPECT_TRUE(ScreenSettles(spy)) << ScreenMismatches(spy) << " pixels on the screen are wrong after sizing";
      Drag(&spy, QPoint(20, 5 + spy.TitleHeight() / 2), QPoint(-30, 20));
      EXPECT_EQ(spy.geometry(), QRect(start.topLeft() + QPoint(-30, 20), sized));
      EXPECT_TRUE(ScreenSettles(spy)) << ScreenMismatches(spy) << " pixels on the screen are wrong after moving";
      read = spy.CaptureRectOnScreen();
      QTest::mouseClick(spy.CloseButton(), Qt::LeftButton);
    });
    EXPECT_EQ(read.size(), HoleWithFiveBorder(*window_->CaptureWindow()).size());
    EXPECT_EQ(PatternMismatches(BitmapToQImage(window_->CurrentWorkspace().Image()), read), 0);
  }
};

template <typename T>
void RegisterOnScreen(const char* name, int line) {
  testing::RegisterTest("CaptureOnScreen", name, nullptr, nullptr, __FILE__, line,
                        []() -> CaptureOnScreen* { return new T; });
}

const bool kOnScreenRegistered = [] {
  if (qEnvironmentVariableIsEmpty("PIXTREL_CAPTURE_ON_SCREEN")) return false;
  RegisterOnScreen<PatternComesBackAndUndoRestores>("ThePatternBeneathTheHoleComesBackAndUndoRestores", __LINE__);
  RegisterOnScreen<ResizingKeepsTheBorderAndTheCaptureFollows>("ResizingKeepsTheBorderAndTheCaptureFollows", __LINE__);
  return true;
}();

TEST(CaptureFrame, ReadsTheScreenBeneathItsHoleOnAVirtualDisplay) {
  if (kOnScreenRegistered) GTEST_SKIP() << "already on the virtual display";
  QProcess child;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("PIXTREL_CAPTURE_ON_SCREEN"), QStringLiteral("1"));
  child.setProcessEnvironment(environment);
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(QStringLiteral(PIXTREL_SOURCE_DIR "/scripts/on-virtual-display.sh"),
              {QCoreApplication::applicationFilePath(), QStringLiteral("--gtest_filter=CaptureOnScreen.*"),
               QStringLiteral("-platform"), QStringLiteral("xcb")});
  ASSERT_TRUE(child.waitForFinished(300000));
  const QString output = QString::fromLocal8Bit(child.readAll());
  if (child.exitCode() == 77) GTEST_SKIP() << "no X server can start here: " << output.toStdString();
  EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
  EXPECT_TRUE(output.contains(QStringLiteral("[  PASSED  ] 2 tests."))) << output.toStdString();
}

}  // namespace
}  // namespace pixtrel::test
