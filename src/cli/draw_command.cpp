// pixtrel-cli draw: a script of drawing calls run on an image, the calls a
// page script or a D-Bus client makes, so that a drawing can be made again
// without the desktop program.
#include <fstream>
#include <iostream>
#include <iterator>
#include <ostream>

#include "automation/board.h"
#include "automation/board_interface.h"
#include "automation/board_script.h"
#include "cli/cli.h"
#include "cli/command_line.h"
#include "core/bitmap.h"
#include "core/errors.h"
#include "io/formats.h"
#include "io/image_io.h"
#include "workspace/saving.h"
#include "workspace/workspace.h"

namespace pixtrel::cli {

namespace {

std::string ReadScript(const std::string& path) {
  if (path == "-") return std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  std::ifstream file(path, std::ios::binary);
  if (!file) throw EFOpenError(path);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace

std::string DrawAppendix() {
  std::string text =
      "\n"
      "Scripts of draw IN OUT SCRIPT, one call a line (# begins a comment):\n"
      "  Line 0, 10, 50, 10      a member's name, then its arguments separated by commas\n"
      "  PenColor \"#FF0000\"      texts in double quotes, numbers as written\n"
      "  angle = 22.5            writes the turtle's heading (rounded half to even)\n"
      "  getPixelColor 20, 10    a member with a result prints it, one line each\n"
      "  A failing call prints \"error: line N: <message>\", and nothing is written.\n"
      "  Members:";
  // The members from the interface's table, wrapped.
  std::size_t column = text.size() - text.rfind('\n') - 1;
  for (const automation::BoardMember& member : automation::BoardMembers()) {
    if (member.kind == automation::MemberKind::PropertyPut) continue;
    const std::string name = member.name;
    if (column + 1 + name.size() > 79) {
      text += "\n ";
      column = 1;
    }
    text += " " + name;
    column += 1 + name.size();
  }
  return text + "\n";
}

int DrawCommand(const Invocation& call) {
  const std::vector<std::string>& args = call.args;
  std::vector<std::string> positional;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i].size() > 1 && args[i][0] == '-') throw UsageError{"unknown option " + args[i]};
    positional.push_back(args[i]);
  }
  if (positional.size() != 3) throw UsageError{"draw takes IN, OUT and SCRIPT"};
  const std::string& in = positional[0];
  const std::string& out = positional[1];
  const std::string inExt = ExtractExtension(in), outExt = ExtractExtension(out);
  if (!CanLoadExtension(inExt)) {
    call.err << "error: no reader for the extension \"" << inExt << "\" of " << in << '\n';
    return kExitUsage;
  }
  if (!CanSaveExtension(outExt)) {
    call.err << "error: no writer for the format \"" << outExt << "\"\n";
    return kExitUsage;
  }

  const automation::ParsedScript script = automation::ParseBoardScript(ReadScript(positional[2]));
  if (script.failure) {
    call.err << "error: line " << script.failure->line << ": " << script.failure->message << '\n';
    return kExitError;
  }

  Workspace workspace;
  workspace.SetPixelLimit(call.maxPixels);
  {
    Bitmap image;
    LoadImageFile(in, image, call.interaction, call.maxPixels, call.opening);
    if (image.Empty()) {
      call.err << "error: nothing was loaded from " << in << '\n';
      return kExitError;
    }
    workspace.SetImage(image);
  }
  automation::Turtle turtle;
  automation::Board board(workspace, turtle);
  if (const auto failure = automation::RunBoardScript(board, script.calls, call.out)) {
    call.err << "error: line " << failure->line << ": " << failure->message << '\n';
    return kExitError;
  }

  SaveOptions options;
  return SaveAndReport(call, out, workspace.Image(), outExt, options, false);
}

}  // namespace pixtrel::cli
