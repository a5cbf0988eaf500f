// The drawing object of the real program on a session bus of the test's own
// (dbus-run-session): gdbus, run as separate processes, introspects it and
// draws through it; the pixels of the displayed image are then read over the
// bus and compared with what pixtrel-cli draw makes of the same calls.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <string>
#include <vector>

#include "automation/board_bus.h"
#include "automation/board_interface.h"
#include "core/bitmap.h"
#include "io/image_io.h"
#include "support/io_support.h"

namespace pixtrel::automation {
namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;

// One call, its arguments written so that both a draw script and gdbus read
// them: numbers as they are, texts in double quotes.
struct Call {
  std::string member;
  std::vector<std::string> arguments;
};

const std::vector<Call> kFigure = {
    {"PenColor", {"\"#FF0000\""}},
    {"Line", {"0", "10", "50", "10"}},
    {"BrushColor", {"\"#0000FF\""}},
    {"Ellipse", {"30", "14", "60", "44"}},
    {"PenWidth", {"2"}},
    {"PenColor", {"\"#008000\""}},
    {"BrushClear", {}},
    {"Rectangle", {"2", "14", "24", "30"}},
    {"angle", {"22.5"}},
    {"PenDown", {}},
    {"MoveTo", {"4", "44"}},
    {"Turn", {"-112"}},
    {"Move", {"\"12\""}},
    {"Turn", {"90.4"}},
    {"Move", {"12"}},
    {"BrushSolid", {}},
    {"BrushColor", {"\"#FFFF00\""}},
    {"FloodFillSurface", {"10", "20", "\"#FFFFFF\""}},
    {"LineAngled", {"45", "8.9"}},
};

std::string ScriptLine(const Call& call) {
  if (call.member == "angle") return "angle = " + call.arguments[0];
  std::string line = call.member;
  for (std::size_t i = 0; i < call.arguments.size(); ++i) line += (i ? ", " : " ") + call.arguments[i];
  return line;
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

std::string GdbusLine(const Call& call) {
  const std::string prefix = "gdbus call --session --dest org.pixtrel.Pixtrel10 --object-path /Board --method ";
  if (call.member == "angle")
    return prefix + "org.freedesktop.DBus.Properties.Set org.pixtrel.Pixtrel10.IBoard angle " +
           Quoted("<" + call.arguments[0] + ">");
  std::string line = prefix + "org.pixtrel.Pixtrel10.IBoard." + call.member;
  for (const std::string& argument : call.arguments) line += " " + Quoted("<" + argument + ">");
  return line;
}

// The launcher inside dbus-run-session: hands the bus address and the
// program's process id to the test, then becomes the program.
const char kStart[] = R"(#!/bin/bash
# start.sh ADDRESS PID PROGRAM IMAGE LOG
echo "$$" > "$2"
echo "$DBUS_SESSION_BUS_ADDRESS" > "$1.part" && mv "$1.part" "$1"
exec "$3" "$4" 2>"$5"
)";

class BoardOverDBus : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(QStandardPaths::findExecutable("dbus-run-session").isEmpty() ||
                 QStandardPaths::findExecutable("gdbus").isEmpty())
        << "needs dbus-run-session and gdbus (scripts/setup.sh)";
    ASSERT_TRUE(root_.isValid());
    root = root_.path();
    // The program keeps its settings beside itself: a copy keeps the build folder clean.
    program = root + "/pixtrel";
    ASSERT_TRUE(QFile::copy(PIXTREL_PROGRAM_PATH, program));
    QFile::setPermissions(program, QFile::permissions(program) | QFileDevice::ExeOwner);
    ASSERT_TRUE(QDir().mkpath(root + "/runtime"));
    QFile::setPermissions(root + "/runtime", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    Bitmap white(kWidth, kHeight, pf24bit);
    white.Fill(clWhite);
    white.SaveToFile((root + "/in.bmp").toStdString());
    WriteFile(root + "/start.sh", kStart);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_RUNTIME_DIR", root + "/runtime");
    session_.setProcessEnvironment(env);
    session_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    session_.start("dbus-run-session", {"--", "bash", root + "/start.sh", root + "/address", root + "/pid", program,
                                        root + "/in.bmp", root + "/program.log"});
    ASSERT_TRUE(session_.waitForStarted(10000));
    for (int i = 0; i < 300 && !QFile::exists(root + "/address"); ++i) QThread::msleep(50);
    address = ReadFile(root + "/address").trimmed();
    ASSERT_FALSE(address.isEmpty()) << "no session bus came up";
    bool up = false;
    for (int i = 0; i < 300 && !up; ++i) {
      up = Run("gdbus introspect --session --dest org.pixtrel.Pixtrel10 --object-path /Board >/dev/null 2>&1") == 0;
      if (!up) QThread::msleep(100);
    }
    ASSERT_TRUE(up) << "the program did not register the drawing object; its log:\n"
                    << ReadFile(root + "/program.log").toStdString();
  }

  void TearDown() override {
    const int pid = ReadFile(root + "/pid").trimmed().toInt();
    if (pid > 0) ::kill(pid, SIGTERM);
    if (session_.state() != QProcess::NotRunning && !session_.waitForFinished(20000)) session_.kill();
    QDBusConnection::disconnectFromBus(QStringLiteral("pixtrel-test"));
  }

  static void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }

  static QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  // Runs a shell command as a client of the test's bus; output goes to output_.
  int Run(const std::string& command) {
    QProcess shell;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DBUS_SESSION_BUS_ADDRESS", address);
    shell.setProcessEnvironment(env);
    shell.start("bash", {"-c", QString::fromStdString(command)});
    if (!shell.waitForFinished(60000)) return -1;
    output_ = QString::fromUtf8(shell.readAllStandardOutput() + shell.readAllStandardError());
    return shell.exitStatus() == QProcess::NormalExit ? shell.exitCode() : -1;
  }

  // The displayed image, pixel by pixel through getPixelColor.
  Bitmap DisplayedImage() {
    QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("pixtrel-test"));
    Bitmap image(kWidth, kHeight, pf24bit);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        QDBusMessage call = QDBusMessage::createMethodCall(kBusService, kBusPath, kBusInterface, "getPixelColor");
        call << QVariant::fromValue(QDBusVariant(x)) << QVariant::fromValue(QDBusVariant(y));
        const QDBusMessage reply = bus.call(call);
        if (reply.type() != QDBusMessage::ReplyMessage) {
          ADD_FAILURE() << reply.errorMessage().toStdString();
          return image;
        }
        image.SetPixel(x, y, HtmlToColor(reply.arguments().value(0).toString().toStdString()));
      }
    return image;
  }

  QTemporaryDir root_;
  QString root, program, address, output_;
  QProcess session_;
};

TEST_F(BoardOverDBus, IntrospectionListsTheMembersInInterfaceOrderWithTheTypeLibrary) {
  ASSERT_EQ(Run("gdbus introspect --session --xml --dest org.pixtrel.Pixtrel10 --object-path /Board"), 0) << output_.toStdString();
  const QString xml = output_;
  std::vector<std::string> methods, expected;
  const QRegularExpression method(QStringLiteral("<method name=\"(\\w+)\">\\s*<annotation name=\"org.pixtrel.Pixtrel10.DispId\" value=\"(\\d+)\""));
  for (auto match = method.globalMatch(xml); match.hasNext();) {
    const auto m = match.next();
    methods.push_back(m.captured(1).toStdString() + "=" + m.captured(2).toStdString());
  }
  for (const BoardMember& member : BoardMembers())
    if (member.kind == MemberKind::Method) expected.push_back(std::string(member.name) + "=" + std::to_string(member.dispid));
  EXPECT_EQ(methods, expected);
  EXPECT_EQ(expected.size(), 37u);
  EXPECT_TRUE(xml.contains("<property name=\"angle\" type=\"i\" access=\"readwrite\">")) << xml.toStdString();
  EXPECT_TRUE(xml.contains("TypeLibrary.HelpString\" value=\"Pixtrel10 Library\""));
  EXPECT_TRUE(xml.contains("Class.ProgId\" value=\"Pixtrel10.Board\""));
  EXPECT_TRUE(xml.contains("org.freedesktop.DBus.Introspectable"));
  EXPECT_TRUE(xml.contains("<method name=\"getPixelColor\">"));
  EXPECT_TRUE(xml.contains("<arg name=\"result\" type=\"s\" direction=\"out\"/>"));
}

TEST_F(BoardOverDBus, GdbusDrawsTheSamePixelsAsTheDrawScript) {
  std::string script, commands = "set -e\n";
  for (const Call& call : kFigure) {
    script += ScriptLine(call) + "\n";
    commands += GdbusLine(call) + " >/dev/null\n";
  }
  ASSERT_EQ(Run(commands), 0) << output_.toStdString();
  ASSERT_EQ(Run("gdbus call --session --dest org.pixtrel.Pixtrel10 --object-path /Board "
                "--method org.pixtrel.Pixtrel10.IBoard.getPixelColor '<20>' '<10>'"),
            0);
  EXPECT_EQ(output_.trimmed().toStdString(), "('#FF0000',)");
  ASSERT_EQ(Run("gdbus call --session --dest org.pixtrel.Pixtrel10 --object-path /Board "
                "--method org.freedesktop.DBus.Properties.Get org.pixtrel.Pixtrel10.IBoard angle"),
            0);
  EXPECT_EQ(output_.trimmed().toStdString(), "(<0>,)");  // 22.5 -> 22, -112, then 90.4 -> 0

  const Bitmap displayed = DisplayedImage();
  WriteFile(root + "/figure.txt", QByteArray::fromStdString(script));
  ASSERT_EQ(Run(std::string(PIXTREL_CLI_PATH) + " draw '" + (root + "/in.bmp").toStdString() + "' '" +
                (root + "/out.bmp").toStdString() + "' '" + (root + "/figure.txt").toStdString() + "'"),
            0)
      << output_.toStdString();
  Bitmap drawn;
  LoadImageFile((root + "/out.bmp").toStdString(), drawn, test::Silent());
  ASSERT_EQ(drawn.Width(), kWidth);
  int differing = 0, red = 0, blue = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const Color shown = displayed.Pixel(x, y) & 0xFFFFFF;
      differing += shown != (drawn.Pixel(x, y) & 0xFFFFFF);
      red += shown == clRed;
      blue += shown == clBlue;
    }
  EXPECT_EQ(differing, 0);
  EXPECT_GT(red, 40);
  EXPECT_GT(blue, 300);
  EXPECT_EQ(displayed.Pixel(10, 20) & 0xFFFFFF, clYellow);
}

TEST_F(BoardOverDBus, AFailingMemberAnswersWithItsMessageAndDrawsNothingAfterIt) {
  const std::string call = "gdbus call --session --dest org.pixtrel.Pixtrel10 --object-path /Board --method ";
  EXPECT_NE(Run(call + "org.pixtrel.Pixtrel10.IBoard.Line '<0>' '<20>' '<\"far\">' '<20>'"), 0);
  EXPECT_TRUE(output_.contains("org.pixtrel.Pixtrel10.Error.Failed: The value cannot be read as a number (far)"))
      << output_.toStdString();
  EXPECT_NE(Run(call + "org.pixtrel.Pixtrel10.IBoard.Line '<0>'"), 0);
  EXPECT_TRUE(output_.contains("org.freedesktop.DBus.Error.InvalidArgs")) << output_.toStdString();
  EXPECT_NE(Run(call + "org.pixtrel.Pixtrel10.IBoard.NewImage '<100000>' '<100000>'"), 0);
  EXPECT_TRUE(output_.contains("Image is too large")) << output_.toStdString();
  EXPECT_NE(Run(call + "org.freedesktop.DBus.Properties.Set org.pixtrel.Pixtrel10.IBoard angle '<\"left\">'"), 0);
  // The move before the failing value happened: a LineTo from there draws row 20.
  ASSERT_EQ(Run(call + "org.pixtrel.Pixtrel10.IBoard.ImageWidth"), 0);
  EXPECT_EQ(output_.trimmed().toStdString(), "(64,)");
  const Bitmap displayed = DisplayedImage();
  for (int x = 0; x < kWidth; ++x) ASSERT_EQ(displayed.Pixel(x, 20) & 0xFFFFFF, clWhite) << x;
  ASSERT_EQ(Run("dbus-send --session --print-reply --dest=org.pixtrel.Pixtrel10 /Board "
                "org.pixtrel.Pixtrel10.IBoard.LineTo variant:int32:30 variant:double:20.4"),
            0)
      << output_.toStdString();
  EXPECT_EQ(DisplayedImage().Pixel(15, 20) & 0xFFFFFF, clBlack);
}

}  // namespace
}  // namespace pixtrel::automation
