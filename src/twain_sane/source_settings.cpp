#include "twain_sane/source_settings.h"

#include <QSettings>
#include <QStandardPaths>
#include <QString>

namespace pixtrel::twain_sane {

namespace {

QString SettingsPath() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/pixtrel/twain-sane.conf");
}

// Device names hold ":" and "/"; the group takes them percent-encoded.
QString DeviceGroup(const std::string& name) {
  return QStringLiteral("device-") + QString::fromLatin1(QByteArray::fromStdString(name).toPercentEncoding());
}

}  // namespace

std::string DefaultDeviceName() {
  return QSettings(SettingsPath(), QSettings::IniFormat).value(QStringLiteral("default")).toString().toStdString();
}

void SetDefaultDeviceName(const std::string& name) {
  QSettings(SettingsPath(), QSettings::IniFormat).setValue(QStringLiteral("default"), QString::fromStdString(name));
}

void RestoreOptions(SaneDevice& device) {
  QSettings settings(SettingsPath(), QSettings::IniFormat);
  settings.beginGroup(DeviceGroup(device.Name()));
  for (const char* option : kMainOptions) {
    const QString value = settings.value(QString::fromLatin1(option)).toString();
    if (!value.isEmpty()) device.SetValue(option, value.toStdString());
  }
}

void RememberOptions(const SaneDevice& device) {
  QSettings settings(SettingsPath(), QSettings::IniFormat);
  settings.beginGroup(DeviceGroup(device.Name()));
  for (const char* option : kMainOptions) {
    const std::string value = device.Value(option);
    if (!value.empty()) settings.setValue(QString::fromLatin1(option), QString::fromStdString(value));
  }
}

}  // namespace pixtrel::twain_sane
