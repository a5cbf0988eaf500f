// The drawing interface on the D-Bus session bus: the service
// "org.pixtrel.Pixtrel10" with the object "/Board", whose interface
// "org.pixtrel.Pixtrel10.IBoard" has IBoard's members in interface order,
// their arguments in the same order and each a variant, converted by the
// member as any client's variants are. Results come back as return values
// (a number as int32, a colour as a string); the heading is the read-write
// property "angle" of type int32, which takes any variant when written. A
// member that fails answers with the error "org.pixtrel.Pixtrel10.Error.Failed"
// carrying its message. The introspection data names each member's dispatch
// identifier and the type library's facts in annotations.
#pragma once

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QString>
#include <memory>

#include "automation/board.h"

namespace pixtrel::automation {

inline constexpr char kBusService[] = "org.pixtrel.Pixtrel10";
inline constexpr char kBusPath[] = "/Board";
inline constexpr char kBusInterface[] = "org.pixtrel.Pixtrel10.IBoard";
inline constexpr char kBusFailure[] = "org.pixtrel.Pixtrel10.Error.Failed";

// The <interface> element of the introspection data.
QString BoardInterfaceXml();

// The object at kBusPath: answers the interface's calls with board, and the
// properties and introspection calls for it.
class BoardBusObject : public QDBusVirtualObject {
 public:
  explicit BoardBusObject(std::unique_ptr<Board> board);
  ~BoardBusObject() override;

  QString introspect(const QString& path) const override;
  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

 private:
  std::unique_ptr<Board> board_;
};

// The board registered on a connection for as long as it lives.
class BoardBus {
 public:
  BoardBus(QDBusConnection connection, std::unique_ptr<Board> board);
  ~BoardBus();
  BoardBus(const BoardBus&) = delete;
  BoardBus& operator=(const BoardBus&) = delete;

  // Whether the service and the object were registered; otherwise why not.
  bool Registered() const { return registered_; }
  const QString& Problem() const { return problem_; }

 private:
  QDBusConnection connection_;
  std::unique_ptr<BoardBusObject> object_;
  bool serviceOwned_ = false;
  bool registered_ = false;
  QString problem_;
};

}  // namespace pixtrel::automation
