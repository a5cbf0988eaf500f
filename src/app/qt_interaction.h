// The interaction layer of the desktop program: message boxes, Yes/No boxes,
// one-line prompts, the "Enter password" form, the "Icon Options" window and
// the colour dialog with the custom colours.
#pragma once

#include <QWidget>
#include <string>

#include "core/interaction.h"

namespace pixtrel {

class IconOptionsWindow;

class QtInteraction : public UserInteraction {
 public:
  explicit QtInteraction(QWidget* parent);
  ~QtInteraction() override;

  void ShowMessage(const std::string& text) override;
  void ShowMessageBox(const std::string& caption, const std::string& text) override;
  bool Confirm(const std::string& text) override;
  std::optional<std::string> InputQuery(const std::string& caption, const std::string& prompt,
                                        const std::string& value) override;
  std::optional<std::string> PasswordQuery(const std::string& caption, const std::string& prompt) override;
  std::optional<IconColors> ChooseIconColors(IconColors preselected) override;
  std::optional<Color> ChooseColor(Color start) override;
  std::optional<bool> ChooseWebPLossless(bool preselected) override;

  // The colour dialog's 16 custom colours from and to the custom-colours file.
  void LoadCustomColors(const std::string& path);
  void SaveCustomColors(const std::string& path);

  IconOptionsWindow* IconOptions() const { return iconOptions_; }

 private:
  QWidget* parent_;
  IconOptionsWindow* iconOptions_;
};

}  // namespace pixtrel
