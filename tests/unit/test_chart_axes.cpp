// The chart's axes: the span of the values padded, a single value padded
// by a tenth of it, the logarithmic axis exactly when every value is
// positive and the largest more than 100 times the smallest, and round
// ticks, 4 to 8 of them, at 1, 2 or 5 times a power of ten.
#include <gtest/gtest.h>

#include <cmath>

#include "documents/chart_axes.hpp"

namespace wexla {
namespace {

// A tick step is 1, 2 or 5 times a power of ten.
bool round_step(double step) {
  double power = std::pow(10.0, std::floor(std::log10(step) + 1e-9));
  double m = step / power;
  return std::fabs(m - 1.0) < 1e-9 || std::fabs(m - 2.0) < 1e-9 || std::fabs(m - 5.0) < 1e-9;
}

TEST(ChartAxes, LinearSpansAndTicks) {
  struct Row {
    double smallest, largest, low, high;
  };
  const Row rows[] = {
      {1098.472, 1432.871, 1098.472 - 16.71995, 1432.871 + 16.71995},
      {10.0, 1000.0, 10.0 - 49.5, 1000.0 + 49.5},  // exactly 100 times: linear
      {-5.0, 5.0, -5.5, 5.5},
      {0.0, 3.0, -0.15, 3.15},
      {12.5, 12.5, 11.25, 13.75},  // one value: a tenth of it each side
      {0.0, 0.0, -1.0, 1.0},       // zero: one each side
      {-2.0, -2.0, -2.2, -1.8},
  };
  for (const Row& row : rows) {
    Axis a = wss_axis(row.smallest, row.largest);
    EXPECT_FALSE(a.log) << row.smallest << " " << row.largest;
    EXPECT_NEAR(a.low, row.low, 1e-9) << row.smallest;
    EXPECT_NEAR(a.high, row.high, 1e-9) << row.largest;
    ASSERT_GE(a.ticks.size(), 4u) << row.smallest;
    EXPECT_LE(a.ticks.size(), 8u) << row.smallest;
    double step = a.ticks[1].value - a.ticks[0].value;
    EXPECT_TRUE(round_step(step)) << step;
    for (const AxisTick& t : a.ticks) {
      EXPECT_GE(t.value, a.low - 1e-9);
      EXPECT_LE(t.value, a.high + 1e-9);
      EXPECT_NEAR(std::remainder(t.value, step), 0.0, step * 1e-9) << t.value;
      EXPECT_FALSE(t.label.empty());
    }
  }
}

TEST(ChartAxes, LogarithmicExactlyWhenTheRuleSays) {
  EXPECT_FALSE(wss_axis(10.0, 1000.0).log);
  EXPECT_TRUE(wss_axis(10.0, 1000.1).log);
  EXPECT_FALSE(wss_axis(0.0, 1e6).log);  // not every value positive
  EXPECT_FALSE(wss_axis(-1.0, 1e6).log);
  Axis a = wss_axis(1.0, 1e6);
  ASSERT_TRUE(a.log);
  // The logarithms' range padded by 5 %.
  EXPECT_NEAR(std::log10(a.low), -0.3, 1e-9);
  EXPECT_NEAR(std::log10(a.high), 6.3, 1e-9);
  ASSERT_EQ(a.ticks.size(), 7u);  // 1 to 1e6, the powers of ten
  for (std::size_t k = 0; k < a.ticks.size(); ++k)
    EXPECT_DOUBLE_EQ(a.ticks[k].value, std::pow(10.0, static_cast<double>(k)));
  // Where fewer than four powers fit, 2 and 5 times them too.
  Axis narrow = wss_axis(3.0, 400.0);
  ASSERT_TRUE(narrow.log);
  EXPECT_GE(narrow.ticks.size(), 4u);
  bool has_two_or_five = false;
  for (const AxisTick& t : narrow.ticks) {
    double m = t.value / std::pow(10.0, std::floor(std::log10(t.value) + 1e-9));
    has_two_or_five = has_two_or_five || std::fabs(m - 1.0) > 1e-9;
  }
  EXPECT_TRUE(has_two_or_five);
}

TEST(ChartAxes, TheFitAxisHasWholeRoundTicks) {
  for (std::size_t fits : {1u, 2u, 3u, 7u, 12u, 150u, 999u, 5000u}) {
    Axis a = fit_axis(fits);
    EXPECT_DOUBLE_EQ(a.low, 0.5);
    EXPECT_DOUBLE_EQ(a.high, static_cast<double>(fits) + 0.5);
    ASSERT_FALSE(a.ticks.empty()) << fits;
    EXPECT_LE(a.ticks.size(), 8u) << fits;
    if (fits >= 4) {
      EXPECT_GE(a.ticks.size(), 4u) << fits;
    }
    for (const AxisTick& t : a.ticks) {
      EXPECT_DOUBLE_EQ(t.value, std::round(t.value)) << fits;
      EXPECT_EQ(t.label, std::to_string(static_cast<long>(t.value)));
    }
  }
}

TEST(ChartAxes, TickLabelsHaveTheDecimalsOfTheirStep) {
  EXPECT_EQ(tick_label(1150.0, 50.0), "1150");
  EXPECT_EQ(tick_label(0.25, 0.05), "0.25");
  EXPECT_EQ(tick_label(0.3, 0.1), "0.3");
  EXPECT_EQ(tick_label(0.0, 0.5), "0");
  EXPECT_EQ(tick_label(2e7, 1e7), "2e+07");
}

}  // namespace
}  // namespace wexla
