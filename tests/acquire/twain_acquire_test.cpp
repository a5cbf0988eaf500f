// The TWAIN client against a scripted source manager: the chain of calls and
// states, the pictures, the messages of every failing step, and the
// workspace after "&Twain Scan...".
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <malloc.h>

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "acquire/twain_acquire.h"
#include "core/errors.h"
#include "core/scripted_interaction.h"
#include "scripted_dsm/scripted_dsm.h"
#include "workspace/workspace.h"

namespace pixtrel {
namespace {

const std::string kLoadMessage = "Unable to load Source Manager (TWAIN_32.DLL)";

class TwainClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Kept loaded for the whole test, so that the script and the log outlive
    // the client's own loading and unloading.
    library_ = dlopen(PIXTREL_SCRIPTED_DSM, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library_, nullptr) << dlerror();
    reset_ = reinterpret_cast<ScriptedDsmResetProc>(dlsym(library_, "ScriptedDsm_Reset"));
    log_ = reinterpret_cast<ScriptedDsmLogProc>(dlsym(library_, "ScriptedDsm_Log"));
    ASSERT_TRUE(reset_ && log_);
    script_.pages = 1;
    for (int i = 0; i < 4; ++i) {
      script_.widths[i] = 40 + i;
      script_.heights[i] = 30 + i;
    }
    options_.sourceManagers = {PIXTREL_SCRIPTED_DSM};
    // A workspace image the scans must leave alone or replace.
    workspace_.SetImage(Bitmap(20, 10, pf24bit));
    workspace_.Image().Fill(RGB(200, 10, 10));
  }

  void TearDown() override {
    if (library_) dlclose(library_);
  }

  void Run() {
    reset_(&script_);
    scanned_ = TwainScan(workspace_, ui_, options_);
  }

  std::string Log() const { return log_(); }

  void ExpectUnchanged() {
    EXPECT_FALSE(scanned_);
    ASSERT_EQ(workspace_.Image().Width(), 20);
    ASSERT_EQ(workspace_.Image().Height(), 10);
    EXPECT_EQ(workspace_.Image().Pixel(19, 9), RGB(200, 10, 10));
    EXPECT_FALSE(workspace_.UndoEnabled());
  }

  void* library_ = nullptr;
  ScriptedDsmResetProc reset_ = nullptr;
  ScriptedDsmLogProc log_ = nullptr;
  ScriptedDsmScript script_{};
  TwainOptions options_;
  ScriptedInteraction ui_;
  Workspace workspace_;
  bool scanned_ = false;
};

TEST_F(TwainClientTest, WithoutASourceManagerTheLoadMessageShowsTwiceAndNothingChanges) {
  // A library that is not there, and one without the entry point.
  options_.sourceManagers = {"/nonexistent/libtwaindsm.so", "libz.so.1"};
  Run();
  EXPECT_EQ(ui_.messages, (std::vector<std::string>{kLoadMessage, kLoadMessage}));
  EXPECT_EQ(ui_.captions, (std::vector<std::string>{"TWAIN Error", "TWAIN Error"}));
  ExpectUnchanged();
  EXPECT_EQ(Log(), "");
}

TEST_F(TwainClientTest, TheFirstLibraryThatLoadsIsUsed) {
  options_.sourceManagers = {"/nonexistent/libpixtrel-twain-sane.so", PIXTREL_SCRIPTED_DSM};
  Run();
  EXPECT_TRUE(scanned_);
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(TwainClientTest, CancellingTheSourceDialogLeavesTheWorkspace) {
  script_.cancel = 1;
  Run();
  ExpectUnchanged();
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_EQ(Log(),
            "OPENDSM(Acquire Proxy) USERSELECT CLOSEDSM OPENDSM(Acquire Proxy) OPENDS ENABLEDS(ui) CLOSEDSREQ "
            "DISABLEDS CLOSEDS CLOSEDSM");
}

TEST_F(TwainClientTest, ThreePagesShowTheFirstAtItsSizeAndReleaseTheOthers) {
  script_.pages = 3;
  script_.widths[1] = 2000;
  script_.heights[1] = 1500;
  script_.widths[2] = 1800;
  script_.heights[2] = 1400;
  const std::size_t before = mallinfo2().uordblks + mallinfo2().hblkhd;
  Run();
  const std::size_t after = mallinfo2().uordblks + mallinfo2().hblkhd;
  ASSERT_TRUE(scanned_);
  EXPECT_TRUE(ui_.messages.empty());
  const Bitmap& image = workspace_.Image();
  ASSERT_EQ(image.Width(), 40);
  ASSERT_EQ(image.Height(), 30);
  // Red x, green y, blue 0 on the first page, row 0 at the top.
  EXPECT_EQ(image.Pixel(0, 0), RGB(0, 0, 0));
  EXPECT_EQ(image.Pixel(5, 7), RGB(5, 7, 0));
  EXPECT_EQ(image.Pixel(39, 29), RGB(39, 29, 0));
  EXPECT_FALSE(workspace_.UndoEnabled());
  EXPECT_EQ(Log(),
            "OPENDSM(Acquire Proxy) USERSELECT CLOSEDSM OPENDSM(Acquire Proxy) OPENDS ENABLEDS(ui) XFERREADY "
            "GET ENDXFER:2 GET ENDXFER:1 GET ENDXFER:0 DISABLEDS CLOSEDS CLOSEDSM");
  // The later pages (9 and 7.6 MB) are not kept.
  if (after > before) {
    EXPECT_LT(after - before, std::size_t{5} << 20);
  }
}

TEST_F(TwainClientTest, ACancelledChooserStillAcquires) {
  script_.cancelChooser = 1;
  Run();
  EXPECT_TRUE(scanned_);
  EXPECT_EQ(workspace_.Image().Width(), 40);
}

struct FailingStep {
  int step;
  std::vector<std::string> messages;
  const char* log;
};

TEST_F(TwainClientTest, EveryFailingStepShowsItsMessageAndTearsDownWhatWasUp) {
  const FailingStep steps[] = {
      {1,
       {"Unable to open Source Manager (TWAIN_32.DLL)", "Unable to open Source Manager (TWAIN_32.DLL)"},
       "OPENDSM(Acquire Proxy) OPENDSM(Acquire Proxy)"},
      {2, {"Unable to open default Data Source."},
       "OPENDSM(Acquire Proxy) USERSELECT CLOSEDSM OPENDSM(Acquire Proxy) OPENDS CLOSEDSM"},
      {3, {"Failed to enable Data Source."},
       "OPENDSM(Acquire Proxy) USERSELECT CLOSEDSM OPENDSM(Acquire Proxy) OPENDS ENABLEDS(ui) CLOSEDS CLOSEDSM"},
  };
  for (const FailingStep& step : steps) {
    SCOPED_TRACE(step.step);
    ui_.messages.clear();
    ui_.captions.clear();
    script_.failStep = step.step;
    Run();
    EXPECT_EQ(ui_.messages, step.messages);
    EXPECT_EQ(ui_.captions, std::vector<std::string>(step.messages.size(), "TWAIN Error"));
    EXPECT_EQ(Log(), step.log);
    ExpectUnchanged();
  }
}

class NoProxyWindow : public TwainAcquire {
 public:
  using TwainAcquire::TwainAcquire;

 protected:
  std::unique_ptr<QObject> CreateProxyWindow() override { return nullptr; }
};

TEST_F(TwainClientTest, WithoutAProxyWindowNothingIsLoaded) {
  reset_(&script_);
  NoProxyWindow twain(ui_, options_);
  EXPECT_FALSE(twain.SelectImageSource());
  twain.Acquire();
  EXPECT_EQ(ui_.messages, (std::vector<std::string>{"TWAIN_SelectImageSource: Unable to create proxy window",
                                                    "Unable to create proxy window"}));
  EXPECT_EQ(ui_.captions, (std::vector<std::string>{"TWAIN Error", "TWAIN Error"}));
  EXPECT_EQ(Log(), "");
  EXPECT_EQ(twain.State(), TwainAcquire::kNothingLoaded);
  EXPECT_EQ(TwainAcquire::ErrorMessage(TwainAcquire::Error::Other), "TWAIN_ReportLastError: an error occurred");
}

TEST_F(TwainClientTest, TheLoopDispatchesOtherEventsWhileTheSourceWaits) {
  script_.delay = 100;
  reset_(&script_);
  bool timerRan = false;
  QTimer::singleShot(10, [&] { timerRan = true; });
  TwainAcquire twain(ui_, options_);
  EXPECT_TRUE(twain.SelectImageSource());
  twain.Acquire();
  EXPECT_TRUE(timerRan);
  EXPECT_EQ(twain.Pictures().size(), 1u);
  EXPECT_EQ(twain.State(), TwainAcquire::kNothingLoaded);
}

TEST_F(TwainClientTest, QuittingTheApplicationEndsTheLoop) {
  script_.silent = 1;
  reset_(&script_);
  QTimer::singleShot(20, [] { QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::Quit)); });
  TwainAcquire twain(ui_, options_);
  twain.Acquire();
  EXPECT_TRUE(twain.Pictures().empty());
  EXPECT_EQ(Log(), "OPENDSM(Acquire Proxy) OPENDS ENABLEDS(ui) DISABLEDS CLOSEDS CLOSEDSM");
  EXPECT_EQ(twain.State(), TwainAcquire::kNothingLoaded);
}

TEST_F(TwainClientTest, ACancelledTransferGivesNoPictureButTheNextPagesCome) {
  script_.pages = 3;
  script_.cancelFirstTransfer = 1;
  reset_(&script_);
  TwainAcquire twain(ui_, options_);
  twain.Acquire();
  ASSERT_EQ(twain.Pictures().size(), 2u);
  EXPECT_EQ(twain.Pictures()[0].Width(), 41);
  EXPECT_EQ(twain.Pictures()[0].ToBitmap().Pixel(1, 1), RGB(1, 1, 60));
  EXPECT_EQ(twain.Pictures()[1].Height(), 32);
}

TEST(DibPicture, ADamagedBlockThrowsAndTooSmallABlockHasNoSize) {
  auto* block = static_cast<std::uint8_t*>(std::calloc(1, 64));
  const std::int32_t header[] = {40, 4, 4};
  std::memcpy(block, header, sizeof header);
  block[12] = 1;
  block[14] = 7;  // no such bit count
  DibPicture picture(block);
  EXPECT_EQ(picture.Width(), 4);
  EXPECT_THROW(picture.ToBitmap(), Exception);

  // Pixels cut short by the block's end: the reader stays inside it.
  auto* cut = static_cast<std::uint8_t*>(std::calloc(1, 48));
  const std::int32_t large[] = {40, 4000, 4000};
  std::memcpy(cut, large, sizeof large);
  cut[12] = 1;
  cut[14] = 24;
  DibPicture cutPicture(cut);
  EXPECT_THROW(cutPicture.ToBitmap(), Exception);

  EXPECT_EQ(DibPicture(nullptr).Width(), 0);
  EXPECT_EQ(DibPicture(std::calloc(1, 4)).Height(), 0);
}

}  // namespace
}  // namespace pixtrel
