#include "shapes/stamp_command.h"

#include <charconv>
#include <optional>
#include <ostream>

#include "core/bitmap.h"
#include "core/interaction.h"
#include "io/formats.h"
#include "io/image_io.h"
#include "workspace/saving.h"
#include "shapes/shape_controller.h"
#include "shapes/zep_shape.h"

namespace pixtrel::shapes {

namespace {

constexpr int kDone = 0;
constexpr int kError = 1;
constexpr int kUsage = 2;

struct UsageProblem {
  std::string message;
};

int Integer(const std::string& text, const std::string& option, int low, int high) {
  int value = 0;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  const auto [end, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || end != last || first == last || value < low || value > high)
    throw UsageProblem{option + " takes a whole number from " + std::to_string(low) + " to " + std::to_string(high)};
  return value;
}

// "#RRGGBB", red first.
Color ColourValue(const std::string& text, const std::string& option) {
  unsigned value = 0;
  if (text.size() == 7 && text[0] == '#') {
    const auto [end, ec] = std::from_chars(text.data() + 1, text.data() + 7, value, 16);
    if (ec == std::errc() && end == text.data() + 7)
      return RGB(int(value >> 16) & 0xFF, int(value >> 8) & 0xFF, int(value) & 0xFF);
  }
  throw UsageProblem{option + " takes a colour #RRGGBB"};
}

bool OnOff(const std::string& text, const std::string& option) {
  if (text == "on") return true;
  if (text == "off") return false;
  throw UsageProblem{option + " takes on or off"};
}

template <class Enum>
Enum Named(std::optional<Enum> value, const std::string& text, const std::string& option) {
  if (!value) throw UsageProblem{option + ": unknown name " + text + " (see pixtrel-cli stamp --list)"};
  return *value;
}

void List(std::ostream& out) {
  out << "Kinds (--kind):\n";
  for (int i = 0; i < kShapeTypeCount; ++i) out << "  " << ShapeTypeName(static_cast<ZepShapeType>(i)) << '\n';
  out << "Gradient patterns (--gradient):\n";
  for (int i = 0; i < kFillDirectionCount; ++i)
    out << "  " << FillDirectionName(static_cast<ZepFillDirection>(i)) << '\n';
  out << "Brush styles (--brush-style):";
  for (int i = bsSolid; i <= bsDiagCross; ++i) out << ' ' << BrushStyleName(static_cast<BrushStyle>(i));
  out << "\nPen styles (--pen-style):";
  for (int i = psSolid; i <= psInsideFrame; ++i) out << ' ' << PenStyleName(static_cast<PenStyle>(i));
  out << '\n';
}

int Stamp(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::vector<std::string> positional;
  ZepShape shape;
  std::optional<ZepShapeType> kind;
  bool haveBox = false, haveUserVector = false;
  std::optional<bool> centered;
  bool captionPlaced = false;
  pixtrel::Brush brush = shape.Brush();
  pixtrel::Pen pen = shape.Pen();
  pixtrel::Font font = shape.Font();
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw UsageProblem{arg + " needs a value"};
      return args[++i];
    };
    if (arg == "--list") {
      List(out);
      return kDone;
    } else if (arg == "--kind") {
      const std::string& name = value();
      kind = Named(ShapeTypeFromName(name), name, arg);
    } else if (arg == "--box") {
      const std::string& text = value();
      int numbers[4];
      std::size_t start = 0;
      for (int k = 0; k < 4; ++k) {
        const std::size_t comma = k < 3 ? text.find(',', start) : text.size();
        if (comma == std::string::npos) throw UsageProblem{"--box takes X,Y,W,H"};
        numbers[k] = Integer(text.substr(start, comma - start), arg, k < 2 ? -100000 : 0, 100000);
        start = comma + 1;
      }
      shape.SetBounds(numbers[0], numbers[1], numbers[2], numbers[3]);
      haveBox = true;
    } else if (arg == "--brush") {
      brush.color = ColourValue(value(), arg);
    } else if (arg == "--brush-style") {
      const std::string& name = value();
      brush.style = Named(BrushStyleFromName(name), name, arg);
    } else if (arg == "--pen") {
      pen.color = ColourValue(value(), arg);
    } else if (arg == "--pen-width") {
      pen.width = Integer(value(), arg, 0, 1000);
    } else if (arg == "--pen-style") {
      const std::string& name = value();
      pen.style = Named(PenStyleFromName(name), name, arg);
    } else if (arg == "--gradient") {
      const std::string& name = value();
      shape.SetFillDirection(Named(FillDirectionFromName(name), name, arg));
      shape.SetGradient(true);
    } else if (arg == "--gradient-color") {
      shape.SetGradientColor(ColourValue(value(), arg));
    } else if (arg == "--caption") {
      shape.SetCaption(value());
    } else if (arg == "--caption-centered") {
      centered = OnOff(value(), arg);
    } else if (arg == "--caption-x") {
      shape.SetCaptionX(Integer(value(), arg, -100000, 100000));
      captionPlaced = true;
    } else if (arg == "--caption-y") {
      shape.SetCaptionY(Integer(value(), arg, -100000, 100000));
      captionPlaced = true;
    } else if (arg == "--caption-angle") {
      shape.SetCaptionAngle(Integer(value(), arg, -360, 360));
    } else if (arg == "--font") {
      font.name = value();
    } else if (arg == "--font-size") {
      font.SetSize(Integer(value(), arg, 1, 1000));
    } else if (arg == "--font-color") {
      font.color = ColourValue(value(), arg);
    } else if (arg == "--bold") {
      font.bold = true;
    } else if (arg == "--italic") {
      font.italic = true;
    } else if (arg == "--underline") {
      font.underline = true;
    } else if (arg == "--user-vector") {
      const std::string& text = value();
      if (!ParseUserVector(text)) throw UsageProblem{"--user-vector takes NAME=x,y,... with 1 to 50 pairs of numbers"};
      shape.SetUserVectorString(text);
      haveUserVector = true;
    } else if (arg == "--polyline") {
      shape.SetPolyLineMode(true);
    } else if (arg.size() > 1 && arg[0] == '-') {
      throw UsageProblem{"unknown option " + arg};
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != 2) throw UsageProblem{"stamp takes IN and OUT"};
  if (!kind && !haveUserVector) throw UsageProblem{"stamp needs --kind NAME"};
  if (!haveBox) throw UsageProblem{"stamp needs --box X,Y,W,H"};
  shape.SetShape(kind.value_or(zstUser));
  shape.SetBrush(brush);
  shape.SetPen(pen);
  shape.SetFont(font);
  // A placed caption is one the mouse moved: no longer centred.
  shape.SetCaptionCentered(centered.value_or(!captionPlaced));

  const std::string& in = positional[0];
  const std::string& target = positional[1];
  const std::string inExt = ExtractExtension(in), outExt = ExtractExtension(target);
  if (!CanLoadExtension(inExt)) {
    err << "error: no reader for the extension \"" << inExt << "\" of " << in << '\n';
    return kUsage;
  }
  if (!CanSaveExtension(outExt)) {
    err << "error: no writer for the format \"" << outExt << "\"\n";
    return kUsage;
  }
  Bitmap image;
  LoadImageFile(in, image, Interaction());
  if (image.Empty()) {
    err << "error: nothing was loaded from " << in << '\n';
    return kError;
  }
  PaintShape(shape, image);
  SaveOptions options;
  switch (SaveDisplayedImage(target, image, outExt, options, Interaction())) {
    case SaveOutcome::Written:
      out << target << '\n';
      return kDone;
    case SaveOutcome::Abandoned:
      err << "error: the save of " << target << " was abandoned; nothing was written\n";
      return kError;
    case SaveOutcome::UnknownFormat:
      break;
  }
  err << "error: no writer for the format \"" << outExt << "\"\n";
  return kUsage;
}

}  // namespace

const char* StampUsage() {
  return "Options of stamp IN OUT (paints one shape into IN and saves OUT):\n"
         "  --kind NAME          outline kind (zstRectangle ...); see stamp --list\n"
         "  --box X,Y,W,H        the shape's place and size in image pixels\n"
         "  --brush #RRGGBB      fill colour (white)   --brush-style bsSolid|bsClear|...\n"
         "  --pen #RRGGBB        outline colour (black) --pen-width N (1)\n"
         "  --pen-style psSolid|psDash|...\n"
         "  --gradient PATTERN   fill with a gradient (zgdUp ...) from the brush colour\n"
         "  --gradient-color #RRGGBB  the gradient's second colour (black)\n"
         "  --caption TEXT       caption; --caption-centered on|off (on)\n"
         "  --caption-x N --caption-y N  place of a rotated caption (turns centring off)\n"
         "  --caption-angle N    degrees counter-clockwise\n"
         "  --font NAME --font-size POINTS --font-color #RRGGBB --bold --italic --underline\n"
         "  --user-vector \"NAME=x,y,...\"  free polygon of box fractions (kind zstUser)\n"
         "  --polyline           draw the free polygon open and unfilled\n"
         "  stamp --list         the kinds, patterns and styles\n";
}

int RunStampCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  try {
    return Stamp(args, out, err);
  } catch (const UsageProblem& problem) {
    err << "error: " << problem.message << "\nRun \"pixtrel-cli --help\" for usage.\n";
    return kUsage;
  }
}

}  // namespace pixtrel::shapes
