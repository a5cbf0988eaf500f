// pixtrel-cli overlay and blend: an overlay image placed over IN, painted or
// glued into it, or cross-faded with it as the "Blender" tab does.
#include <optional>
#include <ostream>

#include "cli/cli.h"
#include "cli/command_line.h"
#include "core/bitmap.h"
#include "io/formats.h"
#include "io/image_io.h"
#include "workspace/overlay.h"
#include "workspace/saving.h"
#include "workspace/workspace.h"

namespace pixtrel::cli {

const char kOverlayOptions[] =
    "\n"
    "Options of overlay and blend:\n"
    "  --at X,Y             the overlay's top-left corner over IN, in pixels\n"
    "                       (default 200,200); the colour of its bottom-left pixel\n"
    "                       is left out\n"
    "  --glue               overlay: widen and heighten IN to reach the overlay's\n"
    "                       right and bottom edges first\n"
    "  --amount N           blend: 0 gives the overlay on white, 100 IN unchanged\n"
    "                       (each channel (100 - N)% overlay layer + N% IN)\n";

namespace {

struct OverlayLine {
  std::string in, overlay, out;
  Point at = Overlay::kStartPosition;
  bool glue = false;
  std::optional<int> amount;
};

Point ParsePoint(const std::string& text, const std::string& option) {
  const std::size_t comma = text.find(',');
  if (comma == std::string::npos) throw UsageError{option + " takes X,Y"};
  return {ParseInt(text.substr(0, comma), option, -100000, 100000),
          ParseInt(text.substr(comma + 1), option, -100000, 100000)};
}

OverlayLine ParseOverlay(const std::vector<std::string>& args, bool blend) {
  OverlayLine line;
  std::vector<std::string> positional;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--at") {
      line.at = ParsePoint(OptionValue(args, i), arg);
    } else if (arg == "--glue" && !blend) {
      line.glue = true;
    } else if (arg == "--amount" && blend) {
      line.amount = ParseInt(OptionValue(args, i), arg, 0, 100);
    } else if (arg.size() > 1 && arg[0] == '-') {
      throw UsageError{"unknown option " + arg};
    } else {
      positional.push_back(arg);
    }
  }
  const std::string name = blend ? "blend" : "overlay";
  if (positional.size() != 3) throw UsageError{name + " takes IN, OVERLAY and OUT"};
  if (blend && !line.amount) throw UsageError{"blend needs --amount N"};
  line.in = positional[0];
  line.overlay = positional[1];
  line.out = positional[2];
  return line;
}

int RunOverlay(const Invocation& call, bool blend) {
  const OverlayLine line = ParseOverlay(call.args, blend);
  std::ostream& err = call.err;
  for (const std::string* path : {&line.in, &line.overlay}) {
    const std::string ext = ExtractExtension(*path);
    if (!CanLoadExtension(ext)) {
      err << "error: no reader for the extension \"" << ext << "\" of " << *path << '\n';
      return kExitUsage;
    }
  }
  const std::string outExt = ExtractExtension(line.out);
  if (!CanSaveExtension(outExt)) {
    err << "error: no writer for the format \"" << outExt << "\"\n";
    return kExitUsage;
  }
  Workspace workspace;
  workspace.SetKeepsUndo(false);
  workspace.SetPixelLimit(call.maxPixels);
  LoadImageFile(line.in, workspace.Image(), call.interaction, call.maxPixels, call.opening);
  Overlay overlay;
  LoadOverlay(line.overlay, overlay, call.interaction, call.maxPixels);
  for (const auto& [image, path] : {std::pair{&workspace.Image(), &line.in}, {&overlay.Image(), &line.overlay}})
    if (image->Empty()) {
      err << "error: nothing was loaded from " << *path << '\n';
      return kExitError;
    }
  overlay.MoveTo(line.at.X, line.at.Y);
  Bitmap result;
  if (blend) {
    result = BlendPreview(workspace, overlay, *line.amount);
  } else {
    if (line.glue)
      GlueOverlay(workspace, overlay);
    else
      PaintOverlay(workspace, overlay);
    result = std::move(workspace.Image());
  }
  SaveOptions options;
  return SaveAndReport(call, line.out, result, outExt, options);
}

}  // namespace

int OverlayCommand(const Invocation& call) { return RunOverlay(call, false); }

int BlendCommand(const Invocation& call) { return RunOverlay(call, true); }

}  // namespace pixtrel::cli
