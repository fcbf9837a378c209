// Subsets of traits and factors, the classes of analysis of variance, the
// rejection rule and the labels of predictor choices.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "simulation/Combinations.hpp"
#include "simulation/ErrorRates.hpp"

namespace kolvar {
namespace {

TEST(Combinations, OrderedBySizeThenEarliestFirstAndCounted) {
    for (int n : {1, 2, 3, 5, 10, 20}) EXPECT_EQ(NumberAllCombinations(n), (1L << n) - 1) << n;
    Matrix<int> m(7, 3);
    EXPECT_EQ(AllCombinations(m, 7, 3), 7);
    const std::vector<std::vector<int>> want = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0},
                                                {1, 0, 1}, {0, 1, 1}, {1, 1, 1}};
    for (int r = 0; r < 7; ++r) EXPECT_TRUE(std::ranges::equal(m[r], want[r])) << r;
    // Largest size 1: the single factors only.
    Matrix<int> single(4, 4);
    EXPECT_EQ(AllCombinations(single, 4, 4, 1), 4);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_EQ(single[r][c], r == c ? 1 : 0);
}

TEST(ClassesMV, FiveEqualWidthClasses) {
    std::vector<double> x = {0.0, 1.0, 2.5, 5.0, 7.9, 10.0, -999.0, 8.0};
    ClassesMV(static_cast<int>(x.size()), x.data());
    EXPECT_EQ(x, (std::vector<double>{1, 1, 2, 3, 4, 5, -999, 4}));
    std::vector<double> flat = {2.0, 2.0};
    ClassesMV(2, flat.data());
    EXPECT_EQ(flat, (std::vector<double>{1, 1}));
}

TEST(IsRejected, AlphaItselfAndOneUnitInTheLastPlaceCount) {
    EXPECT_TRUE(IsRejected(0.05, 0.05));
    EXPECT_TRUE(IsRejected(0.01, 0.05));
    EXPECT_TRUE(IsRejected(5.0 / 100.0 + 1e-12, 0.05));  // the same single-precision value
    EXPECT_TRUE(IsRejected(std::nextafter(0.05f, 1.0f), 0.05));
    EXPECT_FALSE(IsRejected(0.06, 0.05));
    EXPECT_FALSE(IsRejected(0.0505, 0.05));
    EXPECT_FALSE(IsRejected(0.01, 0.0));
}

TEST(PredictorLabels, FactorsThenPairsInOrder) {
    // 3 factors: rows 0-2 factors, 3 = 1x2, 4 = 1x3, 5 = 2x3.
    EXPECT_EQ(PredictorLabels(3, {1, 0, 1, 0, 1, 1}), (std::vector<std::string>{"1", "3", "1x3", "2x3"}));
    EXPECT_EQ(PredictorLabels(2, {0, 1}), (std::vector<std::string>{"2"}));
}

}  // namespace
}  // namespace kolvar
