// "JPEG Preview": a modeless tool window that encodes the workspace image at
// the slider's quality, shows the decoded result and its size, and saves it.
// Its slider is the JPEG quality of every JPEG the program writes.
#pragma once

#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>

#include "core/interaction.h"
#include "workspace/workspace.h"

namespace pixtrel {

class JpegPreviewWindow : public QWidget {
  Q_OBJECT

 public:
  JpegPreviewWindow(Workspace& workspace, UserInteraction& interaction, QWidget* parent);

  // "&JPG optimize": shows the window; every showing resets the slider to 50
  // and composes the preview.
  void ShowAndCompose();
  // Encodes and decodes the displayed image at the slider's quality.
  void Compose();
  // "&Save": asks for the name, writes the colour JPEG under it with ".jpg".
  void Save();

  // The save dialog ("JPEG Files|*.jpg;*.jpeg"); nothing when cancelled.
  // Tests replace it.
  std::function<std::optional<std::string>()> askSaveName;

  QSlider* Slider() const { return slider_; }
  QCheckBox* Grayscale() const { return grayscale_; }
  QLabel* SizeLabel() const { return sizeLabel_; }
  QLabel* QualityLabel() const { return qualityLabel_; }
  QPushButton* SaveButton() const { return saveButton_; }
  const QImage& Preview() const { return preview_; }

 signals:
  // The quality JPEG saves take from now on: the slider moved, or a showing
  // reset it to 50.
  void qualityChanged(int quality);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  Workspace& workspace_;
  UserInteraction& interaction_;
  QCheckBox* grayscale_;
  QSlider* slider_;
  QLabel* qualityLabel_;
  QLabel* sizeLabel_;
  QPushButton* saveButton_;
  QScrollArea* scroll_;
  QLabel* image_;
  QImage preview_;
};

}  // namespace pixtrel
