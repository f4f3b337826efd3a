// The table sine and cosine that all compass and map drawings share.
#include <cmath>

#include <gtest/gtest.h>

#include "core/geo/table_trig.h"

namespace tarvo {
namespace {

TEST(TableTrig, TabulatedValuesAndInterpolation) {
  EXPECT_DOUBLE_EQ(SinDeg(30), 0.499999999);  // the table's own digits, not 0.5
  EXPECT_DOUBLE_EQ(SinDeg(32.5), (0.499999999 + 0.573576436) / 2);
  EXPECT_DOUBLE_EQ(SinDeg(90), 1.0);
  EXPECT_DOUBLE_EQ(SinDeg(0), 0.0);
  EXPECT_DOUBLE_EQ(CosDeg(0), 1.0);
  EXPECT_DOUBLE_EQ(CosDeg(60), SinDeg(150));
}

TEST(TableTrig, ReductionAndQuadrants) {
  EXPECT_DOUBLE_EQ(SinDeg(-90), -1.0);
  EXPECT_DOUBLE_EQ(SinDeg(450), 1.0);
  EXPECT_DOUBLE_EQ(SinDeg(270), -1.0);
  EXPECT_DOUBLE_EQ(SinDeg(180), 0.0);
  EXPECT_DOUBLE_EQ(SinDeg(360), 0.0);
  EXPECT_DOUBLE_EQ(SinDeg(-30), -0.499999999);
  EXPECT_DOUBLE_EQ(SinDeg(210), -0.499999999);
  EXPECT_DOUBLE_EQ(SinDeg(330), -0.499999999);
  EXPECT_DOUBLE_EQ(SinDeg(150), 0.499999999);
  EXPECT_DOUBLE_EQ(SinDeg(720 + 30), 0.499999999);
  EXPECT_DOUBLE_EQ(SinDeg(-720 - 30), -0.499999999);
}

TEST(TableTrig, CloseToTheTrueSineEverywhere) {
  for (double a = -1000.0; a <= 1000.0; a += 0.37) {
    EXPECT_NEAR(SinDeg(a), std::sin(a * M_PI / 180.0), 1.2e-3) << a;
    EXPECT_NEAR(CosDeg(a), std::cos(a * M_PI / 180.0), 1.2e-3) << a;
  }
}

TEST(TableTrig, OutOfDomainInputsStayFinite) {
  EXPECT_EQ(SinDeg(NAN), 0.0);
  EXPECT_EQ(SinDeg(INFINITY), 0.0);
  EXPECT_NEAR(SinDeg(1e9 + 30), std::sin(std::fmod(1e9 + 30, 360.0) * M_PI / 180.0), 1.2e-3);
  EXPECT_NEAR(SinDeg(40030), SinDeg(40030 - 360 * 111), 1e-12);
}

}  // namespace
}  // namespace tarvo
