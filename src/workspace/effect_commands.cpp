#include "workspace/effect_commands.h"

#include <charconv>

#include "core/interaction.h"
#include "effects/buttonize.h"
#include "effects/convolution.h"
#include "effects/geometric.h"
#include "effects/point_effects.h"

namespace pixtrel {

namespace {

// PrepareEdit, one operation on WorkBitmap, CommitEdit.
template <class Operation>
void Edit(const EffectRun& r, Operation operation) {
  r.workspace.PrepareEdit();
  operation(r.workspace.WorkBitmap());
  r.workspace.CommitEdit();
}

// For the effects that read an untouched source and write WorkBitmap.
template <class Operation>
void EditFromCopy(const EffectRun& r, Operation operation) {
  r.workspace.PrepareEdit();
  const Bitmap source = r.workspace.WorkBitmap();
  operation(source, r.workspace.WorkBitmap());
  r.workspace.CommitEdit();
}

void Convolve(const EffectRun& r, int kernel) {
  Edit(r, [&](Bitmap& b) { fx::Convolve3x3(b, fx::Kernel(kernel)); });
}

void Shadow(const EffectRun& r, fx::ShadowDirection direction) {
  Edit(r, [&](Bitmap& b) { fx::CastShadow(b, direction); });
}

void Button(const EffectRun& r, const char* style, bool masked) {
  Edit(r, [&](Bitmap& b) {
    fx::ButtonizeOval(b, r.settings.buttonizeDepth & 0xFF, r.settings.buttonizeWeight, style);
    if (masked) fx::MaskOval(b, clWhite);
  });
}

// Without a colour the colour dialog asks; cancelled, nothing happens.
void MaskOvalColor(const EffectRun& r) {
  const std::optional<Color> color = r.argument.empty() ? r.ui.ChooseColor(clWhite) : ParseHtmlColor(r.argument);
  if (!color) return;
  const Color plain = *color & 0xFFFFFF;
  Edit(r, [&](Bitmap& b) { fx::MaskOval(b, plain); });
}

constexpr EffectMenu kFx = EffectMenu::Effects;
constexpr EffectMenu kSettingsMenu = EffectMenu::EffectSettings;
constexpr EffectMenu kElsewhere = EffectMenu::Elsewhere;
using R = const EffectRun&;

// clang-format off
constexpr EffectCommand kCommands[] = {
    {"lighter", kFx, nullptr, "Lighter", "Lighter1", "F5", nullptr, false,
     [](R r) { Edit(r, [](Bitmap& b) { fx::Lighten(b, 25); }); }},
    {"darker", kFx, nullptr, "Darker", "Darker1", "F6", nullptr, false,
     [](R r) { Edit(r, [](Bitmap& b) { fx::Darken(b, 25); }); }},
    {"contrast", kFx, nullptr, "Contrast", "Contrast1", "F7", nullptr, false,
     [](R r) { Edit(r, [](Bitmap& b) { fx::AdjustContrast(b, 25); }); }},
    {"saturation", kFx, nullptr, "Saturation", "Saturation1", "F8", nullptr, false,
     [](R r) { Edit(r, [](Bitmap& b) { fx::AdjustSaturation(b, 225); }); }},
    {"posterize", kFx, "Colorize", "&Posterize", "Posterize1", nullptr, nullptr, false,
     [](R r) { EditFromCopy(r, [&](const Bitmap& src, Bitmap& b) { fx::Posterize(src, b, r.settings.posterizeDepth); }); }},
    {"solarize", kFx, "Colorize", "&Solarize", "Solarize1", nullptr, nullptr, false,
     [](R r) { EditFromCopy(r, [&](const Bitmap& src, Bitmap& b) { fx::Solarize(src, b, r.settings.solarizeDepth); }); }},
    {"invert", kFx, "Colorize", "&Invert", "Invert1", nullptr, nullptr, false,
     [](R r) { Edit(r, [](Bitmap& b) { fx::InvertColors(b); }); }},
    {"grayscale", kFx, "Colorize", "&Grayscale", "Grayscale1", nullptr, nullptr, false,
     [](R r) { Edit(r, [](Bitmap& b) { fx::ToGrayscale(b); }); }},
    {"anti-alias", kFx, "Focus", "&Anti Alias", "AntiAlias1", nullptr, nullptr, false,
     [](R r) { Edit(r, [](Bitmap& b) { fx::AntiAlias(b); }); }},
    {"blur", kFx, "Focus", "&Blur", "Blur1", nullptr, nullptr, false,
     [](R r) { Convolve(r, fx::kBlur); }},
    {"gaussian-blur", kFx, "Focus", "&Gaussian Blur", "GaussianBlur1", nullptr, nullptr, false,
     [](R r) { Edit(r, [&](Bitmap& b) { fx::GaussianBlur(b, r.settings.gaussianDepth); }); }},
    {"sharpen", kFx, "Focus", "S&harpen", "Sharpen1", nullptr, nullptr, false,
     [](R r) { Convolve(r, fx::kSharpen); }},
    {"soften", kFx, "Focus", "&Soften", "soften1", nullptr, nullptr, false,
     [](R r) { Convolve(r, fx::kSoften); }},
    {"soften-less", kFx, "Focus", "Soften &Less", "SoftenLess1", nullptr, nullptr, false,
     [](R r) { Convolve(r, fx::kSoftenLess); }},
    {"color-emboss", kFx, "Edge", "&Color Emboss", "ColorEmboss1", nullptr, nullptr, false,
     [](R r) { Convolve(r, fx::kColorEmboss); }},
    {"edge-enhance", kFx, "Edge", "&Edge Enhance", "EdgeEnhance1", nullptr, nullptr, false,
     [](R r) { Convolve(r, fx::kEdgeEnhance); }},
    {"emboss", kFx, "Edge", "Emboss", "Emboss1", nullptr, nullptr, false,
     [](R r) { Edit(r, [](Bitmap& b) { fx::Emboss(b); }); }},
    {"find-edges", kFx, "Edge", "&Find Edges", "FindEdges1", nullptr, nullptr, false,
     [](R r) { Convolve(r, fx::kFindEdges); }},
    {"highpass", kFx, "Edge", "&Highpass", "Highpass1", nullptr, nullptr, false,
     [](R r) { Convolve(r, fx::kHighpass); }},
    {"laplace", kFx, "Edge", "&Laplace", "Laplace1", nullptr, nullptr, false,
     [](R r) { Convolve(r, fx::kLaplace); }},
    {"trace", kFx, "Edge", "&Trace", "Trace1", nullptr, nullptr, false,
     [](R r) { Edit(r, [](Bitmap& b) { fx::Trace(b, 1, clBlack); }); }},
    {"flip-down", kFx, "Flip", "&Down", "Down1", nullptr, nullptr, false,
     [](R r) { Edit(r, [](Bitmap& b) { fx::FlipVertical(b); }); }},
    {"flip-right", kFx, "Flip", "&Right", "Right1", nullptr, nullptr, false,
     [](R r) { Edit(r, [](Bitmap& b) { fx::FlipHorizontal(b); }); }},
    {"mirror-right", kFx, "Mirror", "&Right", "Right2", nullptr, nullptr, false,
     [](R r) { Edit(r, [](Bitmap& b) { fx::MirrorRight(b); }); }},
    {"mirror-down", kFx, "Mirror", "&Down", "Down2", nullptr, nullptr, false,
     [](R r) { Edit(r, [](Bitmap& b) { fx::MirrorDown(b); }); }},
    {"fisheye", kFx, "Distortions", "&Fisheye", "Fisheye1", nullptr, nullptr, false,
     [](R r) { EditFromCopy(r, [&](const Bitmap& src, Bitmap& b) { fx::Fisheye(src, b, r.settings.fisheyeDepth / 255.0); }); }},
    {"mosaic", kFx, "Distortions", "Mosaic", "Mosaic1", nullptr, nullptr, false,
     [](R r) { Edit(r, [&](Bitmap& b) { fx::Mosaic(b, r.settings.mosaicSize); }); }},
    {"twist", kFx, "Distortions", "&Twist", "Twist1", nullptr, nullptr, false,
     [](R r) { EditFromCopy(r, [&](const Bitmap& src, Bitmap& b) { fx::Twist(src, b, r.settings.twistDepth); }); }},
    {"wipe", kFx, "Distortions", "&Whipe", "Triangles1", nullptr, nullptr, false,
     [](R r) { Edit(r, [](Bitmap& b) { fx::Wipe(b, 50); }); }},
    {"shadow-up-right", kFx, "Shadow", "Up right", "Upright1", nullptr, nullptr, false,
     [](R r) { Shadow(r, fx::ShadowDirection::UpRight); }},
    {"shadow-up-left", kFx, "Shadow", "Up left", "Upleft1", nullptr, nullptr, false,
     [](R r) { Shadow(r, fx::ShadowDirection::UpLeft); }},
    {"shadow-down-left", kFx, "Shadow", "Down left", "Downleft1", nullptr, nullptr, false,
     [](R r) { Shadow(r, fx::ShadowDirection::DownLeft); }},
    {"shadow-down-right", kFx, "Shadow", "Down right", "Downright1", nullptr, nullptr, false,
     [](R r) { Shadow(r, fx::ShadowDirection::DownRight); }},
    {"seamless", kFx, nullptr, "Seamless", "Seamless1", nullptr, nullptr, false,
     [](R r) { Edit(r, [&](Bitmap& b) { fx::MakeSeamless(b, r.settings.seamlessDepth & 0xFF); }); }},
    {"buttonize-rectangle", kFx, "Buttonize", "Rectangle", "Buttonize1", nullptr, nullptr, false,
     [](R r) { Edit(r, [&](Bitmap& b) { fx::ButtonizeRect(b, r.settings.buttonizeDepth & 0xFF, r.settings.buttonizeWeight); }); }},
    {"buttonize-oval", kFx, "Buttonize", "Oval", "Oval1", nullptr, nullptr, false,
     [](R r) { Button(r, "round", false); }},
    {"buttonize-oval-masked", kFx, "Buttonize", "Oval Masked", "ButonizeOval1", nullptr, nullptr, false,
     [](R r) { Button(r, "round", true); }},
    {"buttonize-oval-rimmed", kFx, "Buttonize", "Oval Rimmed", "Ovalrimmed1", nullptr, nullptr, false,
     [](R r) { Button(r, "rimmed", false); }},
    {"buttonize-oval-rimmed-masked", kFx, "Buttonize", "Oval Rimmed masked", "ButtonizeOvalRimmed1", nullptr, nullptr, false,
     [](R r) { Button(r, "rimmed", true); }},
    {"buttonize-oval-frame", kFx, "Buttonize", "Oval Frame", "OvalDouble1", nullptr, nullptr, false,
     [](R r) { Button(r, "doubleround", true); }},
    {"mask-oval", kFx, nullptr, "Mask Oval", "MaskOval1", nullptr, nullptr, false,
     [](R r) { Edit(r, [](Bitmap& b) { fx::MaskOval(b, clWhite); }); }},
    {"mask-oval-color", kSettingsMenu, nullptr, "Mask Oval color...", "MaskOvalcolor1", nullptr, "#RRGGBB", false,
     MaskOvalColor},
    {"turn", kElsewhere, "Edit", "&Turn", nullptr, nullptr, nullptr, false,
     [](R r) { r.workspace.Turn(); }},
    {"resize", kElsewhere, "Options", "Resize &Image...", nullptr, nullptr, "WxH", true,
     [](R r) { if (const auto size = ParseSize(r.argument)) r.workspace.ResampleImageTo(size->first, size->second); }},
    {"make-square", kElsewhere, "Options", "Make &Square", nullptr, nullptr, nullptr, false,
     [](R r) { r.workspace.MakeSquare(); }},
};
// clang-format on

constexpr bool Same(const char* a, const char* b) {
  if (!a || !b) return a == b;
  return std::string_view(a) == std::string_view(b);
}

// The rules a row must keep for the menu and the command line to be made
// from it: a slip in the table fails the build instead of dropping an item.
constexpr bool TableIsSound() {
  const std::size_t n = std::size(kCommands);
  for (std::size_t i = 0; i < n; ++i) {
    const EffectCommand& c = kCommands[i];
    if (!c.name || !c.caption || !c.run) return false;
    for (const char ch : std::string_view(c.name))
      if (!((ch >= 'a' && ch <= 'z') || ch == '-')) return false;
    const bool shown = c.menu != EffectMenu::Elsewhere;
    // Shown items carry their handler name; the listing needs a menu for the others.
    if (shown != (c.handler != nullptr)) return false;
    if (!shown && !c.submenu) return false;
    if (c.argumentRequired && !c.argument) return false;
    if (i > 0 && c.menu < kCommands[i - 1].menu) return false;  // menu order
    for (std::size_t j = 0; j < i; ++j) {
      const EffectCommand& d = kCommands[j];
      if (Same(c.name, d.name)) return false;
      if (c.handler && Same(c.handler, d.handler)) return false;
      if (c.shortcut && Same(c.shortcut, d.shortcut)) return false;
      // One submenu's items stand together: a submenu that came back after
      // another would show twice.
      if (c.menu == EffectMenu::Effects && c.submenu && Same(c.submenu, d.submenu) && j + 1 < i &&
          !Same(kCommands[i - 1].submenu, c.submenu))
        return false;
    }
  }
  return true;
}
static_assert(TableIsSound(), "an effect command row breaks the table's rules");

std::optional<int> WholeNumber(std::string_view text) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::span<const EffectCommand> EffectCommands() { return kCommands; }

const EffectCommand* FindEffectCommand(std::string_view name) {
  for (const EffectCommand& command : kCommands)
    if (name == command.name) return &command;
  return nullptr;
}

std::string EffectListCaption(const EffectCommand& command) {
  std::string text = command.submenu ? std::string(command.submenu) + " > " : std::string();
  for (const char* c = command.caption; *c; ++c)
    if (*c != '&') text += *c;
  return text;
}

std::optional<Color> ParseHtmlColor(const std::string& text) {
  if (text.size() != 7 || text[0] != '#') return std::nullopt;
  unsigned value = 0;
  const auto [end, ec] = std::from_chars(text.data() + 1, text.data() + 7, value, 16);
  if (ec != std::errc() || end != text.data() + 7) return std::nullopt;
  return RGB(static_cast<int>(value >> 16), static_cast<int>((value >> 8) & 0xFF), static_cast<int>(value & 0xFF));
}

std::optional<std::pair<int, int>> ParseSize(const std::string& text) {
  const std::size_t x = text.find_first_of("xX");
  if (x == std::string::npos) return std::nullopt;
  const auto width = WholeNumber(std::string_view(text).substr(0, x));
  const auto height = WholeNumber(std::string_view(text).substr(x + 1));
  if (!width || !height) return std::nullopt;
  return std::make_pair(*width, *height);
}

std::optional<std::string> CheckEffectArgument(const EffectCommand& command, const std::string& argument) {
  const std::string name = command.name;
  if (!command.argument) {
    if (!argument.empty()) return name + " takes no argument";
    return std::nullopt;
  }
  if (argument.empty()) {
    if (command.argumentRequired) return name + " needs " + command.argument;
    return std::nullopt;
  }
  const bool fits = std::string_view(command.argument) == "WxH" ? ParseSize(argument).has_value()
                                                                : ParseHtmlColor(argument).has_value();
  if (!fits) return name + " takes " + command.argument + ", not \"" + argument + "\"";
  return std::nullopt;
}

void RunEffectCommand(Workspace& workspace, const fx::EffectSettings& settings, const EffectCommand& command,
                      UserInteraction& ui, const std::string& argument) {
  command.run(EffectRun{workspace, settings, ui, argument});
}

}  // namespace pixtrel
