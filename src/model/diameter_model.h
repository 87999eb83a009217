// Diameter of an asteroid from its absolute magnitude H and an albedo, and the
// conversions of a diameter to miles and whole metres. Pure arithmetic: the
// precision each quantity is held in shows in the printed figures.
#pragma once

#include <cstdint>
#include <optional>

namespace quorvast {

// Single-precision constants are the nearest floats to the decimals written;
// the printed figures depend on those exact values.
constexpr float MAGNITUDE_SCALE = 0.2F;
constexpr double DIAMETER_AT_H0_KM = 1329.0;
constexpr double POWER_BASE = 10.0;
constexpr double KM_PER_MILE = 1.609;  // deliberately not 1.609344
constexpr float METRES_PER_KM = 1000.0F;
constexpr double ROUNDING_OFFSET = 0.5;

// The albedos of the three cases, in the order the report uses them.
constexpr float ALBEDO_MAXIMUM = 0.02F;  // darkest surface, largest diameter
constexpr float ALBEDO_MINIMUM = 0.25F;  // brightest surface, smallest diameter
constexpr float ALBEDO_BEST = 0.15F;

// D = 1329 km / sqrt(albedo) * 10^(-H/5). Too large a result is infinity, too
// small a result is zero.
float estimate_diameter_km(float magnitude_h, float albedo);

float km_to_miles(float diameter_km);

// The diameter in metres as a float, before rounding to whole metres. Above
// 2^24 m it is a multiple of 2, 4, 8 ... metres.
float km_to_metres_value(float diameter_km);

// Whole metres, halves rounded up. Empty when the figure does not fit a signed
// 32-bit integer (from about 2,147,483.647 km up, or infinite).
std::optional<std::int32_t> km_to_metres(float diameter_km);

}  // namespace quorvast
