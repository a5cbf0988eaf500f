// The encrypted container's failures with their fixed texts, the one table
// of them. A failed decode is not raised: the container shows
// "invalid password" for it, whatever the inner decoder said.
#pragma once

#include <string>

#include "core/error_table.h"
#include "core/errors.h"

namespace pixtrel {

// The code of a failure is "crypt." and its name.
#define PIXTREL_CRYPT_ERRORS(X)          \
  X(InvalidPassword, "invalid password") \
  X(NoKey, "The cipher has no key")

// The fixed text of a failure (ErrorText) and its code (ErrorCode).
PIXTREL_DECLARE_ERRORS(CryptError, PIXTREL_CRYPT_ERRORS)

// The cipher was used before InitKey.
class ECryptError : public CodedError<CryptError> {
 public:
  using CodedError::CodedError;
};

}  // namespace pixtrel
