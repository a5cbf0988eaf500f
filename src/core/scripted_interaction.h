// An interaction layer that answers from a script: a queue of answers per kind
// of question, and a record of everything shown or asked. Tests use it, and
// pixtrel-cli fills it from its options.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "core/interaction.h"

namespace pixtrel {

class ScriptedInteraction : public UserInteraction {
 public:
  void ShowMessage(const std::string& text) override;
  // Recorded in messages, its caption in captions and titles.
  void ShowMessageBox(const std::string& caption, const std::string& text) override;
  bool Confirm(const std::string& text) override;
  std::optional<std::string> InputQuery(const std::string& caption, const std::string& prompt,
                                        const std::string& value) override;
  std::optional<std::string> PasswordQuery(const std::string& caption, const std::string& prompt) override;
  std::optional<IconColors> ChooseIconColors(IconColors preselected) override;
  std::optional<Color> ChooseColor(Color start) override;

  // Answers, taken in order; when a queue is empty the default answers.
  std::deque<bool> confirmations;
  bool defaultConfirmation = false;
  std::deque<std::optional<std::string>> inputs;
  std::deque<std::optional<std::string>> passwords;
  std::deque<std::optional<IconColors>> iconChoices;
  std::deque<std::optional<Color>> colors;

  // What the logic showed and asked, in order.
  std::vector<std::string> messages;
  // The caption of every message: the program's own ("") or one given.
  std::vector<std::string> captions;
  std::vector<std::string> titles;  // the captions given, in order
  std::vector<std::string> questions;
  std::vector<std::string> prompts;
};

}  // namespace pixtrel
