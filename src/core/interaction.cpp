#include "core/interaction.h"

#include "core/scripted_interaction.h"

namespace pixtrel {

namespace {

template <typename T>
T TakeFront(std::deque<T>& queue, T fallback) {
  if (queue.empty()) return fallback;
  T answer = std::move(queue.front());
  queue.pop_front();
  return answer;
}

}  // namespace

void ScriptedInteraction::ShowMessage(const std::string& text) {
  messages.push_back(text);
  captions.emplace_back();
}

void ScriptedInteraction::ShowMessageBox(const std::string& caption, const std::string& text) {
  messages.push_back(text);
  captions.push_back(caption);
  titles.push_back(caption);
}

bool ScriptedInteraction::Confirm(const std::string& text) {
  questions.push_back(text);
  return TakeFront(confirmations, defaultConfirmation);
}

std::optional<std::string> ScriptedInteraction::InputQuery(const std::string& caption, const std::string& prompt,
                                                           const std::string&) {
  prompts.push_back(caption + ": " + prompt);
  return TakeFront(inputs, std::optional<std::string>());
}

std::optional<std::string> ScriptedInteraction::PasswordQuery(const std::string& caption, const std::string& prompt) {
  prompts.push_back(caption + ": " + prompt);
  return TakeFront(passwords, std::optional<std::string>());
}

std::optional<IconColors> ScriptedInteraction::ChooseIconColors(IconColors) {
  prompts.push_back("Icon Options");
  return TakeFront(iconChoices, std::optional<IconColors>());
}

std::optional<Color> ScriptedInteraction::ChooseColor(Color) {
  prompts.push_back("Color");
  return TakeFront(colors, std::optional<Color>());
}

}  // namespace pixtrel
