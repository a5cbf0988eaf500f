#include "workspace/effect_commands.h"

#include <charconv>

#include "core/interaction.h"
#include "effects/buttonize.h"
#include "effects/convolution.h"
#include "effects/geometric.h"
#include "effects/point_effects.h"

namespace pixtrel {

namespace {

using fx::EffectSettings;

// PrepareEdit, one operation on WorkBitmap, CommitEdit.
template <class Operation>
void Edit(Workspace& ws, Operation operation) {
  ws.PrepareEdit();
  operation(ws.WorkBitmap());
  ws.CommitEdit();
}

// For the effects that read an untouched source and write WorkBitmap.
template <class Operation>
void EditFromCopy(Workspace& ws, Operation operation) {
  ws.PrepareEdit();
  const Bitmap source = ws.WorkBitmap();
  operation(source, ws.WorkBitmap());
  ws.CommitEdit();
}

void Convolve(Workspace& ws, int kernel) {
  Edit(ws, [&](Bitmap& b) { fx::Convolve3x3(b, fx::Kernel(kernel)); });
}

void Shadow(Workspace& ws, fx::ShadowDirection direction) {
  Edit(ws, [&](Bitmap& b) { fx::CastShadow(b, direction); });
}

void Button(Workspace& ws, const EffectSettings& s, const char* style, bool masked) {
  Edit(ws, [&](Bitmap& b) {
    fx::ButtonizeOval(b, s.buttonizeDepth & 0xFF, s.buttonizeWeight, style);
    if (masked) fx::MaskOval(b, clWhite);
  });
}

#define RUN [](Workspace & ws, const EffectSettings& s, const std::string& arg)

constexpr EffectCommand kCommands[] = {{"lighter", "Lighter", nullptr, false, RUN{(void)s, (void)arg;
Edit(ws, [](Bitmap& b) { fx::Lighten(b, 25); });
}  // namespace
}  // namespace pixtrel
, {"darker", "Darker", nullptr, false, RUN{(void)s, (void)arg;
Edit(ws, [](Bitmap& b) { fx::Darken(b, 25); });
}
}
, {"contrast", "Contrast", nullptr, false, RUN{(void)s, (void)arg;
Edit(ws, [](Bitmap& b) { fx::AdjustContrast(b, 25); });
}
}
, {"saturation", "Saturation", nullptr, false, RUN{(void)s, (void)arg;
Edit(ws, [](Bitmap& b) { fx::AdjustSaturation(b, 225); });
}
}
, {"posterize", "Colorize > Posterize", nullptr, false, RUN{(void)arg;
EditFromCopy(ws, [&](const Bitmap& src, Bitmap& b) { fx::Posterize(src, b, s.posterizeDepth); });
}
}
, {"solarize", "Colorize > Solarize", nullptr, false, RUN{(void)arg;
EditFromCopy(ws, [&](const Bitmap& src, Bitmap& b) { fx::Solarize(src, b, s.solarizeDepth); });
}
}
, {"invert", "Colorize > Invert", nullptr, false, RUN{(void)s, (void)arg;
Edit(ws, [](Bitmap& b) { fx::InvertColors(b); });
}
}
, {"grayscale", "Colorize > Grayscale", nullptr, false, RUN{(void)s, (void)arg;
Edit(ws, [](Bitmap& b) { fx::ToGrayscale(b); });
}
}
, {"anti-alias", "Focus > Anti Alias", nullptr, false, RUN{(void)s, (void)arg;
Edit(ws, [](Bitmap& b) { fx::AntiAlias(b); });
}
}
, {"blur", "Focus > Blur", nullptr, false, RUN{(void)s, (void)arg;
Convolve(ws, fx::kBlur);
}
}
, {"gaussian-blur", "Focus > Gaussian Blur", nullptr, false, RUN{(void)arg;
Edit(ws, [&](Bitmap& b) { fx::GaussianBlur(b, s.gaussianDepth); });
}
}
, {"sharpen", "Focus > Sharpen", nullptr, false, RUN{(void)s, (void)arg;
Convolve(ws, fx::kSharpen);
}
}
, {"soften", "Focus > Soften", nullptr, false, RUN{(void)s, (void)arg;
Convolve(ws, fx::kSoften);
}
}
, {"soften-less", "Focus > Soften Less", nullptr, false, RUN{(void)s, (void)arg;
Convolve(ws, fx::kSoftenLess);
}
}
, {"color-emboss", "Edge > Color Emboss", nullptr, false, RUN{(void)s, (void)arg;
Convolve(ws, fx::kColorEmboss);
}
}
, {"edge-enhance", "Edge > Edge Enhance", nullptr, false, RUN{(void)s, (void)arg;
Convolve(ws, fx::kEdgeEnhance);
}
}
, {"emboss", "Edge > Emboss", nullptr, false, RUN{(void)s, (void)arg;
Edit(ws, [](Bitmap& b) { fx::Emboss(b); });
}
}
, {"find-edges", "Edge > Find Edges", nullptr, false, RUN{(void)s, (void)arg;
Convolve(ws, fx::kFindEdges);
}
}
, {"highpass", "Edge > Highpass", nullptr, false, RUN{(void)s, (void)arg;
Convolve(ws, fx::kHighpass);
}
}
, {"laplace", "Edge > Laplace", nullptr, false, RUN{(void)s, (void)arg;
Convolve(ws, fx::kLaplace);
}
}
, {"trace", "Edge > Trace", nullptr, false, RUN{(void)s, (void)arg;
Edit(ws, [](Bitmap& b) { fx::Trace(b, 1, clBlack); });
}
}
, {"flip-down", "Flip > Down", nullptr, false, RUN{(void)s, (void)arg;
Edit(ws, [](Bitmap& b) { fx::FlipVertical(b); });
}
}
, {"flip-right", "Flip > Right", nullptr, false, RUN{(void)s, (void)arg;
Edit(ws, [](Bitmap& b) { fx::FlipHorizontal(b); });
}
}
, {"mirror-right", "Mirror > Right", nullptr, false, RUN{(void)s, (void)arg;
Edit(ws, [](Bitmap& b) { fx::MirrorRight(b); });
}
}
, {"mirror-down", "Mirror > Down", nullptr, false, RUN{(void)s, (void)arg;
Edit(ws, [](Bitmap& b) { fx::MirrorDown(b); });
}
}
, {"fisheye", "Distortions > Fisheye", nullptr, false, RUN{(void)arg;
EditFromCopy(ws, [&](const Bitmap& src, Bitmap& b) { fx::Fisheye(src, b, s.fisheyeDepth / 255.0); });
}
}
, {"mosaic", "Distortions > Mosaic", nullptr, false, RUN{(void)arg;
Edit(ws, [&](Bitmap& b) { fx::Mosaic(b, s.mosaicSize); });
}
}
, {"twist", "Distortions > Twist", nullptr, false, RUN{(void)arg;
EditFromCopy(ws, [&](const Bitmap& src, Bitmap& b) { fx::Twist(src, b, s.twistDepth); });
}
}
, {"wipe", "Distortions > Whipe", nullptr, false, RUN{(void)s, (void)arg;
Edit(ws, [](Bitmap& b) { fx::Wipe(b, 50); });
}
}
, {"shadow-up-right", "Shadow > Up right", nullptr, false, RUN{(void)s, (void)arg;
Shadow(ws, fx::ShadowDirection::UpRight);
}
}
, {"shadow-up-left", "Shadow > Up left", nullptr, false, RUN{(void)s, (void)arg;
Shadow(ws, fx::ShadowDirection::UpLeft);
}
}
, {"shadow-down-left", "Shadow > Down left", nullptr, false, RUN{(void)s, (void)arg;
Shadow(ws, fx::ShadowDirection::DownLeft);
}
}
, {"shadow-down-right", "Shadow > Down right", nullptr, false, RUN{(void)s, (void)arg;
Shadow(ws, fx::ShadowDirection::DownRight);
}
}
, {"seamless", "Seamless", nullptr, false, RUN{(void)arg;
Edit(ws, [&](Bitmap& b) { fx::MakeSeamless(b, s.seamlessDepth & 0xFF); });
}
}
, {"buttonize-rectangle", "Buttonize > Rectangle", nullptr, false, RUN{(void)arg;
Edit(ws, [&](Bitmap& b) { fx::ButtonizeRect(b, s.buttonizeDepth & 0xFF, s.buttonizeWeight); });
}
}
, {"buttonize-oval", "Buttonize > Oval", nullptr, false, RUN{(void)arg;
Button(ws, s, "round", false);
}
}
, {"buttonize-oval-masked", "Buttonize > Oval Masked", nullptr, false, RUN{(void)arg;
Button(ws, s, "round", true);
}
}
, {"buttonize-oval-rimmed", "Buttonize > Oval Rimmed", nullptr, false, RUN{(void)arg;
Button(ws, s, "rimmed", false);
}
}
, {"buttonize-oval-rimmed-masked", "Buttonize > Oval Rimmed masked", nullptr, false, RUN{(void)arg;
Button(ws, s, "rimmed", true);
}
}
, {"buttonize-oval-frame", "Buttonize > Oval Frame", nullptr, false, RUN{(void)arg;
Button(ws, s, "doubleround", true);
}
}
, {"mask-oval", "Mask Oval", nullptr, false, RUN{(void)s, (void)arg;
Edit(ws, [](Bitmap& b) { fx::MaskOval(b, clWhite); });
}
}
, {"mask-oval-color", "Mask Oval color...", "#RRGGBB", false, RUN{(void)s;
// Without a colour the colour dialog asks; cancelled, nothing happens.
std::optional<Color> color = arg.empty() ? Interaction().ChooseColor(clWhite) : ParseHtmlColor(arg);
if (!color) return;
const Color plain = *color & 0xFFFFFF;
Edit(ws, [&](Bitmap& b) { fx::MaskOval(b, plain); });
}
}
, {"turn", "Edit > Turn", nullptr, false, RUN{(void)s, (void)arg;
ws.Turn();
}
}
, {"resize", "Options > Resize Image...", "WxH", true, RUN{(void)s;
if (const auto size = ParseSize(arg)) ws.ResampleImageTo(size->first, size->second);
}
}
, {"make-square", "Options > Make Square", nullptr, false, RUN{(void)s, (void)arg;
ws.MakeSquare();
}
}
,
}
;

#undef RUN

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
  const bool fits = name == "resize" ? ParseSize(argument).has_value() : ParseHtmlColor(argument).has_value();
  if (!fits) return name + " takes " + command.argument + ", not \"" + argument + "\"";
  return std::nullopt;
}

void RunEffectCommand(Workspace& workspace, const fx::EffectSettings& settings, const EffectCommand& command,
                      const std::string& argument) {
  command.run(workspace, settings, argument);
}

}  // namespace pixtrel
