// pixtrel-cli stamp: the options of one shape, painted into an image as
// "Paint Shape" does.
#include <optional>
#include <ostream>

#include "cli/cli.h"
#include "cli/command_line.h"
#include "core/bitmap.h"
#include "io/formats.h"
#include "io/image_io.h"
#include "shapes/stamp.h"
#include "shapes/zep_shape.h"
#include "workspace/effect_commands.h"
#include "workspace/saving.h"

namespace pixtrel::cli {

using namespace shapes;

namespace {

Color ColourValue(const std::string& text, const std::string& option) {
  if (const std::optional<Color> color = ParseHtmlColor(text)) return *color;
  throw UsageError{option + " takes a colour #RRGGBB"};
}

bool OnOff(const std::string& text, const std::string& option) {
  if (text == "on") return true;
  if (text == "off") return false;
  throw UsageError{option + " takes on or off"};
}

template <class Enum>
Enum Named(std::optional<Enum> value, const std::string& text, const std::string& option) {
  if (!value) throw UsageError{option + ": unknown name " + text + " (see pixtrel-cli stamp --list)"};
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

struct StampLine {
  bool list = false;  // "--list": print the names and stop
  std::string in;
  std::string out;
  StampRequest request;
};

}  // namespace

bool ParseStampOption(const std::vector<std::string>& args, std::size_t& i, StampRequest& r, bool& haveBox) {
  const std::string& arg = args[i];
  auto value = [&]() -> const std::string& { return OptionValue(args, i); };
  if (arg == "--kind") {
    const std::string& name = value();
    r.kind = Named(ShapeTypeFromName(name), name, arg);
  } else if (arg == "--box") {
    const std::string& text = value();
    int numbers[4];
    std::size_t start = 0;
    for (int k = 0; k < 4; ++k) {
      const std::size_t comma = k < 3 ? text.find(',', start) : text.size();
      if (comma == std::string::npos) throw UsageError{"--box takes X,Y,W,H"};
      numbers[k] = ParseInt(text.substr(start, comma - start), arg, k < 2 ? -100000 : 0, 100000);
      start = comma + 1;
    }
    r.left = numbers[0];
    r.top = numbers[1];
    r.width = numbers[2];
    r.height = numbers[3];
    haveBox = true;
  } else if (arg == "--brush") {
    r.brushColor = ColourValue(value(), arg);
  } else if (arg == "--brush-style") {
    const std::string& name = value();
    r.brushStyle = Named(BrushStyleFromName(name), name, arg);
  } else if (arg == "--pen") {
    r.penColor = ColourValue(value(), arg);
  } else if (arg == "--pen-width") {
    r.penWidth = ParseInt(value(), arg, 0, 1000);
  } else if (arg == "--pen-style") {
    const std::string& name = value();
    r.penStyle = Named(PenStyleFromName(name), name, arg);
  } else if (arg == "--gradient") {
    const std::string& name = value();
    r.gradient = Named(FillDirectionFromName(name), name, arg);
  } else if (arg == "--gradient-color") {
    r.gradientColor = ColourValue(value(), arg);
  } else if (arg == "--caption") {
    r.caption = value();
  } else if (arg == "--caption-centered") {
    r.captionCentered = OnOff(value(), arg);
  } else if (arg == "--caption-x") {
    r.captionX = ParseInt(value(), arg, -100000, 100000);
  } else if (arg == "--caption-y") {
    r.captionY = ParseInt(value(), arg, -100000, 100000);
  } else if (arg == "--caption-angle") {
    r.captionAngle = ParseInt(value(), arg, -360, 360);
  } else if (arg == "--font") {
    r.fontName = value();
  } else if (arg == "--font-size") {
    r.fontSize = ParseInt(value(), arg, 1, 1000);
  } else if (arg == "--font-color") {
    r.fontColor = ColourValue(value(), arg);
  } else if (arg == "--bold") {
    r.bold = true;
  } else if (arg == "--italic") {
    r.italic = true;
  } else if (arg == "--underline") {
    r.underline = true;
  } else if (arg == "--user-vector") {
    const std::string& text = value();
    if (!ParseUserVector(text)) throw UsageError{"--user-vector takes NAME=x,y,... with 1 to 50 pairs of numbers"};
    r.userVector = text;
  } else if (arg == "--polyline") {
    r.polyLine = true;
  } else {
    return false;
  }
  return true;
}

namespace {

StampLine ParseStamp(const std::vector<std::string>& args) {
  StampLine line;
  std::vector<std::string> positional;
  bool haveBox = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--list") {
      line.list = true;
      return line;
    } else if (ParseStampOption(args, i, line.request, haveBox)) {
      continue;
    } else if (arg.size() > 1 && arg[0] == '-') {
      throw UsageError{"unknown option " + arg};
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != 2) throw UsageError{"stamp takes IN and OUT"};
  if (!line.request.kind && !line.request.userVector) throw UsageError{"stamp needs --kind NAME"};
  if (!haveBox) throw UsageError{"stamp needs --box X,Y,W,H"};
  line.in = positional[0];
  line.out = positional[1];
  return line;
}

}  // namespace

std::string StampAppendix() {
  return "\n"
         "Options of stamp IN OUT (paints one shape into IN and saves OUT):\n"
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

int StampCommand(const Invocation& call) {
  const StampLine line = ParseStamp(call.args);
  std::ostream& out = call.out;
  std::ostream& err = call.err;
  if (line.list) {
    List(out);
    return kExitDone;
  }
  const std::string inExt = ExtractExtension(line.in), outExt = ExtractExtension(line.out);
  if (!CanLoadExtension(inExt)) {
    err << "error: no reader for the extension \"" << inExt << "\" of " << line.in << '\n';
    return kExitUsage;
  }
  if (!CanSaveExtension(outExt)) {
    err << "error: no writer for the format \"" << outExt << "\"\n";
    return kExitUsage;
  }
  Bitmap image;
  LoadImageFile(line.in, image, call.interaction, call.maxPixels, call.opening);
  if (image.Empty()) {
    err << "error: nothing was loaded from " << line.in << '\n';
    return kExitError;
  }
  StampShape(line.request, image);
  SaveOptions options;
  return SaveAndReport(call, line.out, image, outExt, options);
}

}  // namespace pixtrel::cli
