// The Options menu's items for opening photos ("Apply EXIF Orientation",
// "Keep Metadata", "Convert to sRGB") and the WebP save's lossless choice:
// values of the session, kept in the settings file's [Formats] section. The
// section is written only when one of them changes, so a settings file
// never touched by them stays as it was.
#pragma once

#include <QAction>
#include <QMenu>
#include <QObject>
#include <string>

#include "io/session.h"

namespace pixtrel {

class FormatOptions : public QObject {
  Q_OBJECT

 public:
  // Reads the section into session and adds the three items to menu.
  FormatOptions(Session& session, std::string settingsFile, QMenu* menu);

  QAction* applyOrientation() const { return orient_; }
  QAction* keepMetadata() const { return keep_; }
  QAction* toSrgb() const { return srgb_; }

  // After a save: writes the lossless choice when the save's options box
  // changed it.
  void NoteWebPLossless(bool before);

 private:
  QAction* AddItem(QMenu* menu, const char* text, const char* name, const char* key, bool& value);
  void Write(const char* key, bool value) const;

  Session& session_;
  std::string settingsFile_;
  QAction* orient_;
  QAction* keep_;
  QAction* srgb_;
};

}  // namespace pixtrel
