// One SANE device as a TWAIN source sees it: its main options (mode,
// resolution, paper source) and pages scanned into packed device-independent
// bitmaps.
#pragma once

#include <sane/sane.h>

#include <string>
#include <vector>

namespace pixtrel::twain_sane {

struct DeviceInfo {
  std::string name;  // "test:0"
  std::string vendor;
  std::string model;
};

// The devices SANE finds now (sane_init must have run).
std::vector<DeviceInfo> ListDevices();

// The outcome of one page.
enum class PageResult { Done, Cancelled, NoDocuments, Failed };

class SaneDevice {
 public:
  // Opens the device; Handle() is null when it could not be opened.
  explicit SaneDevice(const std::string& name);
  ~SaneDevice();
  SaneDevice(const SaneDevice&) = delete;
  SaneDevice& operator=(const SaneDevice&) = delete;

  bool IsOpen() const { return handle_ != nullptr; }
  const std::string& Name() const { return name_; }

  // The choices of an option and its current value, as text; an option the
  // device lacks (or holds inactive) has no choices. Resolutions are dots
  // per inch.
  std::vector<std::string> Choices(const char* option) const;
  std::string Value(const char* option) const;
  // Sets an option from its text; false when the device refuses it.
  bool SetValue(const char* option, const std::string& value);

  // True when pages come from a document feeder.
  bool FeedsDocuments() const;

  // Scans the page (starting it when it is not started yet) into a block
  // from malloc holding a packed DIB; on anything but Done *block is null.
  PageResult ScanPage(void** block);
  // Starts the next page of a feeder; NoDocuments when it is empty.
  PageResult StartNextPage();
  // Ends the batch.
  void Cancel();
  // SANE's text for the last failure of ScanPage or StartNextPage.
  const std::string& LastError() const { return lastError_; }

 private:
  int FindOption(const char* name) const;

  std::string name_;
  SANE_Handle handle_ = nullptr;
  bool started_ = false;
  std::string lastError_;
};

}  // namespace pixtrel::twain_sane
