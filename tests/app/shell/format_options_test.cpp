// Options > "Apply EXIF Orientation", "Keep Metadata", "Convert to sRGB" and
// the WebP save's options box, in the main window.
#include <QCheckBox>
#include <QDialog>
#include <QTimer>

#include "app/format_options.h"
#include "app/qt_interaction.h"
#include "core/stream.h"
#include "shell_fixture.h"
#include "support/corpus.h"

namespace pixtrel::test {
namespace {

class FormatOptionsTest : public ShellTest {};

// The photo of the corpus whose orientation tag says 8: stored 2 x 1.
std::string TurnedPhoto() { return CorpusDir() + "/jpeg/pillow-orientation_rectangle.jpg"; }

TEST_F(FormatOptionsTest, OffByDefaultAndTheSettingsFileUntouchedUntilChanged) {
  PixtrelF& window = Start();
  FormatOptions* options = window.Formats();
  for (QAction* item : {options->applyOrientation(), options->keepMetadata(), options->toSrgb()}) {
    EXPECT_TRUE(item->isCheckable());
    EXPECT_FALSE(item->isChecked());
  }
  answers_.defaultConfirmation = true;
  dialogs_.openAnswers.push_back(TurnedPhoto());
  window.Open1Click();
  EXPECT_EQ(window.CurrentWorkspace().Image().Width(), 2);  // as stored
  EXPECT_TRUE(window.CurrentSession().conversion.metadata.Empty());
  Close();
  EXPECT_FALSE(ReadText(SettingsFile()).contains("[Formats]"));
}

TEST_F(FormatOptionsTest, ItemsAreKeptAndApplyToTheNextOpen) {
  PixtrelF& window = Start();
  window.Formats()->applyOrientation()->trigger();
  window.Formats()->keepMetadata()->trigger();
  EXPECT_TRUE(window.CurrentSession().opening.autoOrient);
  EXPECT_TRUE(ReadText(SettingsFile()).contains("[Formats]"));
  EXPECT_TRUE(ReadText(SettingsFile()).contains("autoOrient=1"));
  Close();

  PixtrelF& again = Start();
  EXPECT_TRUE(again.Formats()->applyOrientation()->isChecked());
  EXPECT_TRUE(again.Formats()->keepMetadata()->isChecked());
  EXPECT_FALSE(again.Formats()->toSrgb()->isChecked());
  dialogs_.openAnswers.push_back(TurnedPhoto());
  again.Open1Click();
  EXPECT_EQ(again.CurrentWorkspace().Image().Width(), 1);  // upright
  EXPECT_EQ(again.CurrentWorkspace().Image().Height(), 2);
  EXPECT_EQ(TiffOrientation(again.CurrentSession().conversion.metadata.exif), 1);
  // Switching keeping off lets go of what the last open kept.
  again.Formats()->keepMetadata()->trigger();
  EXPECT_TRUE(again.CurrentSession().conversion.metadata.Empty());
}

// Save As with the WebP type: the options box's choice writes the file and
// is remembered.
TEST_F(FormatOptionsTest, WebPSaveTakesTheLosslessChoice) {
  PixtrelF& window = Start();
  window.CurrentWorkspace().Image() = Bitmap(20, 10, pf24bit);
  window.CurrentWorkspace().Image().Fill(RGB(1, 2, 3));
  const std::string target = (images_ + "/saved").toStdString();
  dialogs_.saveAnswers.push_back(SaveDialogChoice{target, 11});
  window.CurrentSession().conversion.webpLossless = true;
  window.SaveAs1Click();
  const std::vector<std::uint8_t> file = ReadFileBytes(target + ".WEBP");
  ASSERT_GT(file.size(), 16u);
  EXPECT_EQ(std::string(file.begin() + 12, file.begin() + 16), "VP8L");  // lossless
  EXPECT_TRUE(ReadText(SettingsFile()).isEmpty() || !ReadText(SettingsFile()).contains("webpLossless"));
}

// The real options box: its check box starts as preselected and OK returns
// it; Cancel abandons.
TEST(WebPOptionsBox, CheckBoxOkAndCancel) {
  QtInteraction interaction(nullptr);
  auto answer = [](bool accept) {
    QTimer::singleShot(50, [accept] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      EXPECT_EQ(dialog->objectName(), "WebPOptions");
      auto* box = dialog->findChild<QCheckBox*>("lossless");
      ASSERT_NE(box, nullptr);
      EXPECT_FALSE(box->isChecked());
      QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
      if (accept)
        dialog->accept();
      else
        dialog->reject();
    });
  };
  answer(true);
  EXPECT_EQ(interaction.ChooseWebPLossless(false), std::optional<bool>(true));
  answer(false);
  EXPECT_EQ(interaction.ChooseWebPLossless(false), std::nullopt);
}

}  // namespace
}  // namespace pixtrel::test
