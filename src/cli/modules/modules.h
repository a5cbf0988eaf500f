// The three parts of pixtrel-cli that it loads on first use, each a module
// beside the program: pixtrel-draw.so (the canvas's and the metafiles'
// drawing engines, on Qt's GUI and font libraries, and the application
// object that text needs), pixtrel-crypt.so (the container cipher, on
// Crypto++) and pixtrel-photo.so (WebP, HEIF and AVIF on libwebp, libheif
// and libavif with their codecs, and sRGB conversion on LittleCMS). A
// command that neither draws, enciphers nor touches a photo format loads
// none of them and starts with QtCore alone. The desktop program and the tests link the same
// engines directly.
#pragma once

class QCoreApplication;

namespace pixtrel {
class CanvasEngine;
class MetafileEngine;
class CipherEngine;
class PhotoEngine;
}  // namespace pixtrel

namespace pixtrel::cli {

// Changed whenever the structures below or the engine interfaces change, so
// that a module left from another build is refused rather than misused.
constexpr int kModuleInterface = 2;

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

struct PhotoModule {
  int interface;
  const PhotoEngine* photo;
};

// The loaded modules; the first call loads, and a module that is missing or
// from another build throws EModuleMissing.
const DrawModule& LoadedDrawModule();
const CryptModule& LoadedCryptModule();
const PhotoModule& LoadedPhotoModule();

}  // namespace pixtrel::cli

// The modules' entry points.
extern "C" {
const pixtrel::cli::DrawModule* pixtrel_draw_module();
const pixtrel::cli::CryptModule* pixtrel_crypt_module();
const pixtrel::cli::PhotoModule* pixtrel_photo_module();
}
