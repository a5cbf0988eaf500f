#include "app/blender_page.h"

#include <QHBoxLayout>
#include <QPixmap>
#include <QScrollArea>
#include <QVBoxLayout>

#include "app/guarded.h"
#include "core/qimage_bitmap.h"

namespace pixtrel {

BlenderPage::BlenderPage(Workspace& workspace, Overlay& overlay, UserInteraction& ui, QWidget* parent)
    : QWidget(parent), workspace_(workspace), overlay_(overlay), ui_(ui) {
  setObjectName(QStringLiteral("BlenderPage"));
  auto* layout = new QVBoxLayout(this);
  auto* strip = new QHBoxLayout;
  bar_ = new QScrollBar(Qt::Horizontal, this);
  bar_->setObjectName(QStringLiteral("sbBlend"));
  bar_->setRange(0, 100);
  bar_->setValue(0);
  amount_ = new QLabel(QStringLiteral("0"), this);
  amount_->setMinimumWidth(amount_->fontMetrics().horizontalAdvance(QStringLiteral("100")) + 6);
  use_ = new QPushButton(QStringLiteral("Use"), this);
  use_->setObjectName(QStringLiteral("btnUseBlend"));
  strip->addWidget(bar_, 1);
  strip->addWidget(amount_);
  strip->addWidget(use_);
  layout->addLayout(strip);
  auto* scroll = new QScrollArea(this);
  scroll->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  picture_ = new QLabel;
  picture_->setObjectName(QStringLiteral("BlendImage"));
  scroll->setWidget(picture_);
  layout->addWidget(scroll, 1);

  connect(bar_, &QScrollBar::valueChanged, this, [this] { Recompute(); });
  connect(use_, &QPushButton::clicked, this, [this] { Use(); });
}

void BlenderPage::Recompute() {
  amount_->setText(QString::number(bar_->value()));
  Guarded(ui_, [&] { preview_ = BlendPreview(workspace_, overlay_, bar_->value()); });
  picture_->setPixmap(QPixmap::fromImage(BitmapToQImage(preview_)));
  picture_->adjustSize();
}

void BlenderPage::Use() {
  // Before any preview there is nothing to use: the image is not blanked.
  if (preview_.Empty()) return;
  workspace_.SetImage(preview_);
  emit usedPreview();
}

}  // namespace pixtrel
