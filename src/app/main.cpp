// The desktop program ("pixtrel [folder | image file]"): the application, its windows in their start-up order
// (the main window builds the JPEG optimize, resize, batch and icon options
// windows), the drawing object on the session bus, only the main window
// shown, and the event loop until it closes; closing it writes the settings
// back.
//
// PIXTREL_ANSWERS names an answer script (see ReadAnswerScript): the
// dialogs and questions are then answered from it, and what the program
// showed or asked is printed on standard error as it happens. The end-to-end test
// drives the real program this way.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/app_dialogs.h"
#include "app/browser_page.h"
#include "app/file_browser.h"
#include "app/guarded.h"
#include "app/main_window.h"
#include "automation/board_bus.h"
#include "core/interaction.h"
#include "core/scripted_interaction.h"

namespace {

// The general error handler: an error that no command caught is shown
// through the main window's interaction layer and the program goes on.
class PixtrelApplication : public QApplication {
 public:
  using QApplication::QApplication;

  pixtrel::UserInteraction* handler = nullptr;

  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
      if (handler) handler->ShowMessage(pixtrel::ErrorText(error));
    } catch (...) {
      if (handler) handler->ShowMessage("Unknown error");
    }
    return false;
  }
};

// Under an answer script every message and question is also printed at
// once, so that a driver sees them even if it ends the program by a signal.
class ReportingInteraction : public pixtrel::ScriptedInteraction {
 public:
  void ShowMessage(const std::string& text) override {
    Report("message", text);
    ScriptedInteraction::ShowMessage(text);
  }
  void ShowMessageBox(const std::string& caption, const std::string& text) override {
    Report("title", caption);
    Report("message", text);
    ScriptedInteraction::ShowMessageBox(caption, text);
  }
  bool Confirm(const std::string& text) override {
    Report("question", text);
    return ScriptedInteraction::Confirm(text);
  }
  std::optional<std::string> InputQuery(const std::string& caption, const std::string& prompt,
                                        const std::string& value) override {
    Report("prompt", caption + ": " + prompt);
    return ScriptedInteraction::InputQuery(caption, prompt, value);
  }
  std::optional<std::string> PasswordQuery(const std::string& caption, const std::string& prompt) override {
    Report("prompt", caption + ": " + prompt);
    return ScriptedInteraction::PasswordQuery(caption, prompt);
  }

 private:
  static void Report(const char* kind, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", kind, text.c_str());
    std::fflush(stderr);
  }
};

std::vector<std::string> ReadLines(const QString& path) {
  std::vector<std::string> lines;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return lines;
  QTextStream in(&file);
  while (!in.atEnd()) lines.push_back(in.readLine().toStdString());
  return lines;
}

}  // namespace

int main(int argc, char** argv) {
  pixtrel::PrepareWebEngine();
  PixtrelApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("pixtrel"));
  QApplication::setApplicationDisplayName(QStringLiteral("Pixtrel 11"));
  QApplication::setApplicationVersion(QStringLiteral("11.0"));

  pixtrel::QtAppDialogs realDialogs;
  pixtrel::AppDialogs* dialogs = &realDialogs;
  std::unique_ptr<pixtrel::ScriptedAppDialogs> scriptedDialogs;
  std::unique_ptr<ReportingInteraction> scriptedInteraction;
  if (const char* answers = std::getenv("PIXTREL_ANSWERS"); answers && *answers) {
    scriptedDialogs = std::make_unique<pixtrel::ScriptedAppDialogs>();
    scriptedInteraction = std::make_unique<ReportingInteraction>();
    std::string error;
    if (!QFile::exists(QString::fromLocal8Bit(answers)) ||
        !pixtrel::ReadAnswerScript(ReadLines(QString::fromLocal8Bit(answers)), *scriptedDialogs, *scriptedInteraction,
                                   error)) {
      std::fprintf(stderr, "pixtrel: cannot use the answer script %s %s\n", answers, error.c_str());
      return 2;
    }
    dialogs = scriptedDialogs.get();
  }

  pixtrel::ShellOptions options;
  options.programPath = QApplication::applicationFilePath().toStdString();
  options.interaction = scriptedInteraction.get();
  int status = 0;
  {
    pixtrel::PixtrelF window(options, *dialogs);
    app.handler = &window.UI();
    // Other programs draw through the session bus; without one the program
    // runs as before.
    const pixtrel::automation::BoardBus bus(QDBusConnection::sessionBus(), window.NewBoard());
    if (!bus.Registered())
      std::fprintf(stderr, "pixtrel: the drawing object is not on the session bus: %s\n",
                   qPrintable(bus.Problem()));
    // A folder on the command line is where the file browser starts; a file
    // is opened as a double-click on it would.
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1) {
      const QFileInfo given(arguments[1]);
      if (given.isDir()) {
        window.Browser()->SetFolder(given.absoluteFilePath());
      } else if (given.isFile()) {
        window.Browser()->SetFolder(given.absolutePath());
        window.Browser()->SelectNames({given.fileName()});
        window.filesDblClick(given.absoluteFilePath());
      }
    }
    window.show();
    // PIXTREL_SELF_CHECK: report where the manual is and what the caption
    // says once the window runs, then close it as the user would (the
    // install check runs the installed program so).
    if (const char* check = std::getenv("PIXTREL_SELF_CHECK"); check && *check) {
      QTimer::singleShot(0, &window, [&window] {
        const QString manual = QString::fromStdString(window.ManualPath());
        std::printf("manual: %s\ncaption: %s\n", QFileInfo::exists(manual) ? qPrintable(manual) : "(none)",
                    qPrintable(window.windowTitle()));
        std::fflush(stdout);
        window.close();
      });
    }
    status = app.exec();
    app.handler = nullptr;
  }

  return status;
}
