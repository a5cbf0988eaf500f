// pixtrel-crypt.so: the container cipher's primitives.
#include "cli/modules/modules.h"
#include "codecs/crypt/cipher_engine.h"

extern "C" __attribute__((visibility("default"))) const pixtrel::cli::CryptModule* pixtrel_crypt_module() {
  static const pixtrel::cli::CryptModule module{pixtrel::cli::kModuleInterface, &pixtrel::CipherLibrary()};
  return &module;
}
