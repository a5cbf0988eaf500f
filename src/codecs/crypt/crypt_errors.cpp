#include "codecs/crypt/crypt_errors.h"

#include "codecs/crypt/encrypted_image.h"

namespace pixtrel {

namespace {

struct Entry {
  const char* name;
  const char* text;
};

constexpr Entry kTable[] = {
#define PIXTREL_CRYPT_ENTRY(name, text) {#name, text},
    PIXTREL_CRYPT_ERRORS(PIXTREL_CRYPT_ENTRY)
#undef PIXTREL_CRYPT_ENTRY
};

}  // namespace

const char* ErrorText(CryptError error) { return kTable[static_cast<int>(error)].text; }

std::string ErrorCode(CryptError error) { return std::string("crypt.") + kTable[static_cast<int>(error)].name; }

const char* const kInvalidPasswordText = kTable[static_cast<int>(CryptError::InvalidPassword)].text;

}  // namespace pixtrel
