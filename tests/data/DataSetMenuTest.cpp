#include <gtest/gtest.h>

#include "data/DataSetMenu.hpp"

namespace kolvar {
namespace {

const auto Rows = Matrix<double>::FromRows;

TEST(DataSetMenu, ConcentrateGroupsAveragesCellsOfGroups) {
    // Two OTUs (own row groups), four communities: the first three form group 1.
    const Matrix<double> x = Rows({{1, 2, 6, 10}, {0, 3, -999, 4}});
    Matrix<double> y(2, 2);
    ConcentrateGroups(2, 4, x, y, 2, {1, 2}, 2, {1, 1, 1, 2}, 2);
    EXPECT_DOUBLE_EQ(y[0][0], 3.0);
    EXPECT_DOUBLE_EQ(y[0][1], 10.0);
    EXPECT_DOUBLE_EQ(y[1][0], 1.5);  // the missing value takes no part
    EXPECT_DOUBLE_EQ(y[1][1], 4.0);

    // Option 1 keeps the total: sums 9+10+3+4 = 26, means 3+10+1.5+4 = 18.5.
    ConcentrateGroups(2, 4, x, y, 2, {1, 2}, 2, {1, 1, 1, 2}, 1);
    EXPECT_DOUBLE_EQ(y[0][0], 3.0 * 26.0 / 18.5);
    EXPECT_NEAR(y[0][0] + y[0][1] + y[1][0] + y[1][1], 26.0, 1e-12);

    // Rows pooled too: one row group of both OTUs.
    Matrix<double> z(1, 1);
    ConcentrateGroups(2, 2, Rows({{1, 2}, {3, 6}}), z, 1, {1, 1}, 1, {1, 1}, 2);
    EXPECT_DOUBLE_EQ(z[0][0], 3.0);
    // A cell without any value is missing.
    ConcentrateGroups(1, 1, Rows({{-999}}), z, 1, {1}, 1, {1}, 2);
    EXPECT_DOUBLE_EQ(z[0][0], -999.0);
}

TEST(DataSetMenu, ReleveChangeIsSecondMinusFirst) {
    // Communities A, B, C, D paired (A,B), (C,D).
    const Matrix<double> x = Rows({{1, 4, 10, 7}, {2, -999, 0, 0}});
    Matrix<double> y(2, 2);
    ReleveChange(4, x, y, 2, 2, {1, 1, 2, 2});
    EXPECT_DOUBLE_EQ(y[0][0], 3.0);
    EXPECT_DOUBLE_EQ(y[0][1], -3.0);
    EXPECT_DOUBLE_EQ(y[1][0], -999.0);
    EXPECT_DOUBLE_EQ(y[1][1], 0.0);
    // Order 1: A pairs with C, B with D.
    ReleveChange(4, x, y, 1, 2, {1, 2, 1, 2});
    EXPECT_DOUBLE_EQ(y[0][0], 9.0);
    EXPECT_DOUBLE_EQ(y[0][1], 3.0);
}

TEST(DataSetMenu, SplitMovingWindowMeans) {
    Matrix<double> x(1, 10);
    for (int j = 0; j < 10; ++j) x[0][j] = j + 1;
    Matrix<double> y(1, 9);
    int count = 0;
    SplitMovingWinPool(1, 10, x, y, 2, count, false);
    EXPECT_EQ(count, 9);
    EXPECT_DOUBLE_EQ(y[0][0], 1.5);
    EXPECT_DOUBLE_EQ(y[0][8], 9.5);

    const Matrix<double> e = Rows({{1, 10}, {3, -999}, {8, 20}});
    Matrix<double> f(2, 2);
    SplitMovingWinPool(3, 2, e, f, 2, count, true);
    EXPECT_EQ(count, 2);
    EXPECT_DOUBLE_EQ(f[0][0], 2.0);
    EXPECT_DOUBLE_EQ(f[0][1], 10.0);
    EXPECT_DOUBLE_EQ(f[1][0], 5.5);
    EXPECT_DOUBLE_EQ(f[1][1], 20.0);
}

// The labels and order of the paired communities are asked in the
// DataSetScenario.ChangeLabelsAreCutToFourCharacters and
// DataSetScenario.ChangeBetweenPairedCommunitiesInBothOrders cases.

}  // namespace
}  // namespace kolvar
