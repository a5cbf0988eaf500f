// Opening and saving in tests as a user who answers nothing: messages are
// dropped, questions and prompts declined.
#pragma once

#include "core/scripted_interaction.h"

namespace pixtrel::test {

// A script without answers: every question and prompt is declined.
inline UserInteraction& Silent() {
  static ScriptedInteraction silent;
  return silent;
}

}  // namespace pixtrel::test
