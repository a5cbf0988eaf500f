// Our SANE-backed source manager, end to end through the TWAIN client,
// against SANE's test backend: the workspace receives exactly the picture
// scanimage gets from the same device and options. Without a widget
// application the source manager opens no dialog: the chooser keeps the
// default source and the source scans with its current options.
#include <gtest/gtest.h>

#include <cctype>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "acquire/sane_test_support.h"
#include "acquire/twain_acquire.h"
#include "core/scripted_interaction.h"
#include "workspace/workspace.h"

namespace pixtrel {
namespace {

class TwainSaneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Configure("test", "mode Color\ndepth 8\nresolution 40\ntest-picture \"Color pattern\"\n");
    options_.sourceManagers = {PIXTREL_SANE_DSM};
  }

  // dll.conf lists backends; test.conf sets the test backend's options
  // (over a page of 60 by 45 mm).
  void Configure(const char* backends, const std::string& testOptions) {
    folder_ = SaneConfiguration(backends, "br_x 60.0\nbr_y 45.0\n" + testOptions);
  }

  Reference Scanimage() { return pixtrel::Scanimage(folder_.toStdString(), "test:0"); }

  void ExpectWorkspaceIs(const Reference& reference) {
    const Bitmap& image = workspace_.Image();
    ASSERT_EQ(image.Width(), reference.width);
    ASSERT_EQ(image.Height(), reference.height);
    int differing = 0;
    for (int y = 0; y < reference.height; ++y)
      for (int x = 0; x < reference.width; ++x)
        differing += image.Pixel(x, y) != reference.pixels[static_cast<std::size_t>(y) * reference.width + x];
    EXPECT_EQ(differing, 0);
  }

  QString folder_;
  TwainOptions options_;
  ScriptedInteraction ui_;
  Workspace workspace_;
};

TEST_F(TwainSaneTest, TheWorkspaceReceivesTheTestPattern) {
  const Reference reference = Scanimage();
  ASSERT_GT(reference.width, 50);
  ASSERT_TRUE(TwainScan(workspace_, ui_, options_));
  EXPECT_TRUE(ui_.messages.empty());
  ExpectWorkspaceIs(reference);
  EXPECT_FALSE(workspace_.UndoEnabled());
  // The pattern's rows of red, green and blue squares between grey lines.
  std::set<Color> colors(reference.pixels.begin(), reference.pixels.end());
  EXPECT_GT(colors.size(), 100u);
  EXPECT_TRUE(colors.count(RGB(255, 0, 0)) && colors.count(RGB(0, 255, 0)) && colors.count(RGB(0, 0, 255)));
}

TEST_F(TwainSaneTest, GreyLineArtSixteenBitsThreePassAndHandScannerFramesArriveAsScanned) {
  const char* configurations[] = {
      "mode Gray\ndepth 8\nresolution 30\ntest-picture \"Color pattern\"\n",
      "mode Gray\ndepth 1\nresolution 50\ntest-picture \"Grid\"\n",
      "mode Color\ndepth 16\nresolution 30\ntest-picture \"Color pattern\"\n",
      "mode Color\ndepth 8\nresolution 30\nthree-pass true\ntest-picture \"Color pattern\"\n",
      // A hand scanner does not know its height before the end.
      "mode Color\ndepth 8\nresolution 30\nhand-scanner true\ntest-picture \"Color pattern\"\n",
  };
  for (const char* configuration : configurations) {
    SCOPED_TRACE(configuration);
    Configure("test", configuration);
    const Reference reference = Scanimage();
    ASSERT_TRUE(TwainScan(workspace_, ui_, options_));
    ExpectWorkspaceIs(reference);
  }
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(TwainSaneTest, TheFeederDeliversPagesUntilItIsEmpty) {
  // The options the source's dialog would have remembered.
  QSettings settings(folder_ + "/config/pixtrel/twain-sane.conf", QSettings::IniFormat);
  settings.setValue("device-test%3A0/source", "Automatic Document Feeder");
  settings.sync();
  TwainAcquire twain(ui_, options_);
  twain.Acquire();
  // The test backend's feeder empties after ten pages.
  ASSERT_EQ(twain.Pictures().size(), 10u);
  for (DibPicture& page : twain.Pictures()) EXPECT_GT(page.ToBitmap().Width(), 50);
  EXPECT_EQ(twain.State(), TwainAcquire::kNothingLoaded);
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(TwainSaneTest, TheChoiceOfTheChooserIsTheDefaultSource) {
  TwainAcquire twain(ui_, options_);
  ASSERT_TRUE(twain.SelectImageSource());
  QSettings settings(folder_ + "/config/pixtrel/twain-sane.conf", QSettings::IniFormat);
  EXPECT_EQ(settings.value("default").toString(), "test:0");
  // test:1 chosen before (in the dialog) stays the default.
  settings.setValue("default", "test:1");
  settings.sync();
  ASSERT_TRUE(twain.SelectImageSource());
  EXPECT_EQ(QSettings(folder_ + "/config/pixtrel/twain-sane.conf", QSettings::IniFormat)
                .value("default")
                .toString(),
            "test:1");
}

TEST_F(TwainSaneTest, AScannerErrorWithoutADialogEndsTheScanWithNothing) {
  Configure("test", "mode Color\nresolution 30\nread-status-code \"SANE_STATUS_IO_ERROR\"\n");
  workspace_.SetImage(Bitmap(12, 8, pf24bit));
  TwainAcquire twain(ui_, options_);
  twain.Acquire();
  EXPECT_TRUE(twain.Pictures().empty());
  EXPECT_EQ(twain.State(), TwainAcquire::kNothingLoaded);
  EXPECT_FALSE(TwainScan(workspace_, ui_, options_));
  EXPECT_EQ(workspace_.Image().Width(), 12);
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(TwainSaneTest, WithoutScannersTheDefaultSourceDoesNotOpen) {
  Configure("", "mode Color\n");
  EXPECT_FALSE(TwainScan(workspace_, ui_, options_));
  EXPECT_EQ(ui_.messages, std::vector<std::string>{"Unable to open default Data Source."});
  EXPECT_EQ(workspace_.Image().Width(), 0);
}

}  // namespace
}  // namespace pixtrel
