// The fuzz targets that draw text are entry points of their own: text is
// drawn only under a QGuiApplication, so they make one, on the offscreen
// platform, before the first input.
#pragma once

#include <QGuiApplication>

#include <cstdlib>

inline void MakeFuzzGuiApplication(int* argc, char*** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int appArgc = 1;
  static char* appArgv[] = {(*argc > 0 ? (*argv)[0] : nullptr), nullptr};
  static QGuiApplication app(appArgc, appArgv);
}
