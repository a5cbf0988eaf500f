// The program's general error handler: an error raised by a menu command,
// button or slider ends in a message box and the program goes on.
#pragma once

#include <exception>
#include <new>

#include "core/errors.h"
#include "core/interaction.h"

namespace pixtrel {

// The text the handler shows for an error: the fixed message, and the
// context (a path, an offset) beside it.
inline std::string ErrorText(const std::exception& error) {
  if (const auto* own = dynamic_cast<const Exception*>(&error)) return MessageWithContext(*own);
  return error.what();
}

template <typename Fn>
void Guarded(UserInteraction& interaction, Fn&& fn) {
  try {
    fn();
  } catch (const std::bad_alloc&) {
    interaction.ShowMessage("Out of memory");
  } catch (const std::exception& e) {
    interaction.ShowMessage(ErrorText(e));
  }
}

template <typename Fn>
void Guarded(Fn&& fn) {
  Guarded(Interaction(), std::forward<Fn>(fn));
}

}  // namespace pixtrel
