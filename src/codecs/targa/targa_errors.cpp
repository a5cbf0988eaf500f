#include "codecs/targa/targa_errors.h"

#include <cstddef>
#include <iterator>

namespace pixtrel {

namespace {

// In the order of TargaError; the texts are those of the classes thrown.
constexpr const char* kNames[] = {"ShortHeader"};
static_assert(std::size(kNames) == static_cast<std::size_t>(TargaError::ShortHeader) + 1);

}  // namespace

std::string TargaErrorCode(TargaError error) { return std::string("targa.") + kNames[static_cast<std::size_t>(error)]; }

// Every failure so far is a read error; a failure of another kind gets its
// class here.
void ThrowTargaError(TargaError error) { throw EReadError(TargaErrorCode(error)); }

}  // namespace pixtrel
