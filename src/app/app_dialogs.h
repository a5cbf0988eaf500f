// The seam for the desktop program's file dialogs, folder picker, modal
// windows and desktop launches. The program answers with real dialogs; the
// GUI tests, and the program itself when PIXTREL_ANSWERS names an answer
// script, answer from queues, so nothing modal ever blocks a test.
#pragma once

#include <QFont>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QDialog;
class QWidget;

namespace pixtrel {

class ScriptedInteraction;

struct SaveDialogChoice {
  std::string path;     // the name as the user chose it
  int filterIndex = 1;  // the chosen type, counted from 1
};

class AppDialogs {
 public:
  virtual ~AppDialogs() = default;

  // The open dialog. filter is "Description|patterns|Description|patterns";
  // nothing when cancelled.
  virtual std::optional<std::string> OpenFileName(QWidget* parent, const std::string& filter,
                                                  const std::string& startFolder) = 0;
  // The open dialog choosing several files; none when cancelled.
  virtual std::vector<std::string> OpenFileNames(QWidget* parent, const std::string& filter,
                                                 const std::string& startFolder) = 0;
  // The save dialog with filterIndex preselected, no default extension and no
  // overwrite question of its own; nothing when cancelled.
  virtual std::optional<SaveDialogChoice> SaveFileName(QWidget* parent, const std::string& filter, int filterIndex,
                                                       const std::string& startFolder) = 0;
  // The folder picker; the chosen folder without a trailing separator.
  virtual std::optional<std::string> SelectFolder(QWidget* parent, const std::string& title,
                                                  const std::string& startFolder) = 0;
  // Shows a window modally; true when it was closed with OK.
  virtual bool RunModal(QDialog& dialog) = 0;
  // Asks the desktop to open a document or address with its registered
  // handler; false when no handler took it.
  virtual bool OpenDocument(const std::string& pathOrAddress) = 0;
  // The font dialog starting at start; nothing when cancelled.
  virtual std::optional<QFont> ChooseFont(QWidget* parent, const QFont& start) = 0;
};

// "Graphic Files|*.bmp;*.ico|GIF Images|*.gif" as Qt name filters
// ("Graphic Files (*.bmp *.ico)", "GIF Images (*.gif)"). A description that
// already ends with its patterns in brackets is kept as it is.
QStringList QtNameFilters(const std::string& filter);

// The real dialogs.
class QtAppDialogs : public AppDialogs {
 public:
  std::optional<std::string> OpenFileName(QWidget* parent, const std::string& filter,
                                          const std::string& startFolder) override;
  std::vector<std::string> OpenFileNames(QWidget* parent, const std::string& filter,
                                         const std::string& startFolder) override;
  std::optional<SaveDialogChoice> SaveFileName(QWidget* parent, const std::string& filter, int filterIndex,
                                               const std::string& startFolder) override;
  std::optional<std::string> SelectFolder(QWidget* parent, const std::string& title,
                                          const std::string& startFolder) override;
  bool RunModal(QDialog& dialog) override;
  bool OpenDocument(const std::string& pathOrAddress) override;
  std::optional<QFont> ChooseFont(QWidget* parent, const QFont& start) override;
};

// Answers from queues and records what was asked. An empty queue answers
// "cancelled".
class ScriptedAppDialogs : public AppDialogs {
 public:
  std::optional<std::string> OpenFileName(QWidget* parent, const std::string& filter,
                                          const std::string& startFolder) override;
  std::vector<std::string> OpenFileNames(QWidget* parent, const std::string& filter,
                                         const std::string& startFolder) override;
  std::optional<SaveDialogChoice> SaveFileName(QWidget* parent, const std::string& filter, int filterIndex,
                                               const std::string& startFolder) override;
  std::optional<std::string> SelectFolder(QWidget* parent, const std::string& title,
                                          const std::string& startFolder) override;
  // Runs the next modal answer on the dialog (it may set the dialog's
  // controls) and returns its result; rejects when none is queued.
  bool RunModal(QDialog& dialog) override;
  bool OpenDocument(const std::string& pathOrAddress) override;
  std::optional<QFont> ChooseFont(QWidget* parent, const QFont& start) override;

  std::deque<std::optional<std::string>> openAnswers;
  std::deque<std::vector<std::string>> openManyAnswers;
  std::deque<std::optional<SaveDialogChoice>> saveAnswers;
  std::deque<std::optional<std::string>> folderAnswers;
  std::deque<std::function<bool(QDialog&)>> modalAnswers;
  std::deque<std::optional<QFont>> fontAnswers;

  struct Request {
    std::string kind;  // "open", "open many", "save", "folder", "modal", "font"
    std::string text;  // the filter, the title or the window caption
    std::string startFolder;
    int filterIndex = 0;
  };
  std::vector<Request> requests;
  std::vector<std::string> documents;
  bool openDocuments = true;  // what OpenDocument answers
};

// Fills scripted answers from the lines of an answer script, one answer a
// line, in the order they will be asked:
//   open PATH | save INDEX PATH | folder PATH | modal ok | modal cancel
//   confirm yes | confirm no | input TEXT | password TEXT | color #RRGGBB
// A kind with nothing after it ("open", "input") is a cancelled answer.
// Blank lines and lines starting with "#" are skipped. Returns false, with
// the offending line in error, for a line it does not understand.
bool ReadAnswerScript(const std::vector<std::string>& lines, ScriptedAppDialogs& dialogs,
                      ScriptedInteraction& interaction, std::string& error);

}  // namespace pixtrel
