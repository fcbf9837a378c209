#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

#include "QMLib/qmlibDim.hpp"

namespace kolvar {
namespace {

TEST(UlpComparison, SinglePrecisionNeighboursAreEqual) {
    EXPECT_TRUE(AlmostEqual2sComplement(1.0, 1.0 + 1e-12, 1));
    EXPECT_TRUE(AlmostEqual2sComplement(1.0, 1.0000001, 1));   // one float step
    EXPECT_FALSE(AlmostEqual2sComplement(1.0, 1.0000002, 1));  // two float steps
    EXPECT_TRUE(AlmostEqual2sComplement(1.0, 1.0000002, 2));
    EXPECT_TRUE(AlmostEqual2sComplement(0.0, -0.0, 1));
    EXPECT_TRUE(AlmostEqual2sComplement(-1.0, -1.0000001, 1));
    EXPECT_FALSE(AlmostEqual2sComplement(-1.0, 1.0, 1));
    // The smallest positive and negative floats straddle zero: two steps apart.
    const double tiny = std::numeric_limits<float>::denorm_min();
    EXPECT_TRUE(AlmostEqual2sComplement(tiny, 0.0, 1));
    EXPECT_FALSE(AlmostEqual2sComplement(tiny, -tiny, 1));
}

TEST(UlpComparison, LargerOrEqualCountsRoundingTiesAsLarger) {
    EXPECT_TRUE(IsLargerThanOrEqual(2.0, 1.0, 1, false));
    EXPECT_FALSE(IsLargerThanOrEqual(1.0, 2.0, 1, false));
    EXPECT_TRUE(IsLargerThanOrEqual(0.3, 0.1 + 0.2, 1, false));  // 0.3 < 0.30000000000000004 but equal in float
    EXPECT_FALSE(IsLargerThanOrEqual(-3.0, 2.0, 1, false));
    EXPECT_TRUE(IsLargerThanOrEqual(-3.0, 2.0, 1, true));  // absolute values
}

TEST(UlpComparisonDeathTest, RejectsOutOfRangeUlps) {
    EXPECT_DEATH(AlmostEqual2sComplement(1.0, 1.0, 0), "maxUlps > 0 && maxUlps < 4 \\* 1024 \\* 1024");
    EXPECT_DEATH(AlmostEqual2sComplement(1.0, 1.0, 4 * 1024 * 1024), "qmlibDim");
}

TEST(NumericHelpers, ToleranceExtremesAndFactorial) {
    EXPECT_TRUE(AlmostEqual_Tolerance(1.0, 1.05, 0.1));
    EXPECT_FALSE(AlmostEqual_Tolerance(1.0, 1.1, 0.1 - 1e-17));
    EXPECT_FALSE(AlmostEqual_Tolerance(0.0, 0.5, 0.5));  // strict
    EXPECT_EQ(Fmax(1.0, 2.0), 2.0);
    EXPECT_EQ(Fmin(1.0, 2.0), 1.0);
    EXPECT_EQ(Fmax(std::nan(""), 3.0), 3.0);
    EXPECT_EQ(Fmin(std::nan(""), 3.0), 3.0);
    EXPECT_EQ(Factorial(0), 1.0L);
    EXPECT_EQ(Factorial(1), 1.0L);
    EXPECT_EQ(Factorial(5), 120.0L);
    EXPECT_EQ(Factorial(20), 2432902008176640000.0L);
}

TEST(NumericHelpers, CountStatesSkipsMissingValues) {
    const double a[] = {0, 2, 2, -999};
    EXPECT_EQ(CountStates(4, a), 2);
    const double missing[] = {-999, -999};
    EXPECT_EQ(CountStates(2, missing), 0);
    EXPECT_EQ(CountStates(0, nullptr), 0);
    const double truncated[] = {1.0, 1.7, 3.2, 0.0};
    EXPECT_EQ(CountStates(4, truncated), 3);  // 1, 3, 0
    const double huge[] = {1e12, 5, 5};       // a huge code needs no huge table
    EXPECT_EQ(CountStates(3, huge), 2);
}

TEST(NumericHelpers, CompareIntSortsAscendingWithoutOverflow) {
    int v[] = {3, std::numeric_limits<int>::min(), 7, std::numeric_limits<int>::max(), -2};
    std::qsort(v, 5, sizeof(int), compareInt);
    EXPECT_EQ(v[0], std::numeric_limits<int>::min());
    EXPECT_EQ(v[1], -2);
    EXPECT_EQ(v[4], std::numeric_limits<int>::max());
}

}  // namespace
}  // namespace kolvar
