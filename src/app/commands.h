// Menu commands as every window makes them: the caption with its "&", the
// handler's name as the object name (tests and the wiring find items by it),
// and the shortcut.
#pragma once

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QString>

namespace pixtrel {

// A command owned by parent; shortcut may be nullptr.
inline QAction* NewCommand(QObject* parent, const char* caption, const char* name, const char* shortcut = nullptr) {
  auto* action = new QAction(QString::fromUtf8(caption), parent);
  action->setObjectName(QString::fromLatin1(name));
  if (shortcut) action->setShortcut(QKeySequence(QString::fromLatin1(shortcut)));
  return action;
}

// A command added to menu that runs owner's handler when chosen.
template <typename Owner>
QAction* AddCommand(QMenu* menu, Owner* owner, const char* caption, const char* name, const char* shortcut,
                    void (Owner::*run)()) {
  QAction* action = NewCommand(menu, caption, name, shortcut);
  menu->addAction(action);
  QObject::connect(action, &QAction::triggered, owner, [owner, run] { (owner->*run)(); });
  return action;
}

}  // namespace pixtrel
