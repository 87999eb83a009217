#include "dialogue/decimal_conversion.h"

#include <charconv>
#include <limits>
#include <system_error>
#ifndef __cpp_lib_to_chars
#include <array>
#include <cstdlib>
#endif

namespace quorvast {
namespace {

// unsigned_decimal_to_double: the nearest double to an unsigned decimal
// text; beyond the double range, infinity or zero. Where the C++ library
// converts floating point itself (__cpp_lib_to_chars), with from_chars;
// elsewhere (emscripten's libc++) with the C library's strtod, correctly
// rounded there too and reading the same text the same way, since the
// program never leaves the "C" locale.
#ifdef __cpp_lib_to_chars

// The decimal exponent's value, held at +-LIMIT: far past any double, and
// small enough that adding a 349-digit mantissa's position cannot overflow.
long parse_exponent(std::string_view digits_with_sign) {
  constexpr long LIMIT = 1000000;
  bool negative = false;
  std::size_t at = 0;
  // Never empty: the scan accepts an exponent only with at least one digit.
  if (digits_with_sign[at] == '+' || digits_with_sign[at] == '-') {
    negative = digits_with_sign[at] == '-';
    ++at;
  }
  long value = 0;
  for (; at < digits_with_sign.size(); ++at) {
    value = value * 10 + (digits_with_sign[at] - '0');
    if (value > LIMIT) {
      value = LIMIT;
    }
  }
  return negative ? -value : value;
}

// from_chars reports both overflow and underflow as out of range. Which one
// it was follows from the power of ten of the first non-zero digit once the
// exponent is applied: zero or more means the value is at least 1.
bool is_at_least_one(std::string_view unsigned_text) {
  const std::size_t marker = unsigned_text.find_first_of("eE");
  const std::string_view mantissa = unsigned_text.substr(0, marker);
  bool in_fraction = false;
  bool found = false;
  long power = 0;
  long fraction_digits = 0;
  for (const char byte : mantissa) {
    if (byte == '.') {
      in_fraction = true;
    } else if (in_fraction) {
      ++fraction_digits;
      if (!found && byte != '0') {
        found = true;
        power = -fraction_digits;
      }
    } else if (found) {
      ++power;  // one more integer digit after the first significant one
    } else {
      found = byte != '0';
    }
  }
  // All zeros (found still false) never reach here: from_chars reads them as 0.
  const long exponent =
      marker == std::string_view::npos ? 0 : parse_exponent(unsigned_text.substr(marker + 1));
  return power + exponent >= 0;
}

double unsigned_decimal_to_double(std::string_view text) {
  double value = 0.0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    value = is_at_least_one(text) ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return value;
}
#else
double unsigned_decimal_to_double(std::string_view text) {
  std::array<char, 352> terminated{};  // the scan takes at most 349 bytes
  text.copy(terminated.data(), terminated.size() - 1);
  // Out of range, strtod gives infinity or a value that narrows to a zero
  // float, as the branch above does.
  return std::strtod(terminated.data(), nullptr);
}
#endif

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
