// The Targa reader's own failures, each with a stable code ("targa.<Name>")
// and a fixed text. The reader decodes whatever a damaged file gives; only
// a header cut short fails, as the stream read error it is.
#pragma once

#include <string>

#include "core/errors.h"

namespace pixtrel {

enum class TargaError {
  ShortHeader,  // "Stream read error": fewer than 18 bytes
};

// "targa.ShortHeader".
std::string TargaErrorCode(TargaError error);

// EReadError with the code.
[[noreturn]] void ThrowTargaError(TargaError error);

}  // namespace pixtrel
