#include "cli/cli.h"

#include <exception>
#include <limits>
#include <new>
#include <ostream>

#include "cli/command_line.h"
#include "core/errors.h"
#include "io/formats.h"

namespace pixtrel::cli {

namespace {

// The subcommands in the order --help shows them.
const Subcommand kSubcommands[] = {
    {"convert", "  convert IN OUT       open IN by its extension and save it as OUT\n", kConvertOptions, nullptr,
     ConvertCommand},
    {"info", "  info FILE            open FILE and print its image info\n", nullptr, nullptr, InfoCommand},
    {"effects", "  effects              list the effects of --apply and the settings of --set\n", nullptr,
     EffectsAppendix, EffectsCommand},
    {"formats", "  formats              list the formats: extensions, whether read and written\n", nullptr, nullptr,
     FormatsCommand},
    {"stamp", "  stamp IN OUT         paint one shape into IN and save it as OUT\n", nullptr, StampAppendix,
     StampCommand},
    {"overlay",
     "  overlay IN OVERLAY OUT\n"
     "                       paint OVERLAY over IN (--at X,Y, --glue) and save OUT\n",
     kOverlayOptions, nullptr, OverlayCommand},
    {"blend",
     "  blend IN OVERLAY OUT --amount N\n"
     "                       cross-fade OVERLAY (on white) with IN and save OUT\n",
     nullptr, nullptr, BlendCommand},
    {"draw",
     "  draw IN OUT SCRIPT   run the drawing calls of SCRIPT (- for standard input)\n"
     "                       on IN and save it as OUT\n",
     nullptr, DrawAppendix, DrawCommand},
    {"icl",
     "  icl list FILE        list the icons of an icon library (.icl) or of a 32-bit\n"
     "                       program or library: index, name, images as WxH@bits\n"
     "  icl extract FILE DIR write each icon of FILE as DIR/<name>.ico\n"
     "  icl build OUT ICO... write a 16-bit icon library of the ICO files, each icon\n"
     "                       named by its file name without folder and extension\n",
     nullptr, nullptr, IclCommand},
    {"batch",
     "  batch --to BMP|GIF|JPG|PNG --dest DIR FILE...\n"
     "                       convert the .bmp, .gif, .jpg and .png FILEs (others are\n"
     "                       passed over) to DIR/<name>.<format in lower case>; one\n"
     "                       line per file, \"written PATH\" or \"skipped PATH\", then\n"
     "                       \"Conversion completed\"; the first error ends the batch;\n"
     "                       --to also takes WEBP and AVIF, and .webp, .avif and\n"
     "                       .heic FILEs are converted too\n",
     kBatchOptions, nullptr, BatchCommand},
};

// The usage lines of every subcommand, their options, the general options,
// their appendices and the formats of the open and save tables.
std::string UsageText() {
  std::string text = "Usage: pixtrel-cli COMMAND [ARGUMENTS] [OPTIONS]\n\nCommands:\n";
  for (const Subcommand& command : kSubcommands) text += command.usage;
  for (const Subcommand& command : kSubcommands)
    if (command.options) text += command.options;
  text +=
      "\nGeneral options:\n"
      "  --max-pixels N       refuse a picture read of more than N pixels, before its\n"
      "                       pixels are allocated; 0: no limit but the program's\n"
      "                       16384 x 16384 (default " +
      std::to_string(kDefaultMaxPixels) +
      ")\n"
      "  --auto-orient        open photos upright by their EXIF orientation (JPEG,\n"
      "                       WebP, TIFF, HEIC, AVIF; HEIF files by their rotation\n"
      "                       property when they have one)\n"
      "  --keep-metadata      carry the EXIF, XMP and ICC profile of a JPEG, PNG, WebP,\n"
      "                       HEIC, AVIF or TIFF into JPEG, PNG, WebP and AVIF targets\n"
      "  --to-srgb            convert a picture with an ICC profile to sRGB on opening\n"
      "  -h, --help           show this text\n\nExit codes: 0 done, 1 error, 2 usage.\n";
  for (const Subcommand& command : kSubcommands)
    if (command.appendix) text += command.appendix();
  text += "\nFormats read:   ";
  for (const std::string& extension : LoadExtensions()) text += " " + extension;
  text += "\nFormats written:";
  for (const std::string& extension : SaveExtensions()) text += " " + extension;
  text += "\n";
  return text;
}

}  // namespace

int Run(const std::vector<std::string>& line, std::ostream& out, std::ostream& err) {
  CommandLineInteraction interaction(err);
  try {
    // The general options may stand anywhere; the rest is the command's.
    std::vector<std::string> args;
    std::int64_t maxPixels = kDefaultMaxPixels;
    LoadOptions opening;
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (line[i] == "--max-pixels")
        maxPixels = ParseInt(OptionValue(line, i), "--max-pixels", 0, std::numeric_limits<int>::max());
      else if (line[i] == "--auto-orient")
        opening.autoOrient = true;
      else if (line[i] == "--keep-metadata")
        opening.keepMetadata = true;
      else if (line[i] == "--to-srgb")
        opening.toSrgb = true;
      else
        args.push_back(line[i]);
    }
    if (args.empty()) throw UsageError{"no command given"};
    const std::string& name = args[0];
    if (name == "help") {
      out << UsageText();
      return kExitDone;
    }
    for (const std::string& arg : args)
      if (arg == "-h" || arg == "--help") {
        out << UsageText();
        return kExitDone;
      }
    for (const Subcommand& command : kSubcommands)
      if (name == command.name) return command.run(Invocation{args, out, err, interaction, maxPixels, opening});
    throw UsageError{"unknown command " + name};
  } catch (const UsageError& usage) {
    err << "error: " << usage.message << "\nRun \"pixtrel-cli --help\" for usage.\n";
    return kExitUsage;
  } catch (const std::bad_alloc&) {
    err << "error: out of memory\n";
    return kExitError;
  } catch (const std::exception& e) {
    err << "error: " << ErrorTextWithFile(e) << '\n';
    return kExitError;
  }
}

}  // namespace pixtrel::cli
