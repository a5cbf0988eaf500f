#include "automation/variant.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace pixtrel::automation {

PIXTREL_DEFINE_ERRORS(AutomationError, "automation", PIXTREL_AUTOMATION_ERRORS)

namespace {

std::string_view Trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

[[noreturn]] void NotANumber(const std::string& text) { throw EAutomationError(AutomationError::NotANumber, text); }

// A number written in text: an optional sign, digits with an optional point
// and fraction, an optional exponent. Whole numbers come back exact.
std::variant<std::int64_t, double> ReadNumber(const std::string& text) {
  std::string_view body = Trimmed(text);
  bool negative = false;
  if (!body.empty() && (body.front() == '+' || body.front() == '-')) {
    negative = body.front() == '-';
    body.remove_prefix(1);
  }
  // from_chars would also take "inf" and "nan", which are no numbers here.
  if (body.empty() || !(std::isdigit(static_cast<unsigned char>(body.front())) || body.front() == '.'))
    NotANumber(text);
  const char* first = body.data();
  const char* last = body.data() + body.size();
  if (body.find_first_of(".eE") == std::string_view::npos) {
    std::uint64_t magnitude = 0;
    const auto [end, ec] = std::from_chars(first, last, magnitude);
    if (ec == std::errc() && end == last &&
        magnitude <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
      return negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
    if (ec != std::errc::result_out_of_range && !(ec == std::errc() && end == last)) NotANumber(text);
  }
  double value = 0;
  const auto [end, ec] = std::from_chars(first, last, value);
  if (end != last || (ec != std::errc() && ec != std::errc::result_out_of_range)) NotANumber(text);
  if (ec == std::errc::result_out_of_range) throw EAutomationError(AutomationError::OutOfRange, text);
  return negative ? -value : value;
}

std::int32_t ToInt32(std::int64_t value, const std::string& context) {
  if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
    throw EAutomationError(AutomationError::OutOfRange, context);
  return static_cast<std::int32_t>(value);
}

std::int32_t RealToInt32(double value, const std::string& context) {
  const double rounded = RoundHalfEven(value);
  if (!(rounded >= std::numeric_limits<std::int32_t>::min() && rounded <= std::numeric_limits<std::int32_t>::max()))
    throw EAutomationError(AutomationError::OutOfRange, context);
  return static_cast<std::int32_t>(rounded);
}

std::string RealText(double value) {
  char buffer[32];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return ec == std::errc() ? std::string(buffer, end) : std::string();
}

// A value as a number for arithmetic: whole or real.
std::variant<std::int64_t, double> Numeric(const Variant& v) {
  if (v.IsReal()) return v.ToReal();
  if (v.IsText()) return ReadNumber(v.ToText());
  return std::int64_t{v.ToInteger()};
}

template <typename Op>
Variant Arithmetic(const Variant& a, const Variant& b, Op op) {
  const auto x = Numeric(a), y = Numeric(b);
  if (std::holds_alternative<std::int64_t>(x) && std::holds_alternative<std::int64_t>(y) && !a.IsText() &&
      !b.IsText())
    return op(std::get<std::int64_t>(x), std::get<std::int64_t>(y));
  const auto real = [](const std::variant<std::int64_t, double>& n) {
    return std::holds_alternative<double>(n) ? std::get<double>(n) : static_cast<double>(std::get<std::int64_t>(n));
  };
  return op(real(x), real(y));
}

}  // namespace

double RoundHalfEven(double value) {
  if (!std::isfinite(value)) return value;
  const double floor = std::floor(value);
  const double fraction = value - floor;
  if (fraction < 0.5) return floor;
  if (fraction > 0.5) return floor + 1;
  return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

std::int32_t Variant::ToInteger() const {
  return std::visit(
      [this](const auto& v) -> std::int32_t {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          return 0;
        } else if constexpr (std::is_same_v<T, bool>) {
          return v ? -1 : 0;
        } else if constexpr (std::is_same_v<T, std::int64_t>) {
          return ToInt32(v, ToText());
        } else if constexpr (std::is_same_v<T, double>) {
          return RealToInt32(v, ToText());
        } else {
          const auto number = ReadNumber(v);
          if (std::holds_alternative<std::int64_t>(number)) return ToInt32(std::get<std::int64_t>(number), v);
          return RealToInt32(std::get<double>(number), v);
        }
      },
      value_);
}

double Variant::ToReal() const {
  return std::visit(
      [](const auto& v) -> double {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          return 0;
        } else if constexpr (std::is_same_v<T, bool>) {
          return v ? -1 : 0;
        } else if constexpr (std::is_same_v<T, std::int64_t> || std::is_same_v<T, double>) {
          return static_cast<double>(v);
        } else {
          const auto number = ReadNumber(v);
          if (std::holds_alternative<std::int64_t>(number)) return static_cast<double>(std::get<std::int64_t>(number));
          return std::get<double>(number);
        }
      },
      value_);
}

std::string Variant::ToText() const {
  return std::visit(
      [](const auto& v) -> std::string {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          return std::string();
        } else if constexpr (std::is_same_v<T, bool>) {
          return v ? "True" : "False";
        } else if constexpr (std::is_same_v<T, std::int64_t>) {
          return std::to_string(v);
        } else if constexpr (std::is_same_v<T, double>) {
          return RealText(v);
        } else {
          return v;
        }
      },
      value_);
}

Variant Sum(const Variant& a, const Variant& b) {
  return Arithmetic(a, b, [](auto x, auto y) -> Variant {
    if constexpr (std::is_same_v<decltype(x), std::int64_t>) {
      std::int64_t sum = 0;
      if (__builtin_add_overflow(x, y, &sum)) return static_cast<double>(x) + static_cast<double>(y);
      return sum;
    } else {
      return x + y;
    }
  });
}

Variant Product(const Variant& a, const Variant& b) {
  return Arithmetic(a, b, [](auto x, auto y) -> Variant {
    if constexpr (std::is_same_v<decltype(x), std::int64_t>) {
      std::int64_t product = 0;
      if (__builtin_mul_overflow(x, y, &product)) return static_cast<double>(x) * static_cast<double>(y);
      return product;
    } else {
      return x * y;
    }
  });
}

}  // namespace pixtrel::automation
