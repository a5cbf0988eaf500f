#include "app/screen_grab.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPixmap>
#include <QRandomGenerator>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>

#include "acquire/capture_frame.h"

namespace pixtrel {

namespace {

// Waits for the portal request's Response signal.
class PortalResponse : public QObject {
  Q_OBJECT

 public:
  QEventLoop loop;
  uint code = 2;  // "ended some other way" until the portal answers
  QVariantMap results;

 public slots:
  void Response(uint response, const QVariantMap& answer) {
    code = response;
    results = answer;
    loop.quit();
  }
};

// The whole desktop through org.freedesktop.portal.Screenshot, without the
// portal's own dialog where the desktop allows that. The request's object
// path is known before the call, so its answer cannot be missed.
QImage PortalScreenshot() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return {};
  const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
  const QString token = QStringLiteral("pixtrel%1").arg(QRandomGenerator::global()->generate());
  const QString sender = bus.baseService().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
  const QString request = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
  PortalResponse response;
  if (!bus.connect(service, request, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"),
                   &response, SLOT(Response(uint, QVariantMap))))
    return {};
  QDBusMessage call =
      QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/portal/desktop"),
                                     QStringLiteral("org.freedesktop.portal.Screenshot"), QStringLiteral("Screenshot"));
  QVariantMap options;
  options.insert(QStringLiteral("handle_token"), token);
  options.insert(QStringLiteral("interactive"), false);
  call << QString() << options;
  const QDBusMessage reply = bus.call(call);
  if (reply.type() == QDBusMessage::ErrorMessage) return {};
  // The desktop may ask the user first; a minute is plenty for that.
  QTimer::singleShot(60000, &response.loop, &QEventLoop::quit);
  response.loop.exec();
  bus.disconnect(service, request, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"),
                 &response, SLOT(Response(uint, QVariantMap)));
  if (response.code != 0) return {};
  return QImage(QUrl(response.results.value(QStringLiteral("uri")).toString()).toLocalFile());
}

QImage PortalScreenArea(const QRect& area) {
  const QImage desktop = PortalScreenshot();
  const QScreen* primary = QGuiApplication::primaryScreen();
  if (desktop.isNull() || !primary) return {};
  const QRect cut = acquire::DesktopPictureCut(area, primary->virtualGeometry(), desktop.size());
  return cut.isEmpty() ? QImage() : desktop.copy(cut);
}

}  // namespace

QImage GrabScreenArea(const QRect& area) {
  if (area.isEmpty()) return {};
  if (QGuiApplication::platformName() == QStringLiteral("wayland")) return PortalScreenArea(area);
  QScreen* screen = QGuiApplication::screenAt(area.center());
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return {};
  const QRect bounds = screen->geometry();
  const QPixmap pixels =
      screen->grabWindow(0, area.x() - bounds.x(), area.y() - bounds.y(), area.width(), area.height());
  return pixels.toImage();
}

}  // namespace pixtrel

#include "screen_grab.moc"
