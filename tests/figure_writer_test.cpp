// Figures as the report writes them: 3 significant digits from the exact
// value of the float, ties to even, exponent form outside [1e-4, 1e3).
#include <gtest/gtest.h>

#include <limits>
#include <string>

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
