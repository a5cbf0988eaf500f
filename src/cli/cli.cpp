#include "cli/cli.h"

#include <charconv>
#include <exception>
#include <iostream>
#include <optional>
#include <ostream>

#include "core/bitmap.h"
#include "core/errors.h"
#include "core/interaction.h"
#include "io/formats.h"
#include "io/image_io.h"
#include "workspace/image_info.h"

namespace pixtrel::cli {

namespace {

constexpr const char* kUsage =
    "Usage: pixtrel-cli COMMAND [ARGUMENTS] [OPTIONS]\n"
    "\n"
    "Commands:\n"
    "  convert IN OUT       open IN by its extension and save it as OUT\n"
    "  info FILE            open FILE and print its image info\n"
    "\n"
    "Options of convert:\n"
    "  --format EXT         format to write (.BMP, bmp, ...); default: OUT's extension\n"
    "  --jpeg-quality N     JPEG quality, 1 to 100 (default 50)\n"
    "\n"
    "  -h, --help           show this text\n"
    "\n"
    "Exit codes: 0 done, 1 error, 2 usage.\n";

// The usage text followed by the formats of the open and save tables.
std::string UsageText() {
  std::string text = kUsage;
  text += "\nFormats read:   ";
  for (const LoadRow& row : LoadRows()) text += std::string(" ") + row.extension;
  text += "\nFormats written:";
  for (const SaveRow& row : SaveRows()) text += std::string(" ") + row.extension;
  text += "\n";
  return text;
}

// Answers the logic's questions for a run without a user: messages go to
// standard error as they stand, questions are declined.
class CommandLineInteraction : public UserInteraction {
 public:
  explicit CommandLineInteraction(std::ostream& err) : err_(err) {}

  void ShowMessage(const std::string& text) override { err_ << text << '\n'; }
  bool Confirm(const std::string& text) override {
    err_ << text << " [answered No]\n";
    return false;
  }
  std::optional<std::string> InputQuery(const std::string&, const std::string&, const std::string&) override {
    return std::nullopt;
  }
  std::optional<std::string> PasswordQuery(const std::string&, const std::string&) override { return std::nullopt; }
  std::optional<IconColors> ChooseIconColors(IconColors) override { return std::nullopt; }
  std::optional<Color> ChooseColor(Color) override { return std::nullopt; }

 private:
  std::ostream& err_;
};

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
};

ConvertOptions ParseConvert(const std::vector<std::string>& args) {
  ConvertOptions options;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw UsageError{arg + " needs a value"};
      return args[++i];
    };
    if (arg == "--format") {
      options.format = value();
    } else if (arg == "--jpeg-quality") {
      options.jpegQuality = ParseInt(value(), arg, 1, 100);
    } else if (arg.size() > 1 && arg[0] == '-') {
      throw UsageError{"unknown option " + arg};
    } else {
      options.positional.push_back(arg);
    }
  }
  if (options.positional.size() != 2) throw UsageError{"convert takes IN and OUT"};
  return options;
}

int Convert(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const ConvertOptions options = ParseConvert(args);
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
  Conversion().jpegQuality = options.jpegQuality;

  Bitmap image;
  LoadImageFile(in, image);
  if (image.Empty()) {
    err << "error: nothing was loaded from " << in << '\n';
    return kExitError;
  }
  switch (SaveImageFile(target, image, format)) {
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

int Info(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 2) throw UsageError{"info takes FILE"};
  const std::string& path = args[1];
  const std::string ext = ExtractExtension(path);
  if (!CanLoadExtension(ext)) {
    err << "error: no reader for the extension \"" << ext << "\" of " << path << '\n';
    return kExitUsage;
  }
  Bitmap image;
  LoadImageFile(path, image);
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
    if (command == "convert") return Convert(args, out, err);
    if (command == "info") return Info(args, out, err);
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
