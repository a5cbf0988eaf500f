// pixtrel-cli icl: list, extract and build icon libraries.
#include <ostream>

#include "cli/cli.h"
#include "cli/command_line.h"
#include "core/errors.h"
#include "icons/icl_files.h"

namespace pixtrel::cli {

namespace {

// A name from a file as data: control characters, which would break the
// tab-separated lines or reach the terminal, are shown as \xNN.
std::string Printable(const std::string& name) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      text += "\\x";
      text += kHex[byte >> 4];
      text += kHex[byte & 15];
    } else {
      text += c;
    }
  }
  return text;
}

}  // namespace

namespace {

int RunIcl(const Invocation& call) {
  const std::vector<std::string>& args = call.args;
  std::ostream& out = call.out;
  std::ostream& err = call.err;
  const std::string action = args.size() >= 2 ? args[1] : std::string();
  if (action == "list" && args.size() == 3) {
    const std::vector<icons::LibraryIconFacts> icons = icons::ListLibraryIcons(args[2]);
    if (icons.empty()) {
      err << "error: no icons were read from " << args[2] << '\n';
      return kExitError;
    }
    for (std::size_t i = 0; i < icons.size(); ++i) {
      out << i << '\t' << Printable(icons[i].name) << '\t';
      for (std::size_t j = 0; j < icons[i].images.size(); ++j) {
        const icons::IconImageFacts& image = icons[i].images[j];
        out << (j ? " " : "") << image.width << 'x' << image.height << '@' << image.bitCount;
      }
      out << '\n';
    }
    return kExitDone;
  }
  if (action == "extract" && args.size() == 4) {
    const int read = icons::ExtractLibraryIcons(args[2], args[3], [&](const icons::ExtractedIcon& icon) {
      if (icon.path)
        out << *icon.path << '\n';
      else
        err << "warning: icon " << icon.index << " (" << Printable(icon.name) << ") has no images; nothing written\n";
    });
    if (read == 0) {
      err << "error: no icons were read from " << args[2] << '\n';
      return kExitError;
    }
    return kExitDone;
  }
  if (action == "build" && args.size() >= 4) {
    const std::vector<std::string> files(args.begin() + 3, args.end());
    if (const std::optional<std::string> bad = icons::BuildIconLibrary(args[2], files)) {
      err << "error: " << *bad << " is not an icon file\n";
      return kExitError;
    }
    out << args[2] << '\n';
    return kExitDone;
  }
  throw UsageError{"icl takes list FILE, extract FILE DIR or build OUT ICO..."};
}

}  // namespace

// An error that names no file of its own is about FILE (or OUT of build).
int IclCommand(const Invocation& call) {
  try {
    return RunIcl(call);
  } catch (Exception& error) {
    if (error.File().empty() && call.args.size() >= 3) error.SetFile(call.args[2]);
    throw;
  }
}

}  // namespace pixtrel::cli
