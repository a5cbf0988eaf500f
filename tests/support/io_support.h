// Opening and saving in tests as a user who answers nothing: messages are
// dropped, questions and prompts declined.
#pragma once

#include "core/interaction.h"

namespace pixtrel::test {

inline UserInteraction& Silent() {
  static SilentInteraction silent;
  return silent;
}

}  // namespace pixtrel::test
