#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>

#include "QMLib/qmlibDim.hpp"

namespace kolvar {
namespace {

TEST(UlpComparisonDeathTest, RejectsOutOfRangeUlps) {
    EXPECT_DEATH(AlmostEqual2sComplement(1.0, 1.0, 0), "maxUlps > 0 && maxUlps < 4 \\* 1024 \\* 1024");
    EXPECT_DEATH(AlmostEqual2sComplement(1.0, 1.0, 4 * 1024 * 1024), "qmlibDim");
}

TEST(NumericHelpers, FactorialAndAnEmptyCount) {
    EXPECT_EQ(Factorial(0), 1.0L);
    EXPECT_EQ(Factorial(1), 1.0L);
    EXPECT_EQ(Factorial(5), 120.0L);
    EXPECT_EQ(Factorial(20), 2432902008176640000.0L);
    EXPECT_EQ(CountStates(0, nullptr), 0);
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
