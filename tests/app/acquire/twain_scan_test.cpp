// File > "&Twain Scan..." in the main window, through our SANE-backed source
// manager and its dialogs, against SANE's test backend: the chooser and the
// source's dialog driven by mouse and keys, the workspace receiving what
// scanimage gets with the same options.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "acquire/sane_test_support.h"
#include "app/app_dialogs.h"
#include "app/main_window.h"
#include "core/scripted_interaction.h"

namespace pixtrel {
namespace {

// The visible top-level window of that name.
QWidget* Shown(const char* name) {
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (widget->isVisible() && widget->objectName() == QLatin1String(name)) return widget;
  return nullptr;
}

class TwainScanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(program_.isValid());
    Configure("mode Gray\nresolution 30\nbr_x 50.0\nbr_y 40.0\ntest-picture \"Color pattern\"\n");
    Start(&answers_, {PIXTREL_SANE_DSM});
  }

  void Configure(const std::string& testOptions) { sane_ = SaneConfiguration("test", testOptions); }

  // The main window asking through interaction (nullptr: its own message
  // boxes), scanning through the source managers given.
  void Start(UserInteraction* interaction, std::vector<std::string> sourceManagers) {
    window_.reset();
    ShellOptions options;
    options.programPath = (program_.path() + "/pixtrel").toStdString();
    options.interaction = interaction;
    options.twainSourceManagers = std::move(sourceManagers);
    window_ = std::make_unique<PixtrelF>(options, dialogs_);
    window_->CurrentWorkspace().SetImage(Bitmap(20, 10, pf24bit));
    window_->CurrentWorkspace().Image().Fill(RGB(1, 2, 3));
  }

  // Runs the command while a timer answers the dialogs as they appear.
  void Scan(const std::function<void(QWidget*)>& chooser, const std::function<void(QWidget*)>& source) {
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (QWidget* dialog = Shown("SelectSource")) {
        ++choosers_;
        chooser(dialog);
      } else if (QWidget* dialog = Shown("SourceDialog");
                 dialog && dialog->findChild<QPushButton*>("scanButton")->isEnabled()) {
        ++sources_;
        source(dialog);
      }
    });
    poll.start();
    QAction* command = window_->findChild<QAction*>("TwainScan1");
    ASSERT_NE(command, nullptr);
    command->trigger();
  }

  QTemporaryDir program_;
  QString sane_;
  ScriptedInteraction answers_;
  ScriptedAppDialogs dialogs_;
  std::unique_ptr<PixtrelF> window_;
  int choosers_ = 0;
  int sources_ = 0;
};

TEST_F(TwainScanTest, TheCommandFollowsSaveAsInTheFileMenu) {
  QMenu* file = nullptr;
  for (QAction* action : window_->menuBar()->actions())
    if (action->text() == "&File") file = action->menu();
  ASSERT_NE(file, nullptr);
  QStringList captions;
  for (QAction* action : file->actions()) captions << action->text();
  const qsizetype saveAs = captions.indexOf("Save &As...");
  ASSERT_GE(saveAs, 0);
  EXPECT_EQ(captions.indexOf("&Twain Scan..."), saveAs + 1);
}

TEST_F(TwainScanTest, TheChosenScannerScansTheTestPatternIntoTheWorkspace) {
  Scan(
      [](QWidget* chooser) {
        auto* list = chooser->findChild<QListWidget*>("sourceList");
        ASSERT_EQ(list->count(), 2);
        EXPECT_TRUE(list->item(0)->text().contains("(test:0)"));
        // The second device, then back up to the first, by keys.
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Up);
        QTest::mouseClick(chooser->findChild<QPushButton*>("selectButton"), Qt::LeftButton);
      },
      [](QWidget* source) {
        auto* mode = source->findChild<QComboBox*>("modeBox");
        auto* resolution = source->findChild<QComboBox*>("resolutionBox");
        auto* feeder = source->findChild<QComboBox*>("sourceBox");
        EXPECT_EQ(mode->currentText(), "Gray");
        EXPECT_EQ(resolution->currentText(), "30");
        EXPECT_GE(feeder->findText("Automatic Document Feeder"), 0);
        mode->setCurrentIndex(mode->findText("Color"));
        resolution->setCurrentIndex(resolution->findText("50"));
        QTest::mouseClick(source->findChild<QPushButton*>("scanButton"), Qt::LeftButton);
      });
  EXPECT_EQ(choosers_, 1);
  EXPECT_EQ(sources_, 1);
  EXPECT_TRUE(answers_.messages.empty());
  // The source's dialog is gone with the source.
  EXPECT_EQ(Shown("SourceDialog"), nullptr);

  const Reference reference =
      Scanimage(sane_.toStdString(), "test:0", "--mode Color --resolution 50");
  const Bitmap& image = window_->CurrentWorkspace().Image();
  ASSERT_EQ(image.Width(), reference.width);
  ASSERT_EQ(image.Height(), reference.height);
  int differing = 0;
  for (int y = 0; y < reference.height; ++y)
    for (int x = 0; x < reference.width; ++x)
      differing += image.Pixel(x, y) != reference.pixels[static_cast<std::size_t>(y) * reference.width + x];
  EXPECT_EQ(differing, 0);
  EXPECT_FALSE(window_->CurrentWorkspace().UndoEnabled());

  // The dialog's options are the device's next start values.
  QSettings settings(sane_ + "/config/pixtrel/twain-sane.conf", QSettings::IniFormat);
  EXPECT_EQ(settings.value("default").toString(), "test:0");
  EXPECT_EQ(settings.value("device-test%3A0/mode").toString(), "Color");
  EXPECT_EQ(settings.value("device-test%3A0/resolution").toString(), "50");
}

TEST_F(TwainScanTest, CancellingTheChooserAndTheSourceDialogChangesNothing) {
  Scan([](QWidget* chooser) { QTest::mouseClick(chooser->findChild<QPushButton*>("cancelButton"), Qt::LeftButton); },
       [](QWidget* source) { QTest::keyClick(source, Qt::Key_Escape); });
  EXPECT_EQ(choosers_, 1);
  EXPECT_EQ(sources_, 1);
  EXPECT_TRUE(answers_.messages.empty());
  const Bitmap& image = window_->CurrentWorkspace().Image();
  EXPECT_EQ(image.Width(), 20);
  EXPECT_EQ(image.Pixel(3, 3), RGB(1, 2, 3));
  EXPECT_EQ(Shown("SourceDialog"), nullptr);
}

TEST_F(TwainScanTest, WithoutASourceManagerTwoTwainErrorBoxesShowAndNothingChanges) {
  Start(nullptr, {"/nonexistent/libtwaindsm.so"});
  QStringList shown;
  QTimer poll;
  poll.setInterval(20);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(widget);
      if (!box || !box->isVisible()) continue;
      shown << box->windowTitle() + ": " + box->text();
      QTest::keyClick(box, Qt::Key_Return);
    }
  });
  poll.start();
  window_->findChild<QAction*>("TwainScan1")->trigger();
  EXPECT_EQ(shown, QStringList({"TWAIN Error: Unable to load Source Manager (TWAIN_32.DLL)",
                                "TWAIN Error: Unable to load Source Manager (TWAIN_32.DLL)"}));
  EXPECT_EQ(window_->CurrentWorkspace().Image().Pixel(19, 9), RGB(1, 2, 3));
  EXPECT_FALSE(window_->CurrentWorkspace().UndoEnabled());
}

TEST_F(TwainScanTest, AFailedScanSaysWhyInTheDialogWhichStaysForAnotherTry) {
  Configure("mode Color\nresolution 30\nread-status-code \"SANE_STATUS_IO_ERROR\"\n");
  QString status;
  Scan([](QWidget* chooser) { QTest::keyClick(chooser, Qt::Key_Return); },
       [&](QWidget* source) {
         auto* label = source->findChild<QLabel*>("statusLabel");
         if (!label->isVisible()) {
           QTest::mouseClick(source->findChild<QPushButton*>("scanButton"), Qt::LeftButton);
         } else {
           status = label->text();
           QTest::mouseClick(source->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
         }
       });
  EXPECT_EQ(sources_, 2);
  EXPECT_EQ(status, "Scanning failed: Error during device I/O");
  EXPECT_EQ(window_->CurrentWorkspace().Image().Width(), 20);
  EXPECT_TRUE(answers_.messages.empty());
}

}  // namespace
}  // namespace pixtrel
