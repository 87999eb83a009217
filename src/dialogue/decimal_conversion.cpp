#include "dialogue/decimal_conversion.h"

// fast_float (header-only; Debian's libfast-float-dev): correctly rounded
// on every platform and compiler, emscripten's included, where the C++
// library's floating from_chars is missing or differs in what it does out
// of range.
#include "fast_float.h"

namespace quorvast {
namespace {

// The nearest double to an unsigned decimal text. Out of the double range
// fast_float gives infinity or zero itself, whatever the digits and the
// exponent's length: a mantissa of 349 digits, an exponent of 20 digits or
// leading zeros on either are read for their value, not their length.
double unsigned_decimal_to_double(std::string_view text) {
  double value = 0.0;
  // The scan accepted the text, so it is read whole; the only error left to
  // report is out of range, where the value is already infinity or zero.
  (void)fast_float::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

}  // namespace

float decimal_to_magnitude(std::string_view text) {
  // The scan guarantees at least one digit, so `text` is never empty.
  const bool negative = text.front() == '-';
  if (text.front() == '+' || negative) {
    text.remove_prefix(1);  // from_chars takes no '+'; the sign is applied below
  }
  const double value = unsigned_decimal_to_double(text);
  // Under IEEE 754 a double beyond the float range narrows to infinity.
  return static_cast<float>(negative ? -value : value);
}

}  // namespace quorvast
