// The one seam through which the logic shows or asks anything. The desktop
// program answers with dialogs, pixtrel-cli from its options, tests from
// scripts. The logic never opens a window itself.
#pragma once

#include <optional>
#include <string>

#include "core/color.h"

namespace pixtrel {

enum class IconColors { Colors16, Colors256 };

class UserInteraction {
 public:
  virtual ~UserInteraction() = default;

  // A plain message box.
  virtual void ShowMessage(const std::string& text) = 0;
  // A message box under a caption of its own ("TWAIN Error", the file a batch
  // stopped at); where there is no caption to show, the plain message.
  virtual void ShowMessageBox(const std::string& caption, const std::string& text) {
    static_cast<void>(caption);
    ShowMessage(text);
  }
  // A Yes/No confirmation box; true for Yes.
  virtual bool Confirm(const std::string& text) = 0;
  // A one-line text prompt; nothing when cancelled.
  virtual std::optional<std::string> InputQuery(const std::string& caption, const std::string& prompt,
                                                const std::string& value) = 0;
  // A masked password prompt; nothing when cancelled.
  virtual std::optional<std::string> PasswordQuery(const std::string& caption, const std::string& prompt) = 0;
  // The icon options window ("Pixel Format"); nothing when cancelled.
  virtual std::optional<IconColors> ChooseIconColors(IconColors preselected) = 0;
  // The colour dialog; nothing when cancelled.
  virtual std::optional<Color> ChooseColor(Color start) = 0;
  // The WebP save's options: whether to write lossless, the check box
  // preselected as given; nothing when cancelled. Without a user the
  // preselection stands.
  virtual std::optional<bool> ChooseWebPLossless(bool preselected) { return preselected; }
};

}  // namespace pixtrel
