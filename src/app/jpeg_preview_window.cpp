#include "app/jpeg_preview_window.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QPixmap>
#include <QVBoxLayout>
#include <filesystem>

#include "app/guarded.h"
#include "codecs/jpeg/jpeg_image.h"
#include "core/errors.h"
#include "core/interaction.h"
#include "core/qimage_bitmap.h"
#include "core/stream.h"
#include "io/image_io.h"

namespace pixtrel {

namespace {

constexpr int kStartQuality = 50;

}  // namespace

JpegPreviewWindow::JpegPreviewWindow(Workspace& workspace, UserInteraction& interaction, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), workspace_(workspace), interaction_(interaction) {
  setObjectName("JpegPreviewF");
  setWindowTitle("JPEG Preview");
  resize(566, 503);

  auto* layout = new QVBoxLayout(this);
  auto* controls = new QHBoxLayout;
  grayscale_ = new QCheckBox("Grayscale", this);
  grayscale_->setObjectName("ckgray");
  slider_ = new QSlider(Qt::Horizontal, this);
  slider_->setObjectName("quality");
  slider_->setRange(1, 100);
  slider_->setValue(kStartQuality);
  qualityLabel_ = new QLabel("Quality", this);
  qualityLabel_->setObjectName("lquality");
  qualityLabel_->setMinimumWidth(qualityLabel_->fontMetrics().horizontalAdvance("Quality 100%") + 4);
  sizeLabel_ = new QLabel("Size=", this);
  sizeLabel_->setObjectName("lsize");
  sizeLabel_->setMinimumWidth(sizeLabel_->fontMetrics().horizontalAdvance("Size=000000000") + 4);
  saveButton_ = new QPushButton("&Save", this);
  saveButton_->setObjectName("cmdsave");
  controls->addWidget(grayscale_);
  controls->addWidget(slider_, 1);
  controls->addWidget(qualityLabel_);
  controls->addWidget(sizeLabel_);
  controls->addWidget(saveButton_);
  layout->addLayout(controls);
  scroll_ = new QScrollArea(this);
  image_ = new QLabel;
  image_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  scroll_->setWidget(image_);
  scroll_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  layout->addWidget(scroll_, 1);

  connect(slider_, &QSlider::valueChanged, this, [this](int value) {
    emit qualityChanged(value);
    Compose();
  });
  connect(grayscale_, &QCheckBox::toggled, this, [this] { Compose(); });
  connect(saveButton_, &QPushButton::clicked, this, [this] { Save(); });

  askSaveName = [this]() -> std::optional<std::string> {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter("JPEG Files (*.jpg *.jpeg)");
    dialog.setDefaultSuffix("jpg");
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().front().toStdString();
  };
}

void JpegPreviewWindow::ShowAndCompose() {
  if (isVisible()) {
    // Already open: the call is a showing all the same.
    slider_->blockSignals(true);
    slider_->setValue(kStartQuality);
    slider_->blockSignals(false);
    emit qualityChanged(kStartQuality);
    Compose();
  }
  show();
  raise();
  activateWindow();
}

void JpegPreviewWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  slider_->blockSignals(true);
  slider_->setValue(kStartQuality);
  slider_->blockSignals(false);
  emit qualityChanged(kStartQuality);
  Compose();
}

void JpegPreviewWindow::Compose() {
  qualityLabel_->setText(QString("Quality %1%").arg(slider_->value()));
  const Bitmap& image = workspace_.Image();
  if (image.Width() <= 0 || image.Height() <= 0) {
    sizeLabel_->setText("Size=0");
    preview_ = QImage();
    image_->setPixmap(QPixmap());
    image_->adjustSize();
    return;
  }
  Guarded(interaction_, [&] {
    const std::vector<std::uint8_t> bytes = CompressJPEG(image, slider_->value(), grayscale_->isChecked());
    sizeLabel_->setText(QString("Size=%1").arg(static_cast<qulonglong>(bytes.size())));
    JPEGImage decoded;
    decoded.LoadFromBytes(bytes);
    preview_ = BitmapToQImage(decoded.Picture());
    image_->setPixmap(QPixmap::fromImage(preview_));
    image_->adjustSize();
  });
}

void JpegPreviewWindow::Save() {
  const std::optional<std::string> chosen = askSaveName ? askSaveName() : std::nullopt;
  if (!chosen || chosen->empty()) return;
  std::filesystem::path target(*chosen);
  target.replace_extension(".jpg");
  Guarded(interaction_, [&] {
    AtomicFileStream stream(target.string());
    CompressJPEG(workspace_.Image(), slider_->value(), false, stream);
    stream.Commit();
    sizeLabel_->setText("jpeg size");
  });
}

}  // namespace pixtrel
