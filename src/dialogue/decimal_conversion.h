// Turns the text of a scanned number into the single-precision magnitude:
// first to the nearest double, then to the nearest float. Rounding twice is
// deliberate; it decides some ties differently from rounding once.
#pragma once

#include <string_view>

namespace quorvast {

// `text` is what the number scan accepted: an optional sign, digits with at
// most one decimal point, and optionally an exponent with at least one digit.
// Beyond the float range the result is infinity, below it zero or a
// subnormal, each keeping the sign.
float decimal_to_magnitude(std::string_view text);

}  // namespace quorvast
