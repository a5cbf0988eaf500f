// "Batch": the batch conversion window. It is created at start and kept for
// the whole run, so the target format, the destination folder and the
// overwrite flag carry from one batch to the next.
#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <string>

#include "io/batch.h"

namespace pixtrel {

class AppDialogs;

class BatchF : public QDialog {
  Q_OBJECT

 public:
  BatchF(AppDialogs& dialogs, QWidget* parent = nullptr);

  // The choices: destination (empty until one was chosen), format, overwrite.
  BatchSettings Settings() const;
  void SetDestination(const std::string& folder);
  // Selects "BMP", "GIF", "JPG" or "PNG"; other texts are ignored.
  void SetFormat(const std::string& format);

  // "Destination Folder...": the folder picker, starting at the current destination.
  void ChooseDestination();

  QRadioButton* FormatButton(const std::string& format) const;
  QCheckBox* Overwrite() const { return overwrite_; }
  QPushButton* DestinationButton() const { return destinationButton_; }
  QLabel* DestinationLabel() const { return destinationLabel_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  AppDialogs& dialogs_;
  QButtonGroup* formats_;
  QPushButton* destinationButton_;
  QLabel* destinationLabel_;
  QCheckBox* overwrite_;
  QPushButton* ok_;
  QPushButton* cancel_;
  std::string destination_;
};

}  // namespace pixtrel
