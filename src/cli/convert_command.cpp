// pixtrel-cli convert, batch and info: open and save through the program's
// own tables, with the conversion choices of the optimize windows as options.
#include <signal.h>

#include <algorithm>
#include <csignal>
#include <exception>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>

#include "cli/cli.h"
#include "cli/command_line.h"
#include "codecs/png/png_object.h"
#include "core/bitmap.h"
#include "core/cores.h"
#include "core/errors.h"
#include "core/stream.h"
#include "effects/effect_settings.h"
#include "gif/color_reduction.h"
#include "io/batch.h"
#include "io/batch_manifest.h"
#include "io/formats.h"
#include "io/image_io.h"
#include "io/session.h"
#include "shapes/stamp.h"
#include "shapes/zep_shape.h"
#include "workspace/effect_commands.h"
#include "workspace/image_info.h"
#include "workspace/png_transparency.h"
#include "workspace/saving.h"
#include "workspace/workspace.h"

namespace pixtrel::cli {

const char kConvertOptions[] =
    "\n"
    "Options of convert:\n"
    "  --format EXT         format to write (.BMP, bmp, ...); default: OUT's extension\n"
    "  --jpeg-quality N     JPEG quality, 1 to 100 (default 50); also of WebP and AVIF\n"
    "  --webp-lossless      write WebP lossless (default: lossy at --jpeg-quality)\n"
    "  --gif-reduction MODE colours of a GIF: none, windows20, halftone256, gray4,\n"
    "                       monochrome, gray256, netscape216 (default), optimized,\n"
    "                       optimized-windows256\n"
    "  --gif-dither MODE    nearest (default), floyd-steinberg, stucki, sierra,\n"
    "                       jajuni, stevearche, burkes\n"
    "  --gif-bits N         colours of --gif-reduction optimized: 2^N, N 3 to 8 (default 8)\n"
    "  --gif-transparent on|off  the bottom-left pixel's colour transparent (default on)\n"
    "  --png-text TEXT      the PNG text saved as the \"description\" of a PNG; default:\n"
    "                       the first text of IN when IN is a PNG, else none\n"
    "  --password-file FILE the password of encrypted IN and OUT (.xgif, .xjpg,\n"
    "                       .xpng): the file's bytes, one trailing line break removed;\n"
    "                       without it the password is asked on the terminal\n"
    "  --apply EFFECT[=ARG] run an effect on the image before saving; repeatable,\n"
    "                       run in the order given, each in the edit frame\n"
    "  --set NAME=VALUE     an effect setting, taken as its prompt takes it (a value\n"
    "                       out of range keeps the setting); all are set first\n"
    "  --icon-colors 16|256 colours of an ICO (the icon options window; default 256)\n"
    "  --no-resize          answer No to \"Icon must be 32x32. Resize now?\": an ICO\n"
    "                       of an image that is not 32x32 is then not written;\n"
    "                       without it the image is resampled to 32x32 (Yes)\n"
    "  --alpha N            write a PNG with an alpha channel of N everywhere, 0\n"
    "                       (transparent) to 255 (opaque), as the PNG tab saves it\n"
    "  --alpha-shape [SHAPE OPTIONS]\n"
    "                       write a PNG whose alpha is the shape's mask: the shape\n"
    "                       (stamp's options --kind, --brush, --pen, ...; no --box)\n"
    "                       fills the image, white parts transparent, black opaque\n";

const char kBatchOptions[] =
    "\n"
    "Options of batch:\n"
    "  --overwrite          replace existing targets (default: skip them)\n"
    "  --jobs N             convert on N threads (1 to 64) with the result of one job\n"
    "                       (default: one per core)\n"
    "  --shard K/N          convert only the K-th (1 to N) of N slices of the files;\n"
    "                       the N runs of the same FILE list convert each file once\n"
    "                       (files with one target stay in one slice)\n"
    "  --manifest FILE      write one JSON line per file reached: source, target,\n"
    "                       status (written, skipped, failed), bytes and sha256 of\n"
    "                       the target, message\n"
    "  --jpeg-quality, --webp-lossless, --gif-reduction, --gif-dither, --gif-bits,\n"
    "  --gif-transparent, --password-file  as for convert\n"
    "  --png-text TEXT      the text of every PNG target; default: each target carries\n"
    "                       the first text of its own source when that is a PNG\n";

namespace {

// A password file's bytes without one trailing line break (LF or CR LF).
// Read as text, so that a pipe ("--password-file <(pass show ...)") serves.
std::string ReadPasswordFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw EFOpenError(path);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!text.empty() && text.back() == '\n') {
    text.pop_back();
    if (!text.empty() && text.back() == '\r') text.pop_back();
  }
  return text;
}

// The names with separator between them and last before the last one:
// ("BMP, GIF, JPG or PNG", "BMP|GIF|JPG|PNG").
std::string JoinedNames(const std::vector<std::string>& names, const std::string& separator, const std::string& last) {
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? last : separator;
    text += names[i];
  }
  return text;
}

std::string NormalizeFormat(const std::string& format) {
  std::string ext = format;
  if (ext.empty() || ext[0] != '.') ext = "." + ext;
  return UpperCase(ext);
}

struct ConvertOptions {
  std::vector<std::string> positional;
  std::optional<std::string> format;
  int jpegQuality = 50;
  bool webpLossless = false;
  gif::ReductionMode gifReduction = gif::Netscape216;
  gif::DitherMode gifDither = gif::Nearest;
  int gifBits = 8;
  bool gifTransparent = true;
  std::optional<std::string> pngText;
  std::optional<std::string> passwordFile;
  std::optional<IconColors> iconColors;
  bool resizeIcons = true;
  // --apply, in order: the command and its argument.
  std::vector<std::pair<const EffectCommand*, std::string>> effects;
  // --set, in order: the rule and the text.
  std::vector<std::pair<const fx::EffectSettingRule*, std::string>> settings;
  // --alpha N or --alpha-shape with the shape's options: the PNG tab's save.
  std::optional<int> alpha;
  bool alphaShape = false;
  bool shapeOptions = false;
  shapes::StampRequest shape;
};

// In the order of the reduction and dither mode values.
constexpr const char* kGifReductions[] = {"none",        "windows20",  "halftone256",
                                          "gray4",       "monochrome", "gray256",
                                          "netscape216", "optimized",  "optimized-windows256"};
constexpr const char* kGifDithers[] = {"nearest", "floyd-steinberg", "stucki", "sierra",
                                       "jajuni",  "stevearche",      "burkes"};
constexpr const char* kOnOff[] = {"off", "on"};

// The options convert and batch share: JPEG quality, GIF reduction and
// transparency, PNG text and the password file. Takes args[i] (and its value,
// moving i on) and returns true when it is one of them.
bool ParseConversionOption(const std::vector<std::string>& args, std::size_t& i, ConvertOptions& options) {
  const std::string& arg = args[i];
  auto value = [&]() -> const std::string& { return OptionValue(args, i); };
  if (arg == "--jpeg-quality") {
    options.jpegQuality = ParseInt(value(), arg, 1, 100);
  } else if (arg == "--webp-lossless") {
    options.webpLossless = true;
  } else if (arg == "--gif-reduction") {
    options.gifReduction = ParseChoice<gif::ReductionMode>(value(), arg, kGifReductions);
  } else if (arg == "--gif-dither") {
    options.gifDither = ParseChoice<gif::DitherMode>(value(), arg, kGifDithers);
  } else if (arg == "--gif-bits") {
    options.gifBits = ParseInt(value(), arg, 3, 8);
  } else if (arg == "--gif-transparent") {
    options.gifTransparent = ParseChoice<int>(value(), arg, kOnOff) != 0;
  } else if (arg == "--png-text") {
    options.pngText = value();
  } else if (arg == "--password-file") {
    options.passwordFile = value();
  } else {
    return false;
  }
  return true;
}

// The run's session: what the JPEG optimize window, the GIF optimize window
// and Options > "Transparent GIF" would set.
Session MakeSession(const ConvertOptions& options, const Invocation& call) {
  Session session;
  session.maxPixels = call.maxPixels;
  session.opening = call.opening;
  session.conversion.jpegQuality = options.jpegQuality;
  session.conversion.webpLossless = options.webpLossless;
  session.conversion.gifDefaults.reductionMode = options.gifReduction;
  session.conversion.gifDefaults.ditherMode = options.gifDither;
  session.conversion.gifDefaults.reductionBits = options.gifBits;
  session.conversion.gifTransparent = options.gifTransparent;
  return session;
}

ConvertOptions ParseConvert(const std::vector<std::string>& args) {
  ConvertOptions options;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&]() -> const std::string& { return OptionValue(args, i); };
    if (ParseConversionOption(args, i, options)) {
      continue;
    } else if (arg == "--format") {
      options.format = value();
    } else if (arg == "--icon-colors") {
      const std::string& colors = value();
      if (colors == "16")
        options.iconColors = IconColors::Colors16;
      else if (colors == "256")
        options.iconColors = IconColors::Colors256;
      else
        throw UsageError{"--icon-colors takes 16 or 256"};
    } else if (arg == "--no-resize") {
      options.resizeIcons = false;
    } else if (arg == "--apply") {
      const auto [name, argument] = SplitAssignment(value());
      const EffectCommand* command = FindEffectCommand(name);
      if (!command) throw UsageError{"unknown effect " + name + " (see pixtrel-cli effects)"};
      if (const auto problem = CheckEffectArgument(*command, argument)) throw UsageError{*problem};
      options.effects.emplace_back(command, argument);
    } else if (arg == "--set") {
      const std::string& text = value();
      const auto [name, setting] = SplitAssignment(text);
      const fx::EffectSettingRule* rule = fx::FindEffectSettingRule(name);
      if (!rule) throw UsageError{"unknown effect setting " + name + " (see pixtrel-cli effects)"};
      if (text.find('=') == std::string::npos) throw UsageError{"--set takes NAME=VALUE"};
      options.settings.emplace_back(rule, setting);
    } else if (arg == "--alpha") {
      options.alpha = ParseInt(value(), arg, 0, 255);
    } else if (arg == "--alpha-shape") {
      options.alphaShape = true;
    } else if (bool haveBox = false; ParseStampOption(args, i, options.shape, haveBox)) {
      options.shapeOptions = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      throw UsageError{"unknown option " + arg};
    } else {
      options.positional.push_back(arg);
    }
  }
  if (options.positional.size() != 2) throw UsageError{"convert takes IN and OUT"};
  if (options.alpha && options.alphaShape) throw UsageError{"--alpha and --alpha-shape exclude each other"};
  if (options.shapeOptions && !options.alphaShape) throw UsageError{"the shape options belong to --alpha-shape"};
  return options;
}

}  // namespace

int ConvertCommand(const Invocation& call) {
  std::ostream& out = call.out;
  std::ostream& err = call.err;
  CommandLineInteraction& interaction = call.interaction;
  const ConvertOptions options = ParseConvert(call.args);
  if (options.passwordFile) interaction.password = ReadPasswordFile(*options.passwordFile);
  interaction.iconColors = options.iconColors;
  interaction.resizeIcons = options.resizeIcons;
  const std::string& in = options.positional[0];
  const std::string& target = options.positional[1];
  const std::string format = options.format ? NormalizeFormat(*options.format) : ExtractExtension(target);
  if (!CanSaveExtension(format)) {
    err << "error: no writer for the format \"" << format << "\"\n";
    return kExitUsage;
  }
  if ((options.alpha || options.alphaShape) && format != ".PNG")
    throw UsageError{"--alpha and --alpha-shape write PNG: OUT or --format must be .png"};
  const std::string inExt = ExtractExtension(in);
  if (!CanLoadExtension(inExt)) {
    err << "error: no reader for the extension \"" << inExt << "\" of " << in << '\n';
    return kExitUsage;
  }
  Session session = MakeSession(options, call);

  Bitmap image;
  const LoadResult loaded = LoadImageFile(in, image, interaction, call.maxPixels, session.opening);
  if (image.Empty()) {
    err << "error: nothing was loaded from " << in << '\n';
    return kExitError;
  }
  // Without --png-text the text box holds what opening IN left there.
  session.conversion.pngText = options.pngText ? *options.pngText : loaded.pngText;
  session.conversion.metadata = loaded.metadata;
  fx::EffectSettings settings;
  for (const auto& [rule, text] : options.settings)
    if (!fx::SetFromPrompt(settings, *rule, text))
      err << "warning: " << rule->name << " keeps " << settings.*rule->field << ": \"" << text << "\" is not in "
          << rule->low << " to " << rule->high << '\n';
  if (!options.effects.empty()) {
    Workspace workspace;
    workspace.SetKeepsUndo(false);
    workspace.SetPixelLimit(call.maxPixels);
    workspace.Image() = std::move(image);
    for (const auto& [command, argument] : options.effects)
      RunEffectCommand(workspace, settings, *command, interaction, argument);
    image = std::move(workspace.Image());
  }
  if (options.alpha || options.alphaShape) {
    // The PNG tab's save: its image with the alpha of the chosen mode, no text.
    PngTransparency state;
    state.base = std::move(image);
    state.mode = options.alphaShape ? PngAlphaMode::Shape : PngAlphaMode::Uniform;
    if (options.alpha) state.level = *options.alpha;
    shapes::ZepShape shape;
    shapes::BuildStampShape(options.shape, shape);
    PNGObject png;
    BuildTransparentPng(state, shape, png);
    png.SaveToFile(target);
    out << target << '\n';
    return kExitDone;
  }
  return SaveAndReport(call, target, image, format, session.conversion);
}

namespace {

// The signal that asked a batch to stop, 0 while none did.
volatile std::sig_atomic_t stopSignal = 0;

void AskToStop(int signal) { stopSignal = signal; }

// While a batch runs, SIGINT and SIGTERM let the file in hand finish and then
// end the batch, so that no temporary file is left and every target written
// is whole; a second signal ends the program at once. A signal ignored when
// the program started (a background job's SIGINT) stays ignored.
class StopOnSignals {
 public:
  StopOnSignals() {
    stopSignal = 0;
    struct sigaction action {};
    action.sa_handler = AskToStop;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, nullptr, &oldInt_);
    sigaction(SIGTERM, nullptr, &oldTerm_);
    if (oldInt_.sa_handler != SIG_IGN) sigaction(SIGINT, &action, nullptr);
    if (oldTerm_.sa_handler != SIG_IGN) sigaction(SIGTERM, &action, nullptr);
  }
  ~StopOnSignals() {
    sigaction(SIGINT, &oldInt_, nullptr);
    sigaction(SIGTERM, &oldTerm_, nullptr);
  }
  StopOnSignals(const StopOnSignals&) = delete;
  StopOnSignals& operator=(const StopOnSignals&) = delete;

 private:
  struct sigaction oldInt_ {};
  struct sigaction oldTerm_ {};
};

struct BatchStopped {};

// One job per core the process may use, within --jobs' range.
int DefaultBatchJobs() { return std::clamp(UsableCores(), 1, 64); }

}  // namespace

// pixtrel-cli batch: the batch window's choices from options, the selected
// files from the arguments.
int BatchCommand(const Invocation& call) {
  const std::vector<std::string>& args = call.args;
  std::ostream& out = call.out;
  CommandLineInteraction& interaction = call.interaction;
  ConvertOptions options;
  BatchSettings settings;
  std::optional<std::string> to;
  std::optional<std::string> dest;
  int jobs = DefaultBatchJobs();
  int shard = 1;
  int shards = 1;
  std::optional<std::string> manifestPath;
  std::vector<std::string> files;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&]() -> const std::string& { return OptionValue(args, i); };
    if (ParseConversionOption(args, i, options)) {
      continue;
    } else if (arg == "--to") {
      to = UpperCase(value());
      const std::vector<std::string> targets = BatchTargetNames();
      if (std::find(targets.begin(), targets.end(), *to) == targets.end())
        throw UsageError{"--to takes " + JoinedNames(targets, ", ", " or ")};
    } else if (arg == "--dest") {
      dest = value();
    } else if (arg == "--overwrite") {
      settings.overwrite = true;
    } else if (arg == "--jobs") {
      jobs = ParseInt(value(), arg, 1, 64);
    } else if (arg == "--shard") {
      const std::string& text = value();
      const std::size_t slash = text.find('/');
      if (slash == std::string::npos) throw UsageError{"--shard takes K/N"};
      shards = ParseInt(text.substr(slash + 1), arg, 1, 1000000);
      shard = ParseInt(text.substr(0, slash), arg, 1, shards);
    } else if (arg == "--manifest") {
      manifestPath = value();
    } else if (arg.size() > 1 && arg[0] == '-') {
      throw UsageError{"unknown option " + arg};
    } else {
      files.push_back(arg);
    }
  }
  if (!to) throw UsageError{"batch needs --to " + JoinedNames(BatchTargetNames(), "|", "|")};
  if (!dest || dest->empty()) throw UsageError{"batch needs --dest DIR"};
  if (files.empty()) throw UsageError{"batch takes at least one FILE"};
  settings.format = *to;
  settings.destination = *dest;
  settings.maxPixels = call.maxPixels;
  settings.opening = call.opening;
  while (settings.destination.size() > 1 && settings.destination.back() == '/') settings.destination.pop_back();
  if (options.passwordFile) interaction.password = ReadPasswordFile(*options.passwordFile);
  const Session session = MakeSession(options, call);

  // Each FILE is a selected entry: its folder and name.
  std::vector<std::string> workList;
  for (const std::string& file : files) {
    const std::size_t slash = file.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : file.substr(0, slash);
    const std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
    for (std::string& path : BatchWorkList(folder.empty() ? "/" : folder, {name})) workList.push_back(std::move(path));
  }
  if (shards > 1) workList = BatchShard(workList, settings.destination, settings.format, shard, shards);

  std::ofstream manifest;
  if (manifestPath) {
    manifest.open(*manifestPath, std::ios::binary | std::ios::trunc);
    if (!manifest) throw EFCreateError(*manifestPath);
  }
  // Lines go out as files finish, so that a run that stops leaves the
  // manifest of the files it reached.
  auto record = [&](const std::string& source, const std::string& target, const char* status,
                    const std::string& message) {
    if (!manifestPath) return;
    manifest << BatchManifestLine(source, target, status, message) << '\n' << std::flush;
    if (!manifest) {
      EWriteError error;
      error.SetFile(*manifestPath);
      throw error;
    }
  };
  std::size_t reached = 0;
  int stoppedBy = 0;
  {
    const StopOnSignals stopOnSignals;
    try {
      RunBatch(
          workList, settings, session.conversion,
          [&](const BatchFileResult& result) {
            reached = result.index + 1;
            out << (result.written ? "written " : "skipped ") << result.target << '\n' << std::flush;
            record(workList[result.index], result.target, result.written ? "written" : "skipped", "");
            if (stopSignal != 0) throw BatchStopped{};
          },
          jobs, options.pngText);
    } catch (const BatchStopped&) {
      stoppedBy = stopSignal;
    } catch (const std::exception& e) {
      // The file after the last one reported is the one that failed.
      if (manifestPath && manifest && reached < workList.size())
        manifest << BatchManifestLine(workList[reached],
                                      BatchTargetName(settings.destination, workList[reached], settings.format),
                                      "failed", ErrorTextWithFile(e))
                 << '\n' << std::flush;
      throw;
    }
  }
  if (stoppedBy != 0) {
    // Ended as the signal would have ended it, once the batch is cleaned up.
    call.err << "error: the batch was stopped\n" << std::flush;
    std::raise(stoppedBy);
    return kExitError;
  }
  out << "Conversion completed\n";
  return kExitDone;
}

int InfoCommand(const Invocation& call) {
  const std::vector<std::string>& args = call.args;
  std::ostream& out = call.out;
  std::ostream& err = call.err;
  if (args.size() != 2) throw UsageError{"info takes FILE"};
  const std::string& path = args[1];
  const std::string ext = ExtractExtension(path);
  if (!CanLoadExtension(ext)) {
    err << "error: no reader for the extension \"" << ext << "\" of " << path << '\n';
    return kExitUsage;
  }
  Bitmap image;
  const LoadResult loaded = LoadImageFile(path, image, call.interaction, call.maxPixels, call.opening);
  if (image.Empty()) {
    err << "error: nothing was loaded from " << path << '\n';
    return kExitError;
  }
  std::string text = ImageInfoText(image);
  for (std::size_t p; (p = text.find("\r\n")) != std::string::npos;) text.replace(p, 2, "\n");
  out << text << '\n';
  out << "format: " << ext << '\n';
  out << "transparent: " << (image.Transparent() ? "yes" : "no") << '\n';
  if (!image.Palette().empty()) out << "palette: " << image.Palette().size() << " colours\n";
  // With --keep-metadata, what the file carries.
  if (call.opening.keepMetadata) {
    const ImageMetadata& metadata = loaded.metadata;
    out << "exif: " << metadata.exif.size() << " bytes";
    if (const int orientation = TiffOrientation(metadata.exif)) out << ", orientation " << orientation;
    out << "\nxmp: " << metadata.xmp.size() << " bytes\nicc: " << metadata.icc.size() << " bytes\n";
  }
  return kExitDone;
}

}  // namespace pixtrel::cli
