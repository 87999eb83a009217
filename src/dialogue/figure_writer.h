// How the report writes its numbers: diameters with 3 significant digits in
// general notation (correctly rounded, ties to even, "Infinity" for an
// infinite value), whole metres as a plain integer.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace quorvast {

// Room for any figure: "-1.23e-308" or "-2147483648" and a spare byte.
using FigureText = std::array<char, 24>;

// Writes `value` into `buffer` and returns the characters written.
std::string_view format_diameter(float value, FigureText& buffer);
std::string_view format_whole_metres(std::int32_t metres, FigureText& buffer);

}  // namespace quorvast
