#include "app/app_dialogs.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QUrl>
#include <QWidget>

#include "core/scripted_interaction.h"

namespace pixtrel {

std::optional<QFont> QtAppDialogs::ChooseFont(QWidget* parent, const QFont& start) {
  bool ok = false;
  const QFont font = QFontDialog::getFont(&ok, start, parent);
  if (!ok) return std::nullopt;
  return font;
}

namespace {

QString ToQt(const std::string& text) { return QString::fromStdString(text); }

// The index (from 1) of the chosen name filter among the dialog's filters.
int FilterIndexOf(const QStringList& filters, const QString& chosen) {
  const qsizetype found = filters.indexOf(chosen);
  return found < 0 ? 1 : static_cast<int>(found) + 1;
}

}  // namespace

QStringList QtNameFilters(const std::string& filter) {
  const QStringList parts = ToQt(filter).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString& description = parts[i];
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    const QString bracketed = QStringLiteral("(") + patterns + QStringLiteral(")");
    if (description.endsWith(bracketed))
      filters << description;
    else
      filters << description + QLatin1Char(' ') + bracketed;
  }
  return filters;
}

std::optional<std::string> QtAppDialogs::OpenFileName(QWidget* parent, const std::string& filter,
                                                      const std::string& startFolder) {
  QFileDialog dialog(parent, QStringLiteral("Open"), ToQt(startFolder));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters(QtNameFilters(filter));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front().toStdString();
}

std::vector<std::string> QtAppDialogs::OpenFileNames(QWidget* parent, const std::string& filter,
                                                     const std::string& startFolder) {
  QFileDialog dialog(parent, QStringLiteral("Open"), ToQt(startFolder));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setNameFilters(QtNameFilters(filter));
  std::vector<std::string> files;
  if (dialog.exec() != QDialog::Accepted) return files;
  for (const QString& file : dialog.selectedFiles()) files.push_back(file.toStdString());
  return files;
}

std::optional<SaveDialogChoice> QtAppDialogs::SaveFileName(QWidget* parent, const std::string& filter, int filterIndex,
                                                           const std::string& startFolder) {
  QFileDialog dialog(parent, QStringLiteral("Save As"), ToQt(startFolder));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  // The program asks its own overwrite question once the extension is known.
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  const QStringList filters = QtNameFilters(filter);
  dialog.setNameFilters(filters);
  if (filterIndex >= 1 && filterIndex <= filters.size()) dialog.selectNameFilter(filters[filterIndex - 1]);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return SaveDialogChoice{dialog.selectedFiles().front().toStdString(),
                          FilterIndexOf(filters, dialog.selectedNameFilter())};
}

std::optional<std::string> QtAppDialogs::SelectFolder(QWidget* parent, const std::string& title,
                                                      const std::string& startFolder) {
  const QString folder = QFileDialog::getExistingDirectory(parent, ToQt(title), ToQt(startFolder));
  if (folder.isEmpty()) return std::nullopt;
  return folder.toStdString();
}

bool QtAppDialogs::RunModal(QDialog& dialog) { return dialog.exec() == QDialog::Accepted; }

bool QtAppDialogs::OpenDocument(const std::string& pathOrAddress) {
  const QString text = ToQt(pathOrAddress);
  const QUrl url = text.contains(QStringLiteral("://")) ? QUrl(text) : QUrl::fromLocalFile(text);
  return QDesktopServices::openUrl(url);
}

namespace {

template <typename T>
std::optional<T> TakeAnswer(std::deque<std::optional<T>>& queue) {
  if (queue.empty()) return std::nullopt;
  std::optional<T> answer = std::move(queue.front());
  queue.pop_front();
  return answer;
}

}  // namespace

std::optional<std::string> ScriptedAppDialogs::OpenFileName(QWidget*, const std::string& filter,
                                                            const std::string& startFolder) {
  requests.push_back({"open", filter, startFolder, 0});
  return TakeAnswer(openAnswers);
}

std::vector<std::string> ScriptedAppDialogs::OpenFileNames(QWidget*, const std::string& filter,
                                                           const std::string& startFolder) {
  requests.push_back({"open many", filter, startFolder, 0});
  if (openManyAnswers.empty()) return {};
  std::vector<std::string> answer = std::move(openManyAnswers.front());
  openManyAnswers.pop_front();
  return answer;
}

std::optional<SaveDialogChoice> ScriptedAppDialogs::SaveFileName(QWidget*, const std::string& filter, int filterIndex,
                                                                 const std::string& startFolder) {
  requests.push_back({"save", filter, startFolder, filterIndex});
  return TakeAnswer(saveAnswers);
}

std::optional<std::string> ScriptedAppDialogs::SelectFolder(QWidget*, const std::string& title,
                                                            const std::string& startFolder) {
  requests.push_back({"folder", title, startFolder, 0});
  return TakeAnswer(folderAnswers);
}

bool ScriptedAppDialogs::RunModal(QDialog& dialog) {
  requests.push_back({"modal", dialog.windowTitle().toStdString(), std::string(), 0});
  if (modalAnswers.empty()) return false;
  std::function<bool(QDialog&)> answer = std::move(modalAnswers.front());
  modalAnswers.pop_front();
  return answer ? answer(dialog) : false;
}

bool ScriptedAppDialogs::OpenDocument(const std::string& pathOrAddress) {
  documents.push_back(pathOrAddress);
  return openDocuments;
}

std::optional<QFont> ScriptedAppDialogs::ChooseFont(QWidget*, const QFont& start) {
  requests.push_back({"font", start.family().toStdString(), std::string(), 0});
  if (fontAnswers.empty()) return std::nullopt;
  std::optional<QFont> answer = std::move(fontAnswers.front());
  fontAnswers.pop_front();
  return answer;
}

bool ReadAnswerScript(const std::vector<std::string>& lines, ScriptedAppDialogs& dialogs,
                      ScriptedInteraction& interaction, std::string& error) {
  for (const std::string& raw : lines) {
    std::string line = raw;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (line.empty() || line.front() == '#') continue;
    const std::size_t space = line.find(' ');
    const std::string kind = line.substr(0, space);
    const bool cancelled = space == std::string::npos;
    const std::string argument = cancelled ? std::string() : line.substr(space + 1);
    if (kind == "open") {
      dialogs.openAnswers.push_back(cancelled ? std::nullopt : std::optional<std::string>(argument));
    } else if (kind == "folder") {
      dialogs.folderAnswers.push_back(cancelled ? std::nullopt : std::optional<std::string>(argument));
    } else if (kind == "save") {
      if (cancelled) {
        dialogs.saveAnswers.push_back(std::nullopt);
        continue;
      }
      const std::size_t pathStart = argument.find(' ');
      int index = 0;
      try {
        index = std::stoi(argument.substr(0, pathStart));
      } catch (const std::exception&) {
        index = 0;
      }
      if (pathStart == std::string::npos || index < 1) {
        error = raw;
        return false;
      }
      dialogs.saveAnswers.push_back(SaveDialogChoice{argument.substr(pathStart + 1), index});
    } else if (kind == "modal" && (argument == "ok" || argument == "cancel")) {
      const bool accept = argument == "ok";
      dialogs.modalAnswers.push_back([accept](QDialog&) { return accept; });
    } else if (kind == "confirm" && (argument == "yes" || argument == "no")) {
      interaction.confirmations.push_back(argument == "yes");
    } else if (kind == "input") {
      interaction.inputs.push_back(cancelled ? std::nullopt : std::optional<std::string>(argument));
    } else if (kind == "password") {
      interaction.passwords.push_back(cancelled ? std::nullopt : std::optional<std::string>(argument));
    } else if (kind == "color") {
      if (cancelled) {
        interaction.colors.push_back(std::nullopt);
        continue;
      }
      // "#RRGGBB", red first.
      const bool wellFormed = argument.size() == 7 && argument[0] == '#' &&
                              argument.find_first_not_of("0123456789abcdefABCDEF", 1) == std::string::npos;
      if (!wellFormed) {
        error = raw;
        return false;
      }
      const unsigned long rgb = std::stoul(argument.substr(1), nullptr, 16);
      interaction.colors.push_back(RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF));
    } else {
      error = raw;
      return false;
    }
  }
  return true;
}

}  // namespace pixtrel
