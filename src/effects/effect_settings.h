// The nine effect parameters the Effect Settings prompts edit, held in memory
// while the program runs, and the rule by which a prompt's text is taken.
#pragma once

#include <optional>
#include <span>
#include <string>

namespace pixtrel {
class UserInteraction;
}

namespace pixtrel::fx {

struct EffectSettings {
  int seamlessDepth = 10;
  int buttonizeDepth = 10;
  int buttonizeWeight = 120;
  int mosaicSize = 3;
  int gaussianDepth = 0;
  int twistDepth = 40;
  int fisheyeDepth = 40;
  int posterizeDepth = 100;
  int solarizeDepth = 50;
};

// One setting as its prompt presents it.
struct EffectSettingRule {
  const char* name;     // command-line name, "posterize-depth"
  const char* caption;  // menu item, "Posterize Depth..."
  const char* handler;  // the menu item's object name, "PosterizeDepth1"
  const char* prompt;   // "Enter Posterize depth (10-255):"
  int low;              // accepted range, bounds included
  int high;
  int fallback;  // taken when the text is not an integer
  int EffectSettings::*field;
};

// The nine rules in menu order.
std::span<const EffectSettingRule> EffectSettingRules();
// nullptr for an unknown name.
const EffectSettingRule* FindEffectSettingRule(const std::string& name);

// The prompt rule: the text as an integer, or the fallback when it is not
// one; the result only if it lies in the accepted range.
std::optional<int> TakePromptValue(const EffectSettingRule& rule, const std::string& text);
// Applies the rule to the setting; false when the setting kept its value.
bool SetFromPrompt(EffectSettings& settings, const EffectSettingRule& rule, const std::string& text);
// Asks the user with the caption "Effect Settings", the prompt and the
// current value; cancel changes nothing.
void EditEffectSetting(EffectSettings& settings, const EffectSettingRule& rule, UserInteraction& ui);

// The text to integer conversion of the prompts: optional blanks and sign,
// decimal digits or "$" and hexadecimal digits, within the 32-bit range.
std::optional<int> ParseInteger(const std::string& text);

}  // namespace pixtrel::fx
