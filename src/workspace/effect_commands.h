// The effect commands of the menus as one table: command-line name, menu
// caption and the call each makes inside the workspace's edit frame.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/color.h"
#include "effects/effect_settings.h"
#include "workspace/workspace.h"

namespace pixtrel {

struct EffectCommand {
  const char* name;      // "gaussian-blur"
  const char* caption;   // "Focus > Gaussian Blur"
  const char* argument;  // what NAME=ARG takes ("WxH", "#RRGGBB"), or nullptr
  bool argumentRequired;
  void (*run)(Workspace& workspace, const fx::EffectSettings& settings, const std::string& argument);
};

std::span<const EffectCommand> EffectCommands();
const EffectCommand* FindEffectCommand(std::string_view name);

// Why an argument does not suit the command, or nothing when it does.
std::optional<std::string> CheckEffectArgument(const EffectCommand& command, const std::string& argument);

// Runs a command with an argument CheckEffectArgument accepted.
void RunEffectCommand(Workspace& workspace, const fx::EffectSettings& settings, const EffectCommand& command,
                      const std::string& argument = std::string());

// "#RRGGBB" (red first) as a colour.
std::optional<Color> ParseHtmlColor(const std::string& text);
// "WxH" as two whole numbers.
std::optional<std::pair<int, int>> ParseSize(const std::string& text);

}  // namespace pixtrel
