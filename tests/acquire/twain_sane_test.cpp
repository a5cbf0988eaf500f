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

#include "acquire/twain_acquire.h"
#include "core/scripted_interaction.h"
#include "workspace/workspace.h"

namespace pixtrel {
namespace {

// A picture read from scanimage's PNM output, as colours.
struct Reference {
  int width = 0;
  int height = 0;
  std::vector<Color> pixels;
};

Reference ReadPnm(const std::string& bytes) {
  Reference picture;
  std::size_t at = 0;
  auto token = [&]() {
    while (at < bytes.size()) {
      if (bytes[at] == '#') {
        while (at < bytes.size() && bytes[at] != '\n') ++at;
      } else if (std::isspace(static_cast<unsigned char>(bytes[at]))) {
        ++at;
      } else {
        break;
      }
    }
    std::string text;
    while (at < bytes.size() && !std::isspace(static_cast<unsigned char>(bytes[at]))) text += bytes[at++];
    return text;
  };
  const std::string magic = token();
  picture.width = std::stoi(token());
  picture.height = std::stoi(token());
  const int maxValue = magic == "P4" ? 1 : std::stoi(token());
  ++at;  // the one white space before the samples
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data() + at);
  const int channels = magic == "P6" ? 3 : 1;
  const int sampleBytes = maxValue > 255 ? 2 : 1;
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      if (magic == "P4") {
        const int rowBytes = (picture.width + 7) / 8;
        const bool black = (data[y * rowBytes + x / 8] >> (7 - x % 8)) & 1;
        picture.pixels.push_back(black ? RGB(0, 0, 0) : RGB(255, 255, 255));
        continue;
      }
      int sample[3];
      for (int c = 0; c < channels; ++c) {
        const std::size_t index = (static_cast<std::size_t>(y) * picture.width + x) * channels + c;
        // 16-bit samples are big-endian in the file; the picture keeps the high byte.
        sample[c] = data[index * sampleBytes];
      }
      picture.pixels.push_back(channels == 3 ? RGB(sample[0], sample[1], sample[2])
                                             : RGB(sample[0], sample[0], sample[0]));
    }
  }
  return picture;
}

class TwainSaneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    Configure("test", "mode Color\ndepth 8\nresolution 40\ntest-picture \"Color pattern\"\n");
    // The source manager remembers its default source and options here.
    setenv("XDG_CONFIG_HOME", (folder_.path() + "/config").toLocal8Bit().constData(), 1);
    setenv("SANE_CONFIG_DIR", (folder_.path() + ":").toLocal8Bit().constData(), 1);
    options_.sourceManagers = {PIXTREL_SANE_DSM};
  }

  // dll.conf lists backends; test.conf sets the test backend's options.
  void Configure(const char* backends, const std::string& testOptions) {
    QFile dll(folder_.path() + "/dll.conf");
    ASSERT_TRUE(dll.open(QIODevice::WriteOnly));
    dll.write(backends);
    dll.write("\n");
    dll.close();
    QFile test(folder_.path() + "/test.conf");
    ASSERT_TRUE(test.open(QIODevice::WriteOnly));
    test.write("number_of_devices 2\nthree-pass-order RGB\nbr_x 60.0\nbr_y 45.0\n");
    test.write(testOptions.c_str());
    test.close();
  }

  // What scanimage gets from test:0 with the same configuration.
  Reference Scanimage() {
    const std::string out = (folder_.path() + "/reference.pnm").toStdString();
    const std::string command = "SANE_CONFIG_DIR='" + folder_.path().toStdString() + ":' scanimage -d test:0 > '" +
                                out + "' 2>/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0);
    QFile file(QString::fromStdString(out));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return ReadPnm(file.readAll().toStdString());
  }

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

  QTemporaryDir folder_;
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

TEST_F(TwainSaneTest, GreyLineArtSixteenBitsAndThreePassFramesArriveAsScanned) {
  const char* configurations[] = {
      "mode Gray\ndepth 8\nresolution 30\ntest-picture \"Color pattern\"\n",
      "mode Gray\ndepth 1\nresolution 50\ntest-picture \"Grid\"\n",
      "mode Color\ndepth 16\nresolution 30\ntest-picture \"Color pattern\"\n",
      "mode Color\ndepth 8\nresolution 30\nthree-pass true\ntest-picture \"Color pattern\"\n",
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
  QSettings settings(folder_.path() + "/config/pixtrel/twain-sane.conf", QSettings::IniFormat);
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
  QSettings settings(folder_.path() + "/config/pixtrel/twain-sane.conf", QSettings::IniFormat);
  EXPECT_EQ(settings.value("default").toString(), "test:0");
  // test:1 chosen before (in the dialog) stays the default.
  settings.setValue("default", "test:1");
  settings.sync();
  ASSERT_TRUE(twain.SelectImageSource());
  EXPECT_EQ(QSettings(folder_.path() + "/config/pixtrel/twain-sane.conf", QSettings::IniFormat)
                .value("default")
                .toString(),
            "test:1");
}

TEST_F(TwainSaneTest, WithoutScannersTheDefaultSourceDoesNotOpen) {
  Configure("", "mode Color\n");
  EXPECT_FALSE(TwainScan(workspace_, ui_, options_));
  EXPECT_EQ(ui_.messages, std::vector<std::string>{"Unable to open default Data Source."});
  EXPECT_EQ(workspace_.Image().Width(), 0);
}

}  // namespace
}  // namespace pixtrel
