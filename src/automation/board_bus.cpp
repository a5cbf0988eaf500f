#include "automation/board_bus.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QVariantMap>
#include <limits>
#include <optional>
#include <vector>

#include "automation/board_interface.h"

namespace pixtrel::automation {

namespace {

constexpr char kIntrospectable[] = "org.freedesktop.DBus.Introspectable";
constexpr char kProperties[] = "org.freedesktop.DBus.Properties";
constexpr char kPeer[] = "org.freedesktop.DBus.Peer";
constexpr char kInvalidArgs[] = "org.freedesktop.DBus.Error.InvalidArgs";
constexpr char kUnknownMethod[] = "org.freedesktop.DBus.Error.UnknownMethod";
constexpr char kUnknownProperty[] = "org.freedesktop.DBus.Error.UnknownProperty";
constexpr char kAnnotationPrefix[] = "org.pixtrel.Pixtrel10.";

QString Escaped(const char* text) { return QString::fromUtf8(text).toHtmlEscaped(); }

QString Annotation(const QString& indent, const char* name, const QString& value) {
  return indent + QStringLiteral("<annotation name=\"%1%2\" value=\"%3\"/>\n")
                      .arg(QLatin1String(kAnnotationPrefix), QLatin1String(name), value.toHtmlEscaped());
}

const char* BusType(ResultKind kind) { return kind == ResultKind::Text ? "s" : "i"; }

// A D-Bus value as a variant of the interface: numbers, truth values and
// texts; anything else (arrays, structures) is refused.
std::optional<Variant> FromBus(QVariant value) {
  if (value.metaType() == QMetaType::fromType<QDBusVariant>()) value = value.value<QDBusVariant>().variant();
  switch (value.metaType().id()) {
    case QMetaType::Bool:
      return Variant(value.toBool());
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
      return Variant(static_cast<std::int64_t>(value.toLongLong()));
    case QMetaType::ULongLong: {
      const qulonglong whole = value.toULongLong();
      if (whole > static_cast<qulonglong>(std::numeric_limits<std::int64_t>::max()))
        return Variant(static_cast<double>(whole));
      return Variant(static_cast<std::int64_t>(whole));
    }
    case QMetaType::Double:
      return Variant(value.toDouble());
    case QMetaType::QString:
      return Variant(value.toString().toStdString());
    default:
      return std::nullopt;
  }
}

QVariant ToBus(const Variant& value, ResultKind kind) {
  if (kind == ResultKind::Text) return QString::fromStdString(value.ToText());
  return value.ToInteger();
}

void ReplyError(const QDBusMessage& message, const QDBusConnection& connection, const char* name,
                const QString& text) {
  connection.send(message.createErrorReply(QString::fromLatin1(name), text));
}

// Calls member with the message's arguments from first on and answers.
void Answer(Board& board, const BoardMember& member, const QDBusMessage& message, const QDBusConnection& connection,
            int first) {
  const QList<QVariant> given = message.arguments();
  if (given.size() - first != static_cast<int>(member.parameters.size())) {
    ReplyError(message, connection, kInvalidArgs,
               QStringLiteral("%1 takes %2 arguments").arg(QLatin1String(member.name)).arg(member.parameters.size()));
    return;
  }
  std::vector<Variant> arguments;
  for (int i = first; i < given.size(); ++i) {
    std::optional<Variant> value = FromBus(given[i]);
    if (!value) {
      ReplyError(message, connection, kInvalidArgs,
                 QStringLiteral("%1: argument %2 is neither a number nor a text")
                     .arg(QLatin1String(member.name))
                     .arg(i - first + 1));
      return;
    }
    arguments.push_back(std::move(*value));
  }
  Variant result;
  const BoardStatus status = Invoke(board, member, arguments, result);
  if (!status) {
    ReplyError(message, connection, kBusFailure, QString::fromStdString(status.message));
    return;
  }
  QDBusMessage reply = message.createReply();
  if (member.kind == MemberKind::PropertyGet)
    reply << QVariant::fromValue(QDBusVariant(ToBus(result, member.result)));
  else if (member.result != ResultKind::None)
    reply << ToBus(result, member.result);
  connection.send(reply);
}

// org.freedesktop.DBus.Properties for the one property, "angle".
void AnswerProperties(Board& board, const QDBusMessage& message, const QDBusConnection& connection) {
  const QList<QVariant> args = message.arguments();
  const QString interface = args.value(0).toString();
  if (!interface.isEmpty() && interface != QLatin1String(kBusInterface)) {
    ReplyError(message, connection, kInvalidArgs, QStringLiteral("No such interface: ") + interface);
    return;
  }
  const QString name = message.member();
  if (name == QLatin1String("GetAll")) {
    Variant heading;
    if (const BoardStatus status = board.get_angle(heading); !status) {
      ReplyError(message, connection, kBusFailure, QString::fromStdString(status.message));
      return;
    }
    QVariantMap all;
    all.insert(QStringLiteral("angle"), heading.ToInteger());
    connection.send(message.createReply(QVariant::fromValue(all)));
    return;
  }
  if (name != QLatin1String("Get") && name != QLatin1String("Set")) {
    ReplyError(message, connection, kUnknownMethod, QStringLiteral("No such method: ") + name);
    return;
  }
  const QString property = args.value(1).toString();
  const BoardMember* member = property == QLatin1String("angle")
                                  ? FindBoardMember("angle", name == QLatin1String("Get") ? MemberKind::PropertyGet
                                                                                          : MemberKind::PropertyPut)
                                  : nullptr;
  if (!member) {
    ReplyError(message, connection, kUnknownProperty, QStringLiteral("No such property: ") + property);
    return;
  }
  Answer(board, *member, message, connection, 2);
}

}  // namespace

QString BoardInterfaceXml() {
  const TypeLibraryFacts& lib = kTypeLibrary;
  const QString in = QStringLiteral("    ");
  QString xml = QStringLiteral("  <interface name=\"%1\">\n").arg(QLatin1String(kBusInterface));
  xml += Annotation(in, "TypeLibrary.Name", QString::fromLatin1(lib.name));
  xml += Annotation(in, "TypeLibrary.HelpString", QString::fromLatin1(lib.helpString));
  xml += Annotation(in, "TypeLibrary.Version", QStringLiteral("%1.%2").arg(lib.majorVersion).arg(lib.minorVersion));
  xml += Annotation(in, "TypeLibrary.Locale", QString::number(lib.locale));
  xml += Annotation(in, "TypeLibrary.Guid", QString::fromLatin1(lib.libraryGuid));
  xml += Annotation(in, "Interface.Name", QString::fromLatin1(lib.interfaceName));
  xml += Annotation(in, "Interface.HelpString", QString::fromLatin1(lib.interfaceHelp));
  xml += Annotation(in, "Interface.Guid", QString::fromLatin1(lib.interfaceGuid));
  xml += Annotation(in, "Interface.Flags", QStringLiteral("dual oleautomation"));
  xml += Annotation(in, "Class.Name", QString::fromLatin1(lib.className));
  xml += Annotation(in, "Class.HelpString", QString::fromLatin1(lib.classHelp));
  xml += Annotation(in, "Class.Guid", QString::fromLatin1(lib.classGuid));
  xml += Annotation(in, "Class.ProgId", QString::fromLatin1(lib.programId));
  const QString deeper = in + in;
  for (const BoardMember& member : BoardMembers()) {
    if (member.kind == MemberKind::PropertyPut) continue;  // one element with the read
    if (member.kind == MemberKind::PropertyGet) {
      xml += in + QStringLiteral("<property name=\"%1\" type=\"%2\" access=\"readwrite\">\n")
                      .arg(Escaped(member.name), QLatin1String(BusType(member.result)));
    } else {
      xml += in + QStringLiteral("<method name=\"%1\">\n").arg(Escaped(member.name));
    }
    xml += Annotation(deeper, "DispId", QString::number(member.dispid));
    xml += Annotation(deeper, "HelpString", QString::fromUtf8(member.help));
    if (member.kind == MemberKind::PropertyGet) {
      xml += Annotation(deeper, "WriteTakes", QStringLiteral("v"));
      xml += in + QStringLiteral("</property>\n");
      continue;
    }
    for (const char* parameter : member.parameters)
      xml += deeper + QStringLiteral("<arg name=\"%1\" type=\"v\" direction=\"in\"/>\n").arg(Escaped(parameter));
    if (member.result != ResultKind::None)
      xml += deeper + QStringLiteral("<arg name=\"result\" type=\"%1\" direction=\"out\"/>\n")
                          .arg(QLatin1String(BusType(member.result)));
    xml += in + QStringLiteral("</method>\n");
  }
  xml += QStringLiteral("  </interface>\n");
  return xml;
}

BoardBusObject::BoardBusObject(std::unique_ptr<Board> board) : board_(std::move(board)) {}

BoardBusObject::~BoardBusObject() = default;

QString BoardBusObject::introspect(const QString&) const { return BoardInterfaceXml(); }

bool BoardBusObject::handleMessage(const QDBusMessage& message, const QDBusConnection& connection) {
  if (message.type() != QDBusMessage::MethodCallMessage) return false;
  const QString interface = message.interface();
  const QString name = message.member();
  if (interface == QLatin1String(kProperties)) {
    AnswerProperties(*board_, message, connection);
    return true;
  }
  if (interface == QLatin1String(kIntrospectable) || interface == QLatin1String(kPeer)) return false;
  if (!interface.isEmpty() && interface != QLatin1String(kBusInterface)) {
    ReplyError(message, connection, kUnknownMethod, QStringLiteral("No such interface: ") + interface);
    return true;
  }
  const QByteArray latin = name.toLatin1();
  const BoardMember* member = nullptr;
  for (const BoardMember& candidate : BoardMembers())
    if (candidate.kind == MemberKind::Method && latin == candidate.name) member = &candidate;
  if (!member) {
    ReplyError(message, connection, kUnknownMethod, QStringLiteral("No such method: ") + name);
    return true;
  }
  Answer(*board_, *member, message, connection, 0);
  return true;
}

BoardBus::BoardBus(QDBusConnection connection, std::unique_ptr<Board> board)
    : connection_(std::move(connection)), object_(std::make_unique<BoardBusObject>(std::move(board))) {
  if (!connection_.isConnected()) {
    problem_ = QStringLiteral("no session bus: ") + connection_.lastError().message();
    return;
  }
  if (!connection_.registerVirtualObject(QLatin1String(kBusPath), object_.get())) {
    problem_ = QStringLiteral("the object %1 is taken").arg(QLatin1String(kBusPath));
    return;
  }
  if (!connection_.registerService(QLatin1String(kBusService))) {
    problem_ = QStringLiteral("the name %1 is taken: ").arg(QLatin1String(kBusService)) +
               connection_.lastError().message();
    connection_.unregisterObject(QLatin1String(kBusPath));
    return;
  }
  serviceOwned_ = true;
  registered_ = true;
}

BoardBus::~BoardBus() {
  if (!registered_) return;
  connection_.unregisterObject(QLatin1String(kBusPath));
  if (serviceOwned_) connection_.unregisterService(QLatin1String(kBusService));
}

}  // namespace pixtrel::automation
