// The values that cross the drawing interface. Every parameter of IBoard is a
// variant: a client may pass a whole number, a real number, a truth value or
// a text, and the member converts it to what it needs by the rules below, the
// rules automation clients have always relied on.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "core/error_table.h"

namespace pixtrel::automation {

#define PIXTREL_AUTOMATION_ERRORS(X)                      \
  X(NotANumber, "The value cannot be read as a number")   \
  X(OutOfRange, "The number is out of range")             \
  X(NoImage, "There is no image to draw on")              \
  X(UnknownMember, "The drawing interface has no such member") \
  X(ArgumentCount, "Wrong number of arguments")

PIXTREL_DECLARE_ERRORS(AutomationError, PIXTREL_AUTOMATION_ERRORS)

// A failure of the drawing interface; Context() holds what it was about (the
// text that is not a number, the member's name).
class EAutomationError : public CodedError<AutomationError> {
 public:
  EAutomationError(AutomationError error, const std::string& context) : CodedError(error) { SetContext(context); }
};

class Variant {
 public:
  Variant() = default;
  Variant(bool value) : value_(value) {}
  Variant(int value) : value_(std::int64_t{value}) {}
  Variant(std::int64_t value) : value_(value) {}
  Variant(double value) : value_(value) {}
  Variant(std::string value) : value_(std::move(value)) {}
  Variant(const char* value) : value_(std::string(value)) {}

  bool IsEmpty() const { return std::holds_alternative<std::monostate>(value_); }
  bool IsInteger() const { return std::holds_alternative<std::int64_t>(value_); }
  bool IsReal() const { return std::holds_alternative<double>(value_); }
  bool IsText() const { return std::holds_alternative<std::string>(value_); }
  bool IsBool() const { return std::holds_alternative<bool>(value_); }

  // A 32-bit integer: reals rounded to the nearest, halves to the even one;
  // text read as a number first (surrounding blanks allowed) and then rounded
  // the same way; true is -1, false and nothing are 0. Text that is not a
  // number raises NotANumber, a value beyond 32 bits OutOfRange.
  std::int32_t ToInteger() const;
  // A real number by the same reading of text.
  double ToReal() const;
  // Text: numbers written plainly (22, 22.5), true "True", nothing "".
  std::string ToText() const;

  bool operator==(const Variant& other) const = default;

 private:
  std::variant<std::monostate, bool, std::int64_t, double, std::string> value_;
};

// The sum and product as variant arithmetic gives them: whole numbers (and
// truth values, nothing) stay whole, anything with a real or a text becomes
// real, the text read as a number.
Variant Sum(const Variant& a, const Variant& b);
Variant Product(const Variant& a, const Variant& b);

// Rounds to the nearest integer, halves to the even one.
double RoundHalfEven(double value);

}  // namespace pixtrel::automation
