// The two parts of pixtrel-cli that it loads on first use, each a module
// beside the program: pixtrel-draw.so (the canvas's and the metafiles'
// drawing engines, on Qt's GUI and font libraries, and the application
// object that text needs) and pixtrel-crypt.so (the container cipher, on
// Crypto++). A command that neither draws nor enciphers loads neither and
// starts with QtCore alone. The desktop program and the tests link the same
// engines directly.
#pragma once

class QCoreApplication;

namespace pixtrel {
class CanvasEngine;
class MetafileEngine;
class CipherEngine;
}  // namespace pixtrel

namespace pixtrel::cli {

// Changed whenever the structures below or the engine interfaces change, so
// that a module left from another build is refused rather than misused.
constexpr int kModuleInterface = 1;

struct DrawModule {
  int interface;
  const CanvasEngine* canvas;
  const MetafileEngine* metafiles;
  // A QGuiApplication on the given arguments, which must outlive it.
  QCoreApplication* (*makeApplication)(int& argc, char** argv);
};

struct CryptModule {
  int interface;
  const CipherEngine* cipher;
};

// The loaded modules; the first call loads, and a module that is missing or
// from another build throws EModuleMissing.
const DrawModule& LoadedDrawModule();
const CryptModule& LoadedCryptModule();

}  // namespace pixtrel::cli

// The modules' entry points.
extern "C" {
const pixtrel::cli::DrawModule* pixtrel_draw_module();
const pixtrel::cli::CryptModule* pixtrel_crypt_module();
}
