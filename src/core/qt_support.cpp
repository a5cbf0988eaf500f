#include "core/qt_support.h"

#include <QCoreApplication>
#include <QGuiApplication>

namespace pixtrel {

bool HasGuiApplication() { return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr; }

}  // namespace pixtrel
