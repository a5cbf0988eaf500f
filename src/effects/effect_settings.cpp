#include "effects/effect_settings.h"

#include <cctype>
#include <cstdint>
#include <string_view>

#include "core/interaction.h"

namespace pixtrel::fx {

namespace {

constexpr EffectSettingRule kRules[] = {
    {"buttonize-depth", "Buttonize Depth...", "ButtonizeDepth1", "Enter Buttonize depth (3-50):", 3, 50, 10,
     &EffectSettings::buttonizeDepth},
    {"buttonize-weight", "Buttonize weight...", "Buttonizeweight1", "Enter Buttonize weight (10-255):", 10, 255, 120,
     &EffectSettings::buttonizeWeight},
    {"fisheye-depth", "Fisheye Depth...", "FisheyeDepth1", "Enter Fisheye depth (10-255):", 10, 255, 40,
     &EffectSettings::fisheyeDepth},
    {"gaussian-depth", "Gaussian Depth...", "GaussianDepth1", "Enter Gaussian blur depth (0-9):", 0, 9, 3,
     &EffectSettings::gaussianDepth},
    {"mosaic-size", "Mosaic Size...", "MosaicSize1", "Enter Mosaic size (2..20):", 2, 20, 3,
     &EffectSettings::mosaicSize},
    {"posterize-depth", "Posterize Depth...", "PosterizeDepth1", "Enter Posterize depth (10-255):", 10, 255, 100,
     &EffectSettings::posterizeDepth},
    {"seamless-depth", "Seamless Depth...", "SeamlessDepth1", "Enter Seamless depth (10-50):", 10, 50, 10,
     &EffectSettings::seamlessDepth},
    {"solarize-depth", "Solarize Depth...", "SolarizeDepth1", "Enter Solarize depth (2-255):", 2, 255, 50,
     &EffectSettings::solarizeDepth},
    {"twist-depth", "Twist Depth...", "TwistDepth1", "Enter Twist depth (1-255):", 1, 255, 40,
     &EffectSettings::twistDepth},
};

// Names and handler names tell the rules apart on the command line and in the
// menu; a copied row that kept either fails the build.
constexpr bool RulesAreDistinct() {
  for (std::size_t i = 0; i < std::size(kRules); ++i) {
    if (kRules[i].low > kRules[i].high) return false;
    for (std::size_t j = 0; j < i; ++j)
      if (std::string_view(kRules[i].name) == kRules[j].name ||
          std::string_view(kRules[i].handler) == kRules[j].handler || kRules[i].field == kRules[j].field)
        return false;
  }
  return true;
}
static_assert(RulesAreDistinct(), "two effect setting rules share a name, handler or setting");

}  // namespace

std::span<const EffectSettingRule> EffectSettingRules() { return kRules; }

const EffectSettingRule* FindEffectSettingRule(const std::string& name) {
  for (const EffectSettingRule& rule : kRules)
    if (name == rule.name) return &rule;
  return nullptr;
}

std::optional<int> ParseInteger(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= text.size()) return std::nullopt;
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    int digit;
    if (std::isdigit(c))
      digit = c - '0';
    else if (base == 16 && std::isxdigit(c))
      digit = std::tolower(c) - 'a' + 10;
    else
      return std::nullopt;
    value = value * base + digit;
    if (value > 0x80000000LL) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > 0x7FFFFFFFLL || value < -0x80000000LL) return std::nullopt;
  return static_cast<int>(value);
}

std::optional<int> TakePromptValue(const EffectSettingRule& rule, const std::string& text) {
  const int value = ParseInteger(text).value_or(rule.fallback);
  if (value < rule.low || value > rule.high) return std::nullopt;
  return value;
}

bool SetFromPrompt(EffectSettings& settings, const EffectSettingRule& rule, const std::string& text) {
  const std::optional<int> value = TakePromptValue(rule, text);
  if (!value) return false;
  settings.*rule.field = *value;
  return true;
}

void EditEffectSetting(EffectSettings& settings, const EffectSettingRule& rule, UserInteraction& ui) {
  const std::optional<std::string> text =
      ui.InputQuery("Effect Settings", rule.prompt, std::to_string(settings.*rule.field));
  if (text) SetFromPrompt(settings, rule, *text);
}

}  // namespace pixtrel::fx
