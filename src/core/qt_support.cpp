#include "core/qt_support.h"

#include <QCoreApplication>

namespace pixtrel {

// By class name, so that asking does not link Qt's GUI library.
bool HasGuiApplication() {
  const QCoreApplication* app = QCoreApplication::instance();
  return app != nullptr && app->inherits("QGuiApplication");
}

}  // namespace pixtrel
