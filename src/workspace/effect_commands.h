// The effect commands as one table: command-line name, where the desktop
// program shows each (menu, submenu, caption, handler name, shortcut), what
// argument it takes and the call it makes inside the workspace's edit frame.
// The Effects menu, pixtrel-cli's --apply, its effect listing and its help
// are all made from this table.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/color.h"
#include "effects/effect_settings.h"
#include "workspace/workspace.h"

namespace pixtrel {

class UserInteraction;

// The menu of the desktop program that shows a command.
enum class EffectMenu {
  Effects,         // "&Effects", in its submenu when the row names one
  EffectSettings,  // "Effect Settings" under "&Tools", after the nine prompts
  Elsewhere,       // an Edit or Options command the main window places itself
};

// What a command runs with.
struct EffectRun {
  Workspace& workspace;
  const fx::EffectSettings& settings;
  UserInteraction& ui;
  const std::string& argument;  // empty, or one CheckEffectArgument accepted
};

struct EffectCommand {
  const char* name;  // command-line name, "gaussian-blur"
  EffectMenu menu;
  // The submenu of "&Effects" ("Focus"), nullptr for an item directly in its
  // menu; for a command placed elsewhere, the menu its listing names ("Edit").
  const char* submenu;
  const char* caption;   // as the menu shows it, with its accelerator: "&Gaussian Blur"
  const char* handler;   // the menu item's object name, "GaussianBlur1"; nullptr when placed elsewhere
  const char* shortcut;  // "F5", or nullptr
  const char* argument;  // what NAME=ARG takes ("WxH", "#RRGGBB"), or nullptr
  bool argumentRequired;
  void (*run)(const EffectRun& run);
};

// Every command: the Effects menu's items in menu order, then the Effect
// Settings menu's, then those placed elsewhere.
std::span<const EffectCommand> EffectCommands();
// nullptr for an unknown name.
const EffectCommand* FindEffectCommand(std::string_view name);

// The caption as pixtrel-cli lists it: the submenu, " > " and the caption
// without its accelerator ("Focus > Gaussian Blur").
std::string EffectListCaption(const EffectCommand& command);

// Why an argument does not suit the command, or nothing when it does.
std::optional<std::string> CheckEffectArgument(const EffectCommand& command, const std::string& argument);

// Runs a command with an argument CheckEffectArgument accepted. A command
// that asks (the colour of "Mask Oval color..." without an argument) asks ui.
void RunEffectCommand(Workspace& workspace, const fx::EffectSettings& settings, const EffectCommand& command,
                      UserInteraction& ui, const std::string& argument = std::string());

// "#RRGGBB" (red first) as a colour.
std::optional<Color> ParseHtmlColor(const std::string& text);
// "WxH" as two whole numbers.
std::optional<std::pair<int, int>> ParseSize(const std::string& text);

}  // namespace pixtrel
