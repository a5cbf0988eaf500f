#include "app/image_resize_window.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace pixtrel {

ImageResizeWindow::ImageResizeWindow(QWidget* parent) : QDialog(parent) {
  setObjectName("ImageResizeF");
  setWindowTitle("Image Resize");
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  // Digits only: the integer edit drops every other typed character.
  auto* digits = new QRegularExpressionValidator(QRegularExpression("[0-9]*"), this);
  edwidth_ = new QLineEdit(this);
  edwidth_->setObjectName("edwidth");
  edwidth_->setValidator(digits);
  edheight_ = new QLineEdit(this);
  edheight_->setObjectName("edheight");
  edheight_->setValidator(digits);
  meswidth_ = new QLabel(this);
  meswidth_->setObjectName("meswidth");
  mesheight_ = new QLabel(this);
  mesheight_->setObjectName("mesheight");
  grid->addWidget(new QLabel("Width", this), 0, 0);
  grid->addWidget(edwidth_, 0, 1);
  grid->addWidget(meswidth_, 0, 2);
  grid->addWidget(new QLabel("Height", this), 1, 0);
  grid->addWidget(edheight_, 1, 1);
  grid->addWidget(mesheight_, 1, 2);
  layout->addLayout(grid);
  ckaspect_ = new QCheckBox("Keep aspect ratio", this);
  ckaspect_->setObjectName("ckaspect");
  ckaspect_->setChecked(true);
  layout->addWidget(ckaspect_);
  auto* buttons = new QHBoxLayout;
  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("OKBtn");
  ok->setDefault(true);
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setObjectName("CancelBtn");
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);

  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(edwidth_, &QLineEdit::textChanged, this, [this] { FieldEdited(true); });
  connect(edheight_, &QLineEdit::textChanged, this, [this] { FieldEdited(false); });
  connect(ckaspect_, &QCheckBox::toggled, this, [this](bool on) { fields_.SetKeepAspect(on); });
}

void ImageResizeWindow::Open(int width, int height) {
  fields_.Open(width, height);
  ckaspect_->setChecked(fields_.KeepAspect());
  meswidth_->setText(QString::number(fields_.StartWidth()));
  mesheight_->setText(QString::number(fields_.StartHeight()));
  ShowFields();
}

std::optional<QSize> ImageResizeWindow::Ask(int width, int height) {
  Open(width, height);
  edwidth_->setFocus();
  edwidth_->selectAll();
  if (exec() != QDialog::Accepted) return std::nullopt;
  return FieldSize();
}

void ImageResizeWindow::FieldEdited(bool width) {
  if (updating_) return;
  const std::string text = (width ? edwidth_ : edheight_)->text().toStdString();
  if (width)
    fields_.TypeWidth(text);
  else
    fields_.TypeHeight(text);
  ShowFields();
}

void ImageResizeWindow::ShowFields() {
  updating_ = true;
  const QString width = QString::number(fields_.Width());
  const QString height = QString::number(fields_.Height());
  if (edwidth_->text() != width) edwidth_->setText(width);
  if (edheight_->text() != height) edheight_->setText(height);
  updating_ = false;
}

}  // namespace pixtrel
