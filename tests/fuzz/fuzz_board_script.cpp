// libFuzzer target for draw scripts: the text is read as a script and its
// calls run on a small image. Whatever the text, reading must stay inside it
// and every call must either draw or fail with a status; calls that would
// only make the run slow (an enormous new image or font) are passed
// over.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string_view>

#include "automation/board_script.h"
#include "core/bitmap.h"
#include "fuzz_gui.h"
#include "workspace/workspace.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  MakeFuzzGuiApplication(argc, argv);
  return 0;
}

namespace {

bool Heavy(const pixtrel::automation::ScriptCall& call) {
  const std::string_view name = call.member->name;
  if (name != "NewImage" && name != "FontSize") return false;
  for (const pixtrel::automation::Variant& argument : call.arguments) {
    try {
      if (std::abs(argument.ToReal()) > 256) return true;
    } catch (...) {
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pixtrel;
  using namespace pixtrel::automation;
  const ParsedScript script =
      ParseBoardScript(std::string_view(reinterpret_cast<const char*>(data), size));
  if (script.failure && script.failure->line < 1) __builtin_trap();
  std::vector<ScriptCall> calls;
  for (const ScriptCall& call : script.calls)
    if (!Heavy(call)) calls.push_back(call);
  Workspace workspace;
  Bitmap white(48, 40, pf24bit);
  white.Fill(clWhite);
  workspace.SetImage(white);
  Turtle turtle;
  Board board(workspace, turtle);
  std::ostringstream out;
  RunBoardScript(board, calls, out);
  // Every pixel is read, so that the sanitizers see any that were never written.
  volatile unsigned sum = 0;
  for (int y = 0; y < workspace.Image().Height(); ++y)
    for (int x = 0; x < workspace.Image().Width(); ++x) sum = sum + workspace.Image().Pixel(x, y);
  return 0;
}
