#include <gtest/gtest.h>

#include "QMLib/Matrix.hpp"

namespace kolvar {
namespace {

TEST(Matrix, EmptyDimensionsAreUsable) {
    auto none = dim2D<double>(0, 5);
    EXPECT_EQ(none.rows(), 0u);
    EXPECT_TRUE(none.empty());
    auto negative = dim2D<int>(-3, 2);
    EXPECT_EQ(negative.rows(), 0u);
    EXPECT_TRUE(dim1D<double>(-1).empty());
    EXPECT_EQ(dim1D<int>(4), std::vector<int>(4, 0));
}

TEST(Matrix, RowSwapExchangesWholeRowsAndSurvivesCopyAndMove) {
    auto m = dim2D<int>(3, 2);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 2; ++j) m[i][j] = 10 * i + j;
    const int* row0 = m.row(0);
    swap(m, 0, 2);
    EXPECT_EQ(m.row(2), row0);  // pointers exchanged, not elements copied
    EXPECT_EQ(m[0][0], 20);
    EXPECT_EQ(m[0][1], 21);
    EXPECT_EQ(m[2][1], 1);

    Matrix<int> copy = m;  // keeps the swapped order
    EXPECT_EQ(copy[0][0], 20);
    EXPECT_EQ(copy[2][0], 0);
    copy[0][0] = -1;
    EXPECT_EQ(m[0][0], 20);  // deep copy

    Matrix<int> moved = std::move(copy);
    EXPECT_EQ(moved[0][0], -1);
    EXPECT_EQ(copy.rows(), 0u);
}

}  // namespace
}  // namespace kolvar
