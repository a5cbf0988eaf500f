// pixtrel-draw.so: the drawing engines and the GUI application object.
#include <QGuiApplication>

#include "cli/modules/modules.h"
#include "codecs/metafile/metafile_engine.h"
#include "core/canvas_engine.h"

namespace {

QCoreApplication* MakeGuiApplication(int& argc, char** argv) { return new QGuiApplication(argc, argv); }

}  // namespace

extern "C" __attribute__((visibility("default"))) const pixtrel::cli::DrawModule* pixtrel_draw_module() {
  static const pixtrel::cli::DrawModule module{pixtrel::cli::kModuleInterface, &pixtrel::CanvasDrawing(),
                                               &pixtrel::MetafileDrawing(), MakeGuiApplication};
  return &module;
}
