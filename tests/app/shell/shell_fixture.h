// The GUI tests' fixture: a main window on the offscreen platform whose
// program folder and settings live in a fresh temporary folder, with every
// dialog and question answered from scripts.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <string>

#include "app/app_dialogs.h"
#include "app/file_browser.h"
#include "app/main_window.h"
#include "core/qimage_bitmap.h"
#include "core/scripted_interaction.h"
#include "io/image_io.h"

namespace pixtrel::test {

// ScriptedInteraction that also keeps the start value of every prompt.
class RecordingInteraction : public ScriptedInteraction {
 public:
  std::optional<std::string> InputQuery(const std::string& caption, const std::string& prompt,
                                        const std::string& value) override {
    startValues.push_back(value);
    return ScriptedInteraction::InputQuery(caption, prompt, value);
  }
  std::vector<std::string> startValues;
};

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(home_.isValid());
    program_ = home_.path() + QStringLiteral("/program");
    ASSERT_TRUE(QDir().mkpath(program_));
    images_ = home_.path() + QStringLiteral("/images");
    ASSERT_TRUE(QDir().mkpath(images_));
  }

  void TearDown() override { window_.reset(); }

  // The main window of a program living in program_/pixtrel.
  PixtrelF& Start() {
    window_.reset();
    ShellOptions options;
    options.programPath = (program_ + QStringLiteral("/pixtrel")).toStdString();
    options.interaction = &answers_;
    window_ = std::make_unique<PixtrelF>(options, dialogs_);
    return *window_;
  }

  // Closes the window as the user would (the exit sequence runs).
  void Close() {
    ASSERT_TRUE(window_);
    window_->close();
    window_.reset();
  }

  // Shows the window and waits until it takes keyboard shortcuts.
  void ShowActive() {
    window_->show();
    QApplication::setActiveWindow(window_.get());
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  }

  QString SettingsFile() const { return program_ + QStringLiteral("/pixtrel.ini"); }

  // A solid image written by Qt into the images folder.
  QString WriteImage(const QString& name, QColor color, int width = 40, int height = 30) {
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(color);
    const QString path = images_ + QLatin1Char('/') + name;
    const QString suffix = QFileInfo(name).suffix().toUpper();
    if (suffix == QStringLiteral("GIF")) {
      // Qt writes no GIF: the program's own writer does.
      Bitmap bitmap = QImageToBitmap(image);
      EXPECT_EQ(SaveImageFile(path.toStdString(), bitmap, ".GIF", SaveOptions()), SaveOutcome::Written) << path.toStdString();
    } else {
      EXPECT_TRUE(image.save(path, suffix.toLatin1().constData())) << path.toStdString();
    }
    return path;
  }

  void WriteText(const QString& path, const QByteArray& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
  }

  QByteArray ReadText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  QTemporaryDir home_;
  QString program_;
  QString images_;
  RecordingInteraction answers_;
  ScriptedAppDialogs dialogs_;
  std::unique_ptr<PixtrelF> window_;
};

}  // namespace pixtrel::test
