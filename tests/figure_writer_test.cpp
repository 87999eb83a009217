// Figures as the report writes them: 3 significant digits from the exact
// value of the float, ties to even, exponent form outside [1e-4, 1e3).
#include <gtest/gtest.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "dialogue/figure_writer.h"

namespace quorvast {
namespace {

struct FigureCase {
  float value;
  const char* text;
};

const FigureCase DIAMETERS[] = {
    {93.9744873046875F, "94"},
    {58.40552520751953F, "58.4"},
    {939.75F, "940"},
    {93.97F, "94"},
    {9397.44921875F, "9.4e+03"},
    {999.70F, "1e+03"},
    {1005.0F, "1e+03"},  // tie: 1.005e3 goes to the even 1.00e3
    {375.5F, "376"},     // tie: to the even digit
    {1.125F, "1.12"},
    {1.375F, "1.38"},
    {3.7549989223480225F, "3.75"},
    {34315.0F, "3.43e+04"},
    {0.0658F, "0.0658"},
    {0.0001F, "0.0001"},
    {0.000099998F, "0.0001"},
    {9.4e-05F, "9.4e-05"},
    {0.000099949F, "9.99e-05"},
    {1.25e38F, "1.25e+38"},
    {1e-45F, "1.4e-45"},
    {0.0F, "0"},
    {std::numeric_limits<float>::infinity(), "Infinity"},
    {-std::numeric_limits<float>::infinity(), "-Infinity"},
};

TEST(FigureWriter, WritesDiametersWithThreeSignificantDigits) {
  FigureText buffer;
  for (const auto& c : DIAMETERS) {
    EXPECT_EQ(format_diameter(c.value, buffer), c.text) << static_cast<double>(c.value);
  }
}

// The notation is printf's %.3g from the exact value; the standard library's
// to_chars (general, precision 3) is an exact reference for it. Checked on
// floats spread over the whole range, and on every float within a few units
// of a rounding tie ddd.5 x 10^k, where a shortcut would go wrong first.
std::string reference(float value) {
  std::array<char, 32> text{};
  const auto end = std::to_chars(text.data(), text.data() + text.size(), static_cast<double>(value),
                                 std::chars_format::general, 3);
  return {text.data(), end.ptr};
}

TEST(FigureWriter, AgreesWithTheExactConversion) {
  FigureText buffer;
  std::vector<float> values;
  for (std::uint32_t bits = 1; bits < 0x7f800000U; bits += 1009) {
    float value = 0.0F;
    std::memcpy(&value, &bits, sizeof value);
    values.push_back(value);
  }
  for (int power = -45; power <= 38; ++power) {
    for (int digits = 1000; digits < 10000; digits += 5) {  // ties ddd.5 and round numbers
      float value = static_cast<float>(digits * std::pow(10.0, power - 3));
      for (int step = 0; step < 3; ++step) {
        value = std::nextafter(value, 0.0F);
      }
      for (int step = 0; step < 7 && std::isfinite(value); ++step, value = std::nextafter(value, INFINITY)) {
        values.push_back(value);
      }
    }
  }
  int wrong = 0;
  for (const float value : values) {
    for (const float signed_value : {value, -value}) {
      if (format_diameter(signed_value, buffer) != reference(signed_value) && ++wrong <= 5) {
        ADD_FAILURE() << static_cast<double>(signed_value) << ": " << format_diameter(signed_value, buffer)
                      << ", exact " << reference(signed_value);
      }
    }
  }
  EXPECT_EQ(wrong, 0) << "of " << values.size() * 2;
}

TEST(FigureWriter, WritesWholeMetresInFull) {
  FigureText buffer;
  const std::pair<std::int32_t, const char*> cases[] = {
      {0, "0"}, {34315, "34315"}, {2147483647, "2147483647"}, {-2147483647 - 1, "-2147483648"}};
  for (const auto& [metres, text] : cases) {
    EXPECT_EQ(format_whole_metres(metres, buffer), text);
  }
}

}  // namespace
}  // namespace quorvast
