#include "cli/cli.h"

#include <charconv>
#include <exception>
#include <iostream>
#include <optional>
#include <ostream>

#include <termios.h>
#include <unistd.h>

#include "core/bitmap.h"
#include "core/errors.h"
#include "core/interaction.h"
#include "core/stream.h"
#include "effects/effect_settings.h"
#include "gif/color_reduction.h"
#include "icons/icl_command.h"
#include "io/batch.h"
#include "io/formats.h"
#include "io/image_io.h"
#include "io/session.h"
#include "workspace/saving.h"
#include "shapes/stamp_command.h"
#include "workspace/effect_commands.h"
#include "workspace/image_info.h"
#include "workspace/workspace.h"

namespace pixtrel::cli {

namespace {

constexpr const char* kUsage =
    "Usage: pixtrel-cli COMMAND [ARGUMENTS] [OPTIONS]\n"
    "\n"
    "Commands:\n"
    "  convert IN OUT       open IN by its extension and save it as OUT\n"
    "  info FILE            open FILE and print its image info\n"
    "  effects              list the effects of --apply and the settings of --set\n"
    "  stamp IN OUT         paint one shape into IN and save it as OUT\n"
    "  icl list FILE        list the icons of an icon library (.icl) or of a 32-bit\n"
    "                       program or library: index, name, images as WxH@bits\n"
    "  icl extract FILE DIR write each icon of FILE as DIR/<name>.ico\n"
    "  icl build OUT ICO... write a 16-bit icon library of the ICO files, each icon\n"
    "                       named by its file name without folder and extension\n"
    "  batch --to BMP|GIF|JPG|PNG --dest DIR FILE...\n"
    "                       convert the .bmp, .gif, .jpg and .png FILEs (others are\n"
    "                       passed over) to DIR/<name>.<format in lower case>; one\n"
    "                       line per file, \"written PATH\" or \"skipped PATH\", then\n"
    "                       \"Conversion completed\"; the first error ends the batch\n"
    "\n"
    "Options of convert:\n"
    "  --format EXT         format to write (.BMP, bmp, ...); default: OUT's extension\n"
    "  --jpeg-quality N     JPEG quality, 1 to 100 (default 50)\n"
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
    "\n"
    "Options of batch:\n"
    "  --overwrite          replace existing targets (default: skip them)\n"
    "  --jobs N             convert on N threads (1 to 64) with the result of one job\n"
    "                       (default 1)\n"
    "  --jpeg-quality, --gif-reduction, --gif-dither, --gif-bits, --gif-transparent,\n"
    "  --password-file      as for convert\n"
    "  --png-text TEXT      the text of every PNG target; default: each target carries\n"
    "                       the first text of its own source when that is a PNG\n"
    "\n"
    "  -h, --help           show this text\n"
    "\n"
    "Exit codes: 0 done, 1 error, 2 usage.\n";

// The usage text followed by the formats of the open and save tables.
std::string UsageText() {
  std::string text = kUsage;
  // Names in lines of at most 78 columns, continued under the first name.
  auto wrapped = [&text](const char* title, const std::vector<std::string>& items) {
    text += title;
    std::size_t column = 9;
    for (const std::string& item : items) {
      if (column + 1 + item.size() > 78) {
        text += "\n         ";
        column = 9;
      } else {
        text += ' ';
        ++column;
      }
      text += item;
      column += item.size();
    }
  };
  std::vector<std::string> effects;
  for (const EffectCommand& command : EffectCommands()) {
    std::string item = command.name;
    if (command.argument)
      item +=
          command.argumentRequired ? std::string("=") + command.argument : std::string("[=") + command.argument + "]";
    effects.push_back(item);
  }
  std::vector<std::string> settings;
  for (const fx::EffectSettingRule& rule : fx::EffectSettingRules()) settings.push_back(rule.name);
  wrapped("\nEffects:", effects);
  wrapped("\nSettings:", settings);
  text += "\n\n";
  text += shapes::StampUsage();
  text += "\nFormats read:   ";
  for (const std::string& extension : LoadExtensions()) text += " " + extension;
  text += "\nFormats written:";
  for (const std::string& extension : SaveExtensions()) text += " " + extension;
  text += "\n";
  return text;
}

// Answers the logic's questions for a run without a user: messages go to
// standard error as they stand, questions are declined. The password prompt
// is answered from --password-file, else asked on the terminal without echo;
// with neither it is cancelled.
class CommandLineInteraction : public UserInteraction {
 public:
  explicit CommandLineInteraction(std::ostream& err) : err_(err) {}

  std::optional<std::string> password;
  // The icon options window's answer and the icon resize question's.
  std::optional<IconColors> iconColors;
  bool resizeIcons = true;

  void ShowMessage(const std::string& text) override { err_ << text << '\n'; }
  bool Confirm(const std::string& text) override {
    if (text == "Icon must be 32x32. Resize now?") {
      err_ << text << (resizeIcons ? " [answered Yes]\n" : " [answered No]\n");
      return resizeIcons;
    }
    err_ << text << " [answered No]\n";
    return false;
  }
  std::optional<std::string> InputQuery(const std::string&, const std::string&, const std::string&) override {
    return std::nullopt;
  }
  std::optional<std::string> PasswordQuery(const std::string&, const std::string& prompt) override {
    if (password) return password;
    if (!isatty(STDIN_FILENO)) {
      err_ << "error: a password is needed and standard input is not a terminal: give --password-file FILE\n";
      return std::nullopt;
    }
    return AskOnTerminal(prompt);
  }
  std::optional<IconColors> ChooseIconColors(IconColors preselected) override {
    return iconColors ? iconColors : std::optional<IconColors>(preselected);
  }
  std::optional<Color> ChooseColor(Color) override { return std::nullopt; }

 private:
  std::optional<std::string> AskOnTerminal(const std::string& prompt) {
    std::cerr << prompt << ": " << std::flush;
    termios saved{};
    const bool restore = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (restore) {
      termios quiet = saved;
      quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
      tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    std::string line;
    const bool got = static_cast<bool>(std::getline(std::cin, line));
    if (restore) tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    std::cerr << '\n';
    if (!got) return std::nullopt;
    return line;
  }

  std::ostream& err_;
};

// A password file's bytes without one trailing line break (LF or CR LF).
std::string ReadPasswordFile(const std::string& path) {
  const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
  std::string text(bytes.begin(), bytes.end());
  if (!text.empty() && text.back() == '\n') {
    text.pop_back();
    if (!text.empty() && text.back() == '\r') text.pop_back();
  }
  return text;
}

struct UsageError {
  std::string message;
};

std::string NormalizeFormat(const std::string& format) {
  std::string ext = format;
  if (ext.empty() || ext[0] != '.') ext = "." + ext;
  return UpperCase(ext);
}

int ParseInt(const std::string& text, const std::string& option, int low, int high) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high)
    throw UsageError{option + " takes a whole number from " + std::to_string(low) + " to " + std::to_string(high)};
  return value;
}

struct ConvertOptions {
  std::vector<std::string> positional;
  std::optional<std::string> format;
  int jpegQuality = 50;
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
};

// The value of a word option: the index of text among names.
template <typename Value, std::size_t N>
Value ParseChoice(const std::string& text, const std::string& option, const char* const (&names)[N]) {
  for (std::size_t i = 0; i < N; ++i)
    if (text == names[i]) return static_cast<Value>(i);
  std::string list;
  for (std::size_t i = 0; i < N; ++i) list += (i ? ", " : "") + std::string(names[i]);
  throw UsageError{option + " takes one of " + list};
}

// In the order of the reduction and dither mode values.
constexpr const char* kGifReductions[] = {"none",        "windows20",  "halftone256",
                                          "gray4",       "monochrome", "gray256",
                                          "netscape216", "optimized",  "optimized-windows256"};
constexpr const char* kGifDithers[] = {"nearest", "floyd-steinberg", "stucki", "sierra",
                                       "jajuni",  "stevearche",      "burkes"};
constexpr const char* kOnOff[] = {"off", "on"};

// Splits "NAME=VALUE"; the value is empty when there is no "=".
std::pair<std::string, std::string> SplitAssignment(const std::string& text) {
  const std::size_t eq = text.find('=');
  if (eq == std::string::npos) return {text, std::string()};
  return {text.substr(0, eq), text.substr(eq + 1)};
}

// The options convert and batch share: JPEG quality, GIF reduction and
// transparency, PNG text and the password file. Takes args[i] (and its value,
// moving i on) and returns true when it is one of them.
bool ParseConversionOption(const std::vector<std::string>& args, std::size_t& i, ConvertOptions& options) {
  const std::string& arg = args[i];
  auto value = [&]() -> const std::string& {
    if (i + 1 >= args.size()) throw UsageError{arg + " needs a value"};
    return args[++i];
  };
  if (arg == "--jpeg-quality") {
    options.jpegQuality = ParseInt(value(), arg, 1, 100);
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
Session MakeSession(const ConvertOptions& options) {
  Session session;
  session.conversion.jpegQuality = options.jpegQuality;
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
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw UsageError{arg + " needs a value"};
      return args[++i];
    };
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
    } else if (arg.size() > 1 && arg[0] == '-') {
      throw UsageError{"unknown option " + arg};
    } else {
      options.positional.push_back(arg);
    }
  }
  if (options.positional.size() != 2) throw UsageError{"convert takes IN and OUT"};
  return options;
}

int Convert(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
            CommandLineInteraction& interaction) {
  const ConvertOptions options = ParseConvert(args);
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
  const std::string inExt = ExtractExtension(in);
  if (!CanLoadExtension(inExt)) {
    err << "error: no reader for the extension \"" << inExt << "\" of " << in << '\n';
    return kExitUsage;
  }
  Session session = MakeSession(options);

  Bitmap image;
  const LoadResult loaded = LoadImageFile(in, image, interaction);
  if (image.Empty()) {
    err << "error: nothing was loaded from " << in << '\n';
    return kExitError;
  }
  // Without --png-text the text box holds what opening IN left there.
  session.conversion.pngText = options.pngText ? *options.pngText : loaded.pngText;
  fx::EffectSettings settings;
  for (const auto& [rule, text] : options.settings)
    if (!fx::SetFromPrompt(settings, *rule, text))
      err << "warning: " << rule->name << " keeps " << settings.*rule->field << ": \"" << text << "\" is not in "
          << rule->low << " to " << rule->high << '\n';
  if (!options.effects.empty()) {
    Workspace workspace;
    workspace.SetKeepsUndo(false);
    workspace.Image() = std::move(image);
    for (const auto& [command, argument] : options.effects) RunEffectCommand(workspace, settings, *command, argument);
    image = std::move(workspace.Image());
  }
  switch (SaveDisplayedImage(target, image, format, session.conversion, interaction)) {
    case SaveOutcome::Written:
      out << target << '\n';
      return kExitDone;
    case SaveOutcome::Abandoned:
      err << "error: the save of " << target << " was abandoned; nothing was written\n";
      return kExitError;
    case SaveOutcome::UnknownFormat:
      break;
  }
  err << "error: no writer for the format \"" << format << "\"\n";
  return kExitUsage;
}

// pixtrel-cli batch: the batch window's choices from options, the selected
// files from the arguments.
int Batch(const std::vector<std::string>& args, std::ostream& out, CommandLineInteraction& interaction) {
  ConvertOptions options;
  BatchSettings settings;
  std::optional<std::string> to;
  std::optional<std::string> dest;
  int jobs = 1;
  std::vector<std::string> files;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw UsageError{arg + " needs a value"};
      return args[++i];
    };
    if (ParseConversionOption(args, i, options)) {
      continue;
    } else if (arg == "--to") {
      to = UpperCase(value());
      if (*to != "BMP" && *to != "GIF" && *to != "JPG" && *to != "PNG")
        throw UsageError{"--to takes BMP, GIF, JPG or PNG"};
    } else if (arg == "--dest") {
      dest = value();
    } else if (arg == "--overwrite") {
      settings.overwrite = true;
    } else if (arg == "--jobs") {
      jobs = ParseInt(value(), arg, 1, 64);
    } else if (arg.size() > 1 && arg[0] == '-') {
      throw UsageError{"unknown option " + arg};
    } else {
      files.push_back(arg);
    }
  }
  if (!to) throw UsageError{"batch needs --to BMP|GIF|JPG|PNG"};
  if (!dest || dest->empty()) throw UsageError{"batch needs --dest DIR"};
  if (files.empty()) throw UsageError{"batch takes at least one FILE"};
  settings.format = *to;
  settings.destination = *dest;
  while (settings.destination.size() > 1 && settings.destination.back() == '/') settings.destination.pop_back();
  if (options.passwordFile) interaction.password = ReadPasswordFile(*options.passwordFile);
  const Session session = MakeSession(options);

  // Each FILE is a selected entry: its folder and name.
  std::vector<std::string> workList;
  for (const std::string& file : files) {
    const std::size_t slash = file.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : file.substr(0, slash);
    const std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
    for (std::string& path : BatchWorkList(folder.empty() ? "/" : folder, {name})) workList.push_back(std::move(path));
  }
  RunBatch(
      workList, settings, session.conversion,
      [&](const BatchFileResult& result) {
        out << (result.written ? "written " : "skipped ") << result.target << '\n' << std::flush;
      },
      jobs, options.pngText);
  out << "Conversion completed\n";
  return kExitDone;
}

int Info(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, UserInteraction& interaction) {
  if (args.size() != 2) throw UsageError{"info takes FILE"};
  const std::string& path = args[1];
  const std::string ext = ExtractExtension(path);
  if (!CanLoadExtension(ext)) {
    err << "error: no reader for the extension \"" << ext << "\" of " << path << '\n';
    return kExitUsage;
  }
  Bitmap image;
  LoadImageFile(path, image, interaction);
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
  return kExitDone;
}

int Effects(const std::vector<std::string>& args, std::ostream& out) {
  if (args.size() != 1) throw UsageError{"effects takes no arguments"};
  out << "Effects (--apply NAME[=ARG]):\n";
  for (const EffectCommand& command : EffectCommands()) {
    std::string name = command.name;
    if (command.argument) name += std::string("=") + command.argument;
    out << "  " << name << std::string(name.size() < 30 ? 30 - name.size() : 1, ' ') << command.caption << '\n';
  }
  out << "Settings (--set NAME=VALUE):\n";
  const fx::EffectSettings defaults;
  for (const fx::EffectSettingRule& rule : fx::EffectSettingRules()) {
    const std::string name = rule.name;
    out << "  " << name << std::string(name.size() < 30 ? 30 - name.size() : 1, ' ') << rule.low << " to " << rule.high
        << ", start " << defaults.*rule.field << ", not a number: " << rule.fallback << '\n';
  }
  return kExitDone;
}

}  // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  CommandLineInteraction interaction(err);
  ScopedInteraction scope(interaction);
  try {
    if (args.empty()) throw UsageError{"no command given"};
    const std::string& command = args[0];
    if (command == "-h" || command == "--help" || command == "help") {
      out << UsageText();
      return kExitDone;
    }
    for (const std::string& arg : args)
      if (arg == "-h" || arg == "--help") {
        out << UsageText();
        return kExitDone;
      }
    if (command == "convert") return Convert(args, out, err, interaction);
    if (command == "info") return Info(args, out, err, interaction);
    if (command == "batch") return Batch(args, out, interaction);
    if (command == "effects") return Effects(args, out);
    if (command == "stamp") return shapes::RunStampCommand(args, out, err);
    if (command == "icl") {
      const int code = icons::RunIclCommand(args, out, err);
      if (code == kExitUsage) throw UsageError{"icl takes list FILE, extract FILE DIR or build OUT ICO..."};
      return code;
    }
    throw UsageError{"unknown command " + command};
  } catch (const UsageError& usage) {
    err << "error: " << usage.message << "\nRun \"pixtrel-cli --help\" for usage.\n";
    return kExitUsage;
  } catch (const std::bad_alloc&) {
    err << "error: out of memory\n";
    return kExitError;
  } catch (const std::exception& e) {
    err << "error: " << e.what() << '\n';
    return kExitError;
  }
}

}  // namespace pixtrel::cli
