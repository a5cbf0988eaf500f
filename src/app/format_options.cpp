#include "app/format_options.h"

#include "settings/form_ini.h"

namespace pixtrel {

namespace {

constexpr char kSection[] = "Formats";

bool ReadFlag(const FormIni& ini, const char* key) {
  std::string value = "0";
  ini.ReadSetting(kSection, key, value);
  return value == "1";
}

}  // namespace

FormatOptions::FormatOptions(Session& session, std::string settingsFile, QMenu* menu)
    : QObject(menu), session_(session), settingsFile_(std::move(settingsFile)) {
  const FormIni ini(settingsFile_);
  session_.opening.autoOrient = ReadFlag(ini, "autoOrient");
  session_.opening.keepMetadata = ReadFlag(ini, "keepMetadata");
  session_.opening.toSrgb = ReadFlag(ini, "toSrgb");
  session_.conversion.webpLossless = ReadFlag(ini, "webpLossless");
  orient_ = AddItem(menu, "Apply EXIF &Orientation", "ApplyEXIFOrientation1", "autoOrient", session_.opening.autoOrient);
  keep_ = AddItem(menu, "Keep &Metadata", "KeepMetadata1", "keepMetadata", session_.opening.keepMetadata);
  srgb_ = AddItem(menu, "Convert to s&RGB", "ConverttosRGB1", "toSrgb", session_.opening.toSrgb);
}

QAction* FormatOptions::AddItem(QMenu* menu, const char* text, const char* name, const char* key, bool& value) {
  QAction* action = menu->addAction(QString::fromUtf8(text));
  action->setObjectName(QString::fromUtf8(name));
  action->setCheckable(true);
  action->setChecked(value);
  connect(action, &QAction::toggled, this, [this, key, &value](bool checked) {
    value = checked;
    Write(key, checked);
    // Metadata kept from an earlier open goes when keeping is switched off.
    if (!session_.opening.keepMetadata) session_.conversion.metadata = ImageMetadata();
  });
  return action;
}

void FormatOptions::NoteWebPLossless(bool before) {
  if (session_.conversion.webpLossless != before) Write("webpLossless", session_.conversion.webpLossless);
}

void FormatOptions::Write(const char* key, bool value) const {
  FormIni(settingsFile_).WriteSetting(kSection, key, value ? "1" : "0");
}

}  // namespace pixtrel
