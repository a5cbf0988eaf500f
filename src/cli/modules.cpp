// Loading the modules of cli/modules/modules.h from the program's folder,
// and the engine accessors of this program, which reach the engines through
// them.
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "cli/modules/modules.h"
#include "codecs/crypt/cipher_engine.h"
#include "codecs/metafile/metafile_engine.h"
#include "codecs/photo/photo_engine.h"
#include "core/canvas_engine.h"
#include "core/errors.h"

namespace pixtrel::cli {

namespace {

class EModuleMissing : public Exception {
 public:
  explicit EModuleMissing(std::string detail)
      : Exception("cli.ModuleMissing", "A part of the program is missing or from another build") {
    SetContext(std::move(detail));
  }
};

// The folder of the running program, with its final slash.
std::string ProgramFolder() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "./";
  const std::string program(path, static_cast<std::size_t>(n));
  return program.substr(0, program.rfind('/') + 1);
}

// The entry point symbol of the module file, which stays loaded.
void* ModuleEntry(const char* file, const char* symbol) {
  const std::string path = ProgramFolder() + file;
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) throw EModuleMissing(dlerror());
  void* entry = dlsym(handle, symbol);
  if (!entry) throw EModuleMissing(path + ": no " + symbol);
  return entry;
}

template <typename Module>
const Module& Load(const char* file, const char* symbol) {
  const auto entry = reinterpret_cast<const Module* (*)()>(ModuleEntry(file, symbol));
  const Module* module = entry();
  if (!module || module->interface != kModuleInterface) throw EModuleMissing(std::string(file) + ": other interface");
  return *module;
}

}  // namespace

const DrawModule& LoadedDrawModule() {
  static const DrawModule& module = Load<DrawModule>("pixtrel-draw.so", "pixtrel_draw_module");
  return module;
}

const CryptModule& LoadedCryptModule() {
  static const CryptModule& module = Load<CryptModule>("pixtrel-crypt.so", "pixtrel_crypt_module");
  return module;
}

const PhotoModule& LoadedPhotoModule() {
  static const PhotoModule& module = Load<PhotoModule>("pixtrel-photo.so", "pixtrel_photo_module");
  return module;
}

}  // namespace pixtrel::cli

namespace pixtrel {

const CanvasEngine& CanvasDrawing() { return *cli::LoadedDrawModule().canvas; }

const MetafileEngine& MetafileDrawing() { return *cli::LoadedDrawModule().metafiles; }

const CipherEngine& CipherLibrary() { return *cli::LoadedCryptModule().cipher; }

const PhotoEngine& PhotoCodecs() { return *cli::LoadedPhotoModule().photo; }

}  // namespace pixtrel
