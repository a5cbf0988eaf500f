// What the source manager remembers between runs, in
// "<configuration folder>/pixtrel/twain-sane.conf": the default source (the
// chooser's last choice) and each device's mode, resolution and paper
// source as its dialog last set them.
#pragma once

#include <string>

#include "twain_sane/sane_device.h"

namespace pixtrel::twain_sane {

std::string DefaultDeviceName();
void SetDefaultDeviceName(const std::string& name);

// The options remembered for the device, set on it where it takes them.
void RestoreOptions(SaneDevice& device);
// The device's current options, remembered.
void RememberOptions(const SaneDevice& device);

// The options the dialog offers, in the order they are set.
inline constexpr const char* kMainOptions[] = {"mode", "source", "resolution"};

}  // namespace pixtrel::twain_sane
