// The real dialogs behind AppDialogs, answered from a timer while they run
// modally on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "app/app_dialogs.h"
#include "app/main_window.h"

namespace pixtrel {
namespace {

// Runs answer on the file dialog once it is open (polled, as it opens
// inside the dialog's own event loop).
void WhenDialogOpens(const std::function<void(QFileDialog&)>& answer, int triesLeft = 100) {
  QTimer::singleShot(50, [answer, triesLeft] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog) {
      for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* visible = qobject_cast<QFileDialog*>(widget); visible && visible->isVisible()) dialog = visible;
    }
    if (dialog) answer(*dialog);
    // The dialog reads its folder in the background and may refuse a name
    // until it has: answer again a little later.
    if (dialog && !dialog->isVisible()) return;
    if (triesLeft > 0) {
      WhenDialogOpens(answer, triesLeft - 1);
    } else {
      ADD_FAILURE() << "no file dialog took the answer";
      if (dialog) dialog->reject();
    }
  });
}

TEST(QtAppDialogs, SaveDialogPreselectsTheTypeAndReportsTheChosenOne) {
  QTemporaryDir dir;
  QtAppDialogs dialogs;
  QString preselected;
  QStringList filters;
  bool asksOverwrite = true;
  WhenDialogOpens([&](QFileDialog& dialog) {
    preselected = dialog.selectedNameFilter();
    filters = dialog.nameFilters();
    asksOverwrite = !dialog.testOption(QFileDialog::DontConfirmOverwrite);
    dialog.selectNameFilter(filters.value(2));
    dialog.setDirectory(dir.path());
    if (auto* name = dialog.findChild<QLineEdit*>("fileNameEdit")) name->setText("picture.gif");
    static_cast<QDialog&>(dialog).accept();  // as the "Save" or "Open" button does
  });
  const std::optional<SaveDialogChoice> choice =
      dialogs.SaveFileName(nullptr, kSaveFilter, 1, dir.path().toStdString());
  ASSERT_TRUE(choice);
  EXPECT_EQ(preselected, "Compuserve Graphics Interchange (*.gif)");
  EXPECT_EQ(filters.size(), 12);
  EXPECT_FALSE(asksOverwrite);
  EXPECT_EQ(choice->filterIndex, 3);
  EXPECT_EQ(choice->path, (dir.path() + "/picture.gif").toStdString());
}

TEST(QtAppDialogs, OpenDialogAndCancel) {
  QTemporaryDir dir;
  QFile file(dir.path() + "/a.png");
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  QtAppDialogs dialogs;
  WhenDialogOpens([&](QFileDialog& dialog) {
    EXPECT_EQ(dialog.nameFilters().value(0).left(20), "Graphic Files (*.bmp");
    dialog.selectFile(dir.path() + "/a.png");
    if (auto* name = dialog.findChild<QLineEdit*>("fileNameEdit")) name->setText("a.png");
    static_cast<QDialog&>(dialog).accept();  // as the "Save" or "Open" button does
  });
  const std::optional<std::string> path = dialogs.OpenFileName(nullptr, kOpenFilter, dir.path().toStdString());
  ASSERT_TRUE(path);
  EXPECT_EQ(*path, (dir.path() + "/a.png").toStdString());

  WhenDialogOpens([](QFileDialog& dialog) { dialog.reject(); });
  EXPECT_FALSE(dialogs.OpenFileName(nullptr, kOpenFilter, dir.path().toStdString()));
}

}  // namespace
}  // namespace pixtrel
