// Batch conversion and Delete from the file list's pop-up menu.
#include <QCheckBox>
#include <QLabel>
#include <QMenuBar>
#include <QRadioButton>
#include <QTimer>

#include "app/batch_window.h"
#include "shell_fixture.h"

namespace pixtrel::test {
namespace {

class BatchTest : public ShellTest {
 protected:
  // Opens the images folder with these names selected.
  PixtrelF& StartWithSelection(const QStringList& names) {
    PixtrelF& window = Start();
    window.Browser()->SetFolder(images_);
    window.Browser()->SelectNames(names);
    return window;
  }

  QString Out() {
    const QString out = home_.path() + "/out";
    QDir().mkpath(out);
    return out;
  }

  // "OK" in the batch window after choosing these settings.
  void AnswerBatch(const std::string& format, const QString& folder, bool overwrite) {
    dialogs_.modalAnswers.push_back([=, this](QDialog& dialog) {
      auto& batch = static_cast<BatchF&>(dialog);
      batch.SetFormat(format);
      if (!folder.isEmpty()) {
        dialogs_.folderAnswers.push_back(folder.toStdString());
        batch.DestinationButton()->click();
      }
      batch.Overwrite()->setChecked(overwrite);
      return true;
    });
  }
};

TEST_F(BatchTest, WindowStartsWithItsDesignedValues) {
  PixtrelF& window = Start();
  BatchF* batch = window.BatchWindow();
  EXPECT_EQ(batch->windowTitle(), "Batch");
  EXPECT_TRUE(batch->FormatButton("PNG")->isChecked());
  EXPECT_FALSE(batch->Overwrite()->isChecked());
  EXPECT_EQ(batch->Overwrite()->text(), "Overwrite existing files");
  EXPECT_EQ(batch->DestinationButton()->text(), "Destination Folder...");
  EXPECT_EQ(batch->OkButton()->text(), "OK");
  EXPECT_EQ(batch->CancelButton()->text(), "Cancel");
  EXPECT_EQ(batch->Settings().destination, "");
  for (const char* format : {"BMP", "GIF", "JPG", "PNG"}) EXPECT_NE(batch->FormatButton(format), nullptr);
}

TEST_F(BatchTest, NothingSelectedIsReported) {
  WriteImage("a.bmp", Qt::red);
  PixtrelF& window = StartWithSelection({});
  window.BatchNow1Click();
  ASSERT_EQ(answers_.messages.size(), 1u);
  EXPECT_EQ(answers_.messages[0], "You did not select any files for conversion");
  EXPECT_TRUE(dialogs_.requests.empty());
}

TEST_F(BatchTest, ConvertsAndKeepsTheChoicesForTheNextRun) {
  WriteImage("a.bmp", Qt::red);
  WriteImage("b.jpg", Qt::green);
  WriteImage("c.gif", Qt::blue);
  PixtrelF& window = StartWithSelection({"a.bmp", "b.jpg", "c.gif"});
  const QString out = Out();
  AnswerBatch("GIF", out, false);
  window.BatchNow1Click();
  ASSERT_EQ(dialogs_.requests.size(), 2u);
  EXPECT_EQ(dialogs_.requests[1].kind, "folder");
  EXPECT_EQ(dialogs_.requests[1].text, "Select target folder");
  EXPECT_EQ(window.StatusText(0), "Conversion completed");
  EXPECT_TRUE(answers_.messages.empty());
  for (const char* name : {"a.gif", "b.gif", "c.gif"})
    EXPECT_TRUE(ReadText(out + "/" + name).startsWith("GIF89a")) << name;

  // The window kept format, folder and flag; the picker starts at the folder.
  BatchF* batch = window.BatchWindow();
  EXPECT_TRUE(batch->FormatButton("GIF")->isChecked());
  EXPECT_EQ(batch->Settings().destination, out.toStdString());
  dialogs_.folderAnswers.push_back(std::nullopt);
  batch->ChooseDestination();
  EXPECT_EQ(dialogs_.requests.back().startFolder, out.toStdString());
  EXPECT_EQ(batch->Settings().destination, out.toStdString());
}

TEST_F(BatchTest, OnlyIcoAndTifSelectedStillCompletes) {
  WriteText(images_ + "/a.ico", "x");
  WriteText(images_ + "/b.tif", "x");
  PixtrelF& window = StartWithSelection({"a.ico", "b.tif"});
  AnswerBatch("PNG", Out(), false);
  window.BatchNow1Click();
  EXPECT_EQ(window.StatusText(0), "Conversion completed");
  EXPECT_TRUE(answers_.messages.empty());
  EXPECT_TRUE(QDir(Out()).isEmpty());
}

TEST_F(BatchTest, ExistingTargetsAreSkippedUnlessOverwrite) {
  WriteImage("a.gif", Qt::blue);
  WriteImage("a.png", Qt::red);
  const QString out = Out();
  WriteText(out + "/a.png", "old");
  PixtrelF& window = StartWithSelection({"a.gif", "a.png"});
  AnswerBatch("PNG", out, false);
  window.BatchNow1Click();
  EXPECT_EQ(ReadText(out + "/a.png"), "old");
  EXPECT_EQ(window.StatusText(0), "Conversion completed");

  dialogs_.modalAnswers.push_back([](QDialog& dialog) {
    static_cast<BatchF&>(dialog).Overwrite()->setChecked(true);
    return true;
  });
  window.BatchNow1Click();
  // Both wrote a.png in turn; the last one was the red PNG.
  const QImage written(out + "/a.png");
  ASSERT_FALSE(written.isNull());
  EXPECT_EQ(written.pixel(0, 0), qRgb(255, 0, 0));
}

TEST_F(BatchTest, WithoutADestinationItAsksForOne) {
  WriteImage("a.bmp", Qt::red);
  PixtrelF& window = StartWithSelection({"a.bmp"});
  dialogs_.modalAnswers.push_back([](QDialog&) { return true; });
  dialogs_.folderAnswers.push_back(std::nullopt);
  window.BatchNow1Click();
  ASSERT_EQ(dialogs_.requests.size(), 2u);
  EXPECT_EQ(dialogs_.requests[1].text, "Select target folder");
  EXPECT_NE(window.StatusText(0), "Conversion completed");
  EXPECT_FALSE(QFile::exists("/a.png"));

  const QString out = Out();
  dialogs_.modalAnswers.push_back([](QDialog&) { return true; });
  dialogs_.folderAnswers.push_back(out.toStdString());
  window.BatchNow1Click();
  EXPECT_TRUE(QFile::exists(out + "/a.png"));
  EXPECT_EQ(window.BatchWindow()->Settings().destination, out.toStdString());
}

TEST_F(BatchTest, CancelConvertsNothing) {
  WriteImage("a.bmp", Qt::red);
  PixtrelF& window = StartWithSelection({"a.bmp"});
  window.BatchNow1Click();  // no modal answer queued: Cancel
  EXPECT_EQ(dialogs_.requests.size(), 1u);
  EXPECT_EQ(window.StatusText(0), "");
}

TEST_F(BatchTest, AnErrorEndsTheBatchAtThatFile) {
  WriteImage("a.bmp", Qt::red);
  WriteText(images_ + "/b.png", "broken");
  WriteImage("c.bmp", Qt::blue);
  PixtrelF& window = StartWithSelection({"a.bmp", "b.png", "c.bmp"});
  const QString out = Out();
  AnswerBatch("BMP", out, false);
  window.BatchNow1Click();
  ASSERT_EQ(answers_.messages.size(), 1u);
  EXPECT_TRUE(QFile::exists(out + "/a.bmp"));
  EXPECT_FALSE(QFile::exists(out + "/c.bmp"));
  EXPECT_NE(window.StatusText(0), "Conversion completed");
  EXPECT_TRUE(window.menuBar()->isEnabled());
}

TEST_F(BatchTest, ManyFilesShowProgressAndLandInTheList) {
  QStringList names;
  for (int i = 0; i < 12; ++i) {
    names << QStringLiteral("f%1.bmp").arg(i, 2, 10, QLatin1Char('0'));
    WriteImage(names.back(), QColor(i * 20, 0, 0), 16, 16);
  }
  PixtrelF& window = StartWithSelection(names);
  // A timer fires between files: the window stays responsive and shows how far it got.
  QString seen;
  QTimer::singleShot(0, &window, [&] { seen = window.StatusText(1); });
  AnswerBatch("PNG", images_, false);
  window.BatchNow1Click();
  EXPECT_TRUE(seen.endsWith(" of 12")) << seen.toStdString();
  EXPECT_EQ(window.StatusText(0), "Conversion completed");
  for (const QString& name : names)
    EXPECT_TRUE(window.Browser()->FileNames().contains(QString(name).replace(".bmp", ".png")));
}

TEST_F(BatchTest, DeleteAsksAndSkipsWhatCannotGo) {
  WriteImage("a.bmp", Qt::red);
  WriteImage("b.bmp", Qt::red);
  WriteImage("c.bmp", Qt::red);
  PixtrelF& window = StartWithSelection({});
  window.Delete1Click();
  ASSERT_EQ(answers_.messages.size(), 1u);
  EXPECT_EQ(answers_.messages[0], "You did not select any file to delete");

  window.Browser()->SelectNames({"a.bmp", "b.bmp"});
  answers_.confirmations = {false, true};
  window.Delete1Click();
  EXPECT_EQ(answers_.questions.back(), "Are you sure you want to delete the selected files?");
  EXPECT_EQ(window.Browser()->FileNames().size(), 3);

  // a.bmp goes away behind the program's back: its delete fails, silently.
  QFile::remove(images_ + "/a.bmp");
  window.Delete1Click();
  EXPECT_EQ(answers_.messages.size(), 1u);
  EXPECT_EQ(window.Browser()->FileNames(), QStringList({"c.bmp"}));
}

}  // namespace
}  // namespace pixtrel::test
