#include "app/png_page.h"

#include <QHBoxLayout>
#include <QPixmap>
#include <QScrollArea>
#include <QVBoxLayout>

#include "app/app_dialogs.h"
#include "app/guarded.h"
#include "core/qimage_bitmap.h"
#include "io/formats.h"

namespace pixtrel {

namespace {

// The chosen mode's button is red, the other silver.
void Paint(QPushButton* button, bool chosen) {
  button->setStyleSheet(chosen ? QStringLiteral("background-color: #FF0000; color: #FFFFFF;")
                               : QStringLiteral("background-color: #C0C0C0; color: #000000;"));
}

}  // namespace

PngPage::PngPage(PngTransparency& state, shapes::ZepShape& shape, UserInteraction& ui, AppDialogs& dialogs,
                 QWidget* parent)
    : QWidget(parent), state_(state), shapeModel_(shape), ui_(ui), dialogs_(dialogs) {
  setObjectName(QStringLiteral("PngPage"));
  auto* layout = new QVBoxLayout(this);
  auto* strip = new QHBoxLayout;
  uniform_ = new QPushButton(QStringLiteral("Uniform"), this);
  uniform_->setObjectName(QStringLiteral("btnUniform"));
  shape_ = new QPushButton(QStringLiteral("Use Shape"), this);
  shape_->setObjectName(QStringLiteral("btnUseShape"));
  bar_ = new QScrollBar(Qt::Horizontal, this);
  bar_->setObjectName(QStringLiteral("sbalpha"));
  bar_->setRange(0, 255);
  bar_->setValue(state_.level);
  level_ = new QLabel(QString::number(state_.level), this);
  level_->setMinimumWidth(level_->fontMetrics().horizontalAdvance(QStringLiteral("255")) + 6);
  save_ = new QPushButton(QStringLiteral("Save"), this);
  save_->setObjectName(QStringLiteral("btnPngSave"));
  strip->addWidget(uniform_);
  strip->addWidget(shape_);
  strip->addWidget(bar_, 1);
  strip->addWidget(level_);
  strip->addWidget(save_);
  layout->addLayout(strip);
  auto* scroll = new QScrollArea(this);
  scroll->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  picture_ = new QLabel;
  picture_->setObjectName(QStringLiteral("PngImage"));
  scroll->setWidget(picture_);
  popup_ = new QMenu(this);
  picture_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(picture_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    if (!popup_->isEmpty()) popup_->popup(picture_->mapToGlobal(at));
  });
  layout->addWidget(scroll, 1);
  ShowMode();

  connect(uniform_, &QPushButton::clicked, this, [this] { SetMode(PngAlphaMode::Uniform); });
  connect(shape_, &QPushButton::clicked, this, [this] { SetMode(PngAlphaMode::Shape); });
  connect(bar_, &QScrollBar::valueChanged, this, [this](int value) {
    state_.level = value;
    level_->setText(QString::number(value));
    if (state_.mode == PngAlphaMode::Uniform) Compose();
  });
  connect(save_, &QPushButton::clicked, this, [this] { Save(); });
}

void PngPage::ShowMode() {
  const bool uniform = state_.mode == PngAlphaMode::Uniform;
  Paint(uniform_, uniform);
  Paint(shape_, !uniform);
  bar_->setEnabled(uniform);
}

void PngPage::ShowBase() {
  preview_ = state_.base;
  ShowPreview();
}

void PngPage::Compose() {
  Guarded(ui_, [&] { preview_ = ComposePngPreview(state_, shapeModel_); });
  ShowPreview();
}

void PngPage::SetMode(PngAlphaMode mode) {
  state_.mode = mode;
  ShowMode();
  Compose();
}

void PngPage::ShowPreview() {
  picture_->setPixmap(QPixmap::fromImage(BitmapToQImage(preview_)));
  picture_->adjustSize();
}

void PngPage::Save() {
  const FormatRow* png = FindSaveFormat(".PNG");
  const std::optional<SaveDialogChoice> choice = dialogs_.SaveFileName(
      this, SaveDialogFilter(), png ? png->saveTypeIndex : 1, startFolder ? startFolder() : std::string());
  if (!choice || choice->path.empty()) return;
  Guarded(ui_, [&] { SaveTransparentPng(choice->path, state_, shapeModel_); });
}

}  // namespace pixtrel
