#include "automation/page_bridge.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <cmath>
#include <limits>
#include <optional>
#include <set>
#include <vector>

#include "automation/board_interface.h"

namespace pixtrel::automation {

namespace {

// The page's half of the bridge; MEMBERS and PROPERTIES are filled in from
// the member table, MARKER with kBridgeMarker. Numbers that are not finite
// travel as their text so that the member refuses them as no number, as it
// does any other text that is none.
constexpr char kScript[] = R"JS((function () {
  "use strict";
  var marker = MARKER;
  var methods = METHODS;
  var properties = PROPERTIES;
  function argument(value) {
    if (value === undefined || value === null) return null;
    if (typeof value === "number") return isFinite(value) ? value : String(value);
    if (typeof value === "string" || typeof value === "boolean") return value;
    return String(value);
  }
  function call(member, kind, args) {
    var list = [];
    for (var i = 0; i < args.length; ++i) list.push(argument(args[i]));
    var reply = window.prompt(marker, JSON.stringify({member: member, kind: kind, args: list}));
    var answer = null;
    try { answer = JSON.parse(reply); } catch (e) { answer = null; }
    if (!answer || typeof answer !== "object") throw new Error("The drawing interface did not answer");
    if (!answer.ok) throw new Error(answer.error);
    return answer.result;
  }
  function own(table, name) {
    return typeof name === "string" && Object.prototype.hasOwnProperty.call(table, name.toLowerCase());
  }
  var board = new Proxy({}, {
    get: function (target, name) {
      if (own(properties, name)) return call(properties[name.toLowerCase()], "get", []);
      if (own(methods, name)) {
        var member = methods[name.toLowerCase()];
        return function () { return call(member, "method", arguments); };
      }
      return undefined;
    },
    set: function (target, name, value) {
      if (!own(properties, name)) return false;
      call(properties[name.toLowerCase()], "put", [value]);
      return true;
    },
    has: function (target, name) { return own(methods, name) || own(properties, name); }
  });
  try {
    Object.defineProperty(window, "external", {value: board, configurable: true, enumerable: true, writable: false});
  } catch (e) {
    window.external = board;
  }
})();
)JS";

QString Replaced(QString text, const char* placeholder, const QJsonValue& value) {
  QJsonArray holder{value};
  QByteArray json = QJsonDocument(holder).toJson(QJsonDocument::Compact);
  json = json.mid(1, json.size() - 2);  // the value without the array's brackets
  return text.replace(QLatin1String(placeholder), QString::fromUtf8(json));
}

std::optional<Variant> FromJson(const QJsonValue& value) {
  switch (value.type()) {
    case QJsonValue::Null:
    case QJsonValue::Undefined:
      return Variant();
    case QJsonValue::Bool:
      return Variant(value.toBool());
    case QJsonValue::String:
      return Variant(value.toString().toStdString());
    case QJsonValue::Double: {
      const double number = value.toDouble();
      if (number == std::trunc(number) && number >= std::numeric_limits<std::int32_t>::min() &&
          number <= std::numeric_limits<std::int32_t>::max())
        return Variant(static_cast<std::int64_t>(number));
      return Variant(number);
    }
    default:
      return std::nullopt;
  }
}

std::string Answer(const QJsonObject& answer) {
  return QJsonDocument(answer).toJson(QJsonDocument::Compact).toStdString();
}

std::string Failure(const std::string& message) {
  return Answer(QJsonObject{{QStringLiteral("ok"), false}, {QStringLiteral("error"), QString::fromStdString(message)}});
}

std::string Malformed() {
  return Failure(MessageWithContext(EAutomationError(AutomationError::UnknownMember, "a malformed call")));
}

}  // namespace

std::string BridgeScript() {
  QJsonObject methods;
  QJsonObject properties;
  for (const BoardMember& member : BoardMembers()) {
    const QString name = QString::fromLatin1(member.name);
    (member.kind == MemberKind::Method ? methods : properties).insert(name.toLower(), name);
  }
  QString script = QString::fromUtf8(kScript);
  script = Replaced(script, "MARKER", QString::fromLatin1(kBridgeMarker));
  script = Replaced(script, "METHODS", methods);
  script = Replaced(script, "PROPERTIES", properties);
  return script.toStdString();
}

std::string AnswerBridgeCall(Board& board, std::string_view json) {
  QJsonParseError error{};
  const QJsonDocument document =
      QJsonDocument::fromJson(QByteArray(json.data(), static_cast<qsizetype>(json.size())), &error);
  if (error.error != QJsonParseError::NoError || !document.isObject()) return Malformed();
  const QJsonObject call = document.object();
  const QString kindText = call.value(QStringLiteral("kind")).toString();
  MemberKind kind = MemberKind::Method;
  if (kindText == QStringLiteral("get")) {
    kind = MemberKind::PropertyGet;
  } else if (kindText == QStringLiteral("put")) {
    kind = MemberKind::PropertyPut;
  } else if (kindText != QStringLiteral("method")) {
    return Malformed();
  }
  const std::string name = call.value(QStringLiteral("member")).toString().toStdString();
  const BoardMember* member = FindBoardMember(name, kind);
  if (!member) return Failure(MessageWithContext(EAutomationError(AutomationError::UnknownMember, name)));

  std::vector<Variant> arguments;
  for (const QJsonValue& given : call.value(QStringLiteral("args")).toArray()) {
    std::optional<Variant> argument = FromJson(given);
    if (!argument) return Malformed();
    arguments.push_back(std::move(*argument));
  }
  Variant result;
  const BoardStatus status = Invoke(board, *member, arguments, result);
  if (!status) return Failure(status.message);
  QJsonObject answer{{QStringLiteral("ok"), true}};
  if (member->result == ResultKind::Integer) answer.insert(QStringLiteral("result"), result.ToInteger());
  if (member->result == ResultKind::Text)
    answer.insert(QStringLiteral("result"), QString::fromStdString(result.ToText()));
  return Answer(answer);
}

}  // namespace pixtrel::automation
