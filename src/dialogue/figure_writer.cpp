#include "dialogue/figure_writer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#ifndef __cpp_lib_to_chars
#include <cstdio>
#endif

namespace quorvast {

namespace {

constexpr int SIGNIFICANT_DIGITS = 3;

// 10^k for k from -36 to 47, each the double nearest to it: enough to scale
// any finite float (1.4e-45 to 3.4e38) to three digits before the point.
constexpr int POWER_MIN = -36;
constexpr double POWERS_OF_TEN[] = {
    1e-36, 1e-35, 1e-34, 1e-33, 1e-32, 1e-31, 1e-30, 1e-29, 1e-28, 1e-27, 1e-26, 1e-25, 1e-24, 1e-23,
    1e-22, 1e-21, 1e-20, 1e-19, 1e-18, 1e-17, 1e-16, 1e-15, 1e-14, 1e-13, 1e-12, 1e-11, 1e-10, 1e-9,
    1e-8,  1e-7,  1e-6,  1e-5,  1e-4,  1e-3,  1e-2,  1e-1,  1e0,   1e1,   1e2,   1e3,   1e4,   1e5,
    1e6,   1e7,   1e8,   1e9,   1e10,  1e11,  1e12,  1e13,  1e14,  1e15,  1e16,  1e17,  1e18,  1e19,
    1e20,  1e21,  1e22,  1e23,  1e24,  1e25,  1e26,  1e27,  1e28,  1e29,  1e30,  1e31,  1e32,  1e33,
    1e34,  1e35,  1e36,  1e37,  1e38,  1e39,  1e40,  1e41,  1e42,  1e43,  1e44,  1e45,  1e46,  1e47};

// The 3 correctly rounded significant digits (100..999) of a finite positive
// value and their decimal exponent X (value ~ d.dd x 10^X), when a double
// computation decides them beyond doubt. Scaling costs at most two roundings
// (about 4.4e-13 at 1000), so only a scaled value within 1e-9 of a rounding
// boundary is left undecided: exact ties (1.125) and their near misses.
struct Digits {
  int value;
  int exponent;
};
bool round_to_three_digits(double value, Digits& digits) {
  int binary_exponent = 0;
  (void)std::frexp(value, &binary_exponent);  // value < 2^binary_exponent
  // log10(2) times the exponent: X or one less.
  int exponent = static_cast<int>(std::floor((binary_exponent - 1) * 0.30102999566398120));
  double scaled = value * POWERS_OF_TEN[2 - exponent - POWER_MIN];
  if (scaled >= 1000.0) {
    ++exponent;
    scaled = value * POWERS_OF_TEN[2 - exponent - POWER_MIN];
  }
  const double whole = std::floor(scaled);
  if (std::fabs(scaled - whole - 0.5) < 1e-9) {
    return false;
  }
  digits.value = static_cast<int>(whole) + (scaled - whole > 0.5 ? 1 : 0);
  digits.exponent = exponent;
  if (digits.value == 1000) {  // 999.7 rounds up to the next power of ten
    digits.value = 100;
    ++digits.exponent;
  }
  return true;
}

// General notation as printf's %.3g, from decided digits: exponent form below
// 1e-4 and from 1e3 on, trailing zeros dropped, at least two exponent digits.
char* write_digits(Digits digits, char* out) {
  const char text[3] = {static_cast<char>('0' + digits.value / 100),
                        static_cast<char>('0' + digits.value / 10 % 10),
                        static_cast<char>('0' + digits.value % 10)};
  const int kept = text[2] != '0' ? 3 : text[1] != '0' ? 2 : 1;  // without trailing zeros
  const int exponent = digits.exponent;
  if (exponent < -4 || exponent >= SIGNIFICANT_DIGITS) {
    *out++ = text[0];
    if (kept > 1) {
      *out++ = '.';
      out = std::copy(text + 1, text + kept, out);
    }
    *out++ = 'e';
    *out++ = exponent < 0 ? '-' : '+';
    const int magnitude = std::abs(exponent);
    *out++ = static_cast<char>('0' + magnitude / 10);
    *out++ = static_cast<char>('0' + magnitude % 10);
    return out;
  }
  if (exponent < 0) {  // 0.000ddd
    *out++ = '0';
    *out++ = '.';
    out = std::fill_n(out, -exponent - 1, '0');
    return std::copy(text, text + kept, out);
  }
  // d, dd or ddd before the point; the rest after it, if any is left.
  out = std::copy(text, text + exponent + 1, out);
  if (kept > exponent + 1) {
    *out++ = '.';
    out = std::copy(text + exponent + 1, text + kept, out);
  }
  return out;
}

// %.3g exactly: to_chars where the C++ library converts floating point
// (MinGW's printf would round wrongly and write three exponent digits);
// elsewhere (emscripten's libc++) snprintf, correctly rounded there, with
// two exponent digits, and in the "C" locale that the program never leaves.
char* write_exactly(double value, char* out, std::size_t room) {
#ifdef __cpp_lib_to_chars
  return std::to_chars(out, out + room, value, std::chars_format::general, SIGNIFICANT_DIGITS).ptr;
#else
  return out + std::snprintf(out, room, "%.*g", SIGNIFICANT_DIGITS, value);
#endif
}

}  // namespace

std::string_view format_diameter(float value, FigureText& buffer) {
  if (std::isinf(value)) {
    constexpr std::string_view SIGNED_INFINITY = "-Infinity";
    return SIGNED_INFINITY.substr(std::signbit(value) ? 0 : 1);
  }
  char* out = buffer.data();
  const double magnitude = std::fabs(static_cast<double>(value));
  Digits digits{};
  if (magnitude > 0.0 && round_to_three_digits(magnitude, digits)) {
    if (std::signbit(value)) {
      *out++ = '-';
    }
    out = write_digits(digits, out);
  } else {
    // Zero, and the values the fast path leaves undecided: the library's
    // exact conversion, in the same notation.
    out = write_exactly(static_cast<double>(value), out,
                        buffer.size() - static_cast<std::size_t>(out - buffer.data()));
  }
  return {buffer.data(), static_cast<std::size_t>(out - buffer.data())};
}

std::string_view format_whole_metres(std::int32_t metres, FigureText& buffer) {
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), metres);
  return {buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data())};
}

}  // namespace quorvast
