// The program's general error handler: an error raised by a menu command,
// button or slider ends in a message box and the program goes on.
#pragma once

#include <exception>
#include <new>

#include "core/errors.h"
#include "core/interaction.h"

namespace pixtrel {

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

}  // namespace pixtrel
