// "Icon Options": the modal window of an ICO save, choosing 16 or 256
// colours; it keeps the last choice.
#pragma once

#include <QDialog>
#include <QRadioButton>
#include <optional>

#include "core/interaction.h"

namespace pixtrel {

class IconOptionsWindow : public QDialog {
  Q_OBJECT

 public:
  explicit IconOptionsWindow(QWidget* parent = nullptr);

  // Shows the window modally, centred on its parent; the choice after "OK".
  std::optional<IconColors> Choose();

  IconColors Selected() const;
  void Select(IconColors colors);

  QRadioButton* Colors16() const { return colors16_; }
  QRadioButton* Colors256() const { return colors256_; }

 private:
  QRadioButton* colors16_;
  QRadioButton* colors256_;
};

}  // namespace pixtrel
