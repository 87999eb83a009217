// The model's results to the last bit: each figure here is the exact float
// the mixed single/double evaluation gives, which the printed report shows.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "model/diameter_model.h"

namespace quorvast {
namespace {

constexpr float INF = std::numeric_limits<float>::infinity();

struct DiameterCase {
  float h;
  float albedo;
  float km;
};

// Exact expected values; EXPECT_EQ on floats is intended.
const DiameterCase DIAMETERS[] = {
    {10.0F, ALBEDO_MAXIMUM, 93.9744873046875F},
    {10.0F, ALBEDO_MINIMUM, 26.579998016357422F},
    {10.0F, ALBEDO_BEST, 34.31462860107422F},
    {0.0F, ALBEDO_MAXIMUM, 9397.44921875F},
    {0.0F, ALBEDO_MINIMUM, 2658.0F},  // 1329 divided by exactly 0.5
    {0.0F, ALBEDO_BEST, 3431.463134765625F},
    {15.0F, ALBEDO_MAXIMUM, 9.397448539733887F},
    {15.0F, ALBEDO_MINIMUM, 2.6579997539520264F},
    {15.0F, ALBEDO_BEST, 3.4314627647399902F},
    {16.992F, ALBEDO_MAXIMUM, 3.7549989223480225F},  // all-double evaluation gives 3.7550004
    {11.537F, ALBEDO_BEST, 16.907499313354492F},
    {2.6665664F, ALBEDO_BEST, 1005.0F},
    {0.8F, ALBEDO_BEST, 2373.992431640625F},
    {6.992F, ALBEDO_MAXIMUM, 375.5F},  // 0.2 * H rounded to float would give 375.49997
    {-10.0F, ALBEDO_BEST, 343146.34375F},
    {-172.79415F, ALBEDO_MAXIMUM, 3.4028220e+38F},
    // Overflow to infinity and underflow to zero, at the thresholds.
    {-172.79416F, ALBEDO_MAXIMUM, INF},
    {-174.98181F, ALBEDO_BEST, INF},
    {-175.53642F, ALBEDO_MINIMUM, INF},
    {242.89528F, ALBEDO_MINIMUM, 0.0F},
    {243.44989F, ALBEDO_BEST, 0.0F},
    {245.63756F, ALBEDO_MAXIMUM, 0.0F},
    {INF, ALBEDO_BEST, 0.0F},
    {-INF, ALBEDO_MINIMUM, INF},
};

TEST(DiameterModel, EstimatesEveryCaseToTheBit) {
  for (const auto& c : DIAMETERS) {
    EXPECT_EQ(estimate_diameter_km(c.h, c.albedo), c.km) << "H = " << c.h << ", albedo = " << c.albedo;
  }
}

TEST(DiameterModel, JustInsideTheThresholdsResultsAreSubnormalOrFinite) {
  const struct {
    float h;
    float albedo;
  } inside[] = {{242.8952F, ALBEDO_MINIMUM}, {243.4498F, ALBEDO_BEST}, {245.6375F, ALBEDO_MAXIMUM}};
  for (const auto& c : inside) {
    const float km = estimate_diameter_km(c.h, c.albedo);
    EXPECT_GT(km, 0.0F) << c.h;
    EXPECT_LT(km, std::numeric_limits<float>::min()) << c.h;
  }
  EXPECT_TRUE(std::isfinite(estimate_diameter_km(-174.9818F, ALBEDO_BEST)));
  EXPECT_TRUE(std::isfinite(estimate_diameter_km(-175.5364F, ALBEDO_MINIMUM)));
}

TEST(DiameterModel, FiveMagnitudesAreAFactorOfTen) {
  for (float h = -20.0F; h <= 40.0F; h += 1.25F) {
    const float km = estimate_diameter_km(h, ALBEDO_BEST);
    EXPECT_NEAR(estimate_diameter_km(h + 5.0F, ALBEDO_BEST) * 10.0F / km, 1.0F, 1e-6F) << h;
  }
}

TEST(DiameterModel, ConvertsToMilesAt1609MetresPerMile) {
  EXPECT_EQ(km_to_miles(93.9744873046875F), 58.40552520751953F);
  EXPECT_EQ(km_to_miles(26.579998016357422F), 16.519577026367188F);
  EXPECT_EQ(km_to_miles(34.31462860107422F), 21.32668113708496F);
  EXPECT_EQ(km_to_miles(INF), INF);
}

struct MetresCase {
  float h;
  std::int32_t metres;
};

// Whole metres of the best estimate; m is held as a float before rounding.
const MetresCase METRES[] = {
    {10.0F, 34315},   // m = 34314.62890625
    {0.0F, 3431463},  // m = 3431463.25
    {15.0F, 3431},
    {11.537F, 16908},  // m = 16907.5 as a float; the exact product gives 16907
    {10.69F, 24974},
    {2.6665664F, 1005000},
    {0.8F, 2373993},      // m = 2373992.5: halves round up, not to even
    {-1.0F, 5438503},     // m = 5438502.5
    {-10.0F, 343146336},  // m held in double would give 343146344
    {-13.98225F, 2147481472},
    {-13.98F, 2145256704},
    {40.0F, 0},
    {INF, 0},
};

TEST(DiameterModel, RoundsBestEstimateToWholeMetres) {
  for (const auto& c : METRES) {
    const auto metres = km_to_metres(estimate_diameter_km(c.h, ALBEDO_BEST));
    ASSERT_TRUE(metres.has_value()) << "H = " << c.h;
    EXPECT_EQ(*metres, c.metres) << "H = " << c.h;
  }
}

TEST(DiameterModel, HasNoWholeMetresBeyondThirtyTwoBits) {
  for (const float h : {-13.98226F, -20.0F, -200.0F, -INF}) {
    EXPECT_FALSE(km_to_metres(estimate_diameter_km(h, ALBEDO_BEST)).has_value()) << "H = " << h;
  }
  EXPECT_EQ(km_to_metres_value(estimate_diameter_km(-200.0F, ALBEDO_BEST)), INF);
  EXPECT_FALSE(km_to_metres(std::nanf("")).has_value());
}

}  // namespace
}  // namespace quorvast
