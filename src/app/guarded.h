// The program's general error rule for commands: an error raised by a menu
// command, button or slider ends in a message box and the program goes on.
#pragma once

#include <exception>

#include "core/interaction.h"

namespace pixtrel {

template <typename Fn>
void Guarded(Fn&& fn) {
  try {
    fn();
  } catch (const std::exception& e) {
    Interaction().ShowMessage(e.what());
  }
}

}  // namespace pixtrel
