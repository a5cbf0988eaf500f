#include "app/batch_window.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/app_dialogs.h"
#include "io/formats.h"

namespace pixtrel {

namespace {

// "Convert To": the batch targets of the format table, in order.
const std::vector<std::string>& Formats() {
  static const std::vector<std::string> formats = BatchTargetNames();
  return formats;
}

}  // namespace

BatchF::BatchF(AppDialogs& dialogs, QWidget* parent) : QDialog(parent), dialogs_(dialogs) {
  setObjectName(QStringLiteral("BatchF"));
  setWindowTitle(QStringLiteral("Batch"));
  setModal(true);

  auto* group = new QGroupBox(QStringLiteral("Convert To"));
  auto* groupLayout = new QVBoxLayout(group);
  formats_ = new QButtonGroup(this);
  int id = 0;
  for (const std::string& format : Formats()) {
    auto* button = new QRadioButton(QString::fromStdString(format));
    button->setObjectName(QString::fromStdString(format));
    formats_->addButton(button, id++);
    groupLayout->addWidget(button);
  }
  FormatButton("PNG")->setChecked(true);

  destinationButton_ = new QPushButton(QStringLiteral("Destination Folder..."));
  destinationLabel_ = new QLabel;
  destinationLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  overwrite_ = new QCheckBox(QStringLiteral("Overwrite existing files"));
  ok_ = new QPushButton(QStringLiteral("OK"));
  ok_->setDefault(true);
  cancel_ = new QPushButton(QStringLiteral("Cancel"));

  auto* right = new QVBoxLayout;
  right->addWidget(destinationButton_);
  right->addWidget(destinationLabel_);
  right->addWidget(overwrite_);
  right->addStretch(1);

  auto* top = new QHBoxLayout;
  top->addWidget(group);
  top->addLayout(right, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(buttons);

  connect(destinationButton_, &QPushButton::clicked, this, &BatchF::ChooseDestination);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

BatchSettings BatchF::Settings() const {
  BatchSettings settings;
  settings.destination = destination_;
  const int id = formats_->checkedId();
  settings.format = id >= 0 ? Formats()[static_cast<std::size_t>(id)] : "PNG";
  settings.overwrite = overwrite_->isChecked();
  return settings;
}

void BatchF::SetDestination(const std::string& folder) {
  destination_ = folder;
  // A chosen folder is kept without its trailing separator (the root stays "/").
  while (destination_.size() > 1 && destination_.back() == '/') destination_.pop_back();
  destinationLabel_->setText(QString::fromStdString(destination_));
}

void BatchF::SetFormat(const std::string& format) {
  if (QRadioButton* button = FormatButton(format)) button->setChecked(true);
}

QRadioButton* BatchF::FormatButton(const std::string& format) const {
  for (std::size_t id = 0; id < Formats().size(); ++id)
    if (format == Formats()[id]) return static_cast<QRadioButton*>(formats_->button(static_cast<int>(id)));
  return nullptr;
}

void BatchF::ChooseDestination() {
  if (std::optional<std::string> folder = dialogs_.SelectFolder(this, "Select target folder", destination_))
    SetDestination(*folder);
}

void BatchF::showEvent(QShowEvent* event) {
  // Centred on the main window.
  if (QWidget* owner = parentWidget()) {
    adjustSize();
    const QRect area = owner->frameGeometry();
    move(area.center() - rect().center());
  }
  QDialog::showEvent(event);
}

}  // namespace pixtrel
