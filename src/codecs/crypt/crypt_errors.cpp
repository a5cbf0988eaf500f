#include "codecs/crypt/crypt_errors.h"

#include "codecs/crypt/encrypted_image.h"
#include "core/error_table.h"

namespace pixtrel {

PIXTREL_DEFINE_ERRORS(CryptError, "crypt", PIXTREL_CRYPT_ERRORS)

const char* const kInvalidPasswordText = ErrorText(CryptError::InvalidPassword);

}  // namespace pixtrel
