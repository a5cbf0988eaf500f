#include "twain_sane/source_dialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "twain_sane/source_settings.h"

namespace pixtrel::twain_sane {

namespace {

QString DeviceText(const DeviceInfo& device) {
  return QString::fromStdString(device.vendor + " " + device.model + " (" + device.name + ")");
}

// Fills a box with the device's choices for an option, its value selected;
// a device without the option leaves the box disabled.
void FillChoices(QComboBox* box, const SaneDevice& device, const char* option) {
  for (const std::string& choice : device.Choices(option)) box->addItem(QString::fromStdString(choice));
  box->setCurrentText(QString::fromStdString(device.Value(option)));
  box->setEnabled(box->count() > 0);
}

}  // namespace

bool DialogsAvailable() {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return false;
  return qgetenv("PIXTREL_TWAIN_SANE_UI") != "off";
}

int ChooseDevice(const std::vector<DeviceInfo>& devices, int preselected) {
  QDialog dialog(QApplication::activeWindow());
  dialog.setObjectName(QStringLiteral("SelectSource"));
  dialog.setWindowTitle(QStringLiteral("Select Source"));
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(new QLabel(QStringLiteral("Sources:"), &dialog));
  auto* list = new QListWidget(&dialog);
  list->setObjectName(QStringLiteral("sourceList"));
  for (const DeviceInfo& device : devices) list->addItem(DeviceText(device));
  if (preselected >= 0 && preselected < list->count()) list->setCurrentRow(preselected);
  layout->addWidget(list);
  auto* buttons = new QDialogButtonBox(&dialog);
  QPushButton* select = buttons->addButton(QStringLiteral("Select"), QDialogButtonBox::AcceptRole);
  select->setObjectName(QStringLiteral("selectButton"));
  select->setDefault(true);
  select->setEnabled(list->currentRow() >= 0);
  QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
  cancel->setObjectName(QStringLiteral("cancelButton"));
  layout->addWidget(buttons);
  QObject::connect(list, &QListWidget::currentRowChanged, select, [select](int row) { select->setEnabled(row >= 0); });
  QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  dialog.resize(360, 220);
  if (dialog.exec() != QDialog::Accepted) return -1;
  return list->currentRow();
}

SourceDialog::SourceDialog(SaneDevice& device, const DeviceInfo& info, std::function<void()> scan,
                           std::function<void()> cancel)
    : device_(device), dialog_(new QDialog(QApplication::activeWindow())) {
  dialog_->setObjectName(QStringLiteral("SourceDialog"));
  dialog_->setWindowTitle(QString::fromStdString(info.vendor + " " + info.model));
  dialog_->setWindowModality(Qt::ApplicationModal);
  auto* layout = new QVBoxLayout(dialog_);
  auto* form = new QFormLayout;
  mode_ = new QComboBox(dialog_);
  mode_->setObjectName(QStringLiteral("modeBox"));
  resolution_ = new QComboBox(dialog_);
  resolution_->setObjectName(QStringLiteral("resolutionBox"));
  source_ = new QComboBox(dialog_);
  source_->setObjectName(QStringLiteral("sourceBox"));
  FillChoices(mode_, device, "mode");
  FillChoices(resolution_, device, "resolution");
  FillChoices(source_, device, "source");
  form->addRow(QStringLiteral("&Mode:"), mode_);
  form->addRow(QStringLiteral("&Resolution (dpi):"), resolution_);
  form->addRow(QStringLiteral("&Source:"), source_);
  layout->addLayout(form);
  status_ = new QLabel(dialog_);
  status_->setObjectName(QStringLiteral("statusLabel"));
  status_->setWordWrap(true);
  status_->hide();
  layout->addWidget(status_);
  auto* buttons = new QDialogButtonBox(dialog_);
  scanButton_ = buttons->addButton(QStringLiteral("&Scan"), QDialogButtonBox::AcceptRole);
  scanButton_->setObjectName(QStringLiteral("scanButton"));
  scanButton_->setDefault(true);
  QPushButton* cancelButton = buttons->addButton(QDialogButtonBox::Cancel);
  cancelButton->setObjectName(QStringLiteral("cancelButton"));
  layout->addWidget(buttons);
  // Scan keeps the dialog open until the program disables the source.
  QObject::connect(scanButton_, &QPushButton::clicked, dialog_, [this, scan] {
    ApplyOptions();
    SetStatus({});
    SetBusy(true);
    scan();
  });
  QObject::connect(dialog_, &QDialog::rejected, dialog_, [cancel] { cancel(); });
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog_, &QDialog::reject);
  dialog_->show();
}

SourceDialog::~SourceDialog() { delete dialog_; }

void SourceDialog::ApplyOptions() {
  const std::pair<const char*, QComboBox*> boxes[] = {{"mode", mode_}, {"source", source_}, {"resolution", resolution_}};
  for (const auto& [option, box] : boxes)
    if (box->isEnabled()) device_.SetValue(option, box->currentText().toStdString());
  RememberOptions(device_);
}

void SourceDialog::SetStatus(const std::string& text) {
  status_->setText(QString::fromStdString(text));
  status_->setVisible(!text.empty());
}

void SourceDialog::SetBusy(bool busy) {
  for (QWidget* widget : {static_cast<QWidget*>(mode_), static_cast<QWidget*>(resolution_),
                          static_cast<QWidget*>(source_), static_cast<QWidget*>(scanButton_)})
    widget->setEnabled(!busy && (widget == scanButton_ || static_cast<QComboBox*>(widget)->count() > 0));
}

}  // namespace pixtrel::twain_sane
