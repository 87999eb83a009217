#include "model/diameter_model.h"

#include <cfloat>
#include <cmath>
#include <limits>

namespace quorvast {

// Every double operation must round to double: wider intermediates (x87) or
// fused multiply-adds would change the last digits of the figures.
static_assert(FLT_EVAL_METHOD == 0, "build with SSE2 arithmetic, not x87");
static_assert(std::numeric_limits<float>::is_iec559 && std::numeric_limits<double>::is_iec559,
              "IEEE 754 single and double precision required");

float estimate_diameter_km(float magnitude_h, float albedo) {
  // The product of two floats is exact in double; it must not be rounded to
  // float, or H = 6.992 would give 375.49997 km instead of exactly 375.5 km.
  const double exponent = -(static_cast<double>(MAGNITUDE_SCALE) * static_cast<double>(magnitude_h));
  const double root_albedo = std::sqrt(static_cast<double>(albedo));
  const double diameter_at_h0 = DIAMETER_AT_H0_KM / root_albedo;
  const double magnitude_factor = std::pow(POWER_BASE, exponent);
  // Narrowing beyond the float range gives infinity under IEEE 754.
  return static_cast<float>(diameter_at_h0 * magnitude_factor);
}

float km_to_miles(float diameter_km) {
  return static_cast<float>(static_cast<double>(diameter_km) / KM_PER_MILE);
}

float km_to_metres_value(float diameter_km) {
  // Exact in double; the narrowing to float is the only rounding.
  return static_cast<float>(static_cast<double>(diameter_km) * static_cast<double>(METRES_PER_KM));
}

std::optional<std::int32_t> km_to_metres(float diameter_km) {
  const double rounded_up = static_cast<double>(km_to_metres_value(diameter_km)) + ROUNDING_OFFSET;
  constexpr double INT32_LIMIT = 2147483648.0;  // 2^31
  // Written so that infinity and NaN fail the test too. Diameters are never
  // negative; the magnitude test just keeps any input clear of overflow.
  if (!(std::fabs(rounded_up) < INT32_LIMIT)) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(rounded_up);  // truncates toward zero
}

}  // namespace quorvast
