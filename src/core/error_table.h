// The tables of fixed messages: each codec lists its failures once, a name
// and a fixed text per row in the order of its enum, and takes its texts and
// codes ("<codec>.<Name>") from that one table.
#pragma once

#include <cstddef>
#include <string>

#include "core/errors.h"

namespace pixtrel {

struct ErrorRow {
  const char* name;  // the end of the code: "InvalidSignature"
  const char* text;  // the fixed text the user sees
};

// For a codec's list of X(Name, "text") entries: its enum values, and its rows.
#define PIXTREL_ERROR_ENUM(name, text) name,
#define PIXTREL_ERROR_ROW(name, text) {#name, text},

template <typename Enum, std::size_t N>
const char* ErrorRowText(const ErrorRow (&rows)[N], Enum error) {
  return rows[static_cast<std::size_t>(error)].text;
}

template <typename Enum, std::size_t N>
std::string ErrorRowCode(const char* codec, const ErrorRow (&rows)[N], Enum error) {
  return std::string(codec) + "." + rows[static_cast<std::size_t>(error)].name;
}

// A codec's enum from its X(Name, "text") list, with its fixed texts
// (ErrorText) and codes (ErrorCode); the definitions in the codec's source
// file come from PIXTREL_DEFINE_ERRORS with the code's prefix.
#define PIXTREL_DECLARE_ERRORS(Enum, LIST)  \
  enum class Enum { LIST(PIXTREL_ERROR_ENUM) }; \
  const char* ErrorText(Enum error);        \
  std::string ErrorCode(Enum error);

#define PIXTREL_DEFINE_ERRORS(Enum, codec, LIST)                                                      \
  namespace {                                                                                         \
  constexpr ErrorRow k##Enum##Rows[] = {LIST(PIXTREL_ERROR_ROW)};                                     \
  }                                                                                                   \
  const char* ErrorText(Enum error) { return ErrorRowText(k##Enum##Rows, error); }                   \
  std::string ErrorCode(Enum error) { return ErrorRowCode(codec, k##Enum##Rows, error); }

// An exception of one failure of a codec: its code and fixed text come from
// the ErrorCode and ErrorText of the codec's enum.
template <typename Enum, typename Base = Exception>
class CodedError : public Base {
 public:
  explicit CodedError(Enum error) : Base(ErrorCode(error), ErrorText(error)), error_(error) {}
  Enum Error() const { return error_; }

 private:
  Enum error_;
};

}  // namespace pixtrel
