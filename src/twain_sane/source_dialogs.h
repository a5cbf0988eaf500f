// The source manager's windows: the chooser of MSG_USERSELECT and a
// source's own dialog with the device's main options. They open only where
// the process has a widget application and PIXTREL_TWAIN_SANE_UI is not
// "off"; elsewhere the chooser keeps the default source and the source scans
// with its current options.
#pragma once

#include <functional>
#include <vector>

#include "twain_sane/sane_device.h"

class QDialog;
class QComboBox;
class QLabel;
class QPushButton;

namespace pixtrel::twain_sane {

bool DialogsAvailable();

// The chooser, modal: the index of the chosen device, or -1 when cancelled.
int ChooseDevice(const std::vector<DeviceInfo>& devices, int preselected);

// A source's dialog, shown without blocking the caller: Scan sets the
// options on the device and calls scan; Cancel or closing calls cancel.
class SourceDialog {
 public:
  SourceDialog(SaneDevice& device, const DeviceInfo& info, std::function<void()> scan,
               std::function<void()> cancel);
  ~SourceDialog();
  SourceDialog(const SourceDialog&) = delete;
  SourceDialog& operator=(const SourceDialog&) = delete;

  // While a scan runs the dialog takes no input.
  void SetBusy(bool busy);
  // A line under the options: why the last scan failed; empty hides it.
  void SetStatus(const std::string& text);

 private:
  void ApplyOptions();

  SaneDevice& device_;
  QDialog* dialog_;
  QComboBox* mode_;
  QComboBox* resolution_;
  QComboBox* source_;
  QPushButton* scanButton_;
  QLabel* status_;
};

}  // namespace pixtrel::twain_sane
