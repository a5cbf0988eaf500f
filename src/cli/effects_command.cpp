// pixtrel-cli effects, and the lists of effects and settings in --help: both
// made from the effect command table and the settings rules.
#include <ostream>

#include "cli/cli.h"
#include "cli/command_line.h"
#include "effects/effect_settings.h"
#include "workspace/effect_commands.h"

namespace pixtrel::cli {

namespace {

// A name padded to a column of 30, or followed by one blank when longer.
std::string Padded(const std::string& name) { return name + std::string(name.size() < 30 ? 30 - name.size() : 1, ' '); }

// Names in lines of at most 78 columns, continued under the first name.
void AppendWrapped(std::string& text, const char* title, const std::vector<std::string>& items) {
  text += title;
  std::size_t column = 9;
  for (const std::string& item : items) {
    if (column + 1 + item.size() > 78) {
      text += "\n         ";
      column = 9;
    } else {
      text += ' ';
      ++column;
    }
    text += item;
    column += item.size();
  }
}

}  // namespace

int EffectsCommand(const Invocation& call) {
  if (call.args.size() != 1) throw UsageError{"effects takes no arguments"};
  std::ostream& out = call.out;
  out << "Effects (--apply NAME[=ARG]):\n";
  for (const EffectCommand& command : EffectCommands()) {
    std::string name = command.name;
    if (command.argument) name += std::string("=") + command.argument;
    out << "  " << Padded(name) << EffectListCaption(command) << '\n';
  }
  out << "Settings (--set NAME=VALUE):\n";
  const fx::EffectSettings defaults;
  for (const fx::EffectSettingRule& rule : fx::EffectSettingRules())
    out << "  " << Padded(rule.name) << rule.low << " to " << rule.high << ", start " << defaults.*rule.field
        << ", not a number: " << rule.fallback << '\n';
  return kExitDone;
}

std::string EffectsAppendix() {
  std::vector<std::string> effects;
  for (const EffectCommand& command : EffectCommands()) {
    std::string item = command.name;
    if (command.argument)
      item +=
          command.argumentRequired ? std::string("=") + command.argument : std::string("[=") + command.argument + "]";
    effects.push_back(item);
  }
  std::vector<std::string> settings;
  for (const fx::EffectSettingRule& rule : fx::EffectSettingRules()) settings.push_back(rule.name);
  std::string text;
  AppendWrapped(text, "\nEffects:", effects);
  AppendWrapped(text, "\nSettings:", settings);
  text += '\n';
  return text;
}

}  // namespace pixtrel::cli
