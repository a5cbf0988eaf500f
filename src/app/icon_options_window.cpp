#include "app/icon_options_window.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace pixtrel {

IconOptionsWindow::IconOptionsWindow(QWidget* parent) : QDialog(parent) {
  setObjectName("IconOptionsF");
  setWindowTitle("Icon Options");
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* group = new QGroupBox("Pixel Format", this);
  group->setObjectName("pixelformat");
  auto* groupLayout = new QVBoxLayout(group);
  colors16_ = new QRadioButton("16 colors (4 bit)", group);
  colors256_ = new QRadioButton("256 colors (8 bit)", group);
  groupLayout->addWidget(colors16_);
  groupLayout->addWidget(colors256_);
  colors256_->setChecked(true);
  layout->addWidget(group);
  auto* buttons = new QHBoxLayout;
  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("cmdOK");
  ok->setDefault(true);
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setObjectName("cmdCancel");
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

std::optional<IconColors> IconOptionsWindow::Choose() {
  if (QWidget* owner = parentWidget()) {
    adjustSize();
    const QRect area = owner->window()->frameGeometry();
    move(area.center() - rect().center());
  }
  if (exec() != QDialog::Accepted) return std::nullopt;
  return Selected();
}

IconColors IconOptionsWindow::Selected() const {
  return colors16_->isChecked() ? IconColors::Colors16 : IconColors::Colors256;
}

void IconOptionsWindow::Select(IconColors colors) {
  (colors == IconColors::Colors16 ? colors16_ : colors256_)->setChecked(true);
}

}  // namespace pixtrel
