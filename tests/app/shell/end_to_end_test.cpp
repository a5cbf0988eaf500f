// The real program under Xvfb: xdotool types the keys a user would (Ctrl+O,
// F5 for "Lighter", Alt+F A for "Save &As..."), and an answer script answers
// the open and save dialogs. The written file is checked with a peer tool.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

double MeanRed(const QImage& image) {
  double sum = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) sum += qRed(image.pixel(x, y));
  return sum / (image.width() * image.height());
}

const char kDriver[] = R"(#!/bin/bash
# driver.sh PROGRAM FOLDER TARGET LOG: starts the program, types, waits for TARGET.
set -u
"$1" "$2" 2>"$4" &
pid=$!
wid=$(timeout 30 xdotool search --sync --onlyvisible --name 'Pixtrel 11$' | head -n 1)
if [[ -z $wid ]]; then kill $pid; echo "no main window" >&2; exit 3; fi
sleep 1
xdotool windowfocus "$wid"
sleep 0.5
xdotool key ctrl+o
sleep 1
xdotool key F5
sleep 1
xdotool key alt+f
sleep 0.5
xdotool key a
for _ in $(seq 1 100); do [[ -s $3 ]] && break; sleep 0.1; done
sleep 0.5
kill $pid
wait $pid 2>/dev/null
[[ -s $3 ]]
)";

TEST(EndToEnd, OpensLightensAndSavesThroughTheRealProgram) {
  const QString xvfb = QStandardPaths::findExecutable("xvfb-run");
  const QString xdotool = QStandardPaths::findExecutable("xdotool");
  // scripts/setup.sh installs both; a machine without them cannot pass.
  ASSERT_FALSE(xvfb.isEmpty() || xdotool.isEmpty()) << "needs xvfb-run and xdotool (scripts/setup.sh)";

  QTemporaryDir home;
  ASSERT_TRUE(home.isValid());
  const QString root = home.path();
  // The program keeps its settings beside itself: a copy keeps the build folder clean.
  const QString program = root + "/pixtrel";
  ASSERT_TRUE(QFile::copy(PIXTREL_PROGRAM_PATH, program));
  QFile::setPermissions(program, QFile::permissions(program) | QFileDevice::ExeOwner);
  ASSERT_TRUE(QDir().mkpath(root + "/in"));
  ASSERT_TRUE(QDir().mkpath(root + "/out"));
  const QString sample = root + "/in/sunset.jpg";
  ASSERT_TRUE(QFile::copy(QStringLiteral(PIXTREL_SOURCE_DIR) + "/samples/sunset.jpg", sample));

  QFile answers(root + "/answers.txt");
  ASSERT_TRUE(answers.open(QIODevice::WriteOnly));
  answers.write(("open " + sample + "\nsave 3 " + root + "/out/result.gif\n").toUtf8());
  answers.close();
  QFile driver(root + "/driver.sh");
  ASSERT_TRUE(driver.open(QIODevice::WriteOnly));
  driver.write(kDriver);
  driver.close();

  QProcess run;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "xcb");
  env.insert("PIXTREL_ANSWERS", root + "/answers.txt");
  run.setProcessEnvironment(env);
  const QString target = root + "/out/result.PNG";
  const QString log = root + "/program.log";
  run.start(xvfb,
            {"-a", "-s", "-screen 0 1024x768x24", "bash", root + "/driver.sh", program, root + "/in", target, log});
  ASSERT_TRUE(run.waitForFinished(120000));
  QFile logFile(log);
  const QString programLog = logFile.open(QIODevice::ReadOnly) ? QString::fromUtf8(logFile.readAll()) : QString();
  ASSERT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString() << programLog.toStdString();

  EXPECT_FALSE(QFile::exists(root + "/out/result.gif"));
  EXPECT_FALSE(programLog.contains("message:")) << programLog.toStdString();
  const QImage original(sample);
  const QImage saved(target, "PNG");
  ASSERT_FALSE(saved.isNull());
  EXPECT_EQ(saved.size(), original.size());
  EXPECT_GT(MeanRed(saved), MeanRed(original) + 10);

  const QString pngcheck = QStandardPaths::findExecutable("pngcheck");
  if (!pngcheck.isEmpty()) {
    QProcess check;
    check.start(pngcheck, {target});
    ASSERT_TRUE(check.waitForFinished(30000));
    EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardOutput().toStdString();
  }
}

}  // namespace
