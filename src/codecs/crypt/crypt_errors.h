// The encrypted container's failures with their fixed texts, the one table
// of them. A failed decode is not raised: the container shows
// "invalid password" for it, whatever the inner decoder said.
#pragma once

#include <string>

#include "core/errors.h"

namespace pixtrel {

// The code of a failure is "crypt." and its name.
#define PIXTREL_CRYPT_ERRORS(X)          \
  X(InvalidPassword, "invalid password") \
  X(NoKey, "The cipher has no key")

enum class CryptError {
#define PIXTREL_CRYPT_ENUM(name, text) name,
  PIXTREL_CRYPT_ERRORS(PIXTREL_CRYPT_ENUM)
#undef PIXTREL_CRYPT_ENUM
};

const char* ErrorText(CryptError error);
// "crypt.NoKey".
std::string ErrorCode(CryptError error);

// The cipher was used before InitKey.
class ECryptError : public Exception {
 public:
  explicit ECryptError(CryptError error) : Exception(ErrorCode(error), ErrorText(error)), error_(error) {}
  CryptError Error() const { return error_; }

 private:
  CryptError error_;
};

}  // namespace pixtrel
