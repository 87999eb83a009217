#include "dialogue/figure_writer.h"

#include <charconv>
#include <cmath>

namespace quorvast {

namespace {
constexpr int SIGNIFICANT_DIGITS = 3;
}  // namespace

std::string_view format_diameter(float value, FigureText& buffer) {
  if (std::isinf(value)) {
    constexpr std::string_view SIGNED_INFINITY = "-Infinity";
    return SIGNED_INFINITY.substr(std::signbit(value) ? 0 : 1);
  }
  // General notation as printf's %.3g: exponent form below 1e-4 and from 1e3
  // on, trailing zeros dropped, and at least two exponent digits on every
  // platform (which printf itself does not promise).
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), static_cast<double>(value),
                                    std::chars_format::general, SIGNIFICANT_DIGITS);
  return {buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data())};
}

std::string_view format_whole_metres(std::int32_t metres, FigureText& buffer) {
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), metres);
  return {buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data())};
}

}  // namespace quorvast
